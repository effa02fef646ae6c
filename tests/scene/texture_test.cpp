#include "scene/texture.h"
#include "support/memory.h"
#include "testkit/bmp_builder.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/scratch_dir.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

using namespace platform;
using testkit::Describe;
using testkit::ReadSurface;

namespace {

constexpr DWORD kWhite = 0xFFFFFF;
constexpr DWORD kGrey = 0x808080;

// Indexed bitmaps get colours black, white, grey (and nothing past them).
testkit::BmpImage Indexed(std::int32_t width, std::int32_t height,
                          const std::vector<std::uint32_t>& pixels) {
    return testkit::SimpleImage(width, height, 8, pixels, {0x000000, kWhite, kGrey});
}

class TextureTest : public ::testing::Test {
protected:
    TextureTest()
        : m_videoBefore(CMemory::GetTotalVideoMemoryAllocated()),
          m_host(std::make_unique<testkit::DeviceHost>()) {}
    ~TextureTest() override {
        ClearBitmapResources();
        EXPECT_EQ(CMemory::GetTotalVideoMemoryAllocated(), m_videoBefore);
    }

    // A new host whose device has these texture capabilities and formats.
    void Reconfigure(DWORD caps, std::vector<DDPIXELFORMAT> formats = StandardTextureFormats()) {
        SoftwareDeviceConfig config;
        config.textureCaps = caps;
        config.textureFormats = std::move(formats);
        m_host.reset();
        m_host = std::make_unique<testkit::DeviceHost>(config);
    }

