#include "engine/debug_log.h"

#include "platform/os/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

void DebugLog(const char* format, ...) {
    // Room for the line feed that may have to be added after a text that filled the buffer.
    char line[kDebugLogLineSize + 1];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(line, kDebugLogLineSize, format, args);
    va_end(args);
    if (length < 0) {
        return;
    }
    if (std::strchr(line, '\n') == nullptr) {
        std::strcat(line, "\n");
    }
    OutputDebugStringA(line);
}
