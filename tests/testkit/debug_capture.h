#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testkit {

// Captures every debug-output line while it lives and restores the previous sink after.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    const std::vector<std::string>& Lines() const { return m_lines; }
    std::string Text() const;
    bool Contains(std::string_view fragment) const;
    void Clear() { m_lines.clear(); }

private:
    static void Receive(const char* text, void* context);

    std::vector<std::string> m_lines;
    void* m_previousSink;
    void* m_previousContext;
};

} // namespace testkit
