#include "fuzzkit/host.h"

#include "engine/engine.h"
#include "platform/d3d/software/software_d3d.h"
#include "platform/ddraw/software/software_ddraw.h"

namespace fuzzkit {

void SetUpSoftwareHost() {
    static GAME_GLOBALS globals{};
    platform::SoftwareDirectDraw* directDraw = nullptr;
    platform::SoftwareDirect3D* direct3D = nullptr;
    platform::SoftwareDevice* device = nullptr;
    platform::CreateSoftwareDirectDraw({}, &directDraw);
    platform::CreateSoftwareDirect3D({}, &direct3D, &device);
    globals.pDirectDraw = directDraw;
    globals.pDirect3D = direct3D;
    globals.pDevice = device;
    globals.fNearPlane = 1.0f;
    globals.fFarPlane = 100.0f;
    vgSetGlobals(&globals);
    vgEnable();
}

} // namespace fuzzkit
