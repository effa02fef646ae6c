#include "scene/texture.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "platform/ddraw/pixels.h"
#include "present/surface_wait.h"
#include "support/memory.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr DWORD kTextureDescFlags =
    DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_TEXTURESTAGE;
static_assert(kTextureDescFlags == 0x101007);
constexpr DWORD kMipmapCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
static_assert(kMipmapCaps == 0x401008);
constexpr DWORD kNonColourFormats = DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV;
constexpr int kPaletteSize = 256;

struct FormatRequest {
    bool palette;
    bool alpha;
    DWORD bitCount;
    DDPIXELFORMAT* chosen;
    bool found = false;
};

bool Accepts(const FormatRequest& request, const DDPIXELFORMAT& format) {
    if ((format.dwFlags & kNonColourFormats) != 0) {
        return false;
    }
    if (request.palette) {
        return (format.dwFlags & DDPF_PALETTEINDEXED8) != 0;
    }
    const bool hasAlpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0;
    return format.dwRGBBitCount >= 16 && (format.dwFlags & DDPF_FOURCC) == 0 &&
           hasAlpha == request.alpha && format.dwRGBBitCount == request.bitCount;
}

HRESULT TakeFirstAccepted(DDPIXELFORMAT* format, void* context) {
    auto* request = static_cast<FormatRequest*>(context);
    if (!Accepts(*request, *format)) {
        return D3DENUMRET_OK;
    }
    *request->chosen = *format;
    request->found = true;
    return D3DENUMRET_CANCEL;
}

bool FindFormat(IDirect3DDevice3* device, FormatRequest& request) {
    request.found = false;
    device->EnumTextureFormats(TakeFirstAccepted, &request);
    return request.found;
}

DWORD RoundUpToPowerOfTwo(DWORD value) {
    DWORD result = 1;
    while (result < value && result < 0x80000000u) {
        result <<= 1;
    }
    return result;
}

DWORD TextureCaps(IDirect3DDevice3* device, bool* ok) {
    D3DDEVICEDESC hardware{};
    D3DDEVICEDESC software{};
    hardware.dwSize = software.dwSize = sizeof(D3DDEVICEDESC);
    *ok = device != nullptr && SUCCEEDED(device->GetCaps(&hardware, &software));
    return hardware.dwFlags != 0 ? hardware.dpcTriCaps.dwTextureCaps
                                 : software.dpcTriCaps.dwTextureCaps;
}

IDirectDraw4* HostDirectDraw() {
    GAME_GLOBALS* globals = vgGetGlobals();
    return globals != nullptr ? globals->pDirectDraw : nullptr;
}

IDirect3DDevice3* HostDevice() {
    GAME_GLOBALS* globals = vgGetGlobals();
    return globals != nullptr ? globals->pDevice : nullptr;
}

void ReleaseTemporary(IDirectDrawSurface4* temporary) {
    CMemory::UntrackVideoMemory(temporary);
    temporary->Release();
}

// A level's next smaller level, with a reference; null below the last.
IDirectDrawSurface4* NextLevel(IDirectDrawSurface4* level) {
    DDSCAPS2 caps{};
    caps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP;
    IDirectDrawSurface4* next = nullptr;
    return SUCCEEDED(level->GetAttachedSurface(&caps, &next)) ? next : nullptr;
}

} // namespace

CTexture::CTexture() = default;

CTexture::~CTexture() {
    CTexture::Release();
}

int CTexture::Load(char* textureName, DWORD mipMaps, DWORD stage, DWORD textureFlags) {
    Release();
    if (textureName == nullptr || std::strlen(textureName) >= kTextureNameSize) {
        DebugLog("CTexture::Load() Texture name too long '%.127s...'",
                 textureName != nullptr ? textureName : "");
        return 0;
    }
    if (stage >= D3DDP_MAXTEXCOORD) {
        DebugLog("CTexture::Load() Texture stage %u out of range!", static_cast<unsigned>(stage));
        return 0;
    }
    mipMapCount = mipMaps;
    textureStage = stage;
    flags = textureFlags;
    std::strcpy(name, textureName);
    if (!LoadTextureImage()) {
        DebugLog("CTexture::Load() Failed to load bitmap '%s'", name);
        Release();
        return 0;
    }
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    width = info.bmWidth;
    height = info.bmHeight;
    bitsPerPixel = info.bmBitsPixel;
    if (!RestoreFromBitmap()) {
        DebugLog("CTexture::Load() Failed to create texture!");
        Release();
        return 0;
    }
    return 1;
}

int CTexture::LoadTextureImage() {
    HANDLE image =
        LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (image == nullptr) {
        image =
            LoadImageA(nullptr, name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION | LR_LOADFROMFILE);
    }
    bitmap = static_cast<HBITMAP>(image);
    return bitmap != nullptr ? 1 : 0;
}

