#pragma once

// The engine reports failures as debug-output lines. The tool collects them around each
// engine call it makes, to put them into its own error messages.

#include "platform/os/debug_output.h"

#include <string>
#include <vector>

namespace vmmtool {

// Collects every debug line while it lives; the previous sink comes back after.
class EngineMessages {
public:
    EngineMessages();
    ~EngineMessages();
    EngineMessages(const EngineMessages&) = delete;
    EngineMessages& operator=(const EngineMessages&) = delete;

    // The lines without their line ends, joined by "; " (empty when there were none).
    std::string Text() const;

private:
    static void Receive(const char* text, void* context);

    std::vector<std::string> m_lines;
    DebugOutputHook m_previous;
};

// Drops every debug line: the tool's output is its own report, and the engine's routine notes
// (such as the memory statistics at unload) would only clutter it.
void SilenceEngineOutput();

} // namespace vmmtool
