#include "platform/os/clock.h"

#include <atomic>
#include <time.h>

namespace {

constexpr LONGLONG kNanosecondsPerSecond = 1000000000;

std::atomic<LONGLONG> g_frequencyOverride{-1};
std::atomic<bool> g_frozen{false};
std::atomic<LONGLONG> g_frozenNanoseconds{0};

LONGLONG SystemNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<LONGLONG>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

LONGLONG MonotonicNanoseconds() {
    return g_frozen.load() ? g_frozenNanoseconds.load() : SystemNanoseconds();
}

} // namespace

BOOL QueryPerformanceFrequency(LONGLONG* frequency) {
    LONGLONG forced = g_frequencyOverride.load();
    *frequency = forced < 0 ? kNanosecondsPerSecond : forced;
    return *frequency > 0 ? TRUE : FALSE;
}

BOOL QueryPerformanceCounter(LONGLONG* count) {
    LONGLONG forced = g_frequencyOverride.load();
    LONGLONG nanoseconds = MonotonicNanoseconds();
    if (forced == 0) {
        *count = 0;
        return FALSE;
    }
    // Scaled through seconds so that the product cannot overflow.
    *count = forced < 0 ? nanoseconds
                        : nanoseconds / kNanosecondsPerSecond * forced +
                              nanoseconds % kNanosecondsPerSecond * forced / kNanosecondsPerSecond;
    return TRUE;
}

DWORD timeGetTime() {
    return static_cast<DWORD>(MonotonicNanoseconds() / 1000000);
}

namespace platform {

void OverridePerformanceFrequency(LONGLONG frequency) {
    g_frequencyOverride.store(frequency);
}

void FreezeClock() {
    g_frozenNanoseconds.store(SystemNanoseconds());
    g_frozen.store(true);
}

void AdvanceFrozenClock(LONGLONG nanoseconds) {
    g_frozenNanoseconds.fetch_add(nanoseconds);
}

// A frozen clock advanced past the real one makes the next real reading go back; clock users
// treat a reading that goes back as a step of 0.
void ThawClock() {
    g_frozen.store(false);
}

} // namespace platform
