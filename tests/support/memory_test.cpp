#include "support/memory.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Every test ends with the accountant's figures it found.
class MemoryTest : public ::testing::Test {
protected:
    void SetUp() override { m_baseline = CMemory::GetTotalMemoryAllocated(); }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }
    DWORD Used() const { return CMemory::GetTotalMemoryAllocated() - m_baseline; }

    DWORD m_baseline = 0;
};

std::string LeftAllocatedLine(DWORD total) {
    char text[96];
    std::snprintf(text, sizeof text, "System RAM left allocated: %d bytes, %d K.\n",
                  static_cast<int>(total), static_cast<int>(total >> 10));
    return text;
}

TEST_F(MemoryTest, BlocksAreAlignedWritableAndCountedWithThePeak) {
    void* first = CMemory::Allocate(0, 0);
    void* second = CMemory::Allocate(0, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first, second) << "zero-sized blocks are distinct but count nothing";
    EXPECT_EQ(Used(), 0u);
    CMemory::Deallocate(first);
    CMemory::Deallocate(second);

    std::vector<void*> blocks;
    for (DWORD size : {1u, 3u, 16u, 17u, 4096u}) {
        blocks.push_back(CMemory::Allocate(size, 0));
        ASSERT_NE(blocks.back(), nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(blocks.back()) % 16, 0u);
        std::memset(blocks.back(), 0xAB, size);
    }
    EXPECT_EQ(Used(), 4133u);
    CMemory::Deallocate(std::malloc(64)); // foreign pointers are freed without accounting
    CMemory::Deallocate(nullptr);
    // Newest first in the accountant's list: free head, middle and tail, then the rest.
    for (int index : {4, 2, 0, 3}) {
        CMemory::Deallocate(blocks[index]);
    }
    EXPECT_EQ(Used(), 3u);
    CMemory::Deallocate(blocks[1]);
    EXPECT_GE(CMemory::GetMaxMemoryUsed(), m_baseline + 4133) << "freeing never lowers the peak";
}

// Blocks freed in random order unlink from anywhere in the accountant's list and its index.
TEST_F(MemoryTest, RandomOrderChurnKeepsExactTotals) {
    std::mt19937 random(1234);
    std::vector<std::pair<void*, DWORD>> live;
    DWORD expected = 0;
    for (int round = 0; round < 5000; ++round) {
        if (live.empty() || random() % 3 != 0) {
            DWORD size = random() % 300;
            live.emplace_back(CMemory::Allocate(size, 0), size);
            expected += size;
        } else {
            std::swap(live[random() % live.size()], live.back());
            CMemory::Deallocate(live.back().first);
            expected -= live.back().second;
            live.pop_back();
        }
        ASSERT_EQ(Used(), expected);
    }
    std::shuffle(live.begin(), live.end(), random);
    for (auto& [block, size] : live) {
        CMemory::Deallocate(block);
    }
}

TEST_F(MemoryTest, FailureHookFailsExactlyTheNthAllocationOnce) {
    CMemory::FailAllocationAfter(1);
    CMemory::FailAllocationAfter(0); // disarmed
    CMemory::FailAllocationAfter(3);
    std::string failed;
    void* blocks[4];
    for (void*& block : blocks) {
        block = CMemory::Allocate(8, 0);
        failed += block == nullptr ? 'x' : '.';
    }
    EXPECT_EQ(failed, "..x.") << "only the third fails, once";
    EXPECT_EQ(Used(), 24u) << "a failed allocation counts nothing";
    for (void* block : blocks) {
        CMemory::Deallocate(block);
    }
}

