#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "support/machine_code.h"

#include <gtest/gtest.h>

namespace {

class LifecycleTest : public ::testing::Test {
protected:
    void TearDown() override { vgDisable(); }
};

TEST_F(LifecycleTest, EnableResetsOnceAndOnlyOnce) {
    vgDisable();
    g_engine.gameState.dwNextEntityId = 777;
    EXPECT_EQ(vgEnable(), 1);
    EXPECT_EQ(g_engine.gameState.dwNextEntityId, 500u);
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgGetActiveViewMatrix(), nullptr);

    g_engine.gameState.dwNextEntityId = 778;
    EXPECT_EQ(vgEnable(), 0) << "already enabled";
    EXPECT_EQ(g_engine.gameState.dwNextEntityId, 778u) << "no second reset";
}

TEST_F(LifecycleTest, DisableOnlyActsOnAnEnabledEngine) {
    vgDisable();
    EXPECT_EQ(vgDisable(), 0);
    vgEnable();
    EXPECT_EQ(vgDisable(), 1);
    EXPECT_EQ(vgGetActiveCamera(), nullptr);
}

TEST_F(LifecycleTest, ResetZeroesClocksAndReleasesTheScriptCode) {
    vgEnable();
    AdvanceClock(PhysicsClock(), 100);
    AdvanceClock(PhysicsClock(), 400);
    AdvanceClock(RenderClock(), 50);
    g_engine.bGameLoaded = TRUE;
    g_engine.bGamePaused = FALSE;
    ResetLevel();
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 0u);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 0u);
    EXPECT_EQ(vgGetCurrentRenderTime(), 0u);
    EXPECT_EQ(vgGetCurrentPhysicsFTime(), 0.0f);
    EXPECT_EQ(g_engine.dwLastPhysicsTicks, 0u);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(g_missionCode.GetAMXBuffer(), nullptr);
}

} // namespace
