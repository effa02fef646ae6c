#pragma once

#include "platform/export.h"
#include "platform/types.h"

// The high-resolution counter is the monotonic nanosecond clock (frequency 10^9).
VELCORE_API BOOL QueryPerformanceFrequency(LONGLONG* frequency);
VELCORE_API BOOL QueryPerformanceCounter(LONGLONG* count);

// Milliseconds of the monotonic clock, wrapping at 2^32.
VELCORE_API DWORD timeGetTime();

namespace platform {

// Test hook: makes the counter report the given frequency (0: no counter at all, so
// QueryPerformanceFrequency fails); a negative value restores the real counter. The counter
// itself is rescaled to the reported frequency.
VELCORE_API void OverridePerformanceFrequency(LONGLONG frequency);

// Test hooks: freeze the monotonic clock behind the counter and timeGetTime at its current
// reading; from then on it moves only by AdvanceFrozenClock, until ThawClock.
VELCORE_API void FreezeClock();
VELCORE_API void AdvanceFrozenClock(LONGLONG nanoseconds);
VELCORE_API void ThawClock();

} // namespace platform
