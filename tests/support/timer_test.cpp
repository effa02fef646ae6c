#include "support/timer.h"

#include "platform/os/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

// Restores the real counter whatever a test did to it.
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
        DWORD now = timer.GetDWORDMillisecTicks();
        float nowFloat = timer.GetFloatMillisecTicks();
        ASSERT_GE(now, previous);
        ASSERT_GE(nowFloat, previousFloat);
        previous = now;
        previousFloat = nowFloat;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(timer.GetDWORDMillisecTicks() - previous, 30u);
    EXPECT_GE(timer.GetFloatMillisecTicks() - previousFloat, 29.5f);
    CTimer copy;
    copy = timer;
    EXPECT_GE(copy.GetDWORDMillisecTicks(), 30u) << "copies keep the origin";
}

TEST_F(TimerTest, FallsBackToTheSystemClockBelowOneKilohertz) {
    platform::OverridePerformanceFrequency(1000);
    EXPECT_TRUE(CTimer().IsHighResolution());
    platform::OverridePerformanceFrequency(999);
    EXPECT_FALSE(CTimer().IsHighResolution());
    platform::OverridePerformanceFrequency(0);
    CTimer timer;
    EXPECT_FALSE(timer.IsHighResolution());
    DWORD system = timeGetTime();
    DWORD reading = timer.GetDWORDMillisecTicks();
    // The fallback counts from system start, not from construction.
    EXPECT_GE(reading, system);
    EXPECT_LE(reading - system, 50u);
    EXPECT_NEAR(timer.GetFloatMillisecTicks(), static_cast<float>(timeGetTime()), 1000.0f);
}

} // namespace
