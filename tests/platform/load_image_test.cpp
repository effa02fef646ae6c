#include "platform/ddraw/gdi/gdi.h"
#include "platform/ddraw/gdi/load_image.h"
#include "platform/os/last_error.h"

#include "testkit/bmp_builder.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using platform::DibSection;
using testkit::AddResource;
using testkit::BmpImage;
using Bytes = std::vector<std::uint8_t>;

// An 8-bit image whose pixels are 0, 1, 2, ... top row first, over a grey colour table.
BmpImage Counting(std::int32_t width, std::int32_t height) {
    std::vector<std::uint32_t> values;
    std::vector<std::uint32_t> colours;
    for (std::int32_t i = 0; i < width * height; ++i) {
        values.push_back(static_cast<std::uint32_t>(i));
        colours.push_back(static_cast<std::uint32_t>(i) * 0x010101u);
    }
    return testkit::SimpleImage(width, height, 8, values, colours);
}

class LoadImageTest : public ::testing::Test {
protected:
    ~LoadImageTest() override { platform::ClearBitmapResources(); }

    std::unique_ptr<DibSection> Load(HINSTANCE instance, const std::string& name, int width,
                                     int height, UINT flags) {
        return platform::LoadBitmapImage(instance, name.c_str(), IMAGE_BITMAP, width, height,
                                         flags | LR_CREATEDIBSECTION);
    }

    static void ExpectLastError(int error) { EXPECT_EQ(GetLastError(), static_cast<DWORD>(error)); }
    Bytes ResourceBytes(HRSRC resource) const {
        const auto* data =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(m_host, resource)));
        return data == nullptr ? Bytes() : Bytes(data, data + SizeofResource(m_host, resource));
    }

    HMODULE m_host = GetModuleHandleA(nullptr);
    testkit::ScratchDir m_scratch;
};

// ---------------------------------------------------------------------------------------------
// The resource registry.

// Names compare without regard to case; an entry holds its own copy, and goes stale when it is
// replaced or removed; a BMP file's image is held without its file header.
TEST_F(LoadImageTest, ResourcesAreFoundByNameAndHoldACopy) {
    Bytes bytes = testkit::PackedDib(Counting(2, 2));
    platform::AddBitmapResource("Title.BMP", bytes.data(), bytes.size());
    const Bytes original = std::exchange(bytes, Bytes(bytes.size(), 0));
    const HRSRC old = FindResourceA(m_host, "title.bmp", RT_BITMAP);
    EXPECT_EQ(FindResourceA(nullptr, "TITLE.bmp", RT_BITMAP), old);
    EXPECT_EQ(ResourceBytes(old), original);

    const BmpImage image = Counting(3, 1);
    const Bytes file = testkit::BmpFile(image);
    ASSERT_TRUE(platform::AddBitmapResourceFromFile("TITLE.bmp", file.data(), file.size()));
    const HRSRC current = FindResourceA(m_host, "title.bmp", RT_BITMAP);
    EXPECT_EQ(ResourceBytes(current), testkit::PackedDib(image));
    if (old != current) { // a new entry may reuse the old one's memory
        EXPECT_EQ(LoadResource(m_host, old), nullptr);
        ExpectLastError(EBADF);
    }
    platform::RemoveBitmapResource("Title.bmp");
    EXPECT_EQ(SizeofResource(m_host, current), 0u);
    EXPECT_EQ(FindResourceA(m_host, "title.bmp", RT_BITMAP), nullptr);

    Bytes notBmp = file;
    notBmp[0] = 'X';
    EXPECT_FALSE(platform::AddBitmapResourceFromFile("g", notBmp.data(), notBmp.size()));
    EXPECT_FALSE(platform::AddBitmapResourceFromFile("g", file.data(), 13));
    EXPECT_EQ(FindResourceA(m_host, "g", RT_BITMAP), nullptr);
}

TEST_F(LoadImageTest, MissingResourcesAndForeignModulesAreNotFound) {
    AddResource("a", Counting(1, 1));
    struct Lookup {
        HMODULE module;
        const char* name;
        const char* type;
    };
    int foreign = 0;
    const Lookup lookups[] = {
        {m_host, "b", RT_BITMAP},
        {m_host, "a", reinterpret_cast<const char*>(std::uintptr_t{3})},
        {&foreign, "a", RT_BITMAP},
        {m_host, reinterpret_cast<const char*>(std::uintptr_t{7}), RT_BITMAP}};
    for (const Lookup& lookup : lookups) {
        SetLastError(0);
        EXPECT_EQ(FindResourceA(lookup.module, lookup.name, lookup.type), nullptr);
        ExpectLastError(ENOENT);
    }
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), m_host);
}

