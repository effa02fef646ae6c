#pragma once

#include "platform/export.h"
#include "platform/handle.h"
#include "platform/types.h"

// Re-entrant critical sections: the thread that holds one may enter it again and must leave
// it as often as it entered. The storage is opaque so that portable code needs no system
// header.
struct CRITICAL_SECTION {
    alignas(16) unsigned char storage[64];
};

VELCORE_API void InitializeCriticalSection(CRITICAL_SECTION* section);
VELCORE_API void DeleteCriticalSection(CRITICAL_SECTION* section);
VELCORE_API void EnterCriticalSection(CRITICAL_SECTION* section);
VELCORE_API void LeaveCriticalSection(CRITICAL_SECTION* section);
VELCORE_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);

// Holds a critical section for the lifetime of a scope.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION* section) : m_section(section) {
        EnterCriticalSection(m_section);
    }
    ~CriticalSectionLock() { LeaveCriticalSection(m_section); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION* m_section;
};

// Events. An auto-reset event releases one waiter and falls back to non-signalled; a
// manual-reset event stays signalled until ResetEvent.
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Returns null on failure. Close with CloseHandle.
VELCORE_API HANDLE CreateEventA(BOOL manualReset, BOOL initialState);
VELCORE_API BOOL SetEvent(HANDLE event);
VELCORE_API BOOL ResetEvent(HANDLE event);
VELCORE_API DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
