#pragma once

// Surfaces for tests: made on a software DirectDraw in a chosen format, filled with raw
// values and read back through Lock, top row first.

#include "platform/ddraw/software/software_ddraw.h"

#include <cstdint>
#include <vector>

namespace testkit {

// An off-screen surface (a texture when `caps` says so) of `format`; throws when the
// DirectDraw refuses it.
IDirectDrawSurface4* MakeSurface(IDirectDraw4* directDraw, const DDPIXELFORMAT& format, DWORD width,
                                 DWORD height, DWORD caps = DDSCAPS_OFFSCREENPLAIN);
// The surface's description as GetSurfaceDesc gives it.
DDSURFACEDESC2 Describe(IDirectDrawSurface4* surface);

// Raw values through Lock; empty when the lock fails.
std::vector<DWORD> ReadSurface(IDirectDrawSurface4* surface);
// Writes raw values, top row first, width to a row; false when the lock fails.
bool WriteSurface(IDirectDrawSurface4* surface, const std::vector<DWORD>& values);

} // namespace testkit
