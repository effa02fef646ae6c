#pragma once

// The software DirectDraw: surfaces are pixel buffers in system memory, in 8-bit palettised,
// 16-bit (5-6-5, 5-5-5, 1-5-5-5, 4-4-4-4), 24-bit and 32-bit (8-8-8, 8-8-8-8) formats, with
// pitch, locks, blits with stretching and source colour keys, colour fills, palettes, device
// contexts over the same memory (platform/ddraw/gdi/gdi.h) and mipmap chains.
//
// Surface loss is simulated on demand: LoseSurfaces marks every surface outside system memory
// lost, as a display-mode change would. Lost surfaces refuse blits, locks and device contexts
// with DDERR_SURFACELOST until Restore; their contents are then undefined (filled with a
// pattern) so that code which forgets to redraw shows it.
//
// Tests inject failures by call name ("DirectDraw::CreateSurface", "Surface::Blt",
// "Palette::SetEntries") through Faults(), for every object of one DirectDraw.

#include "platform/call_faults.h"
#include "platform/d3d/d3d.h"
#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/pixels.h"
#include "platform/export.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The pixel formats surfaces can be created in.
VELCORE_API DDPIXELFORMAT Palettized8Format();
VELCORE_API DDPIXELFORMAT Rgb565Format();
VELCORE_API DDPIXELFORMAT Rgb555Format();
VELCORE_API DDPIXELFORMAT Argb1555Format();
VELCORE_API DDPIXELFORMAT Argb4444Format();
VELCORE_API DDPIXELFORMAT Rgb888Format();   // 24-bit
VELCORE_API DDPIXELFORMAT Xrgb8888Format(); // 32-bit without alpha
VELCORE_API DDPIXELFORMAT Argb8888Format();

struct SoftwareDirectDrawConfig {
    // The format of surfaces described without one: the display's.
    DDPIXELFORMAT displayFormat = Rgb565Format();
    // Surface rows start at multiples of this many bytes (a power of two).
    DWORD pitchAlignment = 8;
};

struct DirectDrawDriver;

class VELCORE_API SoftwarePalette final : public IDirectDrawPalette {
public:
    SoftwarePalette(std::shared_ptr<DirectDrawDriver> driver, DWORD caps,
                    const PALETTEENTRY* entries);
    SoftwarePalette(const SoftwarePalette&) = delete;
    SoftwarePalette& operator=(const SoftwarePalette&) = delete;

    DWORD AddRef() override;
    DWORD Release() override;
    HRESULT GetCaps(DWORD* caps) override;
    HRESULT GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) override;
    HRESULT SetEntries(DWORD flags, DWORD start, DWORD count, const PALETTEENTRY* entries) override;

    // The entries as colours; alpha is the flags byte with DDPCAPS_ALPHA, else opaque.
    const std::array<Argb, 256>& Colours() const { return m_colours; }
    // When the colours last changed, on the clock of ContentVersion.
    std::uint64_t ChangeStamp() const { return m_changeStamp; }

private:
    ~SoftwarePalette() override = default;
    void UpdateColours();

    std::shared_ptr<DirectDrawDriver> m_driver;
    DWORD m_references = 1;
    DWORD m_caps;
    std::array<PALETTEENTRY, 256> m_entries{};
    std::array<Argb, 256> m_colours{};
    std::uint64_t m_changeStamp = 0;
};

// A surface; texture surfaces also answer QueryInterface for IID_IDirect3DTexture2 with
// themselves.
class VELCORE_API SoftwareSurface final : public IDirectDrawSurface4, public IDirect3DTexture2 {
public:
    SoftwareSurface(std::shared_ptr<DirectDrawDriver> driver, const DDSURFACEDESC2& desc,
                    PixelLayout layout, LONG pitch);
    SoftwareSurface(const SoftwareSurface&) = delete;
    SoftwareSurface& operator=(const SoftwareSurface&) = delete;

    DWORD AddRef() override;
    DWORD Release() override;
    HRESULT QueryInterface(REFIID iid, void** object) override;

