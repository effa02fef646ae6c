#pragma once

#include "platform/ddraw/ddraw.h"

namespace benchkit {

// A surface of the given format, size and capabilities, or null.
IDirectDrawSurface4* MakeSurface(IDirectDraw4* directDraw, const DDPIXELFORMAT& format, DWORD width,
                                 DWORD height, DWORD caps);

} // namespace benchkit
