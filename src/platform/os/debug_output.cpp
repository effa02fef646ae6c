#include "platform/os/debug_output.h"

#include <cstdio>
#include <mutex>

namespace {

void WriteToStandardError(const char* text, void*) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

// A recursive lock: a sink may itself write a debug line without deadlocking.
std::recursive_mutex& SinkLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

DebugOutputHook g_hook{WriteToStandardError, nullptr};

} // namespace

void OutputDebugStringA(const char* text) {
    if (text == nullptr) {
        return;
    }
    std::lock_guard<std::recursive_mutex> guard(SinkLock());
    g_hook.sink(text, g_hook.context);
}

DebugOutputHook SetDebugOutputSink(DebugOutputHook hook) {
    if (hook.sink == nullptr) {
        hook = {WriteToStandardError, nullptr};
    }
    std::lock_guard<std::recursive_mutex> guard(SinkLock());
    DebugOutputHook previous = g_hook;
    g_hook = hook;
    return previous;
}
