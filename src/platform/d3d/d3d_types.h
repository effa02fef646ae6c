#pragma once

// Records, constants and result codes of the 3D device the engine was designed against,
// with their original widths and values. Records the engine reads and writes raw have their
// sizes and offsets asserted. The 3D interfaces themselves are in platform/d3d/d3d.h.

#include "math/vector.h"
#include "platform/com.h"
#include "platform/ddraw/ddraw_types.h"
#include "platform/types.h"

#include <cstddef>

// ---------------------------------------------------------------------------------------------
// Result codes. Negative is failure.

constexpr HRESULT D3D_OK = 0;
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeResultCode(0x88760801);
constexpr HRESULT D3DERR_INVALIDVERTEXFORMAT = MakeResultCode(0x88760802);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeResultCode(0x88760803);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeResultCode(0x88760804);
constexpr HRESULT D3DERR_NOCURRENTVIEWPORT = MakeResultCode(0x88760805);
// The light is already attached to a viewport (a light belongs to at most one).
constexpr HRESULT D3DERR_LIGHTHASVIEWPORT = MakeResultCode(0x88760806);
constexpr HRESULT D3DERR_LIGHTNOTINTHISVIEWPORT = MakeResultCode(0x88760807);

// Enumeration callbacks return one of these: go on, or stop the enumeration.
constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

// ---------------------------------------------------------------------------------------------
// Plain records.

// A colour with components from 0 to 1.
struct D3DCOLORVALUE {
    float r, g, b, a;
};
static_assert(sizeof(D3DCOLORVALUE) == 16);

// The vertex layout the engine draws: position, normal, one texture coordinate pair.
struct D3DVERTEX {
    float x, y, z;
    float nx, ny, nz;
    float tu, tv;
};
static_assert(sizeof(D3DVERTEX) == 32);

struct D3DRECT {
    LONG x1, y1, x2, y2;
};
static_assert(sizeof(D3DRECT) == 16);

// The part of the render target a viewport draws into, in pixels from the top left; depths
// from dvMinZ to dvMaxZ. The clip members are kept but not used.
struct D3DVIEWPORT2 {
    DWORD dwSize; // 44
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    float dvClipX;
    float dvClipY;
    float dvClipWidth;
    float dvClipHeight;
    float dvMinZ;
    float dvMaxZ;
};
static_assert(sizeof(D3DVIEWPORT2) == 44);
static_assert(offsetof(D3DVIEWPORT2, dwWidth) == 12);
static_assert(offsetof(D3DVIEWPORT2, dvMinZ) == 36);

// Handles name device objects inside a device; 0 is none.
using D3DMATERIALHANDLE = DWORD;
using D3DTEXTUREHANDLE = DWORD;

// ---------------------------------------------------------------------------------------------
// Materials.

struct D3DMATERIAL {
    DWORD dwSize; // 80
    D3DCOLORVALUE dcvDiffuse;
    D3DCOLORVALUE dcvAmbient;
    D3DCOLORVALUE dcvSpecular;
    D3DCOLORVALUE dcvEmissive;
    float dvPower; // specular power
    D3DTEXTUREHANDLE hTexture;
    DWORD dwRampSize;
};
static_assert(sizeof(D3DMATERIAL) == 80);
static_assert(offsetof(D3DMATERIAL, dcvDiffuse) == 4);
static_assert(offsetof(D3DMATERIAL, dcvAmbient) == 20);
static_assert(offsetof(D3DMATERIAL, dcvSpecular) == 36);
static_assert(offsetof(D3DMATERIAL, dcvEmissive) == 52);
static_assert(offsetof(D3DMATERIAL, dvPower) == 68);
static_assert(offsetof(D3DMATERIAL, hTexture) == 72);
static_assert(offsetof(D3DMATERIAL, dwRampSize) == 76);

// ---------------------------------------------------------------------------------------------
// Lights.

enum D3DLIGHTTYPE : DWORD {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
    D3DLIGHT_PARALLELPOINT = 4,
};

// D3DLIGHT2::dwFlags
constexpr DWORD D3DLIGHT_ACTIVE = 0x1;
constexpr DWORD D3DLIGHT_NO_SPECULAR = 0x2;

struct D3DLIGHT2 {
    DWORD dwSize; // 80
    D3DLIGHTTYPE dltType;
    D3DCOLORVALUE dcvColor;
    D3DVECTOR dvPosition;
    D3DVECTOR dvDirection;
    float dvRange;
    float dvFalloff;
    float dvAttenuation0;
    float dvAttenuation1;
    float dvAttenuation2;
    float dvTheta;
    float dvPhi;
    DWORD dwFlags;
};
static_assert(sizeof(D3DLIGHT2) == 80);
static_assert(offsetof(D3DLIGHT2, dltType) == 4);
static_assert(offsetof(D3DLIGHT2, dcvColor) == 8);
static_assert(offsetof(D3DLIGHT2, dvPosition) == 24);
static_assert(offsetof(D3DLIGHT2, dvDirection) == 36);
static_assert(offsetof(D3DLIGHT2, dvRange) == 48);
static_assert(offsetof(D3DLIGHT2, dvFalloff) == 52);
static_assert(offsetof(D3DLIGHT2, dvAttenuation0) == 56);
static_assert(offsetof(D3DLIGHT2, dvTheta) == 68);
static_assert(offsetof(D3DLIGHT2, dvPhi) == 72);
static_assert(offsetof(D3DLIGHT2, dwFlags) == 76);

// ---------------------------------------------------------------------------------------------
// Device states.

enum D3DTRANSFORMSTATETYPE : DWORD {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
};