int CTexture::RestoreFromBitmap() {
    IDirect3DDevice3* device = HostDevice();
    bool capsRead = false;
    const DWORD caps = TextureCaps(device, &capsRead);
    if (!capsRead) {
        DebugLog("CTexture::RestoreFromBitmap() Failed to get caps for D3DDevice!");
        return 0;
    }
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = kTextureDescFlags | (mipMapCount != 0 ? DDSD_MIPMAPCOUNT : 0);
    desc.ddsCaps.dwCaps = mipMapCount != 0 ? kMipmapCaps : DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    desc.dwTextureStage = textureStage;
    desc.dwMipMapCount = mipMapCount;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    if ((caps & D3DPTEXTURECAPS_POW2) != 0) {
        desc.dwWidth = RoundUpToPowerOfTwo(desc.dwWidth);
        desc.dwHeight = RoundUpToPowerOfTwo(desc.dwHeight);
    }
    if ((caps & D3DPTEXTURECAPS_SQUAREONLY) != 0) {
        desc.dwWidth = desc.dwHeight = std::max(desc.dwWidth, desc.dwHeight);
    }
    FormatRequest request{bitsPerPixel <= 8, false, (flags & kTexturePrefer32Bit) != 0 ? 32u : 16u,
                          &desc.ddpfPixelFormat};
    if ((flags & (kTextureWhiteTransparent | kTextureBlackTransparent)) != 0 && request.palette) {
        request.palette = (caps & D3DPTEXTURECAPS_ALPHAPALETTE) != 0;
        request.alpha = true;
    }
    if (!FindFormat(device, request) && request.palette) {
        request.palette = false;
        request.bitCount = 16;
        if (!FindFormat(device, request)) {
            DebugLog("CTexture::RestoreFromBitmap() Failed to enumerate a suitable texture "
                     "format!");
            return 0;
        }
    }
    if (!request.found) {
        desc.dwFlags &= ~DDSD_PIXELFORMAT; // the device's own choice
    }
    return CreateTextureSurface(desc);
}

int CTexture::CreateTextureSurface(DDSURFACEDESC2& desc) {
    restoring = 1;
    const int created = Create(&desc);
    restoring = 0;
    if (!created) {
        DebugLog("CTexture::RestoreFromBitmap() Failed to create surface!");
        return 0;
    }
    const HRESULT hr =
        surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture));
    if (FAILED(hr)) {
        DebugLog("CTexture::RestoreFromBitmap() Failed to QI for texture interface. Error=%08X",
                 static_cast<unsigned>(hr));
        return 0;
    }
    return CopyBitmapToSurface();
}

int CTexture::CopyBitmapToSurface() {
    DDSURFACEDESC2 described{};
    described.dwSize = sizeof(described);
    surface->GetSurfaceDesc(&described);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = kTextureDescFlags;
    desc.ddpfPixelFormat = described.ddpfPixelFormat;
    desc.dwWidth = static_cast<DWORD>(width);
    desc.dwHeight = static_cast<DWORD>(height);
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY;
    IDirectDrawSurface4* temporary = nullptr;
    IDirectDraw4* directDraw = HostDirectDraw();
    const HRESULT hr = directDraw != nullptr ? directDraw->CreateSurface(&desc, &temporary, nullptr)
                                             : DDERR_INVALIDOBJECT;
    if (FAILED(hr)) {
        DebugLog("CTexture::CopyBitmapToSurface() Failed to create temporary surface. Errpr=%08X",
                 static_cast<unsigned>(hr));
        return 0;
    }
    CMemory::TrackVideoMemory(temporary);
    const int copied = CopyThroughTemporary(temporary);
    ReleaseTemporary(temporary);
    if (!copied) {
        return 0;
    }
    FillMipmapLevels();
    return 1;
}

