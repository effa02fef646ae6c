#include "engine/state.h"

#include <gtest/gtest.h>

namespace {

// Drives the clock update with explicit timer readings.
class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { ResetClocks(); }
    void TearDown() override { ResetClocks(); }
};

TEST_F(ClockTest, StepIsTheTimeSinceTheLastReading) {
    AdvanceClock(PhysicsClock(), 1000);
    AdvanceClock(PhysicsClock(), 2500);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 1500u);
    EXPECT_EQ(vgGetDeltaPhysicsFTime(), 1.5f);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 2500u);
    EXPECT_EQ(vgGetCurrentPhysicsFTime(), 2.5f);
    EXPECT_EQ(vgGetCurrentRenderTime(), 0u) << "clocks are independent";
}

TEST_F(ClockTest, TimerGoingBackGivesAZeroStepAndTheIntegerClockWrapsAt32Bits) {
    AdvanceClock(PhysicsClock(), 5000);
    AdvanceClock(PhysicsClock(), 4000);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 0u);
    EXPECT_EQ(vgGetDeltaPhysicsFTime(), 0.0f);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 5000u);
    // The next step counts from the lower reading.
    AdvanceClock(PhysicsClock(), 4100);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 100u);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 5100u);
    g_engine.gameState.dwPhysicsTime = 0xFFFFFF00u;
    AdvanceClock(PhysicsClock(), 4100 + 0x200);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 0x100u);
    EXPECT_EQ(vgGetDeltaPhysicsTime(), 0x200u);
}

TEST_F(ClockTest, FloatTotalsAlwaysEqualTheIntegerTotalsInSeconds) {
    DWORD now = 0;
    for (DWORD step : {1u, 7u, 33u, 999u, 16u, 17u, 123457u}) {
        now += step;
        AdvanceClock(RenderClock(), now);
        ASSERT_EQ(vgGetCurrentRenderFTime(), static_cast<float>(vgGetCurrentRenderTime() * 0.001));
        ASSERT_EQ(vgGetDeltaRenderFTime(), static_cast<float>(step * 0.001));
    }
}

TEST_F(ClockTest, UpdateReadsTheEngineTimer) {
    UpdateClock(PhysicsClock());
    DWORD first = vgGetCurrentPhysicsTime();
    UpdateClock(PhysicsClock());
    EXPECT_GE(vgGetCurrentPhysicsTime(), first);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), first + vgGetDeltaPhysicsTime());
}

} // namespace
