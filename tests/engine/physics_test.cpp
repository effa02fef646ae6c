#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "event/event_manager.h"
#include "platform/os/clock.h"
#include "platform/os/path.h"
#include "support/memory.h"
#include "table_bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace table_bytes;

// A running level whose model 0 is the test module; time moves only when a test says so.
class PhysicsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::FreezeClock();
        vgEnable();
        ModelSample model;
        model.typeName = "walker";
        model.prefix = "Physics";
        model.modulePath = platform::HostToWindowsPath(PHYSICSMODULE);
        m_dir.WriteFile("models.mlf", Table(kModelId, 1, {ModelRecord(model)}));
        ASSERT_EQ(vgLoadModelTable(m_dir.EnginePath("models.mlf").c_str()), 1);
        vgPauseGame(0);
        m_capture.Clear();
    }
    void TearDown() override {
        vgDisable();
        platform::ThawClock();
    }
    static void Advance(int milliseconds) {
        platform::AdvanceFrozenClock(static_cast<LONGLONG>(milliseconds) * 1000000);
    }
    // A created entity of model 0 whose PerformAI returns result.
    CBaseEntity* Created(CBaseEntity* parent, int result) {
        CBaseEntity* entity =
            parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
        EXPECT_EQ(entity->Create(nullptr, 0, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
        entity->m_dwUserData0 = static_cast<DWORD>(result);
        return entity;
    }
    // Identifiers whose PerformAI ran, in call order.
    std::vector<DWORD> PerformAICalls() const {
        std::vector<DWORD> ids;
        for (const std::string& line : m_capture.Lines()) {
            DWORD id = 0;
            if (std::sscanf(line.c_str(), "module walker: PerformAI %u", &id) == 1) {
                ids.push_back(id);
            }
        }
        return ids;
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
};

TEST_F(PhysicsTest, TickAdvancesTheClockByTheTimerStepUnlessPausedOrDisabled) {
    Advance(40);
    vgGamePhysicsTick();
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 40u);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 40u);
    Advance(1500);
    vgGamePhysicsTick();
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 1500u);
    EXPECT_EQ(vgGetDeltaPhysicsFTime(), 1.5f);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 1540u);

    Created(nullptr, 0);
    m_capture.Clear();
    vgPauseGame(1);
    Advance(10000);
    EXPECT_EQ(vgGamePhysicsTick(), 1);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 1540u);
    EXPECT_TRUE(PerformAICalls().empty());
    vgPauseGame(0);
    EXPECT_EQ(g_engine.dwLastPhysicsTicks, g_engine.dwLastRenderTicks) << "both are rebased";
    Advance(16);
    vgGamePhysicsTick();
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 16u) << "resuming rebases the clock";
    vgDisable();
    m_capture.Clear();
    EXPECT_EQ(vgGamePhysicsTick(), 1);
    EXPECT_TRUE(PerformAICalls().empty());
}

TEST_F(PhysicsTest, ParentsComeBeforeChildrenDepthFirst) {
    CBaseEntity* first = Created(nullptr, 0);
    CBaseEntity* child = Created(first, 0);
    CBaseEntity* grandchild = Created(child, 0);
    CBaseEntity* second = Created(nullptr, 0);
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_EQ(PerformAICalls(), (std::vector<DWORD>{first->m_dwID, child->m_dwID,
                                                    grandchild->m_dwID, second->m_dwID}));
}

TEST_F(PhysicsTest, Result99DeletesTheSubtreeAndTheNextSiblingStillRuns) {
    CBaseEntity* doomed = Created(nullptr, 99);
    DWORD doomedChild = Created(doomed, 0)->m_dwID;
    CBaseEntity* next = Created(nullptr, 0);
    DWORD nextId = next->m_dwID;
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
    EXPECT_EQ(*vgGetEntityList()->GetHead(), next);
    EXPECT_EQ(vgFindEntity(doomedChild), nullptr);
    std::vector<DWORD> calls = PerformAICalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), nextId), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), doomedChild), 0) << "children not run";
    // The node is taken out before the delete, so the destructor does not find it.
    EXPECT_TRUE(m_capture.Contains(
        "CBaseEntity::~CBaseEntity() Unable to find parent object in entity list!"));
}

TEST_F(PhysicsTest, UnexpectedResultIsReportedAndChildrenSkipped) {
    CBaseEntity* odd = Created(nullptr, 5);
    CBaseEntity* child = Created(odd, 6);
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_TRUE(m_capture.Contains(
        "VelEng::vgGamePhysicsTick() Entity 'walker' returned 5 from performAI function.\n"));
    std::vector<DWORD> calls = PerformAICalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), child->m_dwID), 0);
    EXPECT_EQ(vgFindEntity(odd->m_dwID), odd) << "the entity stays";

    odd->m_dwUserData0 = 0;
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_TRUE(m_capture.Contains(
        "VelEng::vgPerformChildPhysics() Entity 'walker' returned 6 from PerformAI hook\n"));
}

