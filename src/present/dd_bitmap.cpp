#include "present/dd_bitmap.h"

#include "engine/debug_log.h"
#include "platform/ddraw/pixels.h"
#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "platform/os/path.h"
#include "present/surface_wait.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr int kPaletteSize = 256;
constexpr DWORD kFileHeaderSize = 14;
constexpr DWORD kInfoHeaderSize = 40;

using PaletteTable = std::array<PALETTEENTRY, kPaletteSize>;

HBITMAP LoadBitmapImage(const char* name, int dx, int dy) {
    HANDLE image =
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, dx, dy, LR_CREATEDIBSECTION);
    if (image == nullptr) {
        image =
            LoadImageA(nullptr, name, IMAGE_BITMAP, dx, dy, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    }
    return static_cast<HBITMAP>(image);
}

bool BitmapSize(HBITMAP bitmap, BITMAP* info) {
    return GetObjectA(bitmap, sizeof(BITMAP), info) != 0;
}

// The raw value of the surface's first pixel, read with the pixel's own width.
DWORD FirstPixel(IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    if (FAILED(LockWhileDrawing(surface, &desc, 0))) {
        return CLR_INVALID;
    }
    platform::PixelView view;
    view.bits = static_cast<BYTE*>(DDLockedBits(&desc));
    view.layout = platform::LayoutOf(desc.ddpfPixelFormat);
    const DWORD value = view.bits != nullptr ? platform::ReadPixel(view, 0, 0) : CLR_INVALID;
    surface->Unlock(nullptr);
    return value;
}

DWORD NearestEntry(IDirectDrawSurface4* surface, COLORREF rgb) {
    IDirectDrawPalette* palette = nullptr;
    if (FAILED(surface->GetPalette(&palette))) {
        return 0; // without a palette every index shows black, and 0 is the first of them
    }
    PaletteTable entries{};
    const HRESULT hr = palette->GetEntries(0, 0, kPaletteSize, entries.data());
    palette->Release();
    if (FAILED(hr)) {
        return CLR_INVALID;
    }
    std::array<platform::Argb, kPaletteSize> colours{};
    std::transform(entries.begin(), entries.end(), colours.begin(), [](const PALETTEENTRY& e) {
        return platform::ArgbFromColorRef(RGB(e.peRed, e.peGreen, e.peBlue));
    });
    return platform::NearestPaletteIndex(colours.data(), kPaletteSize,
                                         platform::ArgbFromColorRef(rgb));
}

void DefaultRamp(PaletteTable& table) {
    for (int i = 0; i < kPaletteSize; ++i) {
        table[i] = PALETTEENTRY{static_cast<BYTE>(((i >> 5) & 7) * 255 / 7),
                                static_cast<BYTE>(((i >> 2) & 7) * 255 / 7),
                                static_cast<BYTE>((i & 3) * 255 / 3), 0};
    }
}

// Colours a table of this header holds, at most a full palette.
DWORD ColourCount(const BITMAPINFOHEADER& header) {
    if (header.biBitCount > 8) {
        return 0;
    }
    const DWORD count = header.biClrUsed != 0 ? header.biClrUsed : 1u << header.biBitCount;
    return std::min<DWORD>(count, kPaletteSize);
}

// From a resource: the info header, then the colour table at the header's size.
void PaletteFromResource(HRSRC resource, PaletteTable& table) {
    HMODULE module = GetModuleHandleA(nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    if (bytes == nullptr) {
        OutputDebugStringA("lock resource failed\n");
        return;
    }
    const DWORD size = SizeofResource(module, resource);
    BITMAPINFOHEADER header{};
    if (size < sizeof(header)) {
        return;
    }
    std::memcpy(&header, bytes, sizeof(header));
    if (header.biSize < kInfoHeaderSize || header.biSize > size) {
        return;
    }
    const DWORD count = std::min(ColourCount(header), (size - header.biSize) / 4);
    for (DWORD i = 0; i < count; ++i) {
        const BYTE* quad = bytes + header.biSize + 4 * i;
        table[i] = PALETTEENTRY{quad[2], quad[1], quad[0], 0};
    }
}

// From a file: the file header, the info header and 256 colours read straight over the
// table; entries past the colour count keep whatever bytes followed in the file.
void PaletteFromFile(const char* name, PaletteTable& table) {
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    BYTE headers[kFileHeaderSize + kInfoHeaderSize] = {};
    DWORD read = 0;
    DWORD tableBytes = 0;
    if (ReadFile(file, headers, sizeof headers, &read) && read == sizeof headers) {
        ReadFile(file, table.data(), sizeof(table), &tableBytes);
    }
    CloseHandle(file);
    BITMAPINFOHEADER header{};
    std::memcpy(&header, headers + kFileHeaderSize, sizeof(header));
    if (read != sizeof headers || header.biSize != kInfoHeaderSize) {
        return;
    }
    const DWORD count = std::min(ColourCount(header), tableBytes / 4);
    for (DWORD i = 0; i < count; ++i) {
        std::swap(table[i].peRed, table[i].peBlue);
    }
}

} // namespace

