#pragma once

#include "platform/export.h"

// Formats a message printf-style into a bounded line (longer texts are cut at a character
// boundary, never overflowing), adds a line feed when the text has none, and sends the line
// to the debugger output.
VELCORE_API void DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Capacity of the line buffer, terminator included.
constexpr int kDebugLogLineSize = 256;
