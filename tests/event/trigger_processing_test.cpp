#include "event_fixture.h"

#include <algorithm>

namespace {

// Reaches the manager's protected single-trigger removal.
struct ManagerAccess : CVelEvent {
    static void RemoveHead(CLinkedList<tagGAME_TRIGGER>& list) {
        void (CVelEvent::*remove)(CLinkedList<tagGAME_TRIGGER>&, LISTPOS) =
            &ManagerAccess::DeleteTrigger;
        (g_eventManager.*remove)(list, list.GetHeadPosition());
    }
};

TriggerFields Trigger(std::uint32_t type, float delay, std::uint32_t repeat = 0) {
    TriggerFields t;
    t.type = type;
    t.repeat = repeat;
    t.delay = t.fireTime = delay;
    return t;
}

TriggerFields Near(TriggerFields t, std::array<float, 3> position, float radius) {
    t.useRadius = 1;
    t.position = position;
    t.radius = radius;
    return t;
}

// One call of the event walk: at a physics time, with the player standing at `player` or
// without one, and the number of entities the probe module must create in it.
struct Call {
    DWORD milliseconds;
    int created;
    bool withPlayer = true;
    D3DVECTOR player = D3DVECTOR(0.0f);
};

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
    }

    void LoadInOriginQuadrant(const std::vector<TriggerFields>& triggers, int keepAll = 0) {
        Bytes section = SectionBuilder().Group(kOriginQuadrant, triggers).End().Bytes();
        ASSERT_EQ(LoadSection(section, keepAll), 0);
        m_capture.Clear();
    }

    void Walk(const std::vector<Call>& calls) {
        for (const Call& call : calls) {
            SetPhysicsTime(call.milliseconds);
            m_player->SetWorldPosition(call.player);
            const std::size_t before = m_capture.Lines().size();
            EXPECT_EQ(g_eventManager.ProcessEvents(call.withPlayer ? m_player : nullptr), 0);
            EXPECT_EQ(std::count_if(m_capture.Lines().begin() + before, m_capture.Lines().end(),
                                    [](const std::string& line) {
                                        return line.rfind("module probe: Create ", 0) == 0;
                                    }),
                      call.created)
                << "at " << call.milliseconds;
        }
    }

    // The entity at the index in the engine's list: the player is the first.
    static CBaseEntity* Entity(DWORD index) {
        return vgGetEntityList()->GetAt(vgGetEntityList()->FindIndex(index));
    }
    static tagGAME_TRIGGER& OriginTrigger() { return *Quadrant(kOriginQuadrant).GetHead(); }

    using Bytes = std::vector<std::uint8_t>;
    CBaseEntity* m_player = nullptr;
};

TEST_F(TriggerProcessingTest, TimedTriggerFiresAtTheFirstCallAtOrAfterItsTimeAndRepeatsFromThere) {
    LoadInOriginQuadrant({Trigger(kTriggerAbsolute, 5.0f)});
    Walk({{4999, 0}, {5000, 1}, {20000, 0}}); // removed once fired
    // A repeating one counts from the call that fired it, fires at most once per call, and a
    // late call fires it once, not once per missed period.
    LoadInOriginQuadrant({Trigger(kTriggerAbsolute, 5.0f, 1)});
    Walk({{5500, 1}, {5500, 0}, {10400, 0}, {10500, 1}, {30000, 1}, {34999, 0}});
}

TEST_F(TriggerProcessingTest, WithoutAPlayerOnlyTimedAndArmedTriggersFire) {
    LoadInOriginQuadrant({Trigger(kTriggerProximity, 0.0f, 1),
                          Trigger(kTriggerProximityDelayed, 1.0f),
                          Trigger(kTriggerAbsolute, 2.0f)});
    // The zero-delay trigger fires and the delayed one is armed; then the armed and the timed
    // trigger fire without a player, but nothing is near no player.
    Walk({{0, 1}, {2000, 2, false}, {3000, 0, false}, {3000, 1}});
}

TEST_F(TriggerProcessingTest, RadiusBoundaryQualifiesAndRepeatingTriggersFireOnEveryCallInRange) {
    LoadInOriginQuadrant({Near(Trigger(kTriggerProximity, 0.0f), {3.0f, 4.0f, 0.0f}, 5.0f),
                          Near(Trigger(kTriggerProximity, 0.0f), {3.0f, 4.01f, 0.0f}, 5.0f)});
    Walk({{0, 1}, {1000, 0}}); // the one at exactly the radius
    EXPECT_EQ(OriginTrigger().vPosition.y, 4.01f) << "the one beyond the radius stays";
    LoadInOriginQuadrant({Near(Trigger(kTriggerProximityAlt, 0.0f, 1), {0.0f, 0.0f, 0.0f}, 2.0f)});
    Walk({{2000, 1}, {2000, 1}, {2100, 0, true, D3DVECTOR(3.0f, 0.0f, 0.0f)}});
}

// Armed only from its own quadrant, and no earlier than the next call even with a zero
// delay; then fired wherever the player is, kept (expired) until its quadrant is walked and
// removed then without firing again. A repeating one is re-armed by the quadrant walk of the
// call that fired it.
TEST_F(TriggerProcessingTest, DelayedTriggerIsArmedInItsQuadrantAndFiresExactlyOnce) {
    const D3DVECTOR elsewhere(-100.0f, 0.0f, 0.0f); // quadrant 40
    LoadInOriginQuadrant({Trigger(kTriggerProximityDelayed, 0.0f)});
    Walk({{0, 0, true, elsewhere}, {0, 0, true, D3DVECTOR(63.0f, 63.0f, 63.0f)}});
    Walk({{0, 1, true, elsewhere}});
    EXPECT_EQ(std::make_pair(OriginTrigger().bExpired, OriginTrigger().bPending),
              std::make_pair(1, 0));
    Walk({{100000, 0}});
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 0u);

    LoadInOriginQuadrant({Trigger(kTriggerProximity, 1.0f, 1)});
    Walk({{100000, 0}, {100999, 0}, {101000, 1}, {101999, 0}, {102000, 1}});
}

