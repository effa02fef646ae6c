#include "support/memory.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
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

TEST_F(MemoryTest, FailureHookFailsExactlyTheNthAllocationOnce) {
    CMemory::FailAllocationAfter(1);
    CMemory::FailAllocationAfter(0); // disarmed
    CMemory::FailAllocationAfter(3);
    std::string failed;
    for (int i = 0; i < 4; ++i) {
        void* block = CMemory::Allocate(8, 0);
        failed += block == nullptr ? 'x' : '.';
        EXPECT_EQ(Used(), block == nullptr ? 0u : 8u) << "a failed allocation counts nothing";
        CMemory::Deallocate(block);
    }
    EXPECT_EQ(failed, "..x.") << "only the third fails, once";
}

TEST_F(MemoryTest, StatisticsAreLoggedInKilobytes) {
    void* block = CMemory::Allocate(3 * 1024, 0);
    for (int current : {1, 0}) {
        testkit::DebugCapture capture;
        CMemory::DumpMemoryStats(current);
        const std::string rule = "==================================\n",
                          kind = current ? "Cur" : "Max";
        const DWORD used =
            current ? CMemory::GetTotalMemoryAllocated() : CMemory::GetMaxMemoryUsed();
        auto lines = capture.Lines();
        ASSERT_EQ(lines.size(), 4u);
        lines[2].resize(25);
        EXPECT_EQ(lines,
                  (std::vector<std::string>{
                      rule, kind + " System Memory Used = " + std::to_string(used >> 10) + "K\n",
                      kind + " Video  Memory Used = ", rule}));
    }
    CMemory::Deallocate(block);
}

// The leak report belongs to the accountant object's destruction; a second, local accountant
// object is refused but reports on the same shared list.
TEST_F(MemoryTest, LeakReportListsBlocksNewestFirstWithTheirBytes) {
    void* older = CMemory::Allocate(20, 0);
    std::memcpy(older, "ABCDEFGHIJKLMNOPQRST", 20);
    void* newer = CMemory::Allocate(4, 0);
    std::memcpy(newer, "W\x01\x7Fz", 4);
    testkit::DebugCapture capture;
    { CMemory reporter; }
    auto lines = capture.Lines();
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[lines.size() - 3].rfind("Max System Memory Used = ", 0), 0u);
    lines.resize(10);
    lines[3].resize(27);
    // The newest block first; only the first 16 bytes of a block are shown.
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "CMemory::CMemory() You cannot create any localised CMemory objects!\n",
                         "CMemory()::~CMemory() Detected memory leak(s)!\n",
                         LeftAllocatedLine(CMemory::GetTotalMemoryAllocated()),
                         "Video  RAM left allocated: ", "Memory Block      4 bytes\n",
                         "  Bytes: W  .  .  z  \n", "  Hex  : 57 01 7F 7A \n",
                         "Memory Block     20 bytes\n",
                         "  Bytes: A  B  C  D  E  F  G  H  I  J  K  L  M  N  O  P  \n",
                         "  Hex  : 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 \n"}));
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
