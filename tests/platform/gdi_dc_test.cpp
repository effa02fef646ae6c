#include "platform/ddraw/gdi/gdi_objects.h"
#include "platform/os/last_error.h"
#include "testkit/bmp_builder.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace platform;

namespace {

// A registered bitmap of the layout, its raw values 0, 1, 2, ... row by row (all zero when
// `blank`).
HBITMAP CountingBitmap(LONG width, LONG height, PixelLayout layout, std::vector<Argb> colours = {},
                       bool blank = false) {
    auto bitmap = std::make_unique<DibSection>();
    EXPECT_TRUE(AllocateDibSection(*bitmap, width, height, layout));
    bitmap->colours = std::move(colours);
    const PixelView view = bitmap->View();
    for (LONG i = 0; i < width * height && !blank; ++i) {
        WritePixel(view, i % width, i / width, static_cast<DWORD>(i));
    }
    return RegisterBitmap(std::move(bitmap));
}

std::vector<std::uint32_t> RawValues(HBITMAP handle) {
    return testkit::RawPixels(*LookupBitmap(handle));
}

struct Contexts {
    Contexts(HBITMAP source, HBITMAP target)
        : from(CreateCompatibleDC(nullptr)), to(CreateCompatibleDC(nullptr)),
          oldFrom(SelectObject(from, source)), oldTo(SelectObject(to, target)) {}
    ~Contexts() {
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
        DeleteDC(from);
        DeleteDC(to);
    }
    HDC from, to;
    HGDIOBJ oldFrom, oldTo;
};

TEST(GdiDeviceContextTest, BitBltClipsAgainstBothBitmaps) {
    struct Case {
        int x, y, width, height, sourceX, sourceY;
        std::vector<std::uint32_t> expected; // the 3 x 2 target, zero before the copy
    };
    const Case cases[] = {
        {0, 0, 3, 2, 0, 0, {0, 1, 2, 4, 5, 6}},
        {-1, 0, 3, 2, 0, 0, {1, 2, 0, 5, 6, 0}},  // cut at the target's left
        {1, 1, 5, 5, 0, 0, {0, 0, 0, 0, 0, 1}},   // and at its right and bottom
        {0, 0, 3, 2, 2, 1, {6, 7, 0, 0, 0, 0}},   // cut at the source's right and bottom
        {0, 0, 3, 2, -3, -2, {0, 0, 0, 0, 0, 0}}, // nothing of the source lies there
        {0, 0, 3, 2, INT32_MAX, 0, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        HBITMAP source = CountingBitmap(4, 2, RgbLayout(32, 0xFF0000, 0xFF00, 0xFF));
        HBITMAP target = CountingBitmap(3, 2, RgbLayout(32, 0xFF0000, 0xFF00, 0xFF), {}, true);
        {
            Contexts dcs(source, target);
            EXPECT_TRUE(BitBlt(dcs.to, c.x, c.y, c.width, c.height, dcs.from, c.sourceX, c.sourceY,
                               SRCCOPY));
        }
        EXPECT_EQ(RawValues(target), c.expected) << c.x << "," << c.y << " from " << c.sourceX;
        DeleteObject(source);
        DeleteObject(target);
    }
}

TEST(GdiDeviceContextTest, CopiesConvertThroughColoursAndStretch) {
    // A 2-colour bitmap into 16-bit 5-6-5, stretched to twice its width.
    HBITMAP source = CountingBitmap(2, 1, IndexedLayout(1), {kOpaqueBlack, 0xFFFFFFFFu});
    HBITMAP target = CountingBitmap(4, 1, RgbLayout(16, 0xF800, 0x07E0, 0x001F), {}, true);
    {
        Contexts dcs(source, target);
        EXPECT_TRUE(StretchBlt(dcs.to, 0, 0, 4, 1, dcs.from, 0, 0, 2, 1, SRCCOPY));
        EXPECT_FALSE(StretchBlt(dcs.to, 0, 0, -4, 1, dcs.from, 0, 0, 2, 1, SRCCOPY));
        EXPECT_FALSE(BitBlt(dcs.to, 0, 0, 1, 1, dcs.from, 0, 0, 0x00EE0086)); // not a copy
        EXPECT_EQ(SetPixel(dcs.to, 3, 0, RGB(255, 0, 0)), RGB(255, 0, 0));
        EXPECT_EQ(SetPixel(dcs.to, 4, 0, RGB(255, 0, 0)), CLR_INVALID);
        EXPECT_EQ(GetPixel(dcs.to, 0, 0), RGB(0, 0, 0));
        RGBQUAD table[4] = {};
        EXPECT_EQ(GetDIBColorTable(dcs.from, 1, 4, table), 1u);
        EXPECT_EQ(table[0].rgbRed, 255);
    }
    EXPECT_EQ(RawValues(target), (std::vector<std::uint32_t>{0, 0, 0xFFFF, 0xF800}));
    DeleteObject(source);
    DeleteObject(target);
}

TEST(GdiDeviceContextTest, HandlesFollowSelectionRules) {
    HBITMAP bitmap = CountingBitmap(1, 1, IndexedLayout(8));
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HGDIOBJ placeholder = SelectObject(first, bitmap);
    ASSERT_NE(placeholder, nullptr);
    EXPECT_EQ(SelectObject(second, bitmap), nullptr); // one context at a time
    EXPECT_FALSE(DeleteObject(bitmap));               // still selected
    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(info), &info), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(info.bmBitsPixel, 8);
    EXPECT_EQ(info.bmWidthBytes, 4);
    EXPECT_TRUE(DeleteDC(first)); // deselects
    EXPECT_TRUE(DeleteObject(bitmap));
    SetLastError(0);
    EXPECT_EQ(GetObjectA(bitmap, sizeof(info), &info), 0); // stale handles are refused
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
    EXPECT_FALSE(DeleteDC(first));
    EXPECT_EQ(GetPixel(first, 0, 0), CLR_INVALID);
    EXPECT_TRUE(DeleteDC(second));
    EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(placeholder)), nullptr);
}

} // namespace
