#pragma once

#include "platform/export.h"
#include "platform/os/handle.h"
#include "platform/types.h"

#include <atomic>
#include <cstdint>
#include <thread>

// Re-entrant critical sections: the thread that holds one may enter it again and must leave
// it as often as it entered. Every list operation takes one, so entering and leaving are
// inline: re-entry by the holder touches no shared state, and a first entry costs one
// compare-and-swap, leaving one exchange. While the process has a single thread no atomic
// instruction is needed at all. Waiting threads sleep on the lock word.
namespace platform {
// Non-zero while the process has never started a second thread (it never turns back).
extern VELCORE_API const char* const g_pProcessSingleThreaded;
} // namespace platform

struct CRITICAL_SECTION {
    // 0 free, 1 held, 2 held with sleepers.
    std::atomic<std::uint32_t> state;
    std::uint32_t recursion;
    std::atomic<std::thread::id> owner;
};

// Sleeps until the section is free and takes it (the contended half of entering).
VELCORE_API void WaitForCriticalSection(CRITICAL_SECTION* section);

inline void InitializeCriticalSection(CRITICAL_SECTION* section) {
    section->state.store(0, std::memory_order_relaxed);
    section->recursion = 0;
    section->owner.store(std::thread::id(), std::memory_order_relaxed);
}

inline void DeleteCriticalSection(CRITICAL_SECTION*) {}

inline void EnterCriticalSection(CRITICAL_SECTION* section) {
    std::thread::id self = std::this_thread::get_id();
    // Only this thread ever stores its own id, so a match means it already holds the section.
    if (section->owner.load(std::memory_order_relaxed) == self) {
        ++section->recursion;
        return;
    }
    std::uint32_t expected = 0;
    if (*platform::g_pProcessSingleThreaded) {
        section->state.store(1, std::memory_order_relaxed);
    } else if (!section->state.compare_exchange_strong(expected, 1, std::memory_order_acquire,
                                                       std::memory_order_relaxed)) {
        WaitForCriticalSection(section);
    }
    section->owner.store(self, std::memory_order_relaxed);
    section->recursion = 1;
}

inline void LeaveCriticalSection(CRITICAL_SECTION* section) {
    if (--section->recursion != 0) {
        return;
    }
    section->owner.store(std::thread::id(), std::memory_order_relaxed);
    // A thread started while the section was held finds the process multi-threaded here and
    // takes the path that wakes sleepers.
    if (*platform::g_pProcessSingleThreaded) {
        section->state.store(0, std::memory_order_relaxed);
    } else if (section->state.exchange(0, std::memory_order_release) == 2) {
        section->state.notify_one();
    }
}

inline BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
    std::thread::id self = std::this_thread::get_id();
    if (section->owner.load(std::memory_order_relaxed) == self) {
        ++section->recursion;
        return TRUE;
    }
    std::uint32_t expected = 0;
    if (!section->state.compare_exchange_strong(expected, 1, std::memory_order_acquire,
                                                std::memory_order_relaxed)) {
        return FALSE;
    }
    section->owner.store(self, std::memory_order_relaxed);
    section->recursion = 1;
    return TRUE;
}

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
