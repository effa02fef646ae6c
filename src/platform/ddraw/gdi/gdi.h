#pragma once

// The subset of the Windows graphics device interface the engine uses: bitmaps loaded from
// BMP files or from the host's named bitmap resources, memory device contexts, copies with and
// without stretching between bitmaps and surfaces, single pixels and colour tables. Bitmaps
// are always device-independent sections that keep their own depth and colour table; device
// contexts of surfaces (IDirectDrawSurface4::GetDC) draw straight into the surface's memory.
//
// Handles are checked: a stale or foreign handle is refused (FALSE, null or 0) with the last
// error EBADF, never dereferenced.

#include "platform/ddraw/pixels.h"
#include "platform/export.h"
#include "platform/types.h"

#include <cstddef>
#include <cstdint>

struct HDC__;
using HDC = HDC__*;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HRSRC__;
using HRSRC = HRSRC__*;
using HGDIOBJ = void*;
using HGLOBAL = void*;
using HINSTANCE = HMODULE;

// ---------------------------------------------------------------------------------------------
// Records.

struct BITMAP {
    LONG bmType; // 0
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes; // bytes per row of bmBits
    WORD bmPlanes;     // 1
    WORD bmBitsPixel;
    void* bmBits; // the rows, top row first
};

// A colour-table entry as bitmaps store it: blue, green, red, reserved.
struct RGBQUAD {
    BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved;
};
static_assert(sizeof(RGBQUAD) == 4);

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
    WORD bfType; // "BM"
    DWORD bfSize;
    WORD bfReserved1;
    WORD bfReserved2;
    DWORD bfOffBits; // from the start of the file to the pixels
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight; // negative: rows stored top row first
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

// BITMAPINFOHEADER::biCompression
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

// LoadImageA
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT LR_DEFAULTCOLOR = 0x0;
constexpr UINT LR_LOADFROMFILE = 0x10;
constexpr UINT LR_CREATEDIBSECTION = 0x2000;

// Raster operations: only the plain copy is offered.
constexpr DWORD SRCCOPY = 0x00CC0020;

// The resource type of bitmaps, given as a small number in place of a name.
inline const char* const RT_BITMAP = reinterpret_cast<const char*>(std::uintptr_t{2});

// ---------------------------------------------------------------------------------------------
// Modules and resources.

// Null names the host executable, whose resources are the named bitmaps the host registered
// (platform::AddBitmapResource). Other names are not modules of this process: null.
VELCORE_API HMODULE GetModuleHandleA(const char* name);

// The host's bitmap resource `name` (names compare without regard to letter case) of type
// RT_BITMAP; null with ENOENT when there is none.
VELCORE_API HRSRC FindResourceA(HMODULE module, const char* name, const char* type);
VELCORE_API HGLOBAL LoadResource(HMODULE module, HRSRC resource);
// The resource's bytes: a packed bitmap (info header, colour table, pixels).
VELCORE_API void* LockResource(HGLOBAL resource);
VELCORE_API DWORD SizeofResource(HMODULE module, HRSRC resource);

// ---------------------------------------------------------------------------------------------
// Bitmaps.

// Loads a bitmap (type IMAGE_BITMAP) from the module's resources, or with LR_LOADFROMFILE
// from the BMP file `name` (a Windows-style path). A width or height of 0 keeps the image's
// own; other sizes stretch it. The result is an HBITMAP, or null with the last error set
// (ENOENT: no such resource or file; EINVAL: not a bitmap this reader accepts, with a line on
// the debug output saying why).
VELCORE_API HANDLE LoadImageA(HINSTANCE instance, const char* name, UINT type, int width,
                              int height, UINT flags);

// For a bitmap: fills a BITMAP record (size at least sizeof(BITMAP)) and returns its size;
// 0 on failure.
VELCORE_API int GetObjectA(HGDIOBJ object, int size, void* out);

// Deletes a bitmap; fails while it is selected into a device context.
VELCORE_API BOOL DeleteObject(HGDIOBJ object);

// ---------------------------------------------------------------------------------------------
// Device contexts.

// A memory device context (the argument must be null) holding a 1 x 1 placeholder bitmap
// until another is selected.
VELCORE_API HDC CreateCompatibleDC(HDC dc);
VELCORE_API BOOL DeleteDC(HDC dc);
// Selects a bitmap into a memory device context and returns the one it replaces; a bitmap
// can be selected into one context at a time. Null on failure.
VELCORE_API HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Colour-table entries [start, start + count) of the bitmap selected into `dc`; returns how
// many were copied (0 for bitmaps without a table).
VELCORE_API UINT GetDIBColorTable(HDC dc, UINT start, UINT count, RGBQUAD* colours);

// Copies a block (SRCCOPY only), converting between pixel layouts through colours (into an
// indexed target: the nearest table entry). Parts outside either context are clipped away.
VELCORE_API BOOL BitBlt(HDC target, int x, int y, int width, int height, HDC source, int sourceX,
                        int sourceY, DWORD rop);
// The same with stretching (nearest pixel); sizes must be positive.
VELCORE_API BOOL StretchBlt(HDC target, int x, int y, int width, int height, HDC source,
                            int sourceX, int sourceY, int sourceWidth, int sourceHeight, DWORD rop);

// CLR_INVALID outside the context.
VELCORE_API COLORREF GetPixel(HDC dc, int x, int y);
// Returns the colour actually set (the nearest the layout can show), CLR_INVALID outside.
VELCORE_API COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);

namespace platform {

// The host's named bitmap resources: each a packed bitmap (info header, colour table,
// pixels), copied. A name given again replaces the earlier resource.
VELCORE_API void AddBitmapResource(const char* name, const void* packedBitmap, std::size_t size);
// The same from the image of a BMP file (the 14-byte file header is dropped); false when the
// image is too short or does not start with "BM".
VELCORE_API bool AddBitmapResourceFromFile(const char* name, const void* fileImage,
                                           std::size_t size);
VELCORE_API void RemoveBitmapResource(const char* name);
VELCORE_API void ClearBitmapResources();

// A device context drawing into `view`'s memory (a surface's); the caller keeps the memory
// alive until DeleteDC.
VELCORE_API HDC CreateViewDC(const PixelView& view);

} // namespace platform
