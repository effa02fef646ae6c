#include "event_fixture.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kProbeModel = 0;
constexpr std::uint32_t kRefusedModel = 1;

// Reaches the manager's protected single-trigger removal.
struct ManagerAccess : CVelEvent {
    static void RemoveTrigger(CVelEvent& manager, CLinkedList<tagGAME_TRIGGER>& list,
                              LISTPOS position) {
        void (CVelEvent::*remove)(CLinkedList<tagGAME_TRIGGER>&, LISTPOS) =
            &ManagerAccess::DeleteTrigger;
        (manager.*remove)(list, position);
    }
};

TriggerFields Trigger(std::uint32_t type, float delay) {
    TriggerFields t;
    t.type = type;
    t.delay = delay;
    t.fireTime = delay;
    t.modelIndex = kProbeModel;
    return t;
}

TriggerFields Repeating(TriggerFields t) {
    t.repeat = 1;
    return t;
}

TriggerFields WithinRadius(TriggerFields t, std::array<float, 3> position, float radius) {
    t.useRadius = 1;
    t.position = position;
    t.radius = radius;
    return t;
}

// The player (identifier 1) stands at the origin, in quadrant 42, with a model table whose
// record 0 is a module that creates and record 1 one whose Create returns 99.
class TriggerProcessingTest : public EventTest {
protected:
    void SetUp() override {
        EventTest::SetUp();
        LoadModels({{"probe", EVENTPROBEMODULE, "EventProbe"},
                    {"refused", EVENTREFUSEDMODULE, "EventRefused"}});
        m_player = vgSpawnParentEntity();
        m_player->m_dwID = 1;
        m_player->SetWorldPosition(D3DVECTOR(0.0f));
        m_capture.Clear();
    }

    void LoadInOriginQuadrant(const std::vector<TriggerFields>& triggers, int keepAll = 0) {
        ASSERT_EQ(
            LoadSection(SectionBuilder().Group(kOriginQuadrant, triggers).End().Bytes(), keepAll),
            0);
        m_capture.Clear();
    }

    // One call at the given physics time; the number of entities the probe module created.
    int CallAt(DWORD milliseconds, CBaseEntity* player) {
        SetPhysicsTime(milliseconds);
        const std::size_t before = m_capture.Lines().size();
        EXPECT_EQ(g_eventManager.ProcessEvents(player), 0);
        return static_cast<int>(std::count_if(
            m_capture.Lines().begin() + before, m_capture.Lines().end(),
            [](const std::string& line) { return line.rfind("module probe: Create ", 0) == 0; }));
    }
    int CallAt(DWORD milliseconds) { return CallAt(milliseconds, m_player); }

    // The entities spawned by triggers, in creation order.
    std::vector<CBaseEntity*> Spawned() const {
        std::vector<CBaseEntity*> entities;
        CLinkedList<CBaseEntity*>& list = *vgGetEntityList();
        for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
            CBaseEntity* entity = list.GetNext(position);
            if (entity != m_player) {
                entities.push_back(entity);
            }
        }
        return entities;
    }

    static tagGAME_TRIGGER& OriginTrigger() { return *Quadrant(kOriginQuadrant).GetHead(); }

    CBaseEntity* m_player = nullptr;
};

TEST_F(TriggerProcessingTest, TimedTriggerFiresAtTheFirstCallAtOrAfterItsTimeAndRepeatsFromThere) {
    LoadInOriginQuadrant({Trigger(kTriggerAbsolute, 5.0f)});
    EXPECT_EQ(CallAt(4999), 0);
    EXPECT_EQ(CallAt(5000), 1);
    EXPECT_EQ(CallAt(20000), 0) << "a non-repeating timed trigger is removed once fired";

    // A repeating one counts from the call that fired it.
    LoadInOriginQuadrant({Repeating(Trigger(kTriggerAbsolute, 5.0f))});
    EXPECT_EQ(CallAt(5500), 1);
    EXPECT_EQ(CallAt(5500), 0) << "at most once per call";
    EXPECT_EQ(CallAt(10400), 0);
    EXPECT_EQ(CallAt(10500), 1);
    EXPECT_EQ(CallAt(30000), 1) << "late calls fire once, not once per missed period";
    EXPECT_EQ(CallAt(34999), 0);
}

TEST_F(TriggerProcessingTest, WithoutAPlayerOnlyTimedAndArmedTriggersFire) {
    LoadInOriginQuadrant({Repeating(Trigger(kTriggerProximity, 0.0f)),
                          Trigger(kTriggerProximityDelayed, 1.0f),
                          Trigger(kTriggerAbsolute, 2.0f)});
    EXPECT_EQ(CallAt(0), 1) << "the zero-delay trigger fires, the delayed one is armed";
    EXPECT_EQ(CallAt(2000, nullptr), 2) << "the armed and the timed trigger";
    EXPECT_EQ(CallAt(3000, nullptr), 0) << "no proximity test without a player";
    EXPECT_EQ(CallAt(3000), 1);
}

