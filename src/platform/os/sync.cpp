#include "platform/os/sync.h"

#include "platform/os/last_error.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/single_threaded.h>

namespace {

class Event : public platform::KernelObject {
public:
    Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}

    void Set() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_signalled = true;
        if (m_manualReset) {
            m_changed.notify_all();
        } else {
            m_changed.notify_one();
        }
    }

    void Reset() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_signalled = false;
    }

    DWORD Wait(DWORD milliseconds) {
        std::unique_lock<std::mutex> guard(m_lock);
        auto signalled = [this] { return m_signalled; };
        if (milliseconds == INFINITE) {
            m_changed.wait(guard, signalled);
        } else if (!m_changed.wait_for(guard, std::chrono::milliseconds(milliseconds), signalled)) {
            return WAIT_TIMEOUT;
        }
        if (!m_manualReset) {
            m_signalled = false;
        }
        return WAIT_OBJECT_0;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    const bool m_manualReset;
    bool m_signalled;
};

} // namespace

namespace platform {

const char* const g_pProcessSingleThreaded = &__libc_single_threaded;

} // namespace platform

void WaitForCriticalSection(CRITICAL_SECTION* section) {
    // Marking the word 2 tells the holder that someone sleeps on it.
    while (section->state.exchange(2, std::memory_order_acquire) != 0) {
        section->state.wait(2, std::memory_order_relaxed);
    }
}

HANDLE CreateEventA(BOOL manualReset, BOOL initialState) {
    return platform::RegisterHandle(
        std::make_unique<Event>(manualReset != FALSE, initialState != FALSE));
}

BOOL SetEvent(HANDLE event) {
    Event* target = platform::LookupHandleAs<Event>(event);
    if (target == nullptr) {
        return FALSE;
    }
    target->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE event) {
    Event* target = platform::LookupHandleAs<Event>(event);
    if (target == nullptr) {
        return FALSE;
    }
    target->Reset();
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds) {
    Event* target = platform::LookupHandleAs<Event>(event);
    return target == nullptr ? WAIT_FAILED : target->Wait(milliseconds);
}
