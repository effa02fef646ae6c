#pragma once

#include "platform/ddraw/gdi/gdi_objects.h"

#include <memory>

namespace platform {

// LoadImageA's work before the bitmap gets a handle: reads the resource or file and
// stretches it. Null with the last error set (and for a refused image a debug line) on
// failure.
std::unique_ptr<DibSection> LoadBitmapImage(HINSTANCE instance, const char* name, UINT type,
                                            int width, int height, UINT flags);

// A copy of `source` at another size (nearest pixel) with its layout and colour table; null
// with the reason in `error` when the size is beyond the reader's limits.
std::unique_ptr<DibSection> StretchBitmap(const DibSection& source, LONG width, LONG height,
                                          const char*& error);

} // namespace platform
