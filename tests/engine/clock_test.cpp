#include "engine/state.h"

#include <gtest/gtest.h>

namespace {

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { ResetClocks(); }
    void TearDown() override { ResetClocks(); }
};

// Each reading gives the step since the last one and the total; a timer going back gives a
// zero step, and the next step counts from the lower reading.
TEST_F(ClockTest, StepIsTheTimeSinceTheLastReadingAndNeverNegative) {
    const struct {
        DWORD reading, step, total;
    } readings[] = {{1000, 1000, 1000}, {2500, 1500, 2500}, {2000, 0, 2500}, {2100, 100, 2600}};
    for (const auto& r : readings) {
        AdvanceClock(PhysicsClock(), r.reading);
        EXPECT_EQ(vgGetDeltaPhysicsTime(), r.step) << r.reading;
        EXPECT_EQ(vgGetCurrentPhysicsTime(), r.total) << r.reading;
        EXPECT_EQ(vgGetDeltaPhysicsFTime(), static_cast<float>(r.step * 0.001));
    }
    EXPECT_EQ(vgGetCurrentPhysicsFTime(), 2.6f);
    EXPECT_EQ(vgGetCurrentRenderTime(), 0u) << "clocks are independent";
    g_engine.gameState.dwPhysicsTime = 0xFFFFFF00u;
    AdvanceClock(PhysicsClock(), 2100 + 0x200);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 0x100u) << "the integer clock wraps at 32 bits";

    UpdateClock(RenderClock());
    const DWORD first = vgGetCurrentRenderTime();
    UpdateClock(RenderClock());
    EXPECT_EQ(vgGetCurrentRenderTime(), first + vgGetDeltaRenderTime()) << "reads the timer";
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

} // namespace
