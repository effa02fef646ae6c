#include "support/timer.h"

#include "platform/os/clock.h"

CTimer::CTimer() {
    m_highResolution = QueryPerformanceFrequency(&m_frequency);
    if (!m_highResolution) {
        return;
    }
    QueryPerformanceCounter(&m_startCount);
    m_countsPerMillisecond = m_frequency / 1000;
    m_millisecondsPerCount = static_cast<float>(1000.0 / static_cast<double>(m_frequency));
    if (m_countsPerMillisecond == 0) {
        m_highResolution = FALSE;
    }
}

DWORD CTimer::GetDWORDMillisecTicks() const {
    if (!m_highResolution) {
        return timeGetTime();
    }
    LONGLONG now = 0;
    QueryPerformanceCounter(&now);
    return static_cast<DWORD>((now - m_startCount) / m_countsPerMillisecond);
}

float CTimer::GetFloatMillisecTicks() const {
    if (!m_highResolution) {
        return static_cast<float>(timeGetTime());
    }
    LONGLONG now = 0;
    QueryPerformanceCounter(&now);
    return static_cast<float>(static_cast<double>(now - m_startCount) * m_millisecondsPerCount);
}