// Render states are open-ended: a device keeps whatever value it is given for any type.
enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_TEXTUREHANDLE = 1, // 0 takes the texture off stage 0
    D3DRENDERSTATE_ZENABLE = 7,       // TRUE by default
    D3DRENDERSTATE_ZWRITEENABLE = 14, // TRUE by default
    D3DRENDERSTATE_SRCBLEND = 19,     // D3DBLEND_ONE by default
    D3DRENDERSTATE_DESTBLEND = 20,    // D3DBLEND_ZERO by default
    D3DRENDERSTATE_CULLMODE = 22,     // D3DCULL_CCW by default
    D3DRENDERSTATE_ZFUNC = 23,        // D3DCMP_LESSEQUAL by default
    D3DRENDERSTATE_ALPHABLENDENABLE = 27,
    D3DRENDERSTATE_COLORKEYENABLE = 41, // texels in the texture's source colour key vanish
};

// Blend factors (D3DRENDERSTATE_SRCBLEND, D3DRENDERSTATE_DESTBLEND).
constexpr DWORD D3DBLEND_ZERO = 1;
constexpr DWORD D3DBLEND_ONE = 2;
constexpr DWORD D3DBLEND_SRCCOLOR = 3;
constexpr DWORD D3DBLEND_INVSRCCOLOR = 4;
constexpr DWORD D3DBLEND_SRCALPHA = 5;
constexpr DWORD D3DBLEND_INVSRCALPHA = 6;
constexpr DWORD D3DBLEND_DESTALPHA = 7;
constexpr DWORD D3DBLEND_INVDESTALPHA = 8;
constexpr DWORD D3DBLEND_DESTCOLOR = 9;
constexpr DWORD D3DBLEND_INVDESTCOLOR = 10;

// Which triangles are not drawn (D3DRENDERSTATE_CULLMODE): none, or those whose corners run
// clockwise or counter-clockwise on the screen.
constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DCULL_CW = 2;
constexpr DWORD D3DCULL_CCW = 3;

// Depth comparisons (D3DRENDERSTATE_ZFUNC).
constexpr DWORD D3DCMP_NEVER = 1;
constexpr DWORD D3DCMP_LESS = 2;
constexpr DWORD D3DCMP_EQUAL = 3;
constexpr DWORD D3DCMP_LESSEQUAL = 4;
constexpr DWORD D3DCMP_GREATER = 5;
constexpr DWORD D3DCMP_NOTEQUAL = 6;
constexpr DWORD D3DCMP_GREATEREQUAL = 7;
constexpr DWORD D3DCMP_ALWAYS = 8;

enum D3DLIGHTSTATETYPE : DWORD {
    D3DLIGHTSTATE_MATERIAL = 1, // the current material's handle
    D3DLIGHTSTATE_AMBIENT = 2,  // the ambient light as 0xAARRGGBB; 0 by default
};

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
};

// Texture stages run from 0 to this count minus one.
constexpr DWORD D3DDP_MAXTEXCOORD = 8;

// Stage arguments, operations and filters.
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1; // the diffuse colour on stage 0
constexpr DWORD D3DTA_TEXTURE = 2;
constexpr DWORD D3DTOP_DISABLE = 1;
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_SELECTARG2 = 3;
constexpr DWORD D3DTOP_MODULATE = 4;
constexpr DWORD D3DTOP_ADD = 7;
constexpr DWORD D3DTFG_POINT = 1;  // magnification
constexpr DWORD D3DTFG_LINEAR = 2; // magnification
constexpr DWORD D3DTFN_POINT = 1;  // minification
constexpr DWORD D3DTFN_LINEAR = 2; // minification

// ---------------------------------------------------------------------------------------------
// Drawing.

enum D3DPRIMITIVETYPE : DWORD {
    D3DPT_TRIANGLELIST = 4,
};

// Flexible vertex format bits; D3DFVF_VERTEX is the D3DVERTEX layout.
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_TEX1 = 0x100;
constexpr DWORD D3DFVF_VERTEX = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1;
static_assert(D3DFVF_VERTEX == 0x112);

// DrawIndexedPrimitive flags.
constexpr DWORD D3DDP_DONOTUPDATEEXTENTS = 0x8;

// IDirect3DViewport3::Clear flags.
constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;

// ---------------------------------------------------------------------------------------------
// Capabilities.

// The primitive capabilities of a device description; only the texture capabilities are
// read by the engine.
struct D3DPRIMCAPS {
    DWORD dwSize; // sizeof(D3DPRIMCAPS)
    DWORD dwTextureCaps;
};

// D3DPRIMCAPS::dwTextureCaps
constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x2;          // sides must be powers of two
constexpr DWORD D3DPTEXTURECAPS_SQUAREONLY = 0x20;   // width must equal height
constexpr DWORD D3DPTEXTURECAPS_ALPHAPALETTE = 0x80; // palettes may carry alpha

// D3DDEVICEDESC::dwFlags: which members hold valid values. A description with flags 0
// describes no device of that kind (no hardware, for the hardware description).
constexpr DWORD D3DDD_TRICAPS = 0x10;

// A device description of 252 bytes; the engine passes two of them with dwSize set.
struct D3DDEVICEDESC {
    DWORD dwSize; // 252
    DWORD dwFlags;
    D3DPRIMCAPS dpcTriCaps;
    // The members the engine does not read keep the record at its full size.
    BYTE reserved[236];
};
static_assert(sizeof(D3DDEVICEDESC) == 252);

// Called once per texture format; return D3DENUMRET_OK for the next, D3DENUMRET_CANCEL to stop.
using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);
