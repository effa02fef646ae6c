#pragma once

#include "engine/engine.h"
#include "platform/d3d/recording/recording_d3d.h"
#include "platform/ddraw/software/software_ddraw.h"

#include <memory>

namespace testkit {

// A host for tests: a globals record with a 640 x 480 screen, a software DirectDraw and a
// recording software device whose current viewport is set, handed to the engine for the
// fixture's lifetime.
class DeviceHost {
public:
    explicit DeviceHost(const platform::SoftwareDeviceConfig& device = {},
                        const platform::SoftwareDirectDrawConfig& directDraw = {});
    ~DeviceHost();
    DeviceHost(const DeviceHost&) = delete;
    DeviceHost& operator=(const DeviceHost&) = delete;

    GAME_GLOBALS& Globals() { return m_globals; }
    platform::D3DCallLog& Log() { return *m_log; }
    platform::SoftwareDirectDraw* DirectDraw() { return m_directDraw; }
    platform::SoftwareDirect3D* Direct3D() { return m_direct3D; }
    platform::SoftwareDevice* Device() { return m_device; }
    platform::SoftwareViewport* Viewport() { return m_viewport; }

private:
    std::shared_ptr<platform::D3DCallLog> m_log;
    platform::SoftwareDirectDraw* m_directDraw = nullptr;
    platform::SoftwareDirect3D* m_direct3D = nullptr;
    platform::SoftwareDevice* m_device = nullptr;
    platform::SoftwareViewport* m_viewport = nullptr;
    GAME_GLOBALS m_globals{};
    GAME_GLOBALS* m_previous = nullptr;
};

} // namespace testkit
