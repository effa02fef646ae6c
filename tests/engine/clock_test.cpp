#include "engine/state.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ClockTest : public ::testing::Test {
protected:
    void SetUp() override { ResetClocks(); }
    void TearDown() override { ResetClocks(); }
};

// Each reading gives the step since the last one and the total, the float values being the
// integer ones in seconds; a timer going back gives a zero step, and the next step counts from
// the lower reading.
TEST_F(ClockTest, StepIsTheTimeSinceTheLastReadingAndNeverNegative) {
    const struct {
        DWORD reading, step, total;
    } readings[] = {{1000, 1000, 1000}, {2500, 1500, 2500}, {2000, 0, 2500},
                    {2100, 100, 2600},  {2133, 33, 2633},   {125590, 123457, 126090}};
    for (const auto& r : readings) {
        AdvanceClock(PhysicsClock(), r.reading);
        AdvanceClock(RenderClock(), 2 * r.reading); // independent: twice as fast
        EXPECT_EQ((std::vector<float>{float(vgGetDeltaPhysicsTime()),
                                      float(vgGetCurrentPhysicsTime()), vgGetDeltaPhysicsFTime(),
                                      vgGetCurrentRenderFTime(), vgGetDeltaRenderFTime()}),
                  (std::vector<float>{float(r.step), float(r.total), float(r.step * 0.001),
                                      float(2 * r.total * 0.001), float(2 * r.step * 0.001)}))
            << r.reading;
    }
    EXPECT_EQ(vgGetCurrentPhysicsFTime(), 126.09f);
    g_engine.gameState.dwPhysicsTime = 0xFFFFFF00u;
    AdvanceClock(PhysicsClock(), 125590 + 0x200);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 0x100u) << "the integer clock wraps at 32 bits";

    UpdateClock(RenderClock());
    const DWORD first = vgGetCurrentRenderTime();
    UpdateClock(RenderClock());
    EXPECT_EQ(vgGetCurrentRenderTime(), first + vgGetDeltaRenderTime()) << "reads the timer";
}

} // namespace
