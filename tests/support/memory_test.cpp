#include "support/memory.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

namespace {

// Every test starts and ends with the accountant's figures it found, so that tests do not
// depend on each other.
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

TEST_F(MemoryTest, ZeroSizedBlocksAreValidDistinctAndCountNothing) {
    void* first = CMemory::Allocate(0, 0);
    void* second = CMemory::Allocate(0, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_EQ(Used(), 0u);
    CMemory::Deallocate(first);
    CMemory::Deallocate(second);
}

TEST_F(MemoryTest, TotalsAndPeakFollowAllocations) {
    DWORD peakBefore = CMemory::GetMaxMemoryUsed();
    void* hundred = CMemory::Allocate(100, 0);
    void* fifty = CMemory::Allocate(50, 0);
    EXPECT_EQ(Used(), 150u);
    CMemory::Deallocate(hundred);
    EXPECT_EQ(Used(), 50u);
    EXPECT_GE(CMemory::GetMaxMemoryUsed(), m_baseline + 150);
    EXPECT_GE(CMemory::GetMaxMemoryUsed(), peakBefore);
    CMemory::Deallocate(fifty);
    EXPECT_GE(CMemory::GetMaxMemoryUsed(), m_baseline + 150) << "freeing never lowers the peak";
}

TEST_F(MemoryTest, BlocksAreAlignedAndWritable) {
    std::vector<void*> blocks;
    for (DWORD size : {1u, 3u, 16u, 17u, 4096u}) {
        void* block = CMemory::Allocate(size, 0);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 16, 0u);
        std::memset(block, 0xAB, size);
        blocks.push_back(block);
    }
    for (void* block : blocks) {
        CMemory::Deallocate(block);
    }
}

TEST_F(MemoryTest, FreeingHeadMiddleAndTailKeepsTheListConsistent) {
    // Allocated oldest first, so the list holds them newest first: e, d, c, b, a.
    std::vector<void*> blocks;
    for (DWORD size = 1; size <= 5; ++size) {
        blocks.push_back(CMemory::Allocate(size, 0));
    }
    CMemory::Deallocate(blocks[4]); // head
    CMemory::Deallocate(blocks[2]); // middle
    CMemory::Deallocate(blocks[0]); // tail
    EXPECT_EQ(Used(), 2u + 4u);

    // The remaining blocks are still found and freed with their sizes.
    CMemory::Deallocate(blocks[3]);
    EXPECT_EQ(Used(), 2u);
    CMemory::Deallocate(blocks[1]);
    EXPECT_EQ(Used(), 0u);
}

TEST_F(MemoryTest, FreeingTheOnlyBlockEmptiesTheList) {
    void* only = CMemory::Allocate(12, 0);
    CMemory::Deallocate(only);
    EXPECT_EQ(Used(), 0u);
    void* again = CMemory::Allocate(12, 0);
    EXPECT_EQ(Used(), 12u);
    CMemory::Deallocate(again);
}

TEST_F(MemoryTest, ForeignPointersAreFreedWithoutAccounting) {
    void* foreign = std::malloc(64);
    void* ours = CMemory::Allocate(64, 0);
    CMemory::Deallocate(foreign);
    EXPECT_EQ(Used(), 64u);
    CMemory::Deallocate(ours);
    CMemory::Deallocate(nullptr);
}

TEST_F(MemoryTest, RandomOrderChurnKeepsExactTotals) {
    std::mt19937 random(1234);
    std::vector<std::pair<void*, DWORD>> live;
    DWORD expected = 0;
    for (int round = 0; round < 5000; ++round) {
        if (live.empty() || random() % 3 != 0) {
            DWORD size = random() % 300;
            live.emplace_back(CMemory::Allocate(size, 0), size);
            ASSERT_NE(live.back().first, nullptr);
            expected += size;
        } else {
            std::size_t pick = random() % live.size();
            CMemory::Deallocate(live[pick].first);
            expected -= live[pick].second;
            live[pick] = live.back();
            live.pop_back();
        }
        ASSERT_EQ(Used(), expected);
    }
    std::shuffle(live.begin(), live.end(), random);
    for (auto& [block, size] : live) {
        CMemory::Deallocate(block);
    }
}

TEST_F(MemoryTest, FailureHookFailsExactlyTheNthAllocation) {
    CMemory::FailAllocationAfter(3);
    void* first = CMemory::Allocate(8, 0);
    void* second = CMemory::Allocate(8, 0);
    void* third = CMemory::Allocate(8, 0);
    void* fourth = CMemory::Allocate(8, 0);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_NE(fourth, nullptr) << "the hook fires once";
    EXPECT_EQ(Used(), 24u) << "a failed allocation counts nothing";
    for (void* block : {first, second, fourth}) {
        CMemory::Deallocate(block);
    }
}

TEST_F(MemoryTest, FailureHookCanBeDisarmed) {
    CMemory::FailAllocationAfter(1);
    CMemory::FailAllocationAfter(0);
    void* block = CMemory::Allocate(8, 0);
    EXPECT_NE(block, nullptr);
    CMemory::Deallocate(block);
}

TEST_F(MemoryTest, CurrentStatisticsAreLoggedInKilobytes) {
    void* block = CMemory::Allocate(3 * 1024, 0);
    testkit::DebugCapture capture;
    CMemory::DumpMemoryStats(1);
    ASSERT_EQ(capture.Lines().size(), 4u);
    EXPECT_EQ(capture.Lines()[0], "==================================\n");
    char expected[64];
    std::snprintf(expected, sizeof expected, "Cur System Memory Used = %dK\n",
                  static_cast<int>(CMemory::GetTotalMemoryAllocated() >> 10));
    EXPECT_EQ(capture.Lines()[1], expected);
    EXPECT_EQ(capture.Lines()[2].rfind("Cur Video  Memory Used = ", 0), 0u);
    EXPECT_EQ(capture.Lines()[3], "==================================\n");
    CMemory::Deallocate(block);
}

TEST_F(MemoryTest, PeakStatisticsAreLoggedWithZeroArgument) {
    testkit::DebugCapture capture;
    CMemory::DumpMemoryStats(0);
    ASSERT_EQ(capture.Lines().size(), 4u);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Max System Memory Used = %dK\n",
                  static_cast<int>(CMemory::GetMaxMemoryUsed() >> 10));
    EXPECT_EQ(capture.Lines()[1], expected);
    EXPECT_EQ(capture.Lines()[2].rfind("Max Video  Memory Used = ", 0), 0u);
}

