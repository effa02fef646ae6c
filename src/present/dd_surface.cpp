#include "present/dd_surface.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "present/dd_bitmap.h"
#include "present/surface_wait.h"
#include "support/memory.h"

#include <algorithm>
#include <cstdint>

namespace {

CDDSurface* g_surfaceListHead = nullptr;
void (*g_restoreCallback)() = nullptr;

// One axis of a draw: the part of [start, start + length) inside [0, limit), as the offset
// of its first and one past its last pixel from start. Computed in 64 bits so that a
// position near the integer limits cannot wrap.
struct AxisClip {
    std::int64_t first;
    std::int64_t last;
};

AxisClip ClipAxis(std::int64_t start, std::int64_t length, std::int64_t limit) {
    return AxisClip{std::max<std::int64_t>(0, -start), std::min(length, limit - start)};
}

LONG Narrow(std::int64_t value) {
    return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

// Cuts a stretched copy to the target's size, moving the source edges in proportion.
void ClipStretchAxis(LONG& targetLow, LONG& targetHigh, LONG& sourceLow, LONG& sourceHigh,
                     LONG limit) {
    const std::int64_t length = std::int64_t{targetHigh} - targetLow;
    if (length <= 0) {
        return; // refused as an empty rectangle by the copy itself
    }
    const AxisClip clip = ClipAxis(targetLow, length, limit);
    if (clip.last <= clip.first) {
        targetHigh = targetLow; // nothing of it is visible
        return;
    }
    const std::int64_t sourceLength = std::int64_t{sourceHigh} - sourceLow;
    if (sourceLength <= 0) {
        return; // refused as an empty rectangle by the copy itself
    }
    // The low edge rounds down and the high edge up, so that every source pixel that shows
    // in the visible part stays inside the cut rectangle.
    const std::int64_t low = sourceLow;
    sourceLow = Narrow(low + clip.first * sourceLength / length);
    sourceHigh = Narrow(low + (clip.last * sourceLength + length - 1) / length);
    targetHigh = Narrow(targetLow + clip.last);
    targetLow = Narrow(targetLow + clip.first);
}

bool TargetSize(IDirectDrawSurface4* target, LONG* width, LONG* height, HRESULT* hr) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    *hr = target->GetSurfaceDesc(&desc);
    *width = static_cast<LONG>(desc.dwWidth);
    *height = static_cast<LONG>(desc.dwHeight);
    return SUCCEEDED(*hr);
}

} // namespace

CDDSurface::CDDSurface() = default;

CDDSurface::~CDDSurface() {
    CDDSurface::Release();
}

int CDDSurface::Create(DDSURFACEDESC2* desc) {
    GAME_GLOBALS* globals = vgGetGlobals();
    IDirectDraw4* directDraw = globals != nullptr ? globals->pDirectDraw : nullptr;
    IDirectDrawSurface4* created = nullptr;
    const HRESULT hr = directDraw != nullptr ? directDraw->CreateSurface(desc, &created, nullptr)
                                             : DDERR_INVALIDOBJECT;
    if (FAILED(hr)) {
        DebugLog("CDDSurface::Create() Failed to create surface! Error=%08X %08X",
                 static_cast<unsigned>(hr), static_cast<unsigned>(hr) & 0x7FFFFFFFu);
        return 0;
    }
    SetSurface(created);
    return 1;
}

