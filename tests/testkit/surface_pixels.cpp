#include "testkit/surface_pixels.h"

#include <stdexcept>

namespace testkit {
namespace {

platform::PixelView LockedView(IDirectDrawSurface4* surface, DDSURFACEDESC2& desc) {
    desc = DDSURFACEDESC2{};
    desc.dwSize = sizeof(desc);
    platform::PixelView view;
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr))) {
        return view;
    }
    view.bits = static_cast<BYTE*>(DDLockedBits(&desc));
    view.pitch = desc.lPitch;
    view.width = static_cast<LONG>(desc.dwWidth);
    view.height = static_cast<LONG>(desc.dwHeight);
    view.layout = platform::LayoutOf(desc.ddpfPixelFormat);
    return view;
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

std::vector<DWORD> ReadSurface(IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc;
    const platform::PixelView view = LockedView(surface, desc);
    std::vector<DWORD> values;
    for (LONG y = 0; y < view.height && view.bits != nullptr; ++y) {
        for (LONG x = 0; x < view.width; ++x) {
            values.push_back(platform::ReadPixel(view, x, y));
        }
    }
    if (view.bits != nullptr) {
        surface->Unlock(nullptr);
    }
    return values;
}

bool WriteSurface(IDirectDrawSurface4* surface, const std::vector<DWORD>& values) {
    DDSURFACEDESC2 desc;
    const platform::PixelView view = LockedView(surface, desc);
    if (view.bits == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        platform::WritePixel(view, static_cast<LONG>(i % view.width),
                             static_cast<LONG>(i / view.width), values[i]);
    }
    surface->Unlock(nullptr);
    return true;
}

} // namespace testkit
