#pragma once

#include "platform/export.h"

// The debugger output: one process-wide sink that receives every debug line. The default
// sink writes to standard error; a host or a test may replace it. Calls are serialised, so
// a sink never runs twice at once.
using DebugOutputSink = void (*)(const char* text, void* context);

VELCORE_API void OutputDebugStringA(const char* text);

// Installs a sink (null restores the default) and returns the one it replaced.
struct DebugOutputHook {
    DebugOutputSink sink;
    void* context;
};
VELCORE_API DebugOutputHook SetDebugOutputSink(DebugOutputHook hook);
