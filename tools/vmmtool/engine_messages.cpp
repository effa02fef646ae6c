#include "engine_messages.h"

namespace vmmtool {
namespace {

void Drop(const char*, void*) {}

} // namespace

EngineMessages::EngineMessages()
    : m_previous(SetDebugOutputSink({&EngineMessages::Receive, this})) {}

EngineMessages::~EngineMessages() {
    SetDebugOutputSink(m_previous);
}

void EngineMessages::Receive(const char* text, void* context) {
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    static_cast<EngineMessages*>(context)->m_lines.push_back(line);
}

std::string EngineMessages::Text() const {
    std::string text;
    for (const std::string& line : m_lines) {
        text += (text.empty() ? "" : "; ") + line;
    }
    return text;
}

void SilenceEngineOutput() {
    SetDebugOutputSink({&Drop, nullptr});
}

} // namespace vmmtool
