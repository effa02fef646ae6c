#include "support/timer.h"

#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

class TimerTest : public ::testing::Test {
protected:
    void TearDown() override { platform::OverridePerformanceFrequency(-1); }
};

TEST_F(TimerTest, HighResolutionReadingsCountFromConstructionAndNeverDecrease) {
    CTimer timer;
    EXPECT_TRUE(timer.IsHighResolution());
    DWORD previous = timer.GetDWORDMillisecTicks();
    float previousFloat = timer.GetFloatMillisecTicks();
    EXPECT_LT(previous, 1000u) << "counts from construction";
    for (int i = 0; i < 2000; ++i) {
        ASSERT_GE(timer.GetDWORDMillisecTicks(), previous);
        ASSERT_GE(timer.GetFloatMillisecTicks(), previousFloat);
        previous = timer.GetDWORDMillisecTicks();
        previousFloat = timer.GetFloatMillisecTicks();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(timer.GetFloatMillisecTicks() - previousFloat, 29.5f);
    CTimer copy;
    copy = timer;
    EXPECT_GE(copy.GetDWORDMillisecTicks() - previous, 30u) << "copies keep the origin";
}

TEST_F(TimerTest, FallsBackToTheSystemClockBelowOneKilohertz) {
    for (LONGLONG frequency : {1000, 999, 0}) {
        platform::OverridePerformanceFrequency(frequency);
        EXPECT_EQ(CTimer().IsHighResolution(), frequency == 1000) << frequency;
    }
    CTimer timer;
    DWORD system = timeGetTime();
    DWORD reading = timer.GetDWORDMillisecTicks();
    // The fallback counts from system start, not from construction.
    EXPECT_GE(reading, system);
    EXPECT_LE(reading - system, 50u);
    EXPECT_NEAR(timer.GetFloatMillisecTicks(), static_cast<float>(timeGetTime()), 1000.0f);
}

} // namespace