TEST_F(TriggerProcessingTest, RadiusBoundaryQualifiesAndRepeatingTriggersFireOnEveryCallInRange) {
    LoadInOriginQuadrant(
        {WithinRadius(Trigger(kTriggerProximity, 0.0f), {3.0f, 4.0f, 0.0f}, 5.0f),
         WithinRadius(Trigger(kTriggerProximity, 0.0f), {3.0f, 4.01f, 0.0f}, 5.0f)});
    EXPECT_EQ(CallAt(0), 1);
    ASSERT_EQ(Spawned().size(), 1u);
    EXPECT_EQ(Spawned()[0]->GetWorldPosition().y, 4.0f) << "the one at exactly the radius";
    ASSERT_EQ(Quadrant(kOriginQuadrant).GetCount(), 1u);
    EXPECT_EQ(OriginTrigger().vPosition.y, 4.01f) << "the one beyond the radius stays";
    EXPECT_EQ(CallAt(1000), 0);

    // A repeating zero-delay trigger fires on every call in range.
    LoadInOriginQuadrant(
        {Repeating(WithinRadius(Trigger(kTriggerProximityAlt, 0.0f), {0.0f, 0.0f, 0.0f}, 2.0f))});
    EXPECT_EQ(CallAt(2000), 1);
    EXPECT_EQ(CallAt(2000), 1);
    m_player->SetWorldPosition(D3DVECTOR(3.0f, 0.0f, 0.0f));
    EXPECT_EQ(CallAt(2100), 0);
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 1u);
}

TEST_F(TriggerProcessingTest, DelayedTriggerIsArmedInItsQuadrantAndFiresExactlyOnce) {
    LoadInOriginQuadrant({Trigger(kTriggerProximityDelayed, 0.0f)});
    m_player->SetWorldPosition(D3DVECTOR(-100.0f, 0.0f, 0.0f)); // quadrant 40
    EXPECT_EQ(CallAt(0), 0);
    EXPECT_EQ(OriginTrigger().bPending, 0) << "not armed from another quadrant";

    m_player->SetWorldPosition(D3DVECTOR(63.0f, 63.0f, 63.0f)); // a far corner of quadrant 42
    EXPECT_EQ(CallAt(0), 0) << "armed, even with a zero delay it fires no earlier than next call";
    EXPECT_EQ(OriginTrigger().bPending, 1);
    EXPECT_EQ(OriginTrigger().fFireTime, 0.0f);

    m_player->SetWorldPosition(D3DVECTOR(-100.0f, 0.0f, 0.0f));
    EXPECT_EQ(CallAt(0), 1) << "an armed trigger fires wherever the player is";
    ASSERT_EQ(Quadrant(kOriginQuadrant).GetCount(), 1u) << "kept until its quadrant is walked";
    EXPECT_EQ(OriginTrigger().bExpired, 1);
    EXPECT_EQ(OriginTrigger().bPending, 0);

    m_player->SetWorldPosition(D3DVECTOR(0.0f));
    EXPECT_EQ(CallAt(100000), 0);
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 0u) << "removed without firing again";
    EXPECT_EQ(CallAt(200000), 0);
}

TEST_F(TriggerProcessingTest, RepeatingDelayedTriggerIsRearmedWhenItFires) {
    LoadInOriginQuadrant({Repeating(Trigger(kTriggerProximity, 1.0f))});
    EXPECT_EQ(CallAt(0), 0);
    EXPECT_EQ(CallAt(999), 0);
    EXPECT_EQ(CallAt(1000), 1);
    EXPECT_EQ(OriginTrigger().bPending, 1) << "re-armed by the same call's quadrant walk";
    EXPECT_EQ(OriginTrigger().fFireTime, 2.0f);
    EXPECT_EQ(CallAt(1999), 0);
    EXPECT_EQ(CallAt(2000), 1);
}

TEST_F(TriggerProcessingTest, UnknownTypesAreReportedOnEveryCallAndKept) {
    LoadInOriginQuadrant({Trigger(7, 0.0f), Trigger(kTriggerAbsolute, 0.0f)}, 1);
    for (DWORD call = 0; call < 2; ++call) {
        m_capture.Clear();
        EXPECT_EQ(CallAt(call * 1000), 0);
        EXPECT_EQ(
            m_capture.Lines(),
            (std::vector<std::string>{"CVelEvent::ProcessEvents() Unqualified trigger type 7!!\n",
                                      "CVelEvent::ProcessEvents() Unqualified trigger type 0!!\n"}))
            << "a timed trigger kept in its quadrant is not a proximity trigger";
    }
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 2u);
}

TEST_F(TriggerProcessingTest, EntityIdentifierComesFromTheTriggerWhenItHasOne) {
    TriggerFields own = Trigger(kTriggerProximity, 0.0f);
    TriggerFields fresh = own;
    fresh.entityId = 600;
    TriggerFields taken = own;
    taken.entityId = 1;
    LoadInOriginQuadrant({own, fresh, taken});

    EXPECT_EQ(CallAt(0), 3);
    std::vector<CBaseEntity*> spawned = Spawned();
    ASSERT_EQ(spawned.size(), 3u);
    EXPECT_EQ(spawned[0]->m_dwID, 501u) << "the registry's identifier";
    EXPECT_EQ(spawned[1]->m_dwID, 600u);
    EXPECT_EQ(spawned[2]->m_dwID, 1u) << "shared with the player";
    EXPECT_EQ(vgFindEntity(1), m_player);
    EXPECT_TRUE(m_capture.Contains(
        "CVelEvent::TriggerEvent() Entity already exists with id 1 (00000001)\n"));
    EXPECT_FALSE(m_capture.Contains("already exists with id 600"));
}

