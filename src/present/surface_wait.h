#pragma once

// Waiting for a busy surface. The retries spin without sleeping, as the display expects, but
// are bounded: a surface that reports itself busy this often in a row is treated as failing,
// since a device that never finishes would otherwise hang the host.

#include "platform/ddraw/ddraw.h"

constexpr int kStillDrawingRetries = 10000;

// Locks the whole surface, retrying while it is still drawing.
inline HRESULT LockWhileDrawing(IDirectDrawSurface4* surface, DDSURFACEDESC2* desc, DWORD flags) {
    desc->dwSize = sizeof(DDSURFACEDESC2);
    HRESULT hr;
    int attempts = 0;
    do {
        hr = surface->Lock(nullptr, desc, flags, nullptr);
    } while (hr == DDERR_WASSTILLDRAWING && ++attempts < kStillDrawingRetries);
    return hr;
}
