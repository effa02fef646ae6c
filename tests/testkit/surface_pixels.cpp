#include "testkit/surface_pixels.h"

#include <stdexcept>

namespace testkit {
namespace {

// Calls `visit(view, x, y)` for each pixel of the locked surface, row by row; false when the
// lock fails.
template <class Visit> bool EachLockedPixel(IDirectDrawSurface4* surface, Visit visit) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
        return false;
    }
    const platform::PixelView view{.bits = static_cast<BYTE*>(DDLockedBits(&desc)),
                                   .pitch = desc.lPitch,
                                   .width = static_cast<LONG>(desc.dwWidth),
                                   .height = static_cast<LONG>(desc.dwHeight),
                                   .layout = platform::LayoutOf(desc.ddpfPixelFormat)};
    for (LONG y = 0; y < view.height; ++y) {
        for (LONG x = 0; x < view.width; ++x) {
            visit(view, x, y);
        }
    }
    surface->Unlock(nullptr);
    return true;
}

} // namespace

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
    if (FAILED(directDraw->CreateSurface(&desc, &surface, nullptr))) {
        throw std::runtime_error("surface refused");
    }
    return surface;
}

DDSURFACEDESC2 Describe(IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    surface->GetSurfaceDesc(&desc);
    return desc;
}

std::vector<DWORD> ReadSurface(IDirectDrawSurface4* surface) {
    std::vector<DWORD> values;
    EachLockedPixel(surface, [&](const platform::PixelView& view, LONG x, LONG y) {
        values.push_back(platform::ReadPixel(view, x, y));
    });
    return values;
}

bool WriteSurface(IDirectDrawSurface4* surface, const std::vector<DWORD>& values) {
    std::size_t next = 0;
    return EachLockedPixel(surface, [&](const platform::PixelView& view, LONG x, LONG y) {
        if (next < values.size()) {
            platform::WritePixel(view, x, y, values[next++]);
        }
    });
}

} // namespace testkit
