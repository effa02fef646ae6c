#pragma once

// The recording device for tests: a software device (platform/d3d/software/software_d3d.h) whose
// every call, AddRef and Release included, is appended to a D3DCallLog before it acts. The device
// state stays queryable, so a test can check both the calls and their effect.
//
// The log can also make chosen calls fail: a failure rule names a call ("Device::SetTexture",
// any object of that kind), the code to return and which occurrence to fail, counted from
// when the rule was added. A failed call is still logged and changes nothing. References the
// objects take on each other inside the device are not calls and are not logged.
//
//     auto log = std::make_shared<platform::D3DCallLog>();
//     platform::CreateRecordingDirect3D({}, log, &direct3D, &device);
//     log->FailCall("Light::SetLight", DDERR_GENERIC, 2); // only the second SetLight fails
//     ...
//     EXPECT_EQ(log->Lines().back(), "Device#1::SetRenderState(27, 1)");

#include "platform/call_faults.h"
#include "platform/d3d/software/software_d3d.h"
#include "platform/export.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

class VELCORE_API D3DCallLog final : public D3DCallObserver {
public:
    HRESULT OnCall(const D3DCall& call) override;

    // Every call so far, in order.
    const std::vector<D3DCall>& Calls() const { return m_calls; }
    // The calls as full lines ("Device#1::SetRenderState(27, 1)").
    std::vector<std::string> Lines() const;
    // The calls by name ("Device::SetRenderState"), to check an order without arguments.
    std::vector<std::string> Names() const;
    // How many calls had this name.
    std::size_t Count(std::string_view name) const;
    // Forgets the recorded calls; failure rules stay.
    void ClearCalls() { m_calls.clear(); }

    // Failure rules (platform/call_faults.h), checked against each call's name.
    void FailCall(std::string name, HRESULT code, std::size_t occurrence = 0) {
        m_faults.FailCall(std::move(name), code, occurrence);
    }
    void ClearFailures() { m_faults.ClearFailures(); }

private:
    std::vector<D3DCall> m_calls;
    CallFaults m_faults;
};

// A software Direct3D object and device whose calls go to `log`; see CreateSoftwareDirect3D.
VELCORE_API HRESULT CreateRecordingDirect3D(const SoftwareDeviceConfig& config,
                                            std::shared_ptr<D3DCallLog> log,
                                            SoftwareDirect3D** direct3D, SoftwareDevice** device);

} // namespace platform