// Without a module nothing is a resource; without the file flag no file is read.
TEST_F(LoadImageTest, MissingImagesAndBadArgumentsSetTheLastError) {
    m_scratch.WriteFile("ok.bmp", testkit::BmpFile(Counting(1, 1)));
    const std::string ok = m_scratch.EnginePath("ok.bmp");
    AddResource(ok.c_str(), Counting(1, 1));
    struct Case {
        HMODULE module;
        std::string name;
        UINT type;
        int width;
        int height;
        UINT flags;
        DWORD error;
    };
    const Case cases[] = {
        {nullptr, m_scratch.EnginePath("none.bmp"), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE, ENOENT},
        {nullptr, ok, IMAGE_BITMAP, 0, 0, 0, ENOENT},
        {m_host, "c:\\absent.bmp", IMAGE_BITMAP, 0, 0, 0, ENOENT},
        {nullptr, ok, IMAGE_BITMAP + 1, 0, 0, LR_LOADFROMFILE, EINVAL},
        {nullptr, ok, IMAGE_BITMAP, -1, 0, LR_LOADFROMFILE, EINVAL},
        {nullptr, ok, IMAGE_BITMAP, 0, -5, LR_LOADFROMFILE, EINVAL}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SetLastError(0);
        EXPECT_EQ(platform::LoadBitmapImage(test.module, test.name.c_str(), test.type, test.width,
                                            test.height, test.flags),
                  nullptr);
        EXPECT_EQ(GetLastError(), test.error);
    }
    EXPECT_EQ(platform::LoadBitmapImage(m_host, nullptr, IMAGE_BITMAP, 0, 0, 0), nullptr);
    ExpectLastError(EINVAL);
}

TEST_F(LoadImageTest, RefusedImagesSayWhyOnTheDebugOutput) {
    BmpImage bad = Counting(2, 2);
    bad.coloursUsed = 200;
    bad.colours.resize(2);
    bad.pixels.clear();
    m_scratch.WriteFile("bad.bmp", testkit::BmpFile(bad));
    AddResource("Bad", bad);
    AddResource("small", Counting(1, 1));
    const std::string path = m_scratch.EnginePath("bad.bmp");
    const std::string reason = "colour table runs past the end of the image";

    testkit::DebugCapture capture;
    SetLastError(0);
    EXPECT_EQ(Load(nullptr, path, 0, 0, LR_LOADFROMFILE), nullptr);
    ExpectLastError(EINVAL);
    EXPECT_EQ(Load(m_host, "BAD", 0, 0, 0), nullptr);
    ExpectLastError(EINVAL);
    SetLastError(0);
    EXPECT_EQ(Load(m_host, "small", 40000, 1, 0), nullptr); // stretched beyond the limits
    ExpectLastError(EINVAL);
    EXPECT_EQ(
        capture.Lines(),
        (std::vector<std::string>{
            "LoadImageA() '" + path + "' refused: " + reason + "\n",
            "LoadImageA() resource 'bad' refused: " + reason + "\n",
            "LoadImageA() resource 'small' refused: width or height exceeds 32768 pixels\n"}));
}

// ---------------------------------------------------------------------------------------------
// Stretching: nearest pixel, layout and colour table kept.

struct StretchCase {
    const char* name;
    BmpImage image;
    int wantedWidth, wantedHeight;
    std::int32_t resultWidth, resultHeight;
    std::vector<std::uint32_t> expected; // top row first: indices, or colours above 8 bits
};

TEST_F(LoadImageTest, WantedSizesStretchToTheNearestPixel) {
    const platform::Argb red = 0xFFFF0000, blue = 0xFF0000FF;
    const BmpImage redBlue = testkit::SimpleImage(2, 1, 16, {0x7C00, 0x001F});
    const StretchCase cases[] = {
        {"2 x 2 grown to 4 x 3", Counting(2, 2), 4, 3, 4, 3, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3}},
        {"4 x 1 shrunk to 2 x 1", Counting(4, 1), 2, 0, 2, 1, {0, 2}},
        {"3 x 1 given a height only", Counting(3, 1), 0, 2, 3, 2, {0, 1, 2, 0, 1, 2}},
        {"own size", Counting(2, 1), 2, 1, 2, 1, {0, 1}},
        {"16 bits kept", redBlue, 4, 0, 4, 1, {red, red, blue, blue}},
    };
    for (const StretchCase& test : cases) {
        SCOPED_TRACE(test.name);
        AddResource("s", test.image);
        const auto bitmap = Load(m_host, "s", test.wantedWidth, test.wantedHeight, 0);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(std::pair(bitmap->width, bitmap->height),
                  std::pair(test.resultWidth, test.resultHeight));
        if (test.image.bitCount == 8) { // indices, each a grey of its own value
            EXPECT_EQ(bitmap->layout, platform::IndexedLayout(8));
            EXPECT_EQ(bitmap->colours.size(), test.image.colours.size());
            EXPECT_EQ(testkit::RawPixels(*bitmap), test.expected);
        } else {
            EXPECT_EQ(bitmap->layout, platform::RgbLayout(16, 0x7C00, 0x03E0, 0x001F));
            EXPECT_EQ(testkit::PixelColours(*bitmap), test.expected);
        }
    }
}

} // namespace
