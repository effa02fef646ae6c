#pragma once

// Records, constants and result codes of the 2D graphics services the engine was designed
// against, with their original widths and values. The surface description keeps its 124-byte
// layout (asserted) because callers fill it and pass its size. The interfaces themselves are
// in platform/ddraw/ddraw.h.

#include "platform/com.h"
#include "platform/types.h"

#include <cstddef>

// ---------------------------------------------------------------------------------------------
// Result codes. Negative is failure.

constexpr HRESULT DD_OK = 0;
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_OUTOFMEMORY = MakeResultCode(0x8007000E);
constexpr HRESULT DDERR_INVALIDPARAMS = MakeResultCode(0x80070057);
constexpr HRESULT DDERR_INVALIDOBJECT = MakeResultCode(0x88760082);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeResultCode(0x88760091);
constexpr HRESULT DDERR_INVALIDRECT = MakeResultCode(0x88760096);
constexpr HRESULT DDERR_NOCOLORKEY = MakeResultCode(0x887600D7);
constexpr HRESULT DDERR_NOPALETTEATTACHED = MakeResultCode(0x88760131);
constexpr HRESULT DDERR_NOTFOUND = MakeResultCode(0x887600FF);
constexpr HRESULT DDERR_NOTLOCKED = MakeResultCode(0x887601E8);
constexpr HRESULT DDERR_SURFACEBUSY = MakeResultCode(0x887601AE);
constexpr HRESULT DDERR_SURFACELOST = MakeResultCode(0x887601C2);
constexpr HRESULT DDERR_UNSUPPORTED = MakeResultCode(0x80004001);
constexpr HRESULT DDERR_WASSTILLDRAWING = MakeResultCode(0x8876021C);
constexpr HRESULT DDERR_CANTCREATEDC = MakeResultCode(0x88760241);

// ---------------------------------------------------------------------------------------------
// Plain records.

struct RECT {
    LONG left, top, right, bottom;
};
static_assert(sizeof(RECT) == 16);

// Colours as the engine passes them between parts: red in the low byte, then green, blue.
using COLORREF = DWORD;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;

constexpr COLORREF RGB(BYTE red, BYTE green, BYTE blue) {
    return DWORD{red} | (DWORD{green} << 8) | (DWORD{blue} << 16);
}
constexpr BYTE GetRValue(COLORREF colour) {
    return static_cast<BYTE>(colour);
}
constexpr BYTE GetGValue(COLORREF colour) {
    return static_cast<BYTE>(colour >> 8);
}
constexpr BYTE GetBValue(COLORREF colour) {
    return static_cast<BYTE>(colour >> 16);
}

// A palette entry: red, green, blue and a flags byte (alpha in palettes with alpha).
struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

// ---------------------------------------------------------------------------------------------
// Pixel formats (surfaces, and the 3D device's texture format enumeration).

struct DDPIXELFORMAT {
    DWORD dwSize; // 32
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};
static_assert(sizeof(DDPIXELFORMAT) == 32);

// DDPIXELFORMAT::dwFlags
constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_FOURCC = 0x4;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_LUMINANCE = 0x20000;
constexpr DWORD DDPF_BUMPLUMINANCE = 0x40000;
constexpr DWORD DDPF_BUMPDUDV = 0x80000;

// ---------------------------------------------------------------------------------------------
// Surfaces.

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue; // raw pixel values; a pixel inside the range is transparent
    DWORD dwColorSpaceHighValue;
};
static_assert(sizeof(DDCOLORKEY) == 8);

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};
static_assert(sizeof(DDSCAPS2) == 16);

// The surface description. Its size is part of the calling convention, so the one pointer it
// once carried keeps a 32-bit slot: a successful Lock puts a token there, and DDLockedBits
// (platform/ddraw/ddraw.h) turns the token into the locked memory until Unlock.
struct DDSURFACEDESC2 {
    DWORD dwSize; // 124
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch; // bytes from one row to the next
    DWORD dwBackBufferCount;
    DWORD dwMipMapCount;
    DWORD dwAlphaBitDepth;
    DWORD dwReserved;
    DWORD lpSurfaceSlot; // lock token, see DDLockedBits
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
    DWORD dwTextureStage;
};
static_assert(sizeof(DDSURFACEDESC2) == 124);
static_assert(offsetof(DDSURFACEDESC2, dwFlags) == 4);
static_assert(offsetof(DDSURFACEDESC2, dwHeight) == 8);
static_assert(offsetof(DDSURFACEDESC2, dwWidth) == 12);
static_assert(offsetof(DDSURFACEDESC2, lPitch) == 16);
static_assert(offsetof(DDSURFACEDESC2, dwMipMapCount) == 24);
static_assert(offsetof(DDSURFACEDESC2, lpSurfaceSlot) == 36);
static_assert(offsetof(DDSURFACEDESC2, ddckCKSrcBlt) == 64);
static_assert(offsetof(DDSURFACEDESC2, ddpfPixelFormat) == 72);
static_assert(offsetof(DDSURFACEDESC2, ddsCaps) == 104);
static_assert(offsetof(DDSURFACEDESC2, dwTextureStage) == 120);

// DDSURFACEDESC2::dwFlags: which members are valid.
constexpr DWORD DDSD_CAPS = 0x1;
constexpr DWORD DDSD_HEIGHT = 0x2;
constexpr DWORD DDSD_WIDTH = 0x4;
constexpr DWORD DDSD_PITCH = 0x8;
constexpr DWORD DDSD_CKSRCBLT = 0x10000;
constexpr DWORD DDSD_PIXELFORMAT = 0x1000;
constexpr DWORD DDSD_MIPMAPCOUNT = 0x20000;
constexpr DWORD DDSD_TEXTURESTAGE = 0x100000;

// DDSCAPS2::dwCaps
constexpr DWORD DDSCAPS_COMPLEX = 0x8;
constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_TEXTURE = 0x1000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_MIPMAP = 0x400000;
// DDSCAPS2::dwCaps2
constexpr DWORD DDSCAPS2_TEXTUREMANAGE = 0x10;

// SetColorKey / GetColorKey
constexpr DWORD DDCKEY_SRCBLT = 0x8;

// Blt flags and the effects record.
constexpr DWORD DDBLT_COLORFILL = 0x400;
constexpr DWORD DDBLT_WAIT = 0x1000000;
constexpr DWORD DDBLT_KEYSRC = 0x8000;

struct DDBLTFX {
    DWORD dwSize;      // sizeof(DDBLTFX)
    DWORD dwFillColor; // raw pixel value for DDBLT_COLORFILL
};

// BltFast flags.
constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x0;
constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x1;
constexpr DWORD DDBLTFAST_WAIT = 0x10;

// Lock flags.
constexpr DWORD DDLOCK_WAIT = 0x1;

// Palette capabilities.
constexpr DWORD DDPCAPS_8BIT = 0x4;
constexpr DWORD DDPCAPS_ALPHA = 0x400;