TEST_F(PhysicsTest, ChildResult99DeletesOnlyThatChild) {
    CBaseEntity* parent = Created(nullptr, 0);
    Created(parent, 99);
    CBaseEntity* sibling = Created(parent, 0);
    vgGamePhysicsTick();
    ASSERT_EQ(parent->m_Children.GetCount(), 1u);
    EXPECT_EQ(*parent->m_Children.GetHead(), sibling);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::~CBaseEntity() Unable to find a child in parent list!"));
}

// A module may delete entities of the lists being walked; the walk must go on safely.
TEST_F(PhysicsTest, DeletingTheNextSiblingDuringPerformAIIsSafe) {
    CBaseEntity* killer = Created(nullptr, 0);
    CBaseEntity* victim = Created(nullptr, 0);
    CBaseEntity* survivor = Created(nullptr, 0);
    killer->m_nUserData2 = static_cast<LONG>(victim->m_dwID);
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_EQ(vgGetEntityList()->GetCount(), 2u);
    EXPECT_EQ(PerformAICalls(), (std::vector<DWORD>{killer->m_dwID, survivor->m_dwID}));
}

TEST_F(PhysicsTest, DeletingItselfThroughTheRegistryIsSafe) {
    CBaseEntity* self = Created(nullptr, 0);
    DWORD selfId = self->m_dwID;
    Created(self, 0);
    self->m_nUserData2 = static_cast<LONG>(selfId);
    CBaseEntity* next = Created(nullptr, 0);
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_EQ(vgFindEntity(selfId), nullptr);
    EXPECT_EQ(PerformAICalls(), (std::vector<DWORD>{selfId, next->m_dwID}));
}

TEST_F(PhysicsTest, ChildDeletingItsParentsNextSiblingIsSafe) {
    CBaseEntity* parent = Created(nullptr, 0);
    CBaseEntity* child = Created(parent, 0);
    CBaseEntity* uncle = Created(nullptr, 0);
    Created(uncle, 0);
    CBaseEntity* last = Created(nullptr, 0);
    child->m_nUserData2 = static_cast<LONG>(uncle->m_dwID);
    m_capture.Clear();
    vgGamePhysicsTick();
    EXPECT_EQ(PerformAICalls(), (std::vector<DWORD>{parent->m_dwID, child->m_dwID, last->m_dwID}));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 2u);
}

TEST_F(PhysicsTest, ChildDeletingItsOwnParentEndsThatWalk) {
    CBaseEntity* parent = Created(nullptr, 0);
    CBaseEntity* child = Created(parent, 0);
    CBaseEntity* otherChild = Created(parent, 0);
    CBaseEntity* next = Created(nullptr, 0);
    child->m_nUserData2 = static_cast<LONG>(parent->m_dwID);
    DWORD otherId = otherChild->m_dwID;
    m_capture.Clear();
    vgGamePhysicsTick();
    std::vector<DWORD> calls = PerformAICalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), otherId), 0);
    EXPECT_EQ(calls.back(), next->m_dwID);
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u);
}

TEST_F(PhysicsTest, PlayerFoundAmongDirectChildrenSetsOffProximityTriggers) {
    vgInitialiseWorldSize(256.0f);
    CBaseEntity* carrier = Created(nullptr, 0);
    CBaseEntity* player = Created(carrier, 0);
    player->m_dwID = 1;
    tagGAME_TRIGGER trigger{};
    trigger.dwType = 1;
    trigger.bUseRadius = TRUE;
    trigger.fRadius = 50.0f;
    trigger.dwModelIndex = 0;
    ASSERT_EQ(g_eventManager.GetTriggerList(vgGetQuadrant(&trigger.vPosition))->AddTail(trigger),
              1);
    DWORD before = vgGetEntityList()->GetCount();
    for (int tick = 0; tick < 3; ++tick) {
        Advance(20);
        vgGamePhysicsTick();
    }
    EXPECT_EQ(vgGetEntityList()->GetCount(), before + 1) << "the trigger spawned one entity";
}

TEST_F(PhysicsTest, TickAllocatesNothing) {
    for (int i = 0; i < 50; ++i) {
        Created(Created(nullptr, 0), 0);
    }
    vgGamePhysicsTick();
    DWORD peak = CMemory::GetMaxMemoryUsed();
    DWORD total = CMemory::GetTotalMemoryAllocated();
    Advance(16);
    vgGamePhysicsTick();
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), total);
    EXPECT_EQ(CMemory::GetMaxMemoryUsed(), peak);
}

} // namespace
