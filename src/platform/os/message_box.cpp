#include "platform/os/message_box.h"

#include <cstdio>
#include <mutex>

namespace {

int WriteToStandardError(const char* text, const char* caption, UINT style, void*) {
    std::fprintf(stderr, "[%s] %s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    std::fflush(stderr);
    return DefaultMessageBoxButton(style);
}

std::recursive_mutex& HandlerLock() {
    static std::recursive_mutex* lock = new std::recursive_mutex;
    return *lock;
}

MessageBoxHook g_hook{WriteToStandardError, nullptr};

} // namespace

int DefaultMessageBoxButton(UINT style) {
    switch (style & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNOCANCEL:
    case MB_YESNO:
        return IDYES;
    case MB_RETRYCANCEL:
        return IDRETRY;
    default:
        return IDOK;
    }
}

int MessageBoxA(HWND, const char* text, const char* caption, UINT style) {
    std::lock_guard<std::recursive_mutex> guard(HandlerLock());
    return g_hook.handler(text, caption, style, g_hook.context);
}

MessageBoxHook SetMessageBoxHandler(MessageBoxHook hook) {
    if (hook.handler == nullptr) {
        hook = {WriteToStandardError, nullptr};
    }
    std::lock_guard<std::recursive_mutex> guard(HandlerLock());
    MessageBoxHook previous = g_hook;
    g_hook = hook;
    return previous;
}
