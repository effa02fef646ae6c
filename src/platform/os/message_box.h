#pragma once

#include "platform/export.h"
#include "platform/types.h"

// Modal message boxes. The handler decides what is shown and which button is chosen; the
// default writes caption and text to standard error and answers with the box's first button
// (OK for an OK box). Calls are serialised.

// Button sets (low four bits of the style).
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
// Icons.
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;

// Buttons chosen.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

VELCORE_API int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);

using MessageBoxHandler = int (*)(const char* text, const char* caption, UINT style, void* context);
struct MessageBoxHook {
    MessageBoxHandler handler;
    void* context;
};

// Installs a handler (null restores the default) and returns the one it replaced.
VELCORE_API MessageBoxHook SetMessageBoxHandler(MessageBoxHook hook);

// The first button of a box of this style: what a user pressing Enter would choose.
VELCORE_API int DefaultMessageBoxButton(UINT style);