TEST_F(TriggerProcessingTest, UnknownTypesAreReportedOnEveryCallAndKept) {
    // A timed trigger kept in its quadrant is not a proximity trigger either.
    LoadInOriginQuadrant({Trigger(7, 0.0f), Trigger(kTriggerAbsolute, 0.0f)}, 1);
    for (DWORD call = 0; call < 2; ++call) {
        m_capture.Clear();
        Walk({{call * 1000, 0}});
        EXPECT_EQ(m_capture.Lines(),
                  (std::vector<std::string>{
                      "CVelEvent::ProcessEvents() Unqualified trigger type 7!!\n",
                      "CVelEvent::ProcessEvents() Unqualified trigger type 0!!\n"}));
    }
    EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 2u);
}

TEST_F(TriggerProcessingTest, SpawnedEntityIsPlacedIdentifiedAndGivenTheCreateBlock) {
    TriggerFields own = Trigger(kTriggerProximity, 0.0f);
    own.position = {1.0f, 2.0f, 3.0f};
    own.spawnOffset = {10.0f, 0.0f, -1.0f};
    own.createBlock = Bytes(16, 0x5A);
    TriggerFields fresh = Trigger(kTriggerProximity, 0.0f), taken = fresh;
    fresh.entityId = 600;
    taken.entityId = 1;
    LoadInOriginQuadrant({own, fresh, taken});
    Walk({{0, 3}});
    EXPECT_TRUE(
        m_capture.Contains("module probe: Create 501 creator=0 model=0 data=yes size=16\n"));
    const D3DVECTOR placed = Entity(1)->GetWorldPosition();
    EXPECT_EQ((std::vector<float>{placed.x, placed.y, placed.z, Entity(1)->GetOffsetPosition().x}),
              (std::vector<float>{11, 2, 2, 0}));
    // The registry's identifier, the trigger's, and one shared with the player.
    EXPECT_EQ((std::vector<DWORD>{Entity(1)->m_dwID, Entity(2)->m_dwID, Entity(3)->m_dwID}),
              (std::vector<DWORD>{501, 600, 1}));
    EXPECT_EQ(vgFindEntity(1), m_player);
    EXPECT_TRUE(m_capture.Contains(
        "CVelEvent::TriggerEvent() Entity already exists with id 1 (00000001)\n"));
    EXPECT_FALSE(m_capture.Contains("already exists with id 600"));
}

TEST_F(TriggerProcessingTest, FailedCreateOrSpawnIsReportedAndCountsAsFired) {
    TriggerFields refused = Trigger(kTriggerProximity, 0.0f);
    refused.modelIndex = 1;
    const struct {
        TriggerFields trigger;
        DWORD failing;
        std::string message;
    } cases[] = {
        {refused, 0, "CVelEvent::TriggerEvent() Entity create failed for model index 1\n"},
        {Trigger(kTriggerProximity, 0.0f), 1,
         "CVelEvent::TriggerEvent() Failed to spawn parent entity!\n"},
    };
    for (const auto& c : cases) {
        LoadInOriginQuadrant({c.trigger});
        CMemory::FailAllocationAfter(c.failing);
        Walk({{0, 0}});
        EXPECT_TRUE(m_capture.Contains(c.message)) << c.message;
        EXPECT_EQ(vgGetEntityList()->GetCount(), 1u) << "only the player";
        EXPECT_EQ(Quadrant(kOriginQuadrant).GetCount(), 0u) << "counts as fired";
    }
}

// An armed trigger that is removed (its node back in the pool or taken by another trigger),
// or whose table is replaced or reset, must take its pending reference with it: otherwise
// the pending walk would read a released node (the sanitizer build catches that) or fire
// whatever trigger reuses the node.
TEST_F(TriggerProcessingTest, AnArmedTriggerThatGoesTakesItsPendingReference) {
    for (int way = 0; way < 4; ++way) {
        SCOPED_TRACE(way);
        LoadInOriginQuadrant({Trigger(kTriggerProximityDelayed, 1.0f),
                              Near(Trigger(kTriggerProximity, 0.0f), {50, 50, 50}, 1.0f)});
        Walk({{0, 0}});
        tagGAME_TRIGGER reuser = OriginTrigger();
        ASSERT_EQ(reuser.bPending, 1);
        reuser.bPending = FALSE;
        reuser.fFireTime = 0.0f;
        if (way < 2) {
            ManagerAccess::RemoveHead(Quadrant(kOriginQuadrant));
        }
        if (way == 0) {
            ManagerAccess::RemoveHead(Quadrant(kOriginQuadrant));
        } else if (way == 1) {
            ASSERT_EQ(Quadrant(kOriginQuadrant).AddTail(reuser), 1) << "takes the removed node";
        } else if (way == 2) {
            LoadInOriginQuadrant({Trigger(kTriggerProximity, 1.0f)});
            EXPECT_EQ(OriginTrigger().bPending, 0);
        } else {
            g_eventManager.Reset();
        }
        Walk({{5000, 0, false}});
    }
}

} // namespace
