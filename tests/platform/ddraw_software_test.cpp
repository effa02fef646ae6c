#include "platform/ddraw/gdi/gdi.h"
#include "platform/ddraw/software/software_ddraw.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;
using testkit::Describe;
using testkit::MakeSurface;
using testkit::ReadSurface;
using testkit::WriteSurface;

namespace {

class SoftwareDirectDrawTest : public ::testing::Test {
protected:
    SoftwareDirectDrawTest() { CreateSoftwareDirectDraw({}, &m_directDraw); }
    ~SoftwareDirectDrawTest() override {
        for (IDirectDrawSurface4* surface : m_surfaces) {
            surface->Release();
        }
        EXPECT_EQ(m_directDraw->LiveSurfaceCount(), 0u);
        EXPECT_EQ(m_directDraw->LivePaletteCount(), 0u);
        m_directDraw->Release();
    }

    IDirectDrawSurface4* Surface(const DDPIXELFORMAT& format, DWORD width, DWORD height,
                                 DWORD caps = DDSCAPS_OFFSCREENPLAIN) {
        m_surfaces.push_back(MakeSurface(m_directDraw, format, width, height, caps));
        return m_surfaces.back();
    }

    SoftwareDirectDraw* m_directDraw = nullptr;
    std::vector<IDirectDrawSurface4*> m_surfaces;
};

// Rows are aligned to 8 bytes; without a format a surface takes the display's (5-6-5).
TEST_F(SoftwareDirectDrawTest, DescriptionsAreCheckedAndRowsAligned) {
    DDPIXELFORMAT fourCC = Rgb565Format();
    fourCC.dwFlags |= DDPF_FOURCC;
    DDPIXELFORMAT badMasks = Rgb565Format();
    badMasks.dwRBitMask = 0x1F0000;
    const DWORD all = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    const struct {
        DWORD size, flags, width, height;
        DDPIXELFORMAT format;
        HRESULT expected;
        LONG pitch;
    } cases[] = {
        {124, all, 5, 3, Palettized8Format(), DD_OK, 8},
        {124, all, 5, 3, Rgb565Format(), DD_OK, 16},
        {124, all, 3, 3, Rgb555Format(), DD_OK, 8},
        {124, all, 4, 3, Argb1555Format(), DD_OK, 8},
        {124, all, 9, 3, Argb4444Format(), DD_OK, 24},
        {124, all, 3, 3, Rgb888Format(), DD_OK, 16},
        {124, all, 3, 3, Xrgb8888Format(), DD_OK, 16},
        {124, all, 2, 3, Argb8888Format(), DD_OK, 8},
        {124, all & ~DDSD_PIXELFORMAT, 4, 4, Rgb565Format(), DD_OK, 8},
        {100, all, 4, 4, Rgb565Format(), DDERR_INVALIDPARAMS, 0},
        {124, DDSD_WIDTH | DDSD_HEIGHT, 4, 4, Rgb565Format(), DDERR_INVALIDPARAMS, 0},
        {124, all, 0, 4, Rgb565Format(), DDERR_INVALIDPARAMS, 0},
        {124, all, 4, 20000, Rgb565Format(), DDERR_INVALIDPARAMS, 0},
        {124, all, 4, 4, fourCC, DDERR_INVALIDPIXELFORMAT, 0},
        {124, all, 4, 4, badMasks, DDERR_INVALIDPIXELFORMAT, 0},
    };
    for (const auto& c : cases) {
        DDSURFACEDESC2 desc{};
        desc.dwSize = c.size;
        desc.dwFlags = c.flags;
        desc.dwWidth = c.width;
        desc.dwHeight = c.height;
        desc.ddpfPixelFormat = (c.flags & DDSD_PIXELFORMAT) != 0 ? c.format : DDPIXELFORMAT{};
        desc.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY;
        IDirectDrawSurface4* surface = reinterpret_cast<IDirectDrawSurface4*>(1);
        ASSERT_EQ(m_directDraw->CreateSurface(&desc, &surface, nullptr), c.expected) << c.width;
        if (FAILED(c.expected)) {
            EXPECT_EQ(surface, nullptr);
            continue;
        }
        m_surfaces.push_back(surface);
        const DDSURFACEDESC2 made = Describe(surface);
        EXPECT_EQ(made.lPitch, c.pitch) << c.format.dwRGBBitCount;
        EXPECT_EQ(std::memcmp(&made.ddpfPixelFormat, &c.format, sizeof(DDPIXELFORMAT)), 0);
    }
}

TEST_F(SoftwareDirectDrawTest, LocksHandOutTheMemoryUntilUnlock) {
    IDirectDrawSurface4* surface = Surface(Xrgb8888Format(), 4, 4);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    RECT area{1, 2, 3, 4};
    ASSERT_EQ(surface->Lock(&area, &desc, 0, nullptr), DD_OK);
    auto* bits = static_cast<DWORD*>(DDLockedBits(&desc));
    ASSERT_NE(bits, nullptr);
    bits[0] = 0x123456;
    DDSURFACEDESC2 second = desc;
    EXPECT_EQ(surface->Lock(nullptr, &second, 0, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->BltFast(0, 0, surface, nullptr, 0), DDERR_SURFACEBUSY);
    EXPECT_EQ(surface->Unlock(nullptr), DD_OK);
    EXPECT_EQ(DDLockedBits(&desc), nullptr);
    EXPECT_EQ(surface->Unlock(nullptr), DDERR_NOTLOCKED);
    EXPECT_EQ(ReadSurface(surface)[2 * 4 + 1], 0x123456u);
}

TEST_F(SoftwareDirectDrawTest, RectanglesOutsideEitherSurfaceWriteNothing) {
    IDirectDrawSurface4* target = Surface(Rgb565Format(), 8, 8);
    IDirectDrawSurface4* source = Surface(Rgb565Format(), 4, 4);
    WriteSurface(source, std::vector<DWORD>(16, 0xFFFF));
    const std::vector<DWORD> before = ReadSurface(target);
    RECT rects[] = {{-1, 0, 2, 2}, {0, 0, 9, 2}, {2, 2, 2, 4}, {3, 3, 1, 1}, {0, 6, 3, 9}};
    for (RECT& rect : rects) {
        EXPECT_EQ(target->Blt(&rect, source, nullptr, 0, nullptr), DDERR_INVALIDRECT);
        RECT whole{0, 0, 8, 8};
        EXPECT_EQ(target->Blt(&whole, source, &rect, 0, nullptr), DDERR_INVALIDRECT);
    }
    EXPECT_EQ(target->BltFast(5, 0, source, nullptr, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(target->BltFast(0xFFFFFFFEu, 0, source, nullptr, 0), DDERR_INVALIDRECT);
    EXPECT_EQ(ReadSurface(target), before);
}

TEST_F(SoftwareDirectDrawTest, CopiesHonourSourceKeysStretchAndFill) {
    for (const DDPIXELFORMAT& format : {Rgb565Format(), Xrgb8888Format(), Palettized8Format()}) {
        IDirectDrawSurface4* source = Surface(format, 2, 2);
        IDirectDrawSurface4* target = Surface(format, 4, 4);
        WriteSurface(source, {7, 1, 2, 7});
        DDBLTFX fill{sizeof(DDBLTFX), 9};
        ASSERT_EQ(target->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, &fill), DD_OK);
        EXPECT_EQ(target->BltFast(0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY), DDERR_NOCOLORKEY);
        DDCOLORKEY key{7, 7};
        source->SetColorKey(DDCKEY_SRCBLT, &key);
        ASSERT_EQ(target->BltFast(2, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY), DD_OK);
        RECT lower{0, 2, 4, 4};
        ASSERT_EQ(target->Blt(&lower, source, nullptr, DDBLT_KEYSRC, nullptr), DD_OK);
        EXPECT_EQ(ReadSurface(target), (std::vector<DWORD>{9, 9, 9, 1, //
                                                           9, 9, 2, 9, //
                                                           9, 9, 1, 1, //
                                                           2, 2, 9, 9}))
            << format.dwRGBBitCount;
    }
}

TEST_F(SoftwareDirectDrawTest, CopiesBetweenFormatsConvertColours) {
    IDirectDrawSurface4* source = Surface(Rgb565Format(), 2, 1);
    IDirectDrawSurface4* target = Surface(Argb8888Format(), 2, 1);
    WriteSurface(source, {0xF800, 0x07FF});
    ASSERT_EQ(target->BltFast(0, 0, source, nullptr, 0), DD_OK);
    EXPECT_EQ(ReadSurface(target), (std::vector<DWORD>{0xFFFF0000u, 0xFF00FFFFu}));
    // Narrowing keeps each channel's top bits; an alpha the source lacks becomes opaque.
    IDirectDrawSurface4* wide = Surface(Xrgb8888Format(), 2, 1);
    IDirectDrawSurface4* narrow = Surface(Argb1555Format(), 2, 1);
    WriteSurface(wide, {0x00FF8000, 0x000708FF});
    ASSERT_EQ(narrow->BltFast(0, 0, wide, nullptr, 0), DD_OK);
    EXPECT_EQ(ReadSurface(narrow), (std::vector<DWORD>{0xFE00, 0x803F}));
    // Into a palettised surface only the same palette converts.
    IDirectDrawSurface4* indexed = Surface(Palettized8Format(), 2, 1);
    EXPECT_EQ(indexed->BltFast(0, 0, source, nullptr, 0), DDERR_INVALIDPIXELFORMAT);
}

TEST_F(SoftwareDirectDrawTest, LostSurfacesRefuseWorkUntilRestored) {
    IDirectDrawSurface4* video = Surface(Rgb565Format(), 2, 2);
    IDirectDrawSurface4* system = Surface(Rgb565Format(), 2, 2, DDSCAPS_SYSTEMMEMORY);
    WriteSurface(video, {1, 2, 3, 4});
    m_directDraw->LoseSurfaces();
    EXPECT_EQ(video->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(system->IsLost(), DD_OK);
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    HDC dc = nullptr;
    EXPECT_EQ(video->Lock(nullptr, &desc, 0, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(video->GetDC(&dc), DDERR_SURFACELOST);
    EXPECT_EQ(system->BltFast(0, 0, video, nullptr, 0), DDERR_SURFACELOST);
    ASSERT_EQ(m_directDraw->RestoreAllSurfaces(), DD_OK);
    EXPECT_EQ(video->IsLost(), DD_OK);
    EXPECT_EQ(ReadSurface(video), std::vector<DWORD>(4, 0xCDCD)); // contents must be redrawn
}

TEST_F(SoftwareDirectDrawTest, PalettesColourIndexedSurfaces) {
    PALETTEENTRY entries[256] = {};
    entries[1] = {255, 128, 0, 77};
    IDirectDrawPalette* palette = nullptr;
    EXPECT_EQ(m_directDraw->CreatePalette(0, entries, &palette, nullptr), DDERR_INVALIDPARAMS);
    ASSERT_EQ(m_directDraw->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALPHA, entries, &palette, nullptr),
              DD_OK);
    IDirectDrawSurface4* surface = Surface(Palettized8Format(), 1, 1);
    EXPECT_EQ(Surface(Rgb565Format(), 1, 1)->SetPalette(palette), DDERR_INVALIDPIXELFORMAT);
    ASSERT_EQ(surface->SetPalette(palette), DD_OK);
    palette->Release(); // the surface keeps its own reference
    WriteSurface(surface, {1});
    EXPECT_EQ(SoftwareSurface::From(surface)->View().palette[1], 0x4DFF8000u);
    HDC dc = nullptr;
    ASSERT_EQ(surface->GetDC(&dc), DD_OK);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 128, 0));
    EXPECT_EQ(surface->ReleaseDC(dc), DD_OK);
    IDirectDrawPalette* attached = nullptr;
    ASSERT_EQ(surface->GetPalette(&attached), DD_OK);
    PALETTEENTRY read[2];
    EXPECT_EQ(attached->GetEntries(0, 255, 2, read), DDERR_INVALIDPARAMS);
    attached->Release();
}

TEST_F(SoftwareDirectDrawTest, MipmapChainsHalveDownToTheCount) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_MIPMAPCOUNT;
    desc.ddsCaps.dwCaps = DDSCAPS_TEXTURE | DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
    desc.dwWidth = 8;
    desc.dwHeight = 2;
    desc.dwMipMapCount = 5;
    IDirectDrawSurface4* top = nullptr;
    EXPECT_EQ(m_directDraw->CreateSurface(&desc, &top, nullptr), DDERR_INVALIDPARAMS);
    desc.dwMipMapCount = 4;
    ASSERT_EQ(m_directDraw->CreateSurface(&desc, &top, nullptr), DD_OK);
    m_surfaces.push_back(top);
    DDSCAPS2 caps{DDSCAPS_MIPMAP, 0, 0, 0};
    IDirectDrawSurface4* level = top;
    std::vector<DWORD> widths;
    while (level != nullptr) {
        widths.push_back(Describe(level).dwWidth);
        IDirectDrawSurface4* next = nullptr;
        level->GetAttachedSurface(&caps, &next);
        if (level != top) {
            level->Release();
        }
        level = next;
    }
    EXPECT_EQ(widths, (std::vector<DWORD>{8, 4, 2, 1}));
    void* texture = nullptr;
    ASSERT_EQ(top->QueryInterface(IID_IDirect3DTexture2, &texture), S_OK);
    static_cast<IDirect3DTexture2*>(texture)->Release();
    EXPECT_EQ(Surface(Rgb565Format(), 1, 1)->QueryInterface(IID_IDirect3DTexture2, &texture),
              E_NOINTERFACE);
}

} // namespace
