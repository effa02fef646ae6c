// PNG files: images built byte by byte decode to their pixels, broken or oversized files are
// refused with a reason, and what the writer makes reads back the same.

#include "platform/png/png_file.h"
#include "testkit/golden_image.h"
#include "testkit/png_builder.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <tuple>
#include <utility>

namespace {

using platform::PngImage;
using testkit::PngChunk;

// 2 x 2: red, green / blue, white half transparent.
const std::vector<std::uint8_t> kRgbaSamples = {255, 0, 0,   255, 0,   255, 0,   255,
                                                0,   0, 255, 255, 255, 255, 255, 128};
const std::vector<std::uint8_t> kRgbSamples = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};

// Images built byte by byte decode to their pixels top row first; broken or oversized files
// are refused with a reason.
TEST(PngDecode, BuiltImagesDecodeAndBrokenOnesAreRefusedWithAReason) {
    const std::vector<std::uint8_t> good =
        testkit::PngImageFile(2, 2, testkit::kPngRgba, kRgbaSamples);
    const std::pair<std::vector<std::uint8_t>, std::vector<platform::Argb>> decoded[] = {
        {good, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x80FFFFFF}},
        {testkit::PngImageFile(2, 2, testkit::kPngRgb, kRgbSamples),
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}},
    };
    for (const auto& [file, pixels] : decoded) {
        PngImage image;
        std::string error;
        ASSERT_TRUE(platform::DecodePng(file.data(), file.size(), &image, &error)) << error;
        EXPECT_EQ(std::tuple(image.width, image.height, image.pixels), std::tuple(2, 2, pixels));
    }
    std::vector<std::uint8_t> badCrc = good;
    badCrc[29] ^= 0xFF; // inside IHDR's CRC
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 20);
    std::vector<std::uint8_t> badData = good;
    badData[good.size() - 20] ^= 0xFF; // inside the stored rows: the checksum no longer holds
    // The header alone decides: the rows after it are never reached.
    auto oversized = [](std::uint32_t width, std::uint32_t height) {
        return testkit::PngFile({{"IHDR", testkit::IhdrData(width, height, testkit::kPngRgb)},
                                 {"IDAT", testkit::IdatData(1, 1, 3, {0, 0, 0})},
                                 {"IEND", {}}});
    };
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    } cases[] = {
        {"empty", {}, "not a PNG image"},
        {"not png", {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0}, "not a PNG image"},
        {"bad crc", badCrc, "not a PNG image"},
        {"truncated", truncated, "corrupt PNG image"},
        {"bad data", badData, "corrupt PNG image"},
        {"too wide", oversized(platform::kMaxPngSide + 1, 1), "too large"},
        {"too many pixels", oversized(platform::kMaxPngSide, platform::kMaxPngSide), "too large"},
    };
    for (const Case& c : cases) {
        PngImage image;
        std::string error;
        EXPECT_FALSE(platform::DecodePng(c.bytes.data(), c.bytes.size(), &image, &error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_TRUE(image.pixels.empty()) << c.name;
    }
}

TEST(PngEncode, WrittenFilesReadBackWithOrWithoutAlpha) {
    PngImage image{3, 1, {0x12345678, 0xFF00FF00, 0x00ABCDEF}};
    testkit::ScratchDir scratch;
    for (bool withAlpha : {true, false}) {
        std::string path = scratch.HostPath(withAlpha ? "rgba.png" : "rgb.png");
        std::string error;
        ASSERT_TRUE(platform::WritePngFile(path, image, withAlpha, &error)) << error;
        PngImage read;
        ASSERT_TRUE(platform::ReadPngFile(path, &read, &error)) << error;
        std::vector<platform::Argb> expected = image.pixels;
        if (!withAlpha) {
            for (platform::Argb& pixel : expected) {
                pixel |= 0xFF000000u;
            }
        }
        EXPECT_EQ(read.pixels, expected) << "alpha " << withAlpha;
    }
    std::string error;
    EXPECT_FALSE(
        platform::WritePngFile(scratch.HostPath("x.png"), PngImage{2, 2, {1}}, true, &error));
    EXPECT_FALSE(platform::ReadPngFile(scratch.HostPath("missing.png"), &image, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos) << error;
}

// The golden-image comparison the frame tests rely on: a channel may be off by the tolerance.
TEST(GoldenComparison, ChannelsWithinTheToleranceMatch) {
    const platform::Argb base = 0xFF808080;
    const platform::Argb within = base + testkit::kGoldenChannelLevels;               // blue
    const platform::Argb beyond = base + ((testkit::kGoldenChannelLevels + 1) << 16); // red
    const PngImage expected{2, 1, {base, base}};
    const std::pair<PngImage, std::size_t> cases[] = {
        {{2, 1, {base, base}}, 0},
        {{2, 1, {within, base}}, 0},
        {{2, 1, {beyond, base}}, 1},
        {{1, 2, {base, base}}, 2}, // another shape: every pixel counts
    };
    PngImage difference;
    for (const auto& [actual, differing] : cases) {
        EXPECT_EQ(testkit::CountDifferingPixels(actual, expected, &difference), differing);
    }
    testkit::CountDifferingPixels(cases[2].first, expected, &difference);
    EXPECT_EQ(difference.pixels, (std::vector<platform::Argb>{0xFFFF0000u, 0xFF404040u}));
}

} // namespace
