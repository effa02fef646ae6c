#include "platform/ddraw/gdi/load_image.h"
#include "platform/os/last_error.h"

#include "testkit/bmp_builder.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using platform::DibSection;
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
    return {.width = width,
            .height = height,
            .bitCount = 8,
            .coloursUsed = static_cast<std::uint32_t>(colours.size()),
            .colours = colours,
            .pixels = testkit::StoredRows(width, height, 8, values)};
}

class LoadImageTest : public ::testing::Test {
protected:
    ~LoadImageTest() override { platform::ClearBitmapResources(); }

    std::unique_ptr<DibSection> Load(HINSTANCE instance, const std::string& name, int width,
                                     int height, UINT flags) {
        return platform::LoadBitmapImage(instance, name.c_str(), IMAGE_BITMAP, width, height,
                                         flags | LR_CREATEDIBSECTION);
    }

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
    const Bytes bytes = testkit::PackedDib(Counting(1, 1));
    platform::AddBitmapResource("a", bytes.data(), bytes.size());
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
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    }
    EXPECT_EQ(GetModuleHandleA("other.dll"), nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), m_host);
}

TEST_F(LoadImageTest, ReplacedOrRemovedResourcesLeaveStaleHandles) {
    const Bytes first = testkit::PackedDib(Counting(1, 1));
    const Bytes second = testkit::PackedDib(Counting(3, 1));
    platform::AddBitmapResource("pic", first.data(), first.size());
    const HRSRC old = FindResourceA(m_host, "pic", RT_BITMAP);
    platform::AddBitmapResource("PIC", second.data(), second.size());
    const HRSRC current = FindResourceA(m_host, "pic", RT_BITMAP);
    EXPECT_EQ(SizeofResource(m_host, current), second.size());
    if (old != current) { // a new entry may reuse the old one's memory
        EXPECT_EQ(LoadResource(m_host, old), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(EBADF));
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
    const Bytes resource = testkit::PackedDib(Counting(2, 2));
    platform::AddBitmapResource(path.c_str(), resource.data(), resource.size());
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
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    platform::RemoveBitmapResource(path.c_str());
    EXPECT_EQ(Load(m_host, path, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
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
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
}

TEST_F(LoadImageTest, RefusedImagesSayWhyOnTheDebugOutput) {
    BmpImage bad = Counting(2, 2);
    bad.coloursUsed = 200;
    bad.colours.resize(2);
    bad.pixels.clear();
    m_scratch.WriteFile("bad.bmp", testkit::BmpFile(bad));
    const Bytes packed = testkit::PackedDib(bad);
    platform::AddBitmapResource("Bad", packed.data(), packed.size());
    const std::string path = m_scratch.EnginePath("bad.bmp");
    const std::string reason = "colour table runs past the end of the image";

    testkit::DebugCapture capture;
    SetLastError(0);
    EXPECT_EQ(Load(nullptr, path, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    EXPECT_EQ(Load(m_host, "BAD", 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"LoadImageA() '" + path + "' refused: " + reason + "\n",
                                        "LoadImageA() resource 'bad' refused: " + reason + "\n"}));
}

// ---------------------------------------------------------------------------------------------
// Stretching: nearest pixel, layout and colour table kept.

struct StretchCase {
    const char* name;
    std::int32_t width, height; // of the counting image
    int wantedWidth, wantedHeight;
    std::int32_t resultWidth, resultHeight;
    std::vector<std::uint32_t> pixels; // top row first
};

const StretchCase kStretchCases[] = {
    {"2 x 2 grown to 4 x 3", 2, 2, 4, 3, 4, 3, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3}},
    {"4 x 1 shrunk to 2 x 1", 4, 1, 2, 0, 2, 1, {0, 2}},
    {"3 x 1 given a height only", 3, 1, 0, 2, 3, 2, {0, 1, 2, 0, 1, 2}},
    {"3 x 2 to 1 x 1", 3, 2, 1, 1, 1, 1, {0}},
    {"own size", 2, 1, 2, 1, 2, 1, {0, 1}},
};

TEST_F(LoadImageTest, WantedSizesStretchToTheNearestPixel) {
    for (const StretchCase& test : kStretchCases) {
        SCOPED_TRACE(test.name);
        const BmpImage image = Counting(test.width, test.height);
        const Bytes packed = testkit::PackedDib(image);
        platform::AddBitmapResource("s", packed.data(), packed.size());
        const auto bitmap = Load(m_host, "s", test.wantedWidth, test.wantedHeight, 0);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->width, test.resultWidth);
        EXPECT_EQ(bitmap->height, test.resultHeight);
        EXPECT_EQ(bitmap->layout, platform::IndexedLayout(8));
        EXPECT_EQ(bitmap->colours.size(), image.colours.size());
        EXPECT_EQ(testkit::RawPixels(*bitmap), test.pixels);
    }
}

TEST_F(LoadImageTest, StretchingKeepsRgbLayouts) {
    const std::vector<std::uint32_t> values = {0x7C00, 0x001F};
    const BmpImage wide{
        .width = 2, .height = 1, .bitCount = 16, .pixels = testkit::StoredRows(2, 1, 16, values)};
    m_scratch.WriteFile("wide.bmp", testkit::BmpFile(wide));
    const auto stretched = Load(nullptr, m_scratch.EnginePath("wide.bmp"), 4, 0, LR_LOADFROMFILE);
    ASSERT_NE(stretched, nullptr);
    EXPECT_EQ(stretched->layout, platform::RgbLayout(16, 0x7C00, 0x03E0, 0x001F));
    EXPECT_EQ(testkit::PixelColours(*stretched),
              (std::vector<platform::Argb>{0xFFFF0000, 0xFFFF0000, 0xFF0000FF, 0xFF0000FF}));
}

TEST_F(LoadImageTest, StretchingBeyondTheLimitsIsRefused) {
    const Bytes packed = testkit::PackedDib(Counting(1, 1));
    platform::AddBitmapResource("small", packed.data(), packed.size());
    testkit::DebugCapture capture;
    EXPECT_EQ(Load(m_host, "small", 40000, 1, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    EXPECT_TRUE(capture.Contains("LoadImageA() resource 'small' refused: width or height exceeds"));
}

} // namespace
