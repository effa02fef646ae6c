#include "engine/engine.h"
#include "engine/globals.h"
#include "entity/entity.h"
#include "event/event_fixture.h"
#include "platform/os/clock.h"
#include "platform/os/path.h"
#include "table_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A level whose model 0 is the physics test module, with the engine clock frozen so that
// each tick's step is what the test advances.
class PhysicsOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::FreezeClock();
        vgEnable();
        table_bytes::ModelSample model;
        model.typeName = "walker";
        model.prefix = "Physics";
        model.modulePath = platform::HostToWindowsPath(PHYSICSMODULE);
        m_dir.WriteFile("models.mlf", table_bytes::Table(table_bytes::kModelId, 1,
                                                         {table_bytes::ModelRecord(model)}));
        ASSERT_EQ(vgLoadModelTable(m_dir.EnginePath("models.mlf").c_str()), 1);
        vgPauseGame(0);
    }
    void TearDown() override {
        vgDisable();
        platform::ThawClock();
    }
    // Advances the frozen clock and runs one tick.
    static void TickAfter(int milliseconds) {
        platform::AdvanceFrozenClock(static_cast<LONGLONG>(milliseconds) * 1000000);
        vgGamePhysicsTick();
    }
    bool RanPerformAI(DWORD id) const {
        const std::string line = "module walker: PerformAI " + std::to_string(id) + "\n";
        const std::vector<std::string>& lines = m_capture.Lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
};

// A timed trigger due at 0.5 s fires in the tick that takes the clock there (the clock moves
// before the events are processed), and the entity it spawns runs in that same tick.
TEST_F(PhysicsOrderTest, TriggerSpawnsRunInTheTickThatReachesTheirTime) {
    TriggerFields timed;
    timed.entityId = 4321;
    timed.delay = 0.5f;
    m_dir.WriteFile("timed.evt", SectionBuilder().Group(0, {timed}).End().Bytes());
    HANDLE file = CreateFileA(m_dir.EnginePath("timed.evt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING);
    ASSERT_EQ(g_eventManager.Load(file, 0), 0);
    CloseHandle(file);

    TickAfter(400);
    EXPECT_EQ(vgFindEntity(4321), nullptr);
    TickAfter(100);
    ASSERT_NE(vgFindEntity(4321), nullptr) << m_capture.Text();
    EXPECT_TRUE(RanPerformAI(4321)) << m_capture.Text();
}

// An entity without a module answers PerformAI with 0, so its children still run.
TEST_F(PhysicsOrderTest, UnboundEntityStillHasItsChildrenProcessed) {
    CBaseEntity* unbound = vgSpawnParentEntity();
    CBaseEntity* child = vgSpawnChildEntity(unbound);
    ASSERT_EQ(child->Create(nullptr, 0, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
    m_capture.Clear();
    TickAfter(16);
    EXPECT_TRUE(RanPerformAI(child->m_dwID)) << m_capture.Text();
    EXPECT_FALSE(RanPerformAI(unbound->m_dwID));
}

} // namespace
