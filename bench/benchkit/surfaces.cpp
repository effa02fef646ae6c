#include "benchkit/surfaces.h"

namespace benchkit {

IDirectDrawSurface4* MakeSurface(IDirectDraw4* directDraw, const DDPIXELFORMAT& format, DWORD width,
                                 DWORD height, DWORD caps) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    desc.dwWidth = width;
    desc.dwHeight = height;
    desc.ddpfPixelFormat = format;
    desc.ddsCaps.dwCaps = caps;
    IDirectDrawSurface4* surface = nullptr;
    directDraw->CreateSurface(&desc, &surface, nullptr);
    return surface;
}

} // namespace benchkit