void CDDSurface::SetSurface(IDirectDrawSurface4* newSurface) {
    Release();
    if (newSurface == nullptr) {
        return;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    newSurface->GetSurfaceDesc(&desc);
    surface = newSurface;
    sourceRect.right = width = static_cast<int>(desc.dwWidth);
    sourceRect.bottom = height = static_cast<int>(desc.dwHeight);
    bitsPerPixel = static_cast<int>(desc.ddpfPixelFormat.dwRGBBitCount);
    if (!inSurfaceList) {
        LinkIntoList();
    }
    CMemory::TrackVideoMemory(surface);
}

void CDDSurface::Release() {
    if (surface != nullptr) {
        CMemory::UntrackVideoMemory(surface);
        surface->Release();
        surface = nullptr;
    }
    if (inSurfaceList) {
        UnlinkFromList();
    }
}

void CDDSurface::Restore() {
    if (surface != nullptr && FAILED(surface->Restore())) {
        DebugLog("CDDSurface::Restore() Restore failed on surface!");
    }
}

void CDDSurface::LinkIntoList() {
    next = g_surfaceListHead;
    prev = nullptr;
    if (g_surfaceListHead != nullptr) {
        g_surfaceListHead->prev = this;
    }
    g_surfaceListHead = this;
    inSurfaceList = 1;
}

void CDDSurface::UnlinkFromList() {
    if (prev == nullptr) {
        g_surfaceListHead = next;
    } else {
        prev->next = next;
    }
    if (next != nullptr) {
        next->prev = prev;
    }
    inSurfaceList = 0;
    next = nullptr;
    prev = nullptr;
}

template <class Copy> int CDDSurface::RetryLostCopy(const char* operation, Copy copy) {
    bool restoreTried = false;
    int stillDrawing = 0;
    HRESULT hr;
    for (;;) {
        hr = copy();
        if (hr == DD_OK || hr == DDERR_INVALIDRECT) {
            break;
        }
        if (hr == DDERR_SURFACELOST) {
            if (restoreTried) {
                DebugLog("%s RestoreAllSurfaces() Failed!", operation);
                break;
            }
            GlobalRestoreSurfaces();
            restoreTried = true;
            continue;
        }
        if (hr == DDERR_WASSTILLDRAWING && ++stillDrawing < kStillDrawingRetries) {
            continue;
        }
        DebugLog("%s Unexpected error %08X!", operation, static_cast<unsigned>(hr));
        break;
    }
    return hr == DD_OK ? 1 : 0;
}

int CDDSurface::Blt(int x, int y, IDirectDrawSurface4* dest) {
    return RetryLostCopy("CDDSurface::Blt()", [&]() -> HRESULT {
        if (dest == nullptr || surface == nullptr) {
            return DDERR_INVALIDPARAMS;
        }
        LONG limitWidth;
        LONG limitHeight;
        if (HRESULT hr; !TargetSize(dest, &limitWidth, &limitHeight, &hr)) {
            return hr;
        }
        const AxisClip columns = ClipAxis(x, width, limitWidth);
        const AxisClip rows = ClipAxis(y, height, limitHeight);
        if (columns.last <= columns.first || rows.last <= rows.first) {
            return DDERR_INVALIDRECT;
        }
        RECT source{Narrow(sourceRect.left + columns.first), Narrow(sourceRect.top + rows.first),
                    Narrow(sourceRect.left + columns.last), Narrow(sourceRect.top + rows.last)};
        return dest->BltFast(static_cast<DWORD>(x + columns.first),
                             static_cast<DWORD>(y + rows.first), surface, &source, bltFastFlags);
    });
}

int CDDSurface::StretchBlt(RECT* destRect, IDirectDrawSurface4* dest) {
    return RetryLostCopy("CDDSurface::StretchBlt()", [&]() -> HRESULT {
        if (dest == nullptr || surface == nullptr) {
            return DDERR_INVALIDPARAMS;
        }
        RECT source = sourceRect;
        if (destRect == nullptr) {
            return dest->Blt(nullptr, surface, &source, bltFlags, nullptr);
        }
        LONG limitWidth;
        LONG limitHeight;
        if (HRESULT hr; !TargetSize(dest, &limitWidth, &limitHeight, &hr)) {
            return hr;
        }
        RECT target = *destRect;
        ClipStretchAxis(target.left, target.right, source.left, source.right, limitWidth);
        ClipStretchAxis(target.top, target.bottom, source.top, source.bottom, limitHeight);
        return dest->Blt(&target, surface, &source, bltFlags, nullptr);
    });
}

int CDDSurface::SetColourKey(DWORD colour) {
    if (surface == nullptr) {
        DebugLog("CDDSurface::SetColourKey() Failed on NULL surface!!");
        return 0;
    }
    const HRESULT hr = DDSetColorKey(surface, colour);
    if (FAILED(hr)) {
        DebugLog("CDDSurface::SetColourKey() Failed! Error=%08X (%08X)", static_cast<unsigned>(hr),
                 static_cast<unsigned>(hr) & 0x7FFFFFFFu);
        return 0;
    }
    colourKey = colour;
    hasColourKey = 1;
    bltFlags = DDBLT_KEYSRC;
    bltFastFlags = DDBLTFAST_SRCCOLORKEY;
    return 1;
}

int CDDSurface::GetBPP() {
    return bitsPerPixel;
}

int CDDSurface::GetHeight() {
    return height;
}

int CDDSurface::GetWidth() {
    return width;
}

IDirectDrawSurface4* CDDSurface::GetSurface() {
    return surface;
}

int CDDSurface::ClipRenderRect(int x, int y, RECT* out) {
    GAME_GLOBALS* globals = vgGetGlobals();
    const std::int64_t limitWidth = globals != nullptr ? globals->nScreenWidth : INT32_MAX;
    const std::int64_t limitHeight = globals != nullptr ? globals->nScreenHeight : INT32_MAX;
    const AxisClip columns = ClipAxis(x, width, limitWidth);
    const AxisClip rows = ClipAxis(y, height, limitHeight);
    *out = RECT{Narrow(sourceRect.left + columns.first), Narrow(sourceRect.top + rows.first),
                Narrow(sourceRect.left + columns.last), Narrow(sourceRect.top + rows.last)};
    return 1;
}

void CDDSurface::RestoreAll() {
    for (CDDSurface* object = g_surfaceListHead; object != nullptr;) {
        CDDSurface* following = object->next; // a restore may move the object in the list
        object->Restore();
        object = following;
    }
}

void CDDSurface::SetRestoreCallback(void (*callback)()) {
    g_restoreCallback = callback;
}

void CDDSurface::GlobalRestoreSurfaces() {
    if (g_restoreCallback != nullptr) {
        g_restoreCallback();
    }
}
