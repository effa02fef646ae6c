#pragma once

// The objects behind GDI handles, shared by the parts of the GDI subset: bitmaps
// (device-independent sections) and device contexts. Handles are the objects' addresses,
// valid only while the object is registered, so a stale handle is found out by lookup.

#include "platform/ddraw/gdi/gdi.h"

#include <memory>
#include <vector>

namespace platform {

// A bitmap: rows top row first, each `pitch` bytes (a multiple of 4), in `layout` (1, 4 or 8
// bits with a colour table, or 16, 24 or 32 bits under masks).
struct DibSection {
    LONG width = 0;
    LONG height = 0;
    PixelLayout layout;
    LONG pitch = 0;
    std::vector<BYTE> bits;
    std::vector<Argb> colours; // the colour table, alpha opaque
    HDC selectedInto = nullptr;

    PixelView View();
};

// Allocates the rows for `width` x `height` pixels of `layout`; false when the size is not
// positive or the rows would not fit in memory.
VELCORE_API bool AllocateDibSection(DibSection& bitmap, LONG width, LONG height,
                                    PixelLayout layout);

// Takes ownership and returns the handle.
VELCORE_API HBITMAP RegisterBitmap(std::unique_ptr<DibSection> bitmap);
// The live bitmap behind a handle, or null (last error EBADF).
VELCORE_API DibSection* LookupBitmap(HGDIOBJ handle);
// Unregisters and destroys it; false when the handle is not a live bitmap.
bool DestroyBitmap(HGDIOBJ handle);

} // namespace platform
