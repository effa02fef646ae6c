#pragma once

#include "platform/export.h"
#include "platform/types.h"

// Dynamic modules (shared objects), named by Windows-style paths (platform/os/path.h).
using FARPROC = void (*)();

// Null on failure; the reason is available from GetModuleErrorText.
VELCORE_API HMODULE LoadLibraryA(const char* path);
VELCORE_API FARPROC GetProcAddress(HMODULE module, const char* name);
VELCORE_API BOOL FreeLibrary(HMODULE module);

// The loader's description of the calling thread's last module failure ("" when none).
VELCORE_API const char* GetModuleErrorText();