    HRESULT Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* srcRect, DWORD flags,
                DDBLTFX* fx) override;
    HRESULT BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* srcRect,
                    DWORD flags) override;
    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) override;
    HRESULT GetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT SetColorKey(DWORD flags, DDCOLORKEY* key) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;
    HRESULT GetPalette(IDirectDrawPalette** palette) override;
    HRESULT SetPalette(IDirectDrawPalette* palette) override;
    HRESULT GetPixelFormat(DDPIXELFORMAT* format) override;
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    HRESULT IsLost() override;
    HRESULT Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD flags, HANDLE event) override;
    HRESULT Unlock(RECT* rect) override;
    HRESULT Restore() override;

    // The surface behind an interface, when it is a software surface.
    static SoftwareSurface* From(IDirectDrawSurface4* surface);
    // The pixels, with the attached palette's colours for palettised surfaces.
    PixelView View();
    // Grows with every change to what the surface shows: its pixels (blits, unlocks, device
    // contexts released), its palette and the palette's colours, so that a copy held
    // elsewhere (a texture on a graphics card) knows when to refresh.
    std::uint64_t ContentVersion() const;
    // For writers outside the surface's own calls, such as a renderer copying its frame in.
    void MarkContentChanged() { Changed(); }
    bool Lost() const { return m_lost; }
    void MarkLost();

private:
    ~SoftwareSurface() override;
    HRESULT CheckUsable(const char* call);
    HRESULT CopyFrom(const RECT& target, SoftwareSurface& source, const RECT& sourceRect,
                     bool keyed);
    HRESULT Fill(const RECT& target, DWORD value);
    void Changed();

    friend struct DirectDrawDriver;
    friend class SoftwareDirectDraw;

    std::shared_ptr<DirectDrawDriver> m_driver;
    DWORD m_references = 1;
    DDSURFACEDESC2 m_desc;
    PixelLayout m_layout;
    std::vector<BYTE> m_pixels;
    std::optional<DDCOLORKEY> m_sourceKey;
    SoftwarePalette* m_palette = nullptr;
    std::array<Argb, 256> m_noPalette{};    // palettised surface without a palette: black
    SoftwareSurface* m_nextLevel = nullptr; // the mipmap level below, held
    bool m_lost = false;
    bool m_locked = false;
    DWORD m_lockToken = 0;
    BYTE* m_lockedBits = nullptr;
    HDC m_dc = nullptr;
    std::uint64_t m_contentVersion = 0;
};

class VELCORE_API SoftwareDirectDraw final : public IDirectDraw4 {
public:
    explicit SoftwareDirectDraw(const SoftwareDirectDrawConfig& config);
    SoftwareDirectDraw(const SoftwareDirectDraw&) = delete;
    SoftwareDirectDraw& operator=(const SoftwareDirectDraw&) = delete;

    DWORD AddRef() override;
    DWORD Release() override;
    HRESULT CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface,
                          IUnknown* outer) override;
    HRESULT CreatePalette(DWORD caps, const PALETTEENTRY* entries, IDirectDrawPalette** palette,
                          IUnknown* outer) override;
    HRESULT RestoreAllSurfaces() override;

    // Marks every surface outside system memory lost.
    void LoseSurfaces();
    CallFaults& Faults();
    // Surfaces and palettes of this object still alive.
    std::size_t LiveSurfaceCount() const;
    std::size_t LivePaletteCount() const;

private:
    ~SoftwareDirectDraw() override = default;
    HRESULT CreateChain(const DDSURFACEDESC2& desc, PixelLayout layout, DWORD levels,
                        SoftwareSurface** surface);

    std::shared_ptr<DirectDrawDriver> m_driver;
    DWORD m_references = 1;
};

// A new software DirectDraw object with one reference.
VELCORE_API HRESULT CreateSoftwareDirectDraw(const SoftwareDirectDrawConfig& config,
                                             SoftwareDirectDraw** directDraw);

} // namespace platform
