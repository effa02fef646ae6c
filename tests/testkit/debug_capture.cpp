#include "testkit/debug_capture.h"

#include "platform/os/debug_output.h"

namespace testkit {

DebugCapture::DebugCapture() {
    DebugOutputHook previous = SetDebugOutputSink({&DebugCapture::Receive, this});
    m_previousSink = reinterpret_cast<void*>(previous.sink);
    m_previousContext = previous.context;
}

DebugCapture::~DebugCapture() {
    SetDebugOutputSink({reinterpret_cast<DebugOutputSink>(m_previousSink), m_previousContext});
}

void DebugCapture::Receive(const char* text, void* context) {
    static_cast<DebugCapture*>(context)->m_lines.emplace_back(text);
}

std::string DebugCapture::Text() const {
    std::string all;
    for (const auto& line : m_lines) {
        all += line;
    }
    return all;
}

bool DebugCapture::Contains(std::string_view fragment) const {
    return Text().find(fragment) != std::string::npos;
}

} // namespace testkit