// The leak report belongs to the accountant object's destruction; a second, local accountant
// object reports on the same shared list.
TEST_F(MemoryTest, LocalAccountantIsRefusedOnceMemoryWasUsed) {
    void* block = CMemory::Allocate(1, 0);
    testkit::DebugCapture capture;
    {
        CMemory local;
        EXPECT_TRUE(capture.Contains(
            "CMemory::CMemory() You cannot create any localised CMemory objects!\n"));
    }
    CMemory::Deallocate(block);
}

TEST_F(MemoryTest, LeakReportListsBlocksNewestFirstWithTheirBytes) {
    auto* older = static_cast<char*>(CMemory::Allocate(20, 0));
    std::memcpy(older, "ABCDEFGHIJKLMNOPQRST", 20);
    auto* newer = static_cast<unsigned char*>(CMemory::Allocate(4, 0));
    const unsigned char bytes[4] = {'W', 0x01, 0x7F, 'z'};
    std::memcpy(newer, bytes, 4);

    testkit::DebugCapture capture;
    { CMemory reporter; }

    const auto& lines = capture.Lines();
    auto at =
        std::find(lines.begin(), lines.end(), "CMemory()::~CMemory() Detected memory leak(s)!\n");
    ASSERT_NE(at, lines.end());
    char expected[96];
    DWORD total = CMemory::GetTotalMemoryAllocated();
    std::snprintf(expected, sizeof expected, "System RAM left allocated: %d bytes, %d K.\n",
                  static_cast<int>(total), static_cast<int>(total >> 10));
    EXPECT_EQ(*(at + 1), expected);
    EXPECT_EQ((at + 2)->rfind("Video  RAM left allocated: ", 0), 0u);

    // The newest block comes first: a 4-byte block shows 4 bytes in each line.
    EXPECT_EQ(*(at + 3), "Memory Block      4 bytes\n");
    EXPECT_EQ(*(at + 4), "  Bytes: W  .  .  z  \n");
    EXPECT_EQ(*(at + 5), "  Hex  : 57 01 7F 7A \n");
    // A longer block shows only its first 16 bytes.
    EXPECT_EQ(*(at + 6), "Memory Block     20 bytes\n");
    EXPECT_EQ(*(at + 7), "  Bytes: A  B  C  D  E  F  G  H  I  J  K  L  M  N  O  P  \n");
    EXPECT_EQ(*(at + 8), "  Hex  : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 \n");
    // Peak figures close the report.
    EXPECT_EQ(lines[lines.size() - 3].rfind("Max System Memory Used = ", 0), 0u);

    CMemory::Deallocate(newer);
    CMemory::Deallocate(older);
}

TEST_F(MemoryTest, CleanUnloadReportsOnlyThePeaks) {
    if (CMemory::GetTotalMemoryAllocated() != 0) {
        GTEST_SKIP() << "another object of this process still holds memory";
    }
    testkit::DebugCapture capture;
    { CMemory reporter; }
    EXPECT_FALSE(capture.Contains("Detected memory leak"));
    EXPECT_TRUE(capture.Contains("Max System Memory Used = "));
}

class MemBlockTest : public MemoryTest {};

TEST_F(MemBlockTest, ChainGrowsAtTheHeadAndDeletesWhole) {
    CMemBlock* head = nullptr;
    CMemBlock* first = CMemBlock::Create(head, 4, 10);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(head, first);
    CMemBlock* second = CMemBlock::Create(head, 2, 3);
    EXPECT_EQ(head, second);
    EXPECT_EQ(Used(), 4u * 10 + 2 * 3 + 2 * sizeof(CMemBlock));

    // The payload follows the header and is usable in full.
    auto* payload = static_cast<unsigned char*>(first->GetMemoryBlock());
    EXPECT_EQ(payload, reinterpret_cast<unsigned char*>(first) + sizeof(CMemBlock));
    std::memset(payload, 0x5A, 40);

    head->Delete();
    EXPECT_EQ(Used(), 0u);
}

TEST_F(MemBlockTest, FailedCreateLeavesTheChainUnchanged) {
    CMemBlock* head = nullptr;
    CMemBlock* first = CMemBlock::Create(head, 1, 8);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(CMemBlock::Create(head, 1, 8), nullptr);
    EXPECT_EQ(head, first);
    head->Delete();
}

TEST_F(MemBlockTest, OversizedChainBlockIsRefused) {
    CMemBlock* head = nullptr;
    EXPECT_EQ(CMemBlock::Create(head, 0x10000, 0x10000), nullptr);
    EXPECT_EQ(head, nullptr);
}

} // namespace
