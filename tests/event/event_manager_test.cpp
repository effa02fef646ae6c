#include "event_fixture.h"

#include <algorithm>
#include <cstring>

namespace {

using EventManagerTest = EventTest;

TEST_F(EventManagerTest, SecondInstanceIsOnlyWarnedAbout) {
    m_capture.Clear();
    const int before = CVelEvent::GetInstanceCount();
    {
        CVelEvent second;
        EXPECT_EQ(CVelEvent::GetInstanceCount(), before + 1);
        EXPECT_EQ(m_capture.Lines(),
                  std::vector<std::string>{
                      "CVelEvent::CVelEvent() Only one instance of a CVelEvent object allowed!\n"});
        EXPECT_NE(second.GetTriggerList(0), nullptr) << "it works all the same";
        EXPECT_NE(second.GetTriggerList(0), g_eventManager.GetTriggerList(0));
    }
    EXPECT_EQ(CVelEvent::GetInstanceCount(), before);
}

TEST_F(EventManagerTest, EveryQuadrantHasItsOwnListAndOthersAreRefused) {
    m_capture.Clear();
    std::vector<CLinkedList<tagGAME_TRIGGER>*> lists;
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        lists.push_back(g_eventManager.GetTriggerList(quadrant));
    }
    std::sort(lists.begin(), lists.end());
    EXPECT_EQ(std::adjacent_find(lists.begin(), lists.end()), lists.end());
    EXPECT_EQ(std::count(lists.begin(), lists.end(), nullptr), 0);

    EXPECT_EQ(g_eventManager.GetTriggerList(64), nullptr);
    EXPECT_EQ(g_eventManager.GetTriggerList(0xFFFFFFFF), nullptr);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{
                  "CVelEvent::GetTriggerList() Quadrant index out of range (64)!\n",
                  "CVelEvent::GetTriggerList() Quadrant index out of range (-1)!\n"}));
}

TEST_F(EventManagerTest, LevelFlagMovesOnlyBetweenStartAndEnd) {
    EXPECT_EQ(g_eventManager.EndLevel(), -1);
    EXPECT_EQ(g_eventManager.StartLevel(), 0);
    EXPECT_EQ(g_eventManager.StartLevel(), -1);
    EXPECT_EQ(g_eventManager.EndLevel(), 0);
    EXPECT_EQ(g_eventManager.StartLevel(), 0);
    g_eventManager.Reset();
    EXPECT_EQ(g_eventManager.EndLevel(), -1) << "Reset ends the level";
}

TEST_F(EventManagerTest, LevelResetEmptiesTheEnginesTable) {
    TriggerFields timed;
    timed.createBlock = {1, 2, 3};
    TriggerFields proximity = timed;
    proximity.type = 2;
    ASSERT_EQ(LoadSection(SectionBuilder().Group(1, {timed, proximity}).End().Bytes()), 0);
    ResetLevel();
    EXPECT_EQ(TotalQuadrantTriggers(), 0u);
    // The timed trigger left with the absolute list: nothing fires any more.
    SetPhysicsTime(1000);
    g_eventManager.ProcessEvents(nullptr);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
}

class CloneTriggerTest : public EventTest {
protected:
    static tagGAME_TRIGGER Source() {
        tagGAME_TRIGGER source;
        std::memset(&source, 0, sizeof source);
        source.dwType = 2;
        source.dwEntityId = 9;
        source.vPosition = D3DVECTOR(1.0f, 2.0f, 3.0f);
        source.dwReserved0 = 0x11223344;
        source.dwReserved1 = 0x55667788;
        source.fRadius = 4.0f;
        source.fDelay = 1.5f;
        source.fFireTime = 7.0f;
        source.bPending = TRUE;
        return source;
    }
};

TEST_F(CloneTriggerTest, CloneCopiesTheRecordAndOwnsASeparateCreateBlock) {
    tagGAME_TRIGGER source = Source();
    tagGAME_TRIGGER* clone = CVelEvent::CloneTrigger(&source);
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone, &source);
    EXPECT_EQ(clone->pCreateBlock, nullptr);
    EXPECT_EQ(clone->dwEntityId, 9u);
    EXPECT_EQ(clone->vPosition.z, 3.0f);
    EXPECT_EQ(clone->dwReserved0, 0x11223344u);
    EXPECT_EQ(clone->dwReserved1, 0x55667788u);
    EXPECT_EQ(clone->fFireTime, 7.0f) << "run-time fields are copied too";
    EXPECT_EQ(clone->bPending, TRUE);
    CVelEvent::DeleteTrigger(clone);
    EXPECT_EQ(clone, nullptr);

    // A clone owns a separate copy of the create block.
    unsigned char block[16];
    for (int i = 0; i < 16; ++i) {
        block[i] = static_cast<unsigned char>(i * 3);
    }
    source.pCreateBlock = block;
    source.dwCreateBlockSize = sizeof block;
    clone = CVelEvent::CloneTrigger(&source);
    ASSERT_NE(clone, nullptr);
    ASSERT_NE(clone->pCreateBlock, nullptr);
    EXPECT_NE(clone->pCreateBlock, source.pCreateBlock);
    EXPECT_EQ(clone->dwCreateBlockSize, 16u);
    EXPECT_EQ(std::memcmp(clone->pCreateBlock, block, sizeof block), 0);
    block[0] = 0xEE;
    EXPECT_EQ(static_cast<unsigned char*>(clone->pCreateBlock)[0], 0) << "not shared";
    CVelEvent::DeleteTrigger(clone);
    EXPECT_EQ(clone, nullptr);
}

TEST_F(CloneTriggerTest, AllocationFailuresGiveNullAndLeakNothing) {
    unsigned char block[8] = {};
    tagGAME_TRIGGER source = Source();
    source.pCreateBlock = block;
    source.dwCreateBlockSize = sizeof block;

    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(CVelEvent::CloneTrigger(&source), nullptr) << "no record";
    CMemory::FailAllocationAfter(2);
    EXPECT_EQ(CVelEvent::CloneTrigger(&source), nullptr) << "no create block";
    EXPECT_EQ(CVelEvent::CloneTrigger(nullptr), nullptr);

    tagGAME_TRIGGER* none = nullptr;
    CVelEvent::DeleteTrigger(none);
    EXPECT_EQ(none, nullptr);
}

} // namespace
