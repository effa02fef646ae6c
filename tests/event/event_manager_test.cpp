#include "event_fixture.h"

#include <cstddef>
#include <cstring>

namespace {

using EventManagerTest = EventTest;

TEST_F(EventManagerTest, OtherQuadrantsAndASecondManagerAreReported) {
    m_capture.Clear();
    EXPECT_EQ(g_eventManager.GetTriggerList(64), nullptr);
    EXPECT_EQ(g_eventManager.GetTriggerList(0xFFFFFFFF), nullptr);
    const int before = CVelEvent::GetInstanceCount();
    {
        CVelEvent second; // only warned about: it works all the same
        EXPECT_EQ(CVelEvent::GetInstanceCount(), before + 1);
        EXPECT_NE(second.GetTriggerList(63), nullptr);
    }
    EXPECT_EQ(CVelEvent::GetInstanceCount(), before);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{
                  "CVelEvent::GetTriggerList() Quadrant index out of range (64)!\n",
                  "CVelEvent::GetTriggerList() Quadrant index out of range (-1)!\n",
                  "CVelEvent::CVelEvent() Only one instance of a CVelEvent object allowed!\n"}));
}

TEST_F(EventManagerTest, LevelFlagMovesOnlyBetweenStartAndEndAndTheResetEndsTheLevel) {
    EXPECT_EQ(g_eventManager.EndLevel(), -1);
    EXPECT_EQ(g_eventManager.StartLevel(), 0);
    EXPECT_EQ(g_eventManager.StartLevel(), -1);
    EXPECT_EQ(g_eventManager.EndLevel(), 0);
    EXPECT_EQ(g_eventManager.StartLevel(), 0);
    ResetLevel();
    EXPECT_EQ(g_eventManager.EndLevel(), -1);
}

TEST_F(EventManagerTest, ACloneOwnsItsRecordAndCreateBlockAndFailsWhole) {
    unsigned char block[16] = {0, 3, 6, 9};
    tagGAME_TRIGGER source;
    std::memset(&source, 0xA5, sizeof source);
    source.pCreateBlock = nullptr; // a size without a block copies no block
    tagGAME_TRIGGER* clone = CVelEvent::CloneTrigger(&source);
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(std::memcmp(clone, &source, offsetof(tagGAME_TRIGGER, dwCreateBlockSize) + 4), 0)
        << "run-time fields are copied too";
    EXPECT_EQ(clone->pCreateBlock, nullptr);
    CVelEvent::DeleteTrigger(clone);
    EXPECT_EQ(clone, nullptr);

    source.pCreateBlock = block;
    source.dwCreateBlockSize = sizeof block;
    clone = CVelEvent::CloneTrigger(&source);
    ASSERT_NE(clone->pCreateBlock, block);
    EXPECT_EQ(std::memcmp(clone->pCreateBlock, block, sizeof block), 0);
    CVelEvent::DeleteTrigger(clone);
    for (DWORD failing : {1u, 2u}) { // the record, then the create block
        CMemory::FailAllocationAfter(failing);
        EXPECT_EQ(CVelEvent::CloneTrigger(&source), nullptr) << failing;
    }
    EXPECT_EQ(CVelEvent::CloneTrigger(nullptr), nullptr);
    CVelEvent::DeleteTrigger(clone); // null: nothing to delete
}

} // namespace
