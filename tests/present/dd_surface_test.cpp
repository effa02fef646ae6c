#include "present/dd_bitmap.h"
#include "present/dd_surface.h"
#include "support/memory.h"
#include "testkit/bmp_builder.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/scratch_dir.h"
#include "testkit/surface_pixels.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

using namespace platform;
using testkit::ReadSurface;
using testkit::WriteSurface;

namespace {

// Exposes the protected parts tests look at.
class TestSurface : public CDDSurface {
public:
    using CDDSurface::SetSurface;
    DWORD BltFastFlags() const { return bltFastFlags; }
    // Restores are written down here, in order.
    std::vector<const TestSurface*>* journal = nullptr;

protected:
    void Restore() override {
        if (journal != nullptr) {
            journal->push_back(this);
        }
        CDDSurface::Restore();
    }
};

class PresentTest : public ::testing::Test {
protected:
    ~PresentTest() override {
        for (IDirectDrawSurface4* surface : m_owned) {
            surface->Release();
        }
        CDDSurface::SetRestoreCallback(nullptr);
        ClearBitmapResources();
    }

    // A 16-bit surface of `width` x `height` whose pixels count up from 1.
    void Fill(TestSurface& object, DWORD width, DWORD height) {
        object.SetSurface(testkit::MakeSurface(m_host.DirectDraw(), Rgb565Format(), width, height));
        std::vector<DWORD> values(width * height);
        for (DWORD i = 0; i < values.size(); ++i) {
            values[i] = i + 1;
        }
        WriteSurface(object.GetSurface(), values);
    }

    // A zeroed 16-bit target, released with the fixture.
    IDirectDrawSurface4* Screen(DWORD width, DWORD height) {
        m_owned.push_back(testkit::MakeSurface(m_host.DirectDraw(), Rgb565Format(), width, height));
        return m_owned.back();
    }