TEST_F(TriggerProcessingTest, SpawnedEntityIsPlacedAndGivenTheCreateBlock) {
    TriggerFields t = Trigger(kTriggerProximity, 0.0f);
    t.position = {1.0f, 2.0f, 3.0f};
    t.spawnOffset = {10.0f, 0.0f, -1.0f};
    t.createBlock = std::vector<std::uint8_t>(16, 0x5A);
    LoadInOriginQuadrant({t});

    EXPECT_EQ(CallAt(0), 1);
    EXPECT_TRUE(
        m_capture.Contains("module probe: Create 501 creator=0 model=0 data=yes size=16\n"));
    CBaseEntity* entity = Spawned().at(0);
    EXPECT_EQ(entity->GetWorldPosition().x, 11.0f);
    EXPECT_EQ(entity->GetWorldPosition().z, 2.0f);
    EXPECT_EQ(entity->GetOffsetPosition().x, 0.0f);
}

TEST_F(TriggerProcessingTest, FailedCreateDeletesTheEntityAndCountsAsFired) {
    TriggerFields refused = Trigger(kTriggerAbsolute, 0.0f);
    refused.modelIndex = kRefusedModel;
    LoadInOriginQuadrant({refused});

    EXPECT_EQ(CallAt(0), 0);
    EXPECT_TRUE(
        m_capture.Contains("CVelEvent::TriggerEvent() Entity create failed for model index 1\n"));
    EXPECT_TRUE(Spawned().empty());
    m_capture.Clear();
    CallAt(1000);
    EXPECT_FALSE(m_capture.Contains("create failed")) << "removed like a fired trigger";
}

TEST_F(TriggerProcessingTest, FailedSpawnIsReportedAndCountsAsFired) {
    LoadInOriginQuadrant({Trigger(kTriggerProximity, 0.0f)});
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(CallAt(0), 0);
    EXPECT_TRUE(m_capture.Contains("CVelEvent::TriggerEvent() Failed to spawn parent entity!\n"));
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 0u) << "counts as fired";
}

// An armed trigger that is removed must take its pending reference with it: otherwise the
// pending walk would read a released node (the sanitizer build catches that) or fire
// whatever trigger reuses the node.
TEST_F(TriggerProcessingTest, RemovingAnArmedTriggerDropsItsPendingReference) {
    LoadInOriginQuadrant({Trigger(kTriggerProximityDelayed, 1.0f)});
    EXPECT_EQ(CallAt(0), 0);
    ASSERT_EQ(OriginTrigger().bPending, 1);

    CLinkedList<tagGAME_TRIGGER>& list = Quadrant(kOriginQuadrant);
    ManagerAccess::RemoveTrigger(g_eventManager, list, list.GetHeadPosition());
    EXPECT_EQ(list.GetCount(), 0u) << "the list's pool went back to the allocator";
    EXPECT_EQ(CallAt(5000, nullptr), 0);
}

TEST_F(TriggerProcessingTest, ANodeReusedAfterRemovalIsNotFiredByAStaleReference) {
    TriggerFields faraway = WithinRadius(Trigger(kTriggerProximity, 0.0f), {50, 50, 50}, 1.0f);
    LoadInOriginQuadrant({Trigger(kTriggerProximityDelayed, 1.0f), faraway});
    EXPECT_EQ(CallAt(0), 0);

    CLinkedList<tagGAME_TRIGGER>& list = Quadrant(kOriginQuadrant);
    tagGAME_TRIGGER reuser = OriginTrigger();
    reuser.bPending = FALSE;
    reuser.fFireTime = 0.0f;
    ManagerAccess::RemoveTrigger(g_eventManager, list, list.GetHeadPosition());
    ASSERT_EQ(list.AddTail(reuser), 1) << "takes the removed trigger's node";
    EXPECT_EQ(CallAt(5000, nullptr), 0);
}

TEST_F(TriggerProcessingTest, ResetAndLoadDropPendingReferences) {
    const std::vector<std::uint8_t> section =
        SectionBuilder().Group(kOriginQuadrant, {Trigger(kTriggerProximity, 1.0f)}).End().Bytes();
    ASSERT_EQ(LoadSection(section), 0);
    EXPECT_EQ(CallAt(0), 0);
    ASSERT_EQ(LoadSection(section), 0);
    EXPECT_EQ(OriginTrigger().bPending, 0);
    EXPECT_EQ(CallAt(2000, nullptr), 0) << "the old reference went with the old table";

    EXPECT_EQ(CallAt(2000), 0);
    g_eventManager.Reset();
    EXPECT_EQ(CallAt(9000, nullptr), 0);
}

} // namespace
