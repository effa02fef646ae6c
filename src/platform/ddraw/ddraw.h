#pragma once

// The 2D graphics interfaces the engine draws through: the DirectDraw object, its surfaces
// and palettes, trimmed to the operations the engine and its hosts use. Objects are reference
// counted (the creator gets one reference); operations return signed result codes, negative
// is failure, and a failed operation changes nothing. Objects are used from one thread.
//
// Implementation: the software DirectDraw (platform/ddraw/software/software_ddraw.h), pixel
// buffers in system memory with simulated surface loss and injectable failures.

#include "platform/ddraw/ddraw_types.h"
#include "platform/export.h"

struct HDC__;
using HDC = HDC__*;

class IDirectDrawSurface4;

// 256 entries; with DDPCAPS_ALPHA the flags byte of each entry is its alpha.
class IDirectDrawPalette : public IUnknown {
public:
    virtual HRESULT GetCaps(DWORD* caps) = 0;
    // Entries [start, start + count) of the 256; flags must be 0.
    virtual HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) = 0;
    virtual HRESULT SetEntries(DWORD flags, DWORD start, DWORD count,
                               const PALETTEENTRY* entries) = 0;
};

class IDirectDrawSurface4 : public IUnknown {
public:
    // Copies srcRect of `source` (null: all of it) into destRect (null: all of this surface),
    // stretching when the sizes differ. DDBLT_KEYSRC skips source pixels inside the source's
    // colour key; DDBLT_COLORFILL fills destRect with fx->dwFillColor and takes no source.
    // A rectangle that is empty or leaves its surface gives DDERR_INVALIDRECT.
    virtual HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* srcRect, DWORD flags,
                        DDBLTFX* fx) = 0;
    // Copies srcRect of `source` (null: all of it) to (x, y) without stretching;
    // DDBLTFAST_SRCCOLORKEY skips source pixels inside the source's colour key.
    virtual HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* srcRect,
                            DWORD flags) = 0;
    // The next mipmap level (caps->dwCaps DDSCAPS_MIPMAP), with a reference added;
    // DDERR_NOTFOUND below the last level.
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) = 0;
    virtual HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    // Only DDCKEY_SRCBLT is kept; a null key removes it.
    virtual HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) = 0;
    // A device context drawing into this surface; the surface counts as locked until
    // ReleaseDC.
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    // Adds a reference to the returned palette; DDERR_NOPALETTEATTACHED without one.
    virtual HRESULT GetPalette(IDirectDrawPalette** palette) = 0;
    // The surface holds a reference to its palette; null detaches it.
    virtual HRESULT SetPalette(IDirectDrawPalette* palette) = 0;
    virtual HRESULT GetPixelFormat(DDPIXELFORMAT* format) = 0;
    // desc->dwSize must be 124.
    virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) = 0;
    // DD_OK, or DDERR_SURFACELOST while the surface's memory is lost.
    virtual HRESULT IsLost() = 0;
    // Describes the surface and its memory from rect's top-left corner (null: the whole
    // surface); see DDLockedBits. One lock at a time.
    virtual HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(RECT* rect) = 0;
    // Gives a lost surface its memory back; the contents are undefined until redrawn.
    virtual HRESULT Restore() = 0;
};

class IDirectDraw4 : public IUnknown {
public:
    // desc needs DDSD_CAPS, DDSD_WIDTH and DDSD_HEIGHT; without DDSD_PIXELFORMAT the surface
    // takes the display format. `outer` must be null.
    virtual HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface,
                                  IUnknown* outer) = 0;
    // caps must include DDPCAPS_8BIT; `entries` gives all 256 entries.
    virtual HRESULT CreatePalette(DWORD caps, const PALETTEENTRY* entries,
                                  IDirectDrawPalette** palette, IUnknown* outer) = 0;
    // Restores every lost surface of this object.
    virtual HRESULT RestoreAllSurfaces() = 0;
};

// The memory that the Lock which filled `desc` describes, or null once that lock has ended.
VELCORE_API void* DDLockedBits(const DDSURFACEDESC2* desc);
