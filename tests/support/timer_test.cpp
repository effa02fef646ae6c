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

TEST_F(TimerTest, UsesTheHighResolutionCounter) {
    CTimer timer;
    EXPECT_TRUE(timer.IsHighResolution());
    EXPECT_LT(timer.GetDWORDMillisecTicks(), 1000u) << "counts from construction";
}

TEST_F(TimerTest, ReadingsNeverDecrease) {
    CTimer timer;
    DWORD previous = timer.GetDWORDMillisecTicks();
    float previousFloat = timer.GetFloatMillisecTicks();
    for (int i = 0; i < 2000; ++i) {
        DWORD now = timer.GetDWORDMillisecTicks();
        float nowFloat = timer.GetFloatMillisecTicks();
        ASSERT_GE(now, previous);
        ASSERT_GE(nowFloat, previousFloat);
        previous = now;
        previousFloat = nowFloat;
    }
}

TEST_F(TimerTest, MeasuresElapsedMilliseconds) {
    CTimer timer;
    DWORD start = timer.GetDWORDMillisecTicks();
    float startFloat = timer.GetFloatMillisecTicks();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_GE(timer.GetDWORDMillisecTicks() - start, 30u);
    EXPECT_GE(timer.GetFloatMillisecTicks() - startFloat, 29.5f);
}

TEST_F(TimerTest, FallsBackToTheSystemClockWithoutACounter) {
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

TEST_F(TimerTest, FallsBackWhenTheCounterIsSlowerThanOneKilohertz) {
    platform::OverridePerformanceFrequency(999);
    CTimer slow;
    EXPECT_FALSE(slow.IsHighResolution());

    platform::OverridePerformanceFrequency(1000);
    CTimer justFastEnough;
    EXPECT_TRUE(justFastEnough.IsHighResolution());
}

TEST_F(TimerTest, CopiesKeepTheOrigin) {
    CTimer original;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    CTimer copy;
    copy = original;
    EXPECT_GE(copy.GetDWORDMillisecTicks(), 5u);
}

} // namespace