    DWORD m_videoBefore;
    std::unique_ptr<testkit::DeviceHost> m_host;
    testkit::DebugCapture m_log;
};

TEST_F(TextureTest, FormatAndSizeFollowTheDevice) {
    testkit::AddResource(
        "wide", testkit::SimpleImage(100, 60, 24, std::vector<std::uint32_t>(6000, kGrey)));
    testkit::AddResource("indexed", Indexed(2, 2, {0, 1, 2, 1}));
    const std::vector<DDPIXELFORMAT> all = StandardTextureFormats();
    const std::vector<DDPIXELFORMAT> noPalettes(all.begin() + 1, all.end());
    struct Case {
        const char* name;
        DWORD flags;
        DWORD caps;
        std::vector<DDPIXELFORMAT> formats;
        DWORD width, height, bitCount, alphaMask;
        bool palettised;
    };
    const Case cases[] = {
        {"wide", 0, D3DPTEXTURECAPS_POW2, all, 128, 64, 16, 0, false},
        {"wide", 0, D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY, all, 128, 128, 16, 0, false},
        {"wide", kTexturePrefer32Bit, 0, all, 100, 60, 32, 0, false},
        {"indexed", 0, 0, all, 2, 2, 8, 0, true},
        {"indexed", 0, 0, noPalettes, 2, 2, 16, 0, false},
        {"indexed", kTextureWhiteTransparent, 0, all, 2, 2, 16, 0x8000, false},
        {"indexed", kTextureWhiteTransparent, D3DPTEXTURECAPS_ALPHAPALETTE, all, 2, 2, 8, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " flags " + std::to_string(c.flags));
        Reconfigure(c.caps, c.formats);
        CTexture texture;
        ASSERT_EQ(texture.Load(const_cast<char*>(c.name), 0, 0, c.flags), 1) << m_log.Text();
        const DDSURFACEDESC2 d = Describe(texture.GetSurface());
        const DDPIXELFORMAT& f = d.ddpfPixelFormat;
        EXPECT_EQ(
            std::tuple(d.dwWidth, d.dwHeight, f.dwRGBBitCount, f.dwRGBAlphaBitMask,
                       (f.dwFlags & DDPF_PALETTEINDEXED8) != 0, d.ddsCaps.dwCaps & DDSCAPS_TEXTURE),
            std::tuple(c.width, c.height, c.bitCount, c.alphaMask, c.palettised, DDSCAPS_TEXTURE));
        EXPECT_NE(texture.GetTexture(), nullptr);
    }
}

TEST_F(TextureTest, ColourKeysBecomeAlpha) {
    testkit::AddResource("keyed", Indexed(3, 1, {0, 1, 2}));
    const DWORD black = 0x0000, white = 0x7FFF, grey = 0x4210; // 1-5-5-5 without alpha
    // Both flags: black is the one key, in the palette and the alpha pass alike.
    const std::pair<DWORD, std::vector<DWORD>> cases[] = {
        {kTextureBlackTransparent, {black, white | 0x8000, grey | 0x8000}},
        {kTextureWhiteTransparent, {black | 0x8000, white, grey | 0x8000}},
        {kTextureWhiteTransparent | kTextureBlackTransparent,
         {black, white | 0x8000, grey | 0x8000}},
    };
    Reconfigure(0); // no alpha palettes: 16-bit 1-5-5-5
    for (const auto& [flags, pixels] : cases) {
        CTexture texture;
        ASSERT_EQ(texture.Load(const_cast<char*>("keyed"), 0, 0, flags), 1);
        EXPECT_EQ(ReadSurface(texture.GetSurface()), pixels) << flags;
    }
}

TEST_F(TextureTest, AlphaPalettesKeyOneEntryAndBlackenTheRest) {
    Reconfigure(D3DPTEXTURECAPS_ALPHAPALETTE);
    testkit::AddResource("keyed", Indexed(1, 1, {1}));
    CTexture texture;
    ASSERT_EQ(texture.Load(const_cast<char*>("keyed"), 0, 0, kTextureWhiteTransparent), 1);
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(texture.GetSurface()->GetPalette(&palette), DD_OK);
    DWORD caps = 0;
    palette->GetCaps(&caps);
    EXPECT_EQ(caps, DDPCAPS_8BIT | DDPCAPS_ALPHA);
    PALETTEENTRY entries[256];
    palette->GetEntries(0, 0, 256, entries);
    palette->Release();
    EXPECT_EQ(entries[1].peFlags, 0);    // white, the key
    EXPECT_EQ(entries[2].peFlags, 0xFF); // grey
    EXPECT_EQ(entries[200].peRed + entries[200].peGreen + entries[200].peBlue, 0);
    EXPECT_EQ(entries[200].peFlags, 0xFF); // past the bitmap's table: opaque black
}

TEST_F(TextureTest, EveryMipmapLevelIsFilled) {
    testkit::AddResource("checks", testkit::SimpleImage(4, 2, 24,
                                                        {0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF,
                                                         0xFF0000, 0xFF0000, 0x0000FF, 0x0000FF}));
    CTexture texture;
    ASSERT_EQ(texture.Load(const_cast<char*>("checks"), 3, 1, 0), 1);
    DDSCAPS2 caps{DDSCAPS_TEXTURE | DDSCAPS_MIPMAP, 0, 0, 0};
    IDirectDrawSurface4* level = nullptr;
    ASSERT_EQ(texture.GetSurface()->GetAttachedSurface(&caps, &level), DD_OK);
    EXPECT_EQ(ReadSurface(level), (std::vector<DWORD>{0xF800, 0x001F}));
    IDirectDrawSurface4* last = nullptr;
    ASSERT_EQ(level->GetAttachedSurface(&caps, &last), DD_OK);
    EXPECT_EQ(ReadSurface(last), (std::vector<DWORD>{0xF800}));
    EXPECT_EQ(Describe(texture.GetSurface()).dwTextureStage, 1u);
    level->Release();
    last->Release();
}

TEST_F(TextureTest, RestoreRebuildsFromTheKeptBitmap) {
    testkit::ScratchDir dir;
    dir.WriteFile("skin.bmp", testkit::BmpFile(Indexed(2, 1, {1, 2})));
    std::string name = dir.EnginePath("skin.bmp");
    CTexture texture;
    ASSERT_EQ(texture.Load(name.data(), 0, 2, 0), 1);
    const std::vector<DWORD> before = ReadSurface(texture.GetSurface());
    std::filesystem::remove(dir.HostPath("skin.bmp")); // a restore must not need the file
    m_host->DirectDraw()->LoseSurfaces();
    EXPECT_TRUE(ReadSurface(texture.GetSurface()).empty());
    CDDSurface::RestoreAll();
    EXPECT_EQ(ReadSurface(texture.GetSurface()), before);
    EXPECT_STREQ(texture.GetTextureName(), name.c_str());
    EXPECT_NE(texture.GetTexture(), nullptr);
    EXPECT_EQ(m_host->DirectDraw()->LiveSurfaceCount(), 1u);
    // Set as current, it binds its stage; a failed bind is reported.
    EXPECT_EQ(texture.SetAsCurrent(m_host->Device()), D3D_OK);
    EXPECT_EQ(m_host->Device()->Texture(2), texture.GetTexture());
    m_host->Log().FailCall("Device::SetTexture", DDERR_GENERIC);
    EXPECT_EQ(texture.SetAsCurrent(m_host->Device()), DDERR_GENERIC);
    EXPECT_TRUE(m_log.Contains("CTexture::SetAsCurrent() Failed to set texture. Error=80004005"));
    m_host->Device()->SetTexture(2, nullptr);
}

TEST_F(TextureTest, FailedLoadsLeaveTheTextureEmpty) {
    testkit::AddResource("fine", Indexed(1, 1, {0}));
    std::string tooLong(128, 'a');
    struct Case {
        std::string name;
        DWORD stage;
        const char* fault;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"nope", 0, nullptr, {"CTexture::Load() Failed to load bitmap 'nope'"}},
        {tooLong, 0, nullptr, {"CTexture::Load() Texture name too long"}},
        {"fine", 8, nullptr, {"CTexture::Load() Texture stage 8 out of range!"}},
        {"fine",
         0,
         "Device::GetCaps",
         {"CTexture::RestoreFromBitmap() Failed to get caps for D3DDevice!",
          "CTexture::Load() Failed to create texture!"}},
        {"fine",
         0,
         "DirectDraw::CreateSurface",
         {"CDDSurface::Create() Failed to create surface! Error=8007000E 0007000E",
          "CTexture::RestoreFromBitmap() Failed to create surface!"}},
        {"fine",
         0,
         "Surface::GetDC",
         {"CTexture::CopyBitmapToSurface() Failed to copy the bitmap. Error=80004005"}},
    };
    for (const Case& c : cases) {
        m_log.Clear();
        m_host->Log().ClearFailures();
        m_host->DirectDraw()->Faults().ClearFailures();
        if (c.fault != nullptr && std::string(c.fault).starts_with("Device")) {
            m_host->Log().FailCall(c.fault, DDERR_OUTOFMEMORY);
        } else if (c.fault != nullptr) {
            m_host->DirectDraw()->Faults().FailCall(c.fault, DDERR_OUTOFMEMORY);
        }
        CTexture texture;
        std::string name = c.name;
        EXPECT_EQ(texture.Load(name.data(), 0, c.stage, kTextureBlackTransparent), 0);
        for (const std::string& message : c.messages) {
            EXPECT_TRUE(m_log.Contains(message)) << message << "\n" << m_log.Text();
        }
        EXPECT_EQ(std::tuple(texture.GetTextureName(), texture.GetTexture(), texture.GetFlags(),
                             m_host->DirectDraw()->LiveSurfaceCount()),
                  std::tuple(nullptr, nullptr, 0u, 0u))
            << c.name;
    }
    Reconfigure(0, {});
    CTexture texture;
    EXPECT_EQ(texture.Load(const_cast<char*>("fine"), 0, 0, 0), 0);
    EXPECT_TRUE(m_log.Contains(
        "CTexture::RestoreFromBitmap() Failed to enumerate a suitable texture format!"));
}

} // namespace