TEST_F(MemoryTest, StatisticsAreLoggedInKilobytes) {
    void* block = CMemory::Allocate(3 * 1024, 0);
    for (int current : {1, 0}) {
        testkit::DebugCapture capture;
        CMemory::DumpMemoryStats(current);
        ASSERT_EQ(capture.Lines().size(), 4u);
        EXPECT_EQ(capture.Lines()[0], "==================================\n");
        const DWORD used =
            current ? CMemory::GetTotalMemoryAllocated() : CMemory::GetMaxMemoryUsed();
        EXPECT_EQ(capture.Lines()[1], std::string(current ? "Cur" : "Max") +
                                          " System Memory Used = " + std::to_string(used >> 10) +
                                          "K\n");
        EXPECT_EQ(capture.Lines()[2].rfind(
                      current ? "Cur Video  Memory Used = " : "Max Video  Memory Used = ", 0),
                  0u);
        EXPECT_EQ(capture.Lines()[3], capture.Lines()[0]);
    }
    CMemory::Deallocate(block);
}

// The leak report belongs to the accountant object's destruction; a second, local accountant
// object is refused but reports on the same shared list.
TEST_F(MemoryTest, LeakReportListsBlocksNewestFirstWithTheirBytes) {
    auto* older = static_cast<char*>(CMemory::Allocate(20, 0));
    std::memcpy(older, "ABCDEFGHIJKLMNOPQRST", 20);
    auto* newer = static_cast<unsigned char*>(CMemory::Allocate(4, 0));
    const unsigned char bytes[4] = {'W', 0x01, 0x7F, 'z'};
    std::memcpy(newer, bytes, 4);

    testkit::DebugCapture capture;
    { CMemory reporter; }
    EXPECT_TRUE(
        capture.Contains("CMemory::CMemory() You cannot create any localised CMemory objects!\n"));
    const auto& lines = capture.Lines();
    auto at =
        std::find(lines.begin(), lines.end(), "CMemory()::~CMemory() Detected memory leak(s)!\n");
    ASSERT_LE(at + 9, lines.end());
    EXPECT_EQ(*(at + 1), LeftAllocatedLine(CMemory::GetTotalMemoryAllocated()));
    EXPECT_EQ((at + 2)->rfind("Video  RAM left allocated: ", 0), 0u);
    // The newest block first; only the first 16 bytes of a block are shown.
    EXPECT_EQ(
        std::vector<std::string>(at + 3, at + 9),
        (std::vector<std::string>{"Memory Block      4 bytes\n", "  Bytes: W  .  .  z  \n",
                                  "  Hex  : 57 01 7F 7A \n", "Memory Block     20 bytes\n",
                                  "  Bytes: A  B  C  D  E  F  G  H  I  J  K  L  M  N  O  P  \n",
                                  "  Hex  : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 \n"}));
    EXPECT_EQ(lines[lines.size() - 3].rfind("Max System Memory Used = ", 0), 0u);
    CMemory::Deallocate(newer);
    CMemory::Deallocate(older);

    if (CMemory::GetTotalMemoryAllocated() == 0) {
        capture.Clear();
        { CMemory reporter; }
        EXPECT_FALSE(capture.Contains("Detected memory leak")) << "a clean unload shows peaks only";
        EXPECT_TRUE(capture.Contains("Max System Memory Used = "));
    }
}

TEST_F(MemoryTest, BlockChainGrowsAtTheHeadAndDeletesWhole) {
    CMemBlock* head = nullptr;
    EXPECT_EQ(CMemBlock::Create(head, 0x10000, 0x10000), nullptr) << "oversized";
    CMemBlock* first = CMemBlock::Create(head, 4, 10);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(head, first);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(CMemBlock::Create(head, 1, 8), nullptr);
    EXPECT_EQ(head, first) << "a failed create leaves the chain unchanged";
    CMemBlock* second = CMemBlock::Create(head, 2, 3);
    EXPECT_EQ(head, second);
    EXPECT_EQ(Used(), 4u * 10 + 2 * 3 + 2 * sizeof(CMemBlock));
    auto* payload = static_cast<unsigned char*>(first->GetMemoryBlock());
    EXPECT_EQ(payload, reinterpret_cast<unsigned char*>(first) + sizeof(CMemBlock));
    std::memset(payload, 0x5A, 40);
    head->Delete();
    EXPECT_EQ(Used(), 0u);
}

} // namespace
