#include "platform/d3d/recording/recording_d3d.h"

#include <algorithm>
#include <utility>

namespace platform {

HRESULT D3DCallLog::OnCall(const D3DCall& call) {
    m_calls.push_back(call);
    return m_faults.Check(call.Name());
}

std::vector<std::string> D3DCallLog::Lines() const {
    std::vector<std::string> lines;
    lines.reserve(m_calls.size());
    for (const D3DCall& call : m_calls) {
        lines.push_back(call.Line());
    }
    return lines;
}

std::vector<std::string> D3DCallLog::Names() const {
    std::vector<std::string> names;
    names.reserve(m_calls.size());
    for (const D3DCall& call : m_calls) {
        names.push_back(call.Name());
    }
    return names;
}

std::size_t D3DCallLog::Count(std::string_view name) const {
    return std::count_if(m_calls.begin(), m_calls.end(),
                         [name](const D3DCall& call) { return call.Name() == name; });
}

HRESULT CreateRecordingDirect3D(const SoftwareDeviceConfig& config, std::shared_ptr<D3DCallLog> log,
                                SoftwareDirect3D** direct3D, SoftwareDevice** device) {
    return CreateSoftwareDirect3D(config, direct3D, device, std::move(log));
}

} // namespace platform
