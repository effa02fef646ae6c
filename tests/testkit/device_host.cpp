#include "testkit/device_host.h"

#include <stdexcept>

namespace testkit {

DeviceHost::DeviceHost(const platform::SoftwareDeviceConfig& device,
                       const platform::SoftwareDirectDrawConfig& directDraw)
    : m_log(std::make_shared<platform::D3DCallLog>()) {
    if (FAILED(platform::CreateRecordingDirect3D(device, m_log, &m_direct3D, &m_device)) ||
        FAILED(platform::CreateSoftwareDirectDraw(directDraw, &m_directDraw))) {
        throw std::runtime_error("no recording device");
    }
    IDirect3DViewport3* viewport = nullptr;
    m_direct3D->CreateViewport(&viewport, nullptr);
    m_device->SetCurrentViewport(viewport);
    m_viewport = static_cast<platform::SoftwareViewport*>(viewport);
    m_globals.pDirectDraw = m_directDraw;
    m_globals.pDirect3D = m_direct3D;
    m_globals.pDevice = m_device;
    m_globals.nScreenWidth = 640;
    m_globals.nScreenHeight = 480;
    m_globals.fNearPlane = 1.0f;
    m_globals.fFarPlane = 1000.0f;
    m_previous = vgGetGlobals();
    vgSetGlobals(&m_globals);
    m_log->ClearCalls();
}

DeviceHost::~DeviceHost() {
    vgSetGlobals(m_previous);
    m_viewport->Release();
    m_device->Release();
    m_direct3D->Release();
    m_directDraw->Release();
}

} // namespace testkit
