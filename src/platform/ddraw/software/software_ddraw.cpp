#include "platform/ddraw/software/software_ddraw.h"

#include "platform/ddraw/gdi/gdi.h"
#include "platform/ddraw/software/blit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

namespace platform {

// What every object of one DirectDraw shares; it outlives the DirectDraw object while
// surfaces or palettes remain.
struct DirectDrawDriver {
    SoftwareDirectDrawConfig config;
    CallFaults faults;
    std::vector<SoftwareSurface*> surfaces;
    std::size_t palettes = 0;
    // One clock for the changes of every surface and palette: a surface shows the newer of
    // its own stamp and its palette's, which grows whatever changed, even after the surface
    // went back to an older palette.
    std::uint64_t lastChange = 0;

    std::uint64_t NextChange() { return ++lastChange; }

    HRESULT Check(const char* kind, const char* call) {
        return faults.Check(std::string(kind) + "::" + call);
    }
};

namespace {

// Surface sides are capped so that pitch times height cannot overflow a LONG.
constexpr DWORD kMaxSide = 16384;
// What lost memory holds once restored: contents are undefined until redrawn.
constexpr BYTE kLostPattern = 0xCD;

// Locks hand out 32-bit tokens (the surface description has no room for a pointer).
struct LockTable {
    std::mutex lock;
    DWORD nextToken = 1;
    std::unordered_map<DWORD, BYTE*> bits;
};

LockTable& Locks() {
    static LockTable* table = new LockTable;
    return *table;
}

DWORD AddLock(BYTE* bits) {
    LockTable& table = Locks();
    std::lock_guard guard(table.lock);
    DWORD token = table.nextToken++;
    if (token == 0) {
        token = table.nextToken++;
    }
    table.bits[token] = bits;
    return token;
}

void RemoveLock(DWORD token) {
    LockTable& table = Locks();
    std::lock_guard guard(table.lock);
    table.bits.erase(token);
}

DDPIXELFORMAT Format(DWORD bitCount, DWORD red, DWORD green, DWORD blue, DWORD alpha) {
    return PixelFormatOf(RgbLayout(bitCount, red, green, blue, alpha));
}

bool IsEmptyOrOutside(const RECT& rect, LONG width, LONG height) {
    return rect.left < 0 || rect.top < 0 || rect.right > width || rect.bottom > height ||
           rect.left >= rect.right || rect.top >= rect.bottom;
}

RECT WholeOf(const DDSURFACEDESC2& desc) {
    return RECT{0, 0, static_cast<LONG>(desc.dwWidth), static_cast<LONG>(desc.dwHeight)};
}

// Mipmap levels down to 1 x 1.
DWORD PossibleLevels(DWORD width, DWORD height) {
    DWORD levels = 1;
    while (width > 1 || height > 1) {
        width = std::max<DWORD>(1, width / 2);
        height = std::max<DWORD>(1, height / 2);
        ++levels;
    }
    return levels;
}

} // namespace

DDPIXELFORMAT Palettized8Format() {
    return PixelFormatOf(IndexedLayout(8));
}
DDPIXELFORMAT Rgb565Format() {
    return Format(16, 0xF800, 0x07E0, 0x001F, 0);
}
DDPIXELFORMAT Rgb555Format() {
    return Format(16, 0x7C00, 0x03E0, 0x001F, 0);
}
DDPIXELFORMAT Argb1555Format() {
    return Format(16, 0x7C00, 0x03E0, 0x001F, 0x8000);
}
DDPIXELFORMAT Argb4444Format() {
    return Format(16, 0x0F00, 0x00F0, 0x000F, 0xF000);
}
DDPIXELFORMAT Rgb888Format() {
    return Format(24, 0xFF0000, 0x00FF00, 0x0000FF, 0);
}
DDPIXELFORMAT Xrgb8888Format() {
    return Format(32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
}
DDPIXELFORMAT Argb8888Format() {
    return Format(32, 0xFF0000, 0x00FF00, 0x0000FF, 0xFF000000u);
}

// ---------------------------------------------------------------------------------------------
// Palettes.

SoftwarePalette::SoftwarePalette(std::shared_ptr<DirectDrawDriver> driver, DWORD caps,
                                 const PALETTEENTRY* entries)
    : m_driver(std::move(driver)), m_caps(caps) {
    std::copy(entries, entries + 256, m_entries.begin());
    UpdateColours();
    ++m_driver->palettes;
}

DWORD SoftwarePalette::AddRef() {
    return ++m_references;
}

DWORD SoftwarePalette::Release() {
    const DWORD left = --m_references;
    if (left == 0) {
        --m_driver->palettes;
        delete this;
    }
    return left;
}

HRESULT SoftwarePalette::GetCaps(DWORD* caps) {
    if (caps == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *caps = m_caps;
    return DD_OK;
}

HRESULT SoftwarePalette::GetEntries(DWORD flags, DWORD start, DWORD count, PALETTEENTRY* entries) {
    if (HRESULT hr = m_driver->Check("Palette", "GetEntries"); FAILED(hr)) {
        return hr;
    }
    if (flags != 0 || entries == nullptr || start > 256 || count > 256 - start) {
        return DDERR_INVALIDPARAMS;
    }
    std::copy_n(m_entries.begin() + start, count, entries);
    return DD_OK;
}

HRESULT SoftwarePalette::SetEntries(DWORD flags, DWORD start, DWORD count,
                                    const PALETTEENTRY* entries) {
    if (HRESULT hr = m_driver->Check("Palette", "SetEntries"); FAILED(hr)) {
        return hr;
    }
    if (flags != 0 || entries == nullptr || start > 256 || count > 256 - start) {
        return DDERR_INVALIDPARAMS;
    }
    std::copy_n(entries, count, m_entries.begin() + start);
    UpdateColours();
    return DD_OK;
}

void SoftwarePalette::UpdateColours() {
    m_changeStamp = m_driver->NextChange();
    const bool alpha = (m_caps & DDPCAPS_ALPHA) != 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const PALETTEENTRY& entry = m_entries[i];
        const DWORD a = alpha ? entry.peFlags : 0xFF;
        m_colours[i] =
            (a << 24) | (DWORD{entry.peRed} << 16) | (DWORD{entry.peGreen} << 8) | entry.peBlue;
    }
}

// ---------------------------------------------------------------------------------------------
// Surfaces.

std::uint64_t SoftwareSurface::ContentVersion() const {
    return m_palette != nullptr ? std::max(m_contentVersion, m_palette->ChangeStamp())
                                : m_contentVersion;
}

void SoftwareSurface::Changed() {
    m_contentVersion = m_driver->NextChange();
}

SoftwareSurface::SoftwareSurface(std::shared_ptr<DirectDrawDriver> driver,
                                 const DDSURFACEDESC2& desc, PixelLayout layout, LONG pitch)
    : m_driver(std::move(driver)), m_desc(desc), m_layout(layout) {
    m_desc.lPitch = pitch;
    m_noPalette.fill(kOpaqueBlack);
    m_pixels.assign(static_cast<std::size_t>(pitch) * desc.dwHeight, 0);
    m_driver->surfaces.push_back(this);
}

SoftwareSurface::~SoftwareSurface() {
    if (m_locked && m_lockToken != 0) {
        RemoveLock(m_lockToken);
    }
    if (m_dc != nullptr) {
        DeleteDC(m_dc);
    }
    if (m_palette != nullptr) {
        m_palette->Release();
    }
    if (m_nextLevel != nullptr) {
        m_nextLevel->Release();
    }
    std::erase(m_driver->surfaces, this);
}

DWORD SoftwareSurface::AddRef() {
    return ++m_references;
}

DWORD SoftwareSurface::Release() {
    const DWORD left = --m_references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT SoftwareSurface::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    *object = nullptr;
    if (!(iid == IID_IDirect3DTexture2) || (m_desc.ddsCaps.dwCaps & DDSCAPS_TEXTURE) == 0) {
        return E_NOINTERFACE;
    }
    AddRef();
    *object = static_cast<IDirect3DTexture2*>(this);
    return S_OK;
}

SoftwareSurface* SoftwareSurface::From(IDirectDrawSurface4* surface) {
    return dynamic_cast<SoftwareSurface*>(surface);
}

PixelView SoftwareSurface::View() {
    PixelView view;
    view.bits = m_pixels.data();
    view.pitch = m_desc.lPitch;
    view.width = static_cast<LONG>(m_desc.dwWidth);
    view.height = static_cast<LONG>(m_desc.dwHeight);
    view.layout = m_layout;
    if (m_layout.Indexed()) {
        view.palette = m_palette != nullptr ? m_palette->Colours().data() : m_noPalette.data();
        view.paletteCount = 256;
    }
    return view;
}

void SoftwareSurface::MarkLost() {
    if ((m_desc.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) == 0) {
        m_lost = true;
    }
}

HRESULT SoftwareSurface::CheckUsable(const char* call) {
    if (HRESULT hr = m_driver->Check("Surface", call); FAILED(hr)) {
        return hr;
    }
    if (m_lost) {
        return DDERR_SURFACELOST;
    }
    return m_locked ? DDERR_SURFACEBUSY : DD_OK;
}

HRESULT SoftwareSurface::Blt(RECT* destRect, IDirectDrawSurface4* source, RECT* srcRect,
                             DWORD flags, DDBLTFX* fx) {
    if (HRESULT hr = CheckUsable("Blt"); FAILED(hr)) {
        return hr;
    }
    const RECT target = destRect != nullptr ? *destRect : WholeOf(m_desc);
    if ((flags & DDBLT_COLORFILL) != 0) {
        return fx != nullptr ? Fill(target, fx->dwFillColor) : DDERR_INVALIDPARAMS;
    }
    SoftwareSurface* from = From(source);
    if (from == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    return CopyFrom(target, *from, srcRect != nullptr ? *srcRect : WholeOf(from->m_desc),
                    (flags & DDBLT_KEYSRC) != 0);
}

HRESULT SoftwareSurface::BltFast(DWORD x, DWORD y, IDirectDrawSurface4* source, RECT* srcRect,
                                 DWORD flags) {
    if (HRESULT hr = CheckUsable("BltFast"); FAILED(hr)) {
        return hr;
    }
    SoftwareSurface* from = From(source);
    if (from == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    const RECT sourceRect = srcRect != nullptr ? *srcRect : WholeOf(from->m_desc);
    // Computed in 64 bits: a rectangle that leaves the surface must be refused, not wrap.
    const std::int64_t right = std::int64_t{x} + sourceRect.right - sourceRect.left;
    const std::int64_t bottom = std::int64_t{y} + sourceRect.bottom - sourceRect.top;
    if (x > kMaxSide || y > kMaxSide || right > m_desc.dwWidth || bottom > m_desc.dwHeight) {
        return DDERR_INVALIDRECT;
    }
    const RECT target{static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(right),
                      static_cast<LONG>(bottom)};
    return CopyFrom(target, *from, sourceRect, (flags & DDBLTFAST_SRCCOLORKEY) != 0);
}

HRESULT SoftwareSurface::CopyFrom(const RECT& target, SoftwareSurface& source,
                                  const RECT& sourceRect, bool keyed) {
    if (&source != this) {
        if (source.m_lost) {
            return DDERR_SURFACELOST;
        }
        if (source.m_locked) {
            return DDERR_SURFACEBUSY;
        }
    }
    if (IsEmptyOrOutside(target, static_cast<LONG>(m_desc.dwWidth),
                         static_cast<LONG>(m_desc.dwHeight)) ||
        IsEmptyOrOutside(sourceRect, static_cast<LONG>(source.m_desc.dwWidth),
                         static_cast<LONG>(source.m_desc.dwHeight))) {
        return DDERR_INVALIDRECT;
    }
    if (keyed && !source.m_sourceKey.has_value()) {
        return DDERR_NOCOLORKEY;
    }
    if (m_layout.Indexed() && !SameColours(source.View(), View())) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    BlitPixels(BlitBlock{source.View(), sourceRect}, BlitBlock{View(), target},
               keyed ? source.m_sourceKey : std::nullopt);
    Changed();
    return DD_OK;
}

HRESULT SoftwareSurface::Fill(const RECT& target, DWORD value) {
    if (IsEmptyOrOutside(target, static_cast<LONG>(m_desc.dwWidth),
                         static_cast<LONG>(m_desc.dwHeight))) {
        return DDERR_INVALIDRECT;
    }
    FillPixels(BlitBlock{View(), target}, value);
    Changed();
    return DD_OK;
}

HRESULT SoftwareSurface::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** surface) {
    if (caps == nullptr || surface == nullptr || (caps->dwCaps & DDSCAPS_MIPMAP) == 0) {
        return DDERR_INVALIDPARAMS;
    }
    *surface = m_nextLevel;
    if (m_nextLevel == nullptr) {
        return DDERR_NOTFOUND;
    }
    m_nextLevel->AddRef();
    return DD_OK;
}

HRESULT SoftwareSurface::GetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (flags != DDCKEY_SRCBLT || key == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (!m_sourceKey.has_value()) {
        return DDERR_NOCOLORKEY;
    }
    *key = *m_sourceKey;
    return DD_OK;
}

HRESULT SoftwareSurface::SetColorKey(DWORD flags, DDCOLORKEY* key) {
    if (HRESULT hr = m_driver->Check("Surface", "SetColorKey"); FAILED(hr)) {
        return hr;
    }
    if (flags != DDCKEY_SRCBLT) {
        return DDERR_UNSUPPORTED;
    }
    if (key == nullptr) {
        m_sourceKey.reset();
    } else {
        m_sourceKey = *key;
    }
    return DD_OK;
}

HRESULT SoftwareSurface::GetDC(HDC* dc) {
    if (dc == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    if (HRESULT hr = CheckUsable("GetDC"); FAILED(hr)) {
        return hr;
    }
    m_dc = CreateViewDC(View());
    m_locked = true;
    *dc = m_dc;
    return DD_OK;
}

HRESULT SoftwareSurface::ReleaseDC(HDC dc) {
    if (dc == nullptr || dc != m_dc) {
        return DDERR_INVALIDPARAMS;
    }
    DeleteDC(m_dc);
    m_dc = nullptr;
    m_locked = false;
    Changed();
    return DD_OK;
}

HRESULT SoftwareSurface::GetPalette(IDirectDrawPalette** palette) {
    if (palette == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *palette = m_palette;
    if (m_palette == nullptr) {
        return DDERR_NOPALETTEATTACHED;
    }
    m_palette->AddRef();
    return DD_OK;
}

HRESULT SoftwareSurface::SetPalette(IDirectDrawPalette* palette) {
    if (HRESULT hr = m_driver->Check("Surface", "SetPalette"); FAILED(hr)) {
        return hr;
    }
    auto* own = dynamic_cast<SoftwarePalette*>(palette);
    if (palette != nullptr && own == nullptr) {
        return DDERR_INVALIDOBJECT;
    }
    if (!m_layout.Indexed() && own != nullptr) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    if (own != nullptr) {
        own->AddRef();
    }
    if (m_palette != nullptr) {
        m_palette->Release();
    }
    m_palette = own;
    Changed();
    return DD_OK;
}

HRESULT SoftwareSurface::GetPixelFormat(DDPIXELFORMAT* format) {
    if (format == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *format = m_desc.ddpfPixelFormat;
    return DD_OK;
}

HRESULT SoftwareSurface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (HRESULT hr = m_driver->Check("Surface", "GetSurfaceDesc"); FAILED(hr)) {
        return hr;
    }
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    *desc = m_desc;
    return DD_OK;
}

HRESULT SoftwareSurface::IsLost() {
    return m_lost ? DDERR_SURFACELOST : DD_OK;
}

HRESULT SoftwareSurface::Lock(RECT* rect, DDSURFACEDESC2* desc, DWORD, HANDLE) {
    if (desc == nullptr || desc->dwSize != sizeof(DDSURFACEDESC2)) {
        return DDERR_INVALIDPARAMS;
    }
    if (HRESULT hr = CheckUsable("Lock"); FAILED(hr)) {
        return hr;
    }
    const RECT area = rect != nullptr ? *rect : WholeOf(m_desc);
    if (IsEmptyOrOutside(area, static_cast<LONG>(m_desc.dwWidth),
                         static_cast<LONG>(m_desc.dwHeight))) {
        return DDERR_INVALIDRECT;
    }
    m_lockedBits = m_pixels.data() + static_cast<std::ptrdiff_t>(area.top) * m_desc.lPitch +
                   static_cast<std::ptrdiff_t>(area.left) * (m_layout.bitCount / 8);
    m_lockToken = AddLock(m_lockedBits);
    m_locked = true;
    *desc = m_desc;
    desc->lpSurfaceSlot = m_lockToken;
    return DD_OK;
}

HRESULT SoftwareSurface::Unlock(RECT*) {
    if (!m_locked || m_lockToken == 0) {
        return DDERR_NOTLOCKED;
    }
    RemoveLock(m_lockToken);
    m_lockToken = 0;
    m_lockedBits = nullptr;
    m_locked = false;
    Changed();
    return DD_OK;
}

HRESULT SoftwareSurface::Restore() {
    if (HRESULT hr = m_driver->Check("Surface", "Restore"); FAILED(hr)) {
        return hr;
    }
    for (SoftwareSurface* level = this; level != nullptr; level = level->m_nextLevel) {
        if (level->m_lost) {
            std::fill(level->m_pixels.begin(), level->m_pixels.end(), kLostPattern);
            level->m_lost = false;
            level->Changed();
        }
    }
    return DD_OK;
}

// ---------------------------------------------------------------------------------------------
// The DirectDraw object.

SoftwareDirectDraw::SoftwareDirectDraw(const SoftwareDirectDrawConfig& config)
    : m_driver(std::make_shared<DirectDrawDriver>()) {
    m_driver->config = config;
}

DWORD SoftwareDirectDraw::AddRef() {
    return ++m_references;
}

DWORD SoftwareDirectDraw::Release() {
    const DWORD left = --m_references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT SoftwareDirectDraw::CreateSurface(DDSURFACEDESC2* desc, IDirectDrawSurface4** surface,
                                          IUnknown* outer) {
    if (surface == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *surface = nullptr;
    if (HRESULT hr = m_driver->Check("DirectDraw", "CreateSurface"); FAILED(hr)) {
        return hr;
    }
    constexpr DWORD required = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    if (desc == nullptr || outer != nullptr || desc->dwSize != sizeof(DDSURFACEDESC2) ||
        (desc->dwFlags & required) != required || desc->dwWidth == 0 || desc->dwHeight == 0 ||
        desc->dwWidth > kMaxSide || desc->dwHeight > kMaxSide) {
        return DDERR_INVALIDPARAMS;
    }
    const DDPIXELFORMAT format = (desc->dwFlags & DDSD_PIXELFORMAT) != 0
                                     ? desc->ddpfPixelFormat
                                     : m_driver->config.displayFormat;
    const PixelLayout layout = LayoutOf(format);
    if ((format.dwFlags & (DDPF_FOURCC | DDPF_LUMINANCE | DDPF_BUMPLUMINANCE | DDPF_BUMPDUDV)) !=
            0 ||
        !IsSurfaceLayout(layout)) {
        return DDERR_INVALIDPIXELFORMAT;
    }
    const bool mipmapped = (desc->ddsCaps.dwCaps & DDSCAPS_MIPMAP) != 0;
    const DWORD levels =
        mipmapped && (desc->dwFlags & DDSD_MIPMAPCOUNT) != 0 ? desc->dwMipMapCount : 1;
    if (levels == 0 || levels > PossibleLevels(desc->dwWidth, desc->dwHeight)) {
        return DDERR_INVALIDPARAMS;
    }
    SoftwareSurface* created = nullptr;
    DDSURFACEDESC2 described = *desc;
    described.dwFlags |= DDSD_PIXELFORMAT | DDSD_PITCH;
    described.ddpfPixelFormat = PixelFormatOf(layout);
    if ((described.ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY) == 0) {
        described.ddsCaps.dwCaps |= DDSCAPS_VIDEOMEMORY;
    }
    if (HRESULT hr = CreateChain(described, layout, levels, &created); FAILED(hr)) {
        return hr;
    }
    *surface = created;
    return DD_OK;
}

HRESULT SoftwareDirectDraw::CreateChain(const DDSURFACEDESC2& desc, PixelLayout layout,
                                        DWORD levels, SoftwareSurface** surface) {
    const LONG pitch =
        RowPitch(static_cast<LONG>(desc.dwWidth), layout.bitCount, m_driver->config.pitchAlignment);
    DDSURFACEDESC2 level = desc;
    level.dwMipMapCount = levels > 1 || (desc.dwFlags & DDSD_MIPMAPCOUNT) != 0 ? levels : 0;
    SoftwareSurface* top = nullptr;
    try {
        top = new SoftwareSurface(m_driver, level, layout, pitch);
    } catch (const std::bad_alloc&) {
        return DDERR_OUTOFMEMORY;
    }
    if (levels > 1) {
        DDSURFACEDESC2 below = desc;
        below.dwWidth = std::max<DWORD>(1, desc.dwWidth / 2);
        below.dwHeight = std::max<DWORD>(1, desc.dwHeight / 2);
        if (HRESULT hr = CreateChain(below, layout, levels - 1, &top->m_nextLevel); FAILED(hr)) {
            top->Release();
            return hr;
        }
    }
    *surface = top;
    return DD_OK;
}

HRESULT SoftwareDirectDraw::CreatePalette(DWORD caps, const PALETTEENTRY* entries,
                                          IDirectDrawPalette** palette, IUnknown* outer) {
    if (palette == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *palette = nullptr;
    if (HRESULT hr = m_driver->Check("DirectDraw", "CreatePalette"); FAILED(hr)) {
        return hr;
    }
    if (entries == nullptr || outer != nullptr || (caps & DDPCAPS_8BIT) == 0) {
        return DDERR_INVALIDPARAMS;
    }
    *palette = new SoftwarePalette(m_driver, caps, entries);
    return DD_OK;
}

HRESULT SoftwareDirectDraw::RestoreAllSurfaces() {
    for (SoftwareSurface* surface : m_driver->surfaces) {
        if (HRESULT hr = surface->Restore(); FAILED(hr)) {
            return hr;
        }
    }
    return DD_OK;
}

void SoftwareDirectDraw::LoseSurfaces() {
    for (SoftwareSurface* surface : m_driver->surfaces) {
        surface->MarkLost();
    }
}

CallFaults& SoftwareDirectDraw::Faults() {
    return m_driver->faults;
}

std::size_t SoftwareDirectDraw::LiveSurfaceCount() const {
    return m_driver->surfaces.size();
}

std::size_t SoftwareDirectDraw::LivePaletteCount() const {
    return m_driver->palettes;
}

HRESULT CreateSoftwareDirectDraw(const SoftwareDirectDrawConfig& config,
                                 SoftwareDirectDraw** directDraw) {
    if (directDraw == nullptr) {
        return DDERR_INVALIDPARAMS;
    }
    *directDraw = new SoftwareDirectDraw(config);
    return DD_OK;
}

} // namespace platform

void* DDLockedBits(const DDSURFACEDESC2* desc) {
    if (desc == nullptr) {
        return nullptr;
    }
    platform::LockTable& table = platform::Locks();
    std::lock_guard guard(table.lock);
    auto found = table.bits.find(desc->lpSurfaceSlot);
    return found != table.bits.end() ? found->second : nullptr;
}