    testkit::DeviceHost m_host;
    testkit::DebugCapture m_log;
    testkit::ScratchDir m_dir;
    std::vector<IDirectDrawSurface4*> m_owned;
};

TEST_F(PresentTest, SurfaceListKeepsNewestFirst) {
    std::vector<const TestSurface*> journal;
    auto a = std::make_unique<TestSurface>();
    auto b = std::make_unique<TestSurface>();
    a->journal = b->journal = &journal;
    Fill(*a, 1, 1);
    Fill(*b, 1, 1);
    CDDSurface::RestoreAll();
    EXPECT_EQ(journal, (std::vector<const TestSurface*>{b.get(), a.get()}));
    b.reset(); // A becomes the head
    journal.clear();
    CDDSurface::RestoreAll();
    EXPECT_EQ(journal, (std::vector<const TestSurface*>{a.get()}));
    EXPECT_EQ(m_host.DirectDraw()->LiveSurfaceCount(), 1u);
    a.reset();
    EXPECT_EQ(m_host.DirectDraw()->LiveSurfaceCount(), 0u);
    EXPECT_EQ(CMemory::GetTotalVideoMemoryAllocated(), 0u);
}

// Draws a 4 x 2 surface (pixels 1..8) onto an 8 x 4 target at (x, y).
TEST_F(PresentTest, CopiesAreCutToTheTarget) {
    struct Case {
        int x, y;
        int result;
        std::vector<DWORD> topRow; // the target's first row afterwards
    };
    const Case cases[] = {
        {0, 0, 1, {1, 2, 3, 4, 0, 0, 0, 0}},
        {6, 0, 1, {0, 0, 0, 0, 0, 0, 1, 2}},         // only the leftmost columns fit
        {-2, 0, 1, {3, 4, 0, 0, 0, 0, 0, 0}},        // cut at the left edge as well
        {0, -1, 1, {5, 6, 7, 8, 0, 0, 0, 0}},        // and at the top
        {9, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},         // wholly outside: refused, no message
        {INT32_MAX, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}}, // the right edge must not wrap
        {INT32_MIN, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TestSurface sprite;
        Fill(sprite, 4, 2);
        IDirectDrawSurface4* target = Screen(8, 4);
        m_log.Clear();
        EXPECT_EQ(sprite.Blt(c.x, c.y, target), c.result) << c.x << "," << c.y;
        std::vector<DWORD> pixels = ReadSurface(target);
        EXPECT_EQ(std::vector<DWORD>(pixels.begin(), pixels.begin() + 8), c.topRow) << c.x;
        EXPECT_TRUE(m_log.Lines().empty()) << m_log.Text();
    }
    // StretchBlt moves the source edges with the cut; ClipRenderRect cuts to the screen.
    TestSurface stretched;
    Fill(stretched, 2, 1); // pixels 1, 2
    IDirectDrawSurface4* target = Screen(4, 1);
    RECT wide{-2, 0, 6, 1}; // 4x stretch, half of it outside
    ASSERT_EQ(stretched.StretchBlt(&wide, target), 1);
    EXPECT_EQ(ReadSurface(target), (std::vector<DWORD>{1, 1, 2, 2}));
    TestSurface sprite;
    Fill(sprite, 20, 10);
    RECT out{};
    EXPECT_EQ(sprite.ClipRenderRect(630, 475, &out), 1);
    EXPECT_EQ(std::pair(out.right - out.left, out.bottom - out.top), std::pair(10, 5));
    sprite.ClipRenderRect(700, -3, &out);
    EXPECT_LT(out.right, out.left); // beyond the screen: nothing to copy
    EXPECT_EQ(out.top, 3);
}

TEST_F(PresentTest, LostSurfacesAreRestoredOncePerCopy) {
    static SoftwareDirectDraw* directDraw;
    directDraw = m_host.DirectDraw();
    TestSurface sprite;
    Fill(sprite, 2, 2);
    IDirectDrawSurface4* target = Screen(4, 4);
    directDraw->LoseSurfaces();
    EXPECT_EQ(sprite.Blt(0, 0, target), 0);
    EXPECT_TRUE(m_log.Contains("CDDSurface::Blt() RestoreAllSurfaces() Failed!"));
    CDDSurface::SetRestoreCallback([] { directDraw->RestoreAllSurfaces(); });
    m_log.Clear();
    RECT whole{0, 0, 4, 4};
    EXPECT_EQ(sprite.StretchBlt(&whole, target), 1);
    EXPECT_TRUE(m_log.Lines().empty());
    directDraw->Faults().FailCall("Surface::BltFast", DDERR_OUTOFMEMORY);
    EXPECT_EQ(sprite.Blt(0, 0, target), 0);
    EXPECT_TRUE(m_log.Contains("CDDSurface::Blt() Unexpected error 8007000E!"));
    directDraw->Faults().FailCall("Surface::Blt", DDERR_WASSTILLDRAWING);
    EXPECT_EQ(sprite.StretchBlt(&whole, target), 0); // a device that stays busy is given up
}

TEST_F(PresentTest, ColourKeysFollowTheSurfaceFormat) {
    TestSurface empty;
    EXPECT_EQ(empty.SetColourKey(RGB(255, 0, 255)), 0);
    EXPECT_TRUE(m_log.Contains("CDDSurface::SetColourKey() Failed on NULL surface!!"));
    EXPECT_EQ(empty.BltFastFlags(), 0u);
    struct Case {
        DDPIXELFORMAT format;
        COLORREF colour;
        DWORD value;
    };
    const Case cases[] = {
        {Rgb565Format(), RGB(255, 0, 255), 0xF81F},     {Rgb555Format(), RGB(8, 16, 255), 0x045F},
        {Argb1555Format(), RGB(0, 0, 0), 0x8000},       {Xrgb8888Format(), RGB(1, 2, 3), 0x010203},
        {Argb4444Format(), RGB(255, 255, 255), 0xFFFF}, {Rgb888Format(), RGB(9, 8, 7), 0x090807},
    };
    for (const Case& c : cases) {
        TestSurface keyed;
        keyed.SetSurface(testkit::MakeSurface(m_host.DirectDraw(), c.format, 1, 1));
        EXPECT_EQ(DDColorMatch(keyed.GetSurface(), c.colour), c.value);
        ASSERT_EQ(keyed.SetColourKey(c.colour), 1);
        DDCOLORKEY key{};
        keyed.GetSurface()->GetColorKey(DDCKEY_SRCBLT, &key);
        EXPECT_EQ(std::pair(key.dwColorSpaceLowValue, keyed.BltFastFlags()),
                  std::pair(c.value, DWORD{DDBLTFAST_SRCCOLORKEY}));
        // CLR_INVALID reads the first pixel, no further than its own bytes.
        WriteSurface(keyed.GetSurface(), {c.value});
        EXPECT_EQ(DDColorMatch(keyed.GetSurface(), CLR_INVALID), c.value);
    }
}

TEST_F(PresentTest, PaletteMatchesPickTheNearestEntry) {
    IDirectDrawPalette* palette = DDLoadPalette(m_host.DirectDraw(), nullptr);
    ASSERT_NE(palette, nullptr);
    PALETTEENTRY entries[256];
    palette->GetEntries(0, 0, 256, entries);
    EXPECT_EQ((std::vector<int>{entries[255].peRed, entries[255].peGreen, entries[255].peBlue,
                                entries[36].peRed, entries[36].peGreen, entries[36].peBlue}),
              (std::vector<int>{255, 255, 255, 36, 36, 0}));
    TestSurface indexed;
    indexed.SetSurface(testkit::MakeSurface(m_host.DirectDraw(), Palettized8Format(), 1, 1));
    EXPECT_EQ(DDColorMatch(indexed.GetSurface(), RGB(250, 250, 250)), 0u); // no palette yet
    indexed.GetSurface()->SetPalette(palette);
    palette->Release();
    EXPECT_EQ(DDColorMatch(indexed.GetSurface(), RGB(250, 250, 250)), 255u);
    EXPECT_EQ(DDColorMatch(indexed.GetSurface(), RGB(36, 36, 0)), 36u);
}

TEST_F(PresentTest, PalettesComeFromResourcesAndFiles) {
    std::vector<std::uint32_t> colours(300, 0x000000);
    colours[0] = 0x102030;
    colours[1] = 0xFFFF00;
    testkit::BmpImage image = testkit::SimpleImage(1, 1, 8, {1}, colours);
    image.coloursUsed = 1000; // more than any table: must not write past 256 entries
    testkit::AddResource("Pal", image);
    image.coloursUsed = 0;
    m_dir.WriteFile("pal.bmp", testkit::BmpFile(image));
    for (const std::string& name : {std::string("pal"), m_dir.EnginePath("pal.bmp")}) {
        IDirectDrawPalette* palette = DDLoadPalette(m_host.DirectDraw(), name.c_str());
        ASSERT_NE(palette, nullptr) << name;
        PALETTEENTRY entries[256];
        palette->GetEntries(0, 0, 256, entries);
        EXPECT_EQ(
            std::tuple(entries[0].peRed, entries[0].peBlue, entries[1].peGreen, entries[255].peRed),
            std::tuple(0x10, 0x30, 0xFF, 0))
            << name;
        palette->Release();
    }
}

TEST_F(PresentTest, BitmapsLoadFromResourcesThenFiles) {
    testkit::AddResource("title", testkit::SimpleImage(2, 1, 24, {0xFF0000, 0x0000FF}));
    m_dir.WriteFile("title.bmp", testkit::BmpFile(testkit::SimpleImage(1, 1, 24, {0x00FF00})));
    IDirectDrawSurface4* fromResource = DDLoadBitmap(m_host.DirectDraw(), "TITLE", 0, 0);
    ASSERT_NE(fromResource, nullptr);
    EXPECT_EQ(ReadSurface(fromResource), (std::vector<DWORD>{0xF800, 0x001F}));
    IDirectDrawSurface4* stretched =
        DDLoadBitmap(m_host.DirectDraw(), m_dir.EnginePath("title.bmp").c_str(), 2, 2);
    ASSERT_NE(stretched, nullptr);
    EXPECT_EQ(ReadSurface(stretched), std::vector<DWORD>(4, 0x07E0));
    WriteSurface(stretched, {0, 0, 0, 0});
    EXPECT_EQ(DDReLoadBitmap(stretched, "title"), DD_OK); // stretched to fill the surface
    EXPECT_EQ(ReadSurface(stretched), (std::vector<DWORD>{0xF800, 0x001F, 0xF800, 0x001F}));
    fromResource->Release();
    stretched->Release();
}

TEST_F(PresentTest, BitmapFailuresAreReported) {
    EXPECT_EQ(DDLoadBitmap(m_host.DirectDraw(), "c:\\no\\such.bmp", 0, 0), nullptr);
    EXPECT_TRUE(m_log.Contains("DDUtil::DDLoadBitmap() Failed to load from resource or file."));
    EXPECT_TRUE(m_log.Contains("DDUtil::DDLoadBitmap() File was 'c:\\no\\such.bmp' Error=2"));
    EXPECT_TRUE(m_log.Contains("DDUtil::DDLoadBitmap() Current directory is: '"));
    IDirectDrawSurface4* surface = Screen(1, 1);
    EXPECT_EQ(DDReLoadBitmap(surface, "missing"), E_FAIL);
    EXPECT_TRUE(m_log.Contains("handle is null"));
    EXPECT_EQ(DDCopyBitmap(surface, nullptr, 0, 0, 0, 0), E_FAIL);
    // A copy that cannot reach the surface must not hand out a blank surface.
    testkit::AddResource("dot", testkit::SimpleImage(1, 1, 24, {0}));
    m_host.DirectDraw()->Faults().FailCall("Surface::GetDC", DDERR_CANTCREATEDC);
    m_log.Clear();
    EXPECT_EQ(DDLoadBitmap(m_host.DirectDraw(), "dot", 0, 0), nullptr);
    EXPECT_TRUE(m_log.Contains("DDUtil::DDLoadBitmap() Failed to copy the bitmap into the surface. "
                               "Error=88760241"));
    m_host.DirectDraw()->Faults().FailCall("DirectDraw::CreateSurface", DDERR_OUTOFMEMORY);
    EXPECT_EQ(DDLoadBitmap(m_host.DirectDraw(), "dot", 0, 0), nullptr);
    EXPECT_TRUE(m_log.Contains("DDUtil::DDLoadBitmap() Failed to create surface. Error=8007000E"));
    EXPECT_EQ(m_host.DirectDraw()->LiveSurfaceCount(), 1u);
}

TEST_F(PresentTest, TrackingChargesEachSurfaceWhatItWasCharged) {
    const DWORD video = CMemory::GetTotalVideoMemoryAllocated();
    const DWORD system = CMemory::GetTotalMemoryAllocated();
    IDirectDrawSurface4* inVideo = Screen(3, 2); // pitch 8
    IDirectDrawSurface4* inSystem =
        testkit::MakeSurface(m_host.DirectDraw(), Rgb565Format(), 4, 4, DDSCAPS_SYSTEMMEMORY);
    CMemory::TrackVideoMemory(inVideo);
    CMemory::TrackVideoMemory(inSystem);
    EXPECT_EQ(CMemory::GetTotalVideoMemoryAllocated(), video + 16);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), system + 32);
    CMemory::UntrackVideoMemory(inSystem);
    CMemory::UntrackVideoMemory(inSystem); // never charged twice: nothing more to take back
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), system);
    // A surface whose description can no longer be read is still taken back exactly.
    m_host.DirectDraw()->Faults().FailCall("Surface::GetSurfaceDesc", DDERR_GENERIC);
    CMemory::UntrackVideoMemory(inVideo);
    EXPECT_EQ(CMemory::GetTotalVideoMemoryAllocated(), video);
    inSystem->Release();
}

} // namespace
