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

    HMODULE m_host = GetModuleHandleA(nullptr);
    testkit::ScratchDir m_scratch;
};

// ---------------------------------------------------------------------------------------------
// The resource registry.

TEST_F(LoadImageTest, ResourcesAreFoundWithoutRegardToCaseAndHoldACopy) {
    Bytes bytes = testkit::PackedDib(Counting(2, 2));
    platform::AddBitmapResource("Title.BMP", bytes.data(), bytes.size());
    const Bytes original = bytes;
    bytes.assign(bytes.size(), 0);

    const HRSRC resource = FindResourceA(m_host, "title.bmp", RT_BITMAP);
    ASSERT_NE(resource, nullptr);
    EXPECT_EQ(FindResourceA(nullptr, "TITLE.bmp", RT_BITMAP), resource);
    ASSERT_EQ(SizeofResource(m_host, resource), original.size());
    const auto* data =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(m_host, resource)));
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(Bytes(data, data + original.size()), original);
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

TEST_F(LoadImageTest, ReplacedOrRemovedResourcesLeaveStaleHandles) {
    const Bytes second = testkit::PackedDib(Counting(3, 1));
    AddResource("pic", Counting(1, 1));
    const HRSRC old = FindResourceA(m_host, "pic", RT_BITMAP);
    platform::AddBitmapResource("PIC", second.data(), second.size());
    const HRSRC current = FindResourceA(m_host, "pic", RT_BITMAP);
    EXPECT_EQ(SizeofResource(m_host, current), second.size());
    if (old != current) { // a new entry may reuse the old one's memory
        EXPECT_EQ(LoadResource(m_host, old), nullptr);
        ExpectLastError(EBADF);
    }
    platform::RemoveBitmapResource("Pic");
    EXPECT_EQ(SizeofResource(m_host, current), 0u);
    EXPECT_EQ(FindResourceA(m_host, "pic", RT_BITMAP), nullptr);
}

TEST_F(LoadImageTest, ResourcesFromFileImagesDropTheFileHeader) {
    const BmpImage image = Counting(2, 1);
    const Bytes file = testkit::BmpFile(image);
    ASSERT_TRUE(platform::AddBitmapResourceFromFile("f", file.data(), file.size()));
    const HRSRC resource = FindResourceA(m_host, "f", RT_BITMAP);
    const auto* data =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(m_host, resource)));
    EXPECT_EQ(Bytes(data, data + SizeofResource(m_host, resource)), testkit::PackedDib(image));

    Bytes notBmp = file;
    notBmp[0] = 'X';
    EXPECT_FALSE(platform::AddBitmapResourceFromFile("g", notBmp.data(), notBmp.size()));
    EXPECT_FALSE(platform::AddBitmapResourceFromFile("g", file.data(), 13));
    EXPECT_EQ(FindResourceA(m_host, "g", RT_BITMAP), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Loading: resources of the host, or files.

TEST_F(LoadImageTest, ResourcesAndFilesOfOneNameAreChosenByTheFlags) {
    const std::string path = m_scratch.EnginePath("pic.bmp");
    AddResource(path.c_str(), Counting(2, 2));
    m_scratch.WriteFile("pic.bmp", testkit::BmpFile(Counting(3, 1)));

    const auto fromResource = Load(m_host, path, 0, 0, 0);
    ASSERT_NE(fromResource, nullptr);
    EXPECT_EQ(fromResource->width, 2);
    const auto fromFile = Load(nullptr, path, 0, 0, LR_LOADFROMFILE);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->width, 3);
    EXPECT_EQ(testkit::RawPixels(*fromFile), (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(fromFile->colours, (std::vector<platform::Argb>{0xFF000000, 0xFF010101, 0xFF020202}));

    // Without a module nothing is a resource; without the flag no file is read.
    SetLastError(0);
    EXPECT_EQ(Load(nullptr, path, 0, 0, 0), nullptr);
    ExpectLastError(ENOENT);
    platform::RemoveBitmapResource(path.c_str());
    EXPECT_EQ(Load(m_host, path, 0, 0, 0), nullptr);
    ExpectLastError(ENOENT);
}

TEST_F(LoadImageTest, MissingFilesAndBadArgumentsSetTheLastError) {
    m_scratch.WriteFile("ok.bmp", testkit::BmpFile(Counting(1, 1)));
    const std::string ok = m_scratch.EnginePath("ok.bmp");
    struct Case {
        std::string name;
        UINT type;
        int width;
        int height;
        DWORD error;
    };
    const Case cases[] = {{m_scratch.EnginePath("none.bmp"), IMAGE_BITMAP, 0, 0, ENOENT},
                          {ok, IMAGE_BITMAP + 1, 0, 0, EINVAL},
                          {ok, IMAGE_BITMAP, -1, 0, EINVAL},
                          {ok, IMAGE_BITMAP, 0, -5, EINVAL}};
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        SetLastError(0);
        EXPECT_EQ(platform::LoadBitmapImage(nullptr, test.name.c_str(), test.type, test.width,
                                            test.height, LR_LOADFROMFILE),
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
    const StretchCase cases[] = {
        {"2 x 2 grown to 4 x 3", Counting(2, 2), 4, 3, 4, 3, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3}},
        {"4 x 1 shrunk to 2 x 1", Counting(4, 1), 2, 0, 2, 1, {0, 2}},
        {"3 x 1 given a height only", Counting(3, 1), 0, 2, 3, 2, {0, 1, 2, 0, 1, 2}},
        {"own size", Counting(2, 1), 2, 1, 2, 1, {0, 1}},
        {"16 bits kept",
         testkit::SimpleImage(2, 1, 16, {0x7C00, 0x001F}),
         4,
         0,
         4,
         1,
         {red, red, blue, blue}},
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

// ---------------------------------------------------------------------------------------------
// LoadImageA: the same loads, handed out as bitmap handles.

TEST_F(LoadImageTest, LoadImageAHandsOutBitmapHandles) {
    AddResource("Logo", Counting(5, 3));
    m_scratch.WriteFile("logo.bmp", testkit::BmpFile(Counting(2, 2)));
    struct Case {
        HMODULE module;
        std::string name;
        int width, height;
        UINT flags;
        LONG resultWidth, resultHeight, resultPitch;
    };
    const Case cases[] = {
        {m_host, "logo", 0, 0, 0, 5, 3, 8},
        {nullptr, m_scratch.EnginePath("logo.bmp"), 6, 4, LR_LOADFROMFILE, 6, 4, 8}};
    for (const Case& test : cases) {
        const HANDLE handle = LoadImageA(test.module, test.name.c_str(), IMAGE_BITMAP, test.width,
                                         test.height, test.flags | LR_CREATEDIBSECTION);
        ASSERT_NE(handle, nullptr) << test.name;
        BITMAP info{};
        EXPECT_EQ(GetObjectA(handle, sizeof(info), &info), static_cast<int>(sizeof(info)));
        EXPECT_EQ(std::tuple(info.bmWidth, info.bmHeight, info.bmBitsPixel, info.bmWidthBytes),
                  std::tuple(test.resultWidth, test.resultHeight, 8, test.resultPitch));
        EXPECT_EQ(DeleteObject(handle), TRUE);
    }
    SetLastError(0);
    EXPECT_EQ(LoadImageA(m_host, "absent", IMAGE_BITMAP, 0, 0, 0), nullptr);
    ExpectLastError(ENOENT);
    EXPECT_EQ(LoadImageA(nullptr, "c:\\absent\\absent.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    ExpectLastError(ENOENT);
}

} // namespace