IDirectDrawSurface4* DDLoadBitmap(IDirectDraw4* directDraw, const char* name, int dx, int dy) {
    HBITMAP bitmap = LoadBitmapImage(name, dx, dy);
    if (bitmap == nullptr) {
        const DWORD error = GetLastError();
        char directory[256] = {};
        GetCurrentDirectoryA(255, directory);
        DebugLog("DDUtil::DDLoadBitmap() Failed to load from resource or file.");
        DebugLog("DDUtil::DDLoadBitmap() File was '%s' Error=%d", name, static_cast<int>(error));
        DebugLog("DDUtil::DDLoadBitmap() Current directory is: '%s'", directory);
        return nullptr;
    }
    BITMAP info{};
    BitmapSize(bitmap, &info);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    desc.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    desc.dwWidth = static_cast<DWORD>(info.bmWidth);
    desc.dwHeight = static_cast<DWORD>(info.bmHeight);
    IDirectDrawSurface4* surface = nullptr;
    HRESULT hr = directDraw != nullptr ? directDraw->CreateSurface(&desc, &surface, nullptr)
                                       : DDERR_INVALIDOBJECT;
    if (FAILED(hr)) {
        DebugLog("DDUtil::DDLoadBitmap() Failed to create surface. Error=%08X",
                 static_cast<unsigned>(hr));
        DeleteObject(bitmap);
        return nullptr;
    }
    // A surface the bitmap never reached would show garbage: refuse it.
    hr = DDCopyBitmap(surface, bitmap, 0, 0, 0, 0);
    DeleteObject(bitmap);
    if (FAILED(hr)) {
        DebugLog("DDUtil::DDLoadBitmap() Failed to copy the bitmap into the surface. Error=%08X",
                 static_cast<unsigned>(hr));
        surface->Release();
        return nullptr;
    }
    return surface;
}

HRESULT DDReLoadBitmap(IDirectDrawSurface4* surface, const char* name) {
    HBITMAP bitmap = LoadBitmapImage(name, 0, 0);
    if (bitmap == nullptr) {
        OutputDebugStringA("handle is null\n");
        return E_FAIL;
    }
    const HRESULT hr = DDCopyBitmap(surface, bitmap, 0, 0, 0, 0);
    if (hr != DD_OK) {
        OutputDebugStringA("ddcopybitmap failed\n");
    }
    DeleteObject(bitmap);
    return hr;
}

HRESULT DDCopyBitmap(IDirectDrawSurface4* surface, HBITMAP bitmap, int x, int y, int dx, int dy) {
    if (bitmap == nullptr || surface == nullptr) {
        return E_FAIL;
    }
    surface->Restore();
    // Without a context holding the bitmap there is nothing to copy from: fail rather than
    // report a blank surface as loaded.
    HDC memory = CreateCompatibleDC(nullptr);
    if (memory == nullptr) {
        OutputDebugStringA("createcompatible dc failed\n");
        return E_FAIL;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BITMAP info{};
    if (previous == nullptr || !BitmapSize(bitmap, &info)) {
        DeleteDC(memory);
        return E_FAIL;
    }
    dx = dx == 0 ? info.bmWidth : dx;
    dy = dy == 0 ? info.bmHeight : dy;
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_HEIGHT | DDSD_WIDTH;
    surface->GetSurfaceDesc(&desc);
    HDC target = nullptr;
    HRESULT hr = surface->GetDC(&target);
    if (hr == DD_OK) {
        if (!StretchBlt(target, 0, 0, static_cast<int>(desc.dwWidth),
                        static_cast<int>(desc.dwHeight), memory, x, y, dx, dy, SRCCOPY)) {
            hr = E_FAIL;
        }
        surface->ReleaseDC(target);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    return hr;
}

IDirectDrawPalette* DDLoadPalette(IDirectDraw4* directDraw, const char* name) {
    PaletteTable table{};
    DefaultRamp(table);
    if (name != nullptr) {
        if (HRSRC resource = FindResourceA(GetModuleHandleA(nullptr), name, RT_BITMAP)) {
            PaletteFromResource(resource, table);
        } else {
            PaletteFromFile(name, table);
        }
    }
    IDirectDrawPalette* palette = nullptr;
    if (directDraw == nullptr ||
        FAILED(directDraw->CreatePalette(DDPCAPS_8BIT, table.data(), &palette, nullptr))) {
        return nullptr;
    }
    return palette;
}

DWORD DDColorMatch(IDirectDrawSurface4* surface, COLORREF rgb) {
    if (surface == nullptr) {
        return CLR_INVALID;
    }
    if (rgb == CLR_INVALID) {
        return FirstPixel(surface);
    }
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(format);
    if (FAILED(surface->GetPixelFormat(&format))) {
        return CLR_INVALID;
    }
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) != 0) {
        return NearestEntry(surface, rgb);
    }
    return platform::PackArgb(platform::LayoutOf(format), platform::ArgbFromColorRef(rgb));
}

HRESULT DDSetColorKey(IDirectDrawSurface4* surface, COLORREF rgb) {
    if (surface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    const DWORD value = DDColorMatch(surface, rgb);
    DDCOLORKEY key{value, value};
    return surface->SetColorKey(DDCKEY_SRCBLT, &key);
}
