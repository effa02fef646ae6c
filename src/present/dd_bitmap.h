#pragma once

// Bitmaps into surfaces: loading from the host's resources or from files, copying with
// stretching, palettes from colour tables, and colour keys from RGB colours. Exported under
// plain names; results are DirectDraw result codes (0 = success) unless noted.

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/gdi/gdi.h"
#include "platform/export.h"

// A new off-screen surface holding bitmap `name` (a resource of the host, else a file);
// dx, dy stretch it (0 keeps its size). Null on failure.
VELCORE_C_API IDirectDrawSurface4* DDLoadBitmap(IDirectDraw4* directDraw, const char* name, int dx,
                                                int dy);
// Loads bitmap `name` again into `surface`, stretched to fill it.
VELCORE_C_API HRESULT DDReLoadBitmap(IDirectDrawSurface4* surface, const char* name);
// Draws the part (x, y, dx, dy) of `bitmap` (dx or dy 0: to its edge) over the whole surface.
VELCORE_C_API HRESULT DDCopyBitmap(IDirectDrawSurface4* surface, HBITMAP bitmap, int x, int y,
                                   int dx, int dy);
// A 256-entry palette from the colour table of bitmap `name`, or a 3-3-2 colour ramp.
VELCORE_C_API IDirectDrawPalette* DDLoadPalette(IDirectDraw4* directDraw, const char* name);
// The surface's pixel value for an RGB colour (0x00BBGGRR): packed by the pixel format's
// masks, or the nearest palette entry. For CLR_INVALID, the value of the surface's first
// pixel. CLR_INVALID when the surface cannot tell.
VELCORE_C_API DWORD DDColorMatch(IDirectDrawSurface4* surface, COLORREF rgb);
// Makes the pixel value of `rgb` the surface's source colour key.
VELCORE_C_API HRESULT DDSetColorKey(IDirectDrawSurface4* surface, COLORREF rgb);
