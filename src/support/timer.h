#pragma once

#include "platform/export.h"
#include "platform/types.h"

// The engine's millisecond clock: the high-resolution counter when the machine has a usable
// one (at least 1000 counts per second), else the system millisecond clock. Callers use only
// differences between readings.
class VELCORE_API CTimer {
public:
    CTimer();

    // Whole milliseconds since construction (system clock: since system start), 32-bit wrap.
    DWORD GetDWORDMillisecTicks() const;
    // Fractional milliseconds, same origin.
    float GetFloatMillisecTicks() const;

    bool IsHighResolution() const { return m_highResolution != 0; }

private:
    LONGLONG m_startCount = 0;
    LONGLONG m_frequency = 0;
    LONGLONG m_countsPerMillisecond = 0;
    float m_millisecondsPerCount = 0.0f;
    BOOL m_highResolution = FALSE;
};