int CTexture::CopyThroughTemporary(IDirectDrawSurface4* temporary) {
    HDC memory = CreateCompatibleDC(nullptr);
    if (memory == nullptr) {
        DebugLog("CTexture::CopyBitmapToSurface() Failed to create compatible DC!");
        return 0;
    }
    HGDIOBJ previous = SelectObject(memory, bitmap);
    int copied = previous != nullptr && ApplyPalette(memory, temporary);
    HDC target = nullptr;
    if (copied && SUCCEEDED(temporary->GetDC(&target))) {
        copied = BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        temporary->ReleaseDC(target);
    } else {
        copied = 0;
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    HRESULT hr = copied ? surface->Blt(nullptr, temporary, nullptr, DDBLT_WAIT, nullptr) : E_FAIL;
    if (FAILED(hr)) {
        DebugLog("CTexture::CopyBitmapToSurface() Failed to copy the bitmap. Error=%08X",
                 static_cast<unsigned>(hr));
        return 0;
    }
    KeyToAlpha(surface);
    return 1;
}

// For palettised textures: the bitmap's colour table, opaque (entries past it black), with
// the key colour made transparent, on the temporary surface and every texture level.
int CTexture::ApplyPalette(HDC memory, IDirectDrawSurface4* temporary) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(format);
    temporary->GetPixelFormat(&format);
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) == 0) {
        return 1;
    }
    std::array<RGBQUAD, kPaletteSize> table{};
    const UINT count = GetDIBColorTable(memory, 0, kPaletteSize, table.data());
    const bool keyed = (flags & (kTextureWhiteTransparent | kTextureBlackTransparent)) != 0;
    // With both flags the black key wins, here and in the alpha pass alike.
    const BYTE keyLevel = (flags & kTextureBlackTransparent) != 0 ? 0 : 255;
    std::array<PALETTEENTRY, kPaletteSize> entries{};
    for (UINT i = 0; i < kPaletteSize; ++i) {
        const RGBQUAD quad = i < count ? table[i] : RGBQUAD{0, 0, 0, 0};
        const bool isKey =
            quad.rgbRed == keyLevel && quad.rgbGreen == keyLevel && quad.rgbBlue == keyLevel;
        entries[i] = PALETTEENTRY{quad.rgbRed, quad.rgbGreen, quad.rgbBlue,
                                  static_cast<BYTE>(keyed && isKey ? 0 : 0xFF)};
    }
    IDirectDrawPalette* palette = nullptr;
    if (FAILED(HostDirectDraw()->CreatePalette(keyed ? DDPCAPS_8BIT | DDPCAPS_ALPHA : DDPCAPS_8BIT,
                                               entries.data(), &palette, nullptr))) {
        return 0;
    }
    temporary->SetPalette(palette);
    IDirectDrawSurface4* level = surface;
    level->AddRef();
    while (level != nullptr) {
        level->SetPalette(palette);
        IDirectDrawSurface4* next = NextLevel(level);
        level->Release();
        level = next;
    }
    palette->Release();
    return 1;
}

// Each smaller level is the one above it, shrunk.
void CTexture::FillMipmapLevels() {
    IDirectDrawSurface4* above = surface;
    above->AddRef();
    for (IDirectDrawSurface4* level = NextLevel(above); level != nullptr;
         level = NextLevel(above)) {
        level->Blt(nullptr, above, nullptr, DDBLT_WAIT, nullptr);
        KeyToAlpha(level);
        above->Release();
        above = level;
    }
    above->Release();
}

void CTexture::KeyToAlpha(IDirectDrawSurface4* level) {
    if ((flags & (kTextureWhiteTransparent | kTextureBlackTransparent)) == 0) {
        return;
    }
    DDSURFACEDESC2 desc{};
    if (FAILED(LockWhileDrawing(level, &desc, DDLOCK_WAIT))) {
        return;
    }
    const DDPIXELFORMAT& format = desc.ddpfPixelFormat;
    const DWORD colourMask = format.dwRBitMask | format.dwGBitMask | format.dwBBitMask;
    const DWORD key = (flags & kTextureBlackTransparent) != 0 ? 0 : colourMask;
    platform::PixelView view;
    view.bits = static_cast<BYTE*>(DDLockedBits(&desc));
    view.pitch = desc.lPitch;
    view.layout = platform::LayoutOf(format);
    const bool alphaFormat =
        format.dwRGBAlphaBitMask != 0 && (format.dwRGBBitCount == 16 || format.dwRGBBitCount == 32);
    for (DWORD y = 0; alphaFormat && view.bits != nullptr && y < desc.dwHeight; ++y) {
        for (DWORD x = 0; x < desc.dwWidth; ++x) {
            const DWORD colour = platform::ReadPixel(view, x, y) & colourMask;
            platform::WritePixel(view, x, y,
                                 colour != key ? colour | format.dwRGBAlphaBitMask : colour);
        }
    }
    level->Unlock(nullptr);
}

void CTexture::Release() {
    if (restoring) {
        DropSurface();
    }
    if (texture != nullptr) {
        texture->Release();
        texture = nullptr;
    }
    if (!restoring) {
        CDDSurface::Release();
        Empty();
    }
}

void CTexture::Restore() {
    DropSurface();
    if (texture != nullptr) {
        texture->Release();
        texture = nullptr;
    }
    RestoreFromBitmap();
}

void CTexture::DropSurface() {
    if (surface != nullptr) {
        CMemory::UntrackVideoMemory(surface);
        surface->Release();
        surface = nullptr;
    }
}

void CTexture::Empty() {
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    flags = 0;
    textureStage = 0;
    mipMapCount = 0;
    name[0] = '\0';
}

HRESULT CTexture::SetAsCurrent(IDirect3DDevice3* device) {
    const HRESULT hr = device->SetTexture(textureStage, texture);
    if (FAILED(hr)) {
        DebugLog("CTexture::SetAsCurrent() Failed to set texture. Error=%08X",
                 static_cast<unsigned>(hr));
    }
    return hr;
}

IDirect3DTexture2* CTexture::GetTexture() {
    return texture;
}

DWORD CTexture::GetMipMapCount() {
    return mipMapCount;
}

DWORD CTexture::GetTextureStage() {
    return textureStage;
}

DWORD CTexture::GetFlags() {
    return flags;
}

char* CTexture::GetTextureName() {
    return name[0] != '\0' ? name : nullptr;
}
