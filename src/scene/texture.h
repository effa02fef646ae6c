#pragma once

// A 3D texture made from a bitmap. The texture chooses the device pixel format (palettised,
// 16-bit or 32-bit, with or without alpha), converts the bitmap into it, fills every mipmap
// level and turns a black or white colour key into per-pixel alpha. It keeps the bitmap, so
// that it can rebuild its surface when the display lost it.

#include "platform/d3d/d3d.h"
#include "platform/ddraw/gdi/gdi.h"
#include "platform/export.h"
#include "present/dd_surface.h"

// CTexture flags.
constexpr DWORD kTextureWhiteTransparent = 0x1;
constexpr DWORD kTextureBlackTransparent = 0x2;
constexpr DWORD kTexturePrefer32Bit = 0x4;

constexpr DWORD kTextureNameSize = 128;

class VELCORE_API CTexture : public CDDSurface {
public:
    CTexture();
    ~CTexture() override;

protected:
    virtual int LoadTextureImage();
    virtual int CopyBitmapToSurface();
    virtual int RestoreFromBitmap();

public:
    virtual IDirect3DTexture2* GetTexture();
    virtual DWORD GetMipMapCount();
    virtual DWORD GetTextureStage();
    virtual DWORD GetFlags();
    // Null when no texture is loaded.
    virtual char* GetTextureName();
    // Loads bitmap `name` (a resource of the host, else a file) into a texture for device
    // stage `textureStage` (below 8) with `mipMapCount` levels (0: none). Names longer than
    // 127 characters are refused: a shortened name would load another file. 1, or 0 with the
    // texture left empty.
    virtual int Load(char* name, DWORD mipMapCount, DWORD textureStage, DWORD flags);

    // Binds the texture to its stage; the device's result code.
    HRESULT SetAsCurrent(IDirect3DDevice3* device);

protected:
    void Release() override;
    void Restore() override;

private:
    int CreateTextureSurface(DDSURFACEDESC2& desc);
    int CopyThroughTemporary(IDirectDrawSurface4* temporary);
    void FillMipmapLevels();
    void KeyToAlpha(IDirectDrawSurface4* level);
    int ApplyPalette(HDC memory, IDirectDrawSurface4* temporary);
    void DropSurface();
    void Empty();

    BOOL restoring = 0;
    char name[kTextureNameSize] = {};
    DWORD mipMapCount = 0;
    DWORD textureStage = 0;
    DWORD flags = 0;
    HBITMAP bitmap = nullptr;
    IDirect3DTexture2* texture = nullptr;
};
