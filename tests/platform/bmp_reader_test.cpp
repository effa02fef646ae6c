#include "platform/ddraw/gdi/bmp_reader.h"

#include "testkit/bmp_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

using platform::Argb;
using platform::DibSection;
using platform::PixelLayout;
using testkit::BmpImage;
using Bytes = std::vector<std::uint8_t>;

// A colour table whose entries all differ: red rises, green falls, blue steps by 7.
std::vector<std::uint32_t> Ramp(std::uint32_t count) {
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < count; ++i) {
        colours.push_back((i << 16) | ((255 - i) << 8) | ((i * 7) & 0xFF));
    }
    return colours;
}

Argb Opaque(std::uint32_t colour) {
    return platform::kOpaqueBlack | colour;
}

// The image read as a file and as a packed bitmap; both must read.
std::vector<DibSection> ReadBothForms(const BmpImage& image) {
    std::vector<DibSection> bitmaps(2);
    EXPECT_EQ(platform::ReadBmpFile(testkit::BmpFile(image), bitmaps[0]), nullptr) << "file";
    EXPECT_EQ(platform::ReadPackedDib(testkit::PackedDib(image), bitmaps[1]), nullptr) << "packed";
    return bitmaps;
}

// ---------------------------------------------------------------------------------------------
// Uncompressed images of every depth and header: a few stored values, each with the colour it
// must show, laid out over the image so that every row and column mixes them.

struct Sample {
    std::uint32_t raw;
    Argb colour;
};

struct DepthCase {
    const char* name;
    BmpImage image; // pixels are filled in from the samples
    PixelLayout layout;
    std::vector<Sample> samples;
};

// Images by position: header size, width, height, planes, bit count, compression, masks,
// colours used, colour table.
std::vector<DepthCase> DepthCases() {
    using platform::RgbLayout;
    const auto ramp16 = Ramp(16);
    const auto ramp256 = Ramp(256);
    return {
        {"1-bit, odd width",
         {40, 13, 3, 1, 1, BI_RGB, {}, 0, {0x102030, 0xA0B0C0}},
         platform::IndexedLayout(1),
         {{0, Opaque(0x102030)}, {1, Opaque(0xA0B0C0)}}},
        {"4-bit top-down, five colours used, indices past the table",
         {40, 7, -4, 1, 4, BI_RGB, {}, 5, Ramp(5)},
         platform::IndexedLayout(4),
         {{0, Opaque(ramp16[0])},
          {4, Opaque(ramp16[4])},
          {9, platform::kOpaqueBlack},
          {15, platform::kOpaqueBlack}}},
        {"8-bit core header",
         {12, 5, 3, 1, 8, BI_RGB, {}, 0, ramp256},
         platform::IndexedLayout(8),
         {{0, Opaque(ramp256[0])}, {200, Opaque(ramp256[200])}, {255, Opaque(ramp256[255])}}},
        {"16-bit uncompressed is 5-5-5",
         {40, 3, 2, 1, 16},
         RgbLayout(16, 0x7C00, 0x03E0, 0x001F),
         {{0x7C00, 0xFFFF0000},
          {0x03E0, 0xFF00FF00},
          {0x001F, 0xFF0000FF},
          {0x7FFF, 0xFFFFFFFF},
          {0x0000, 0xFF000000}}},
        {"16-bit 5-6-5 masks after a 40-byte header",
         {40, 3, 3, 1, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
         RgbLayout(16, 0xF800, 0x07E0, 0x001F),
         {{0xF800, 0xFFFF0000}, {0x07E0, 0xFF00FF00}, {0x001F, 0xFF0000FF}}},
        {"16-bit 4-4-4-4 with alpha in a 108-byte header",
         {108, 2, 2, 1, 16, BI_BITFIELDS, {0x0F00, 0x00F0, 0x000F, 0xF000}},
         RgbLayout(16, 0x0F00, 0x00F0, 0x000F, 0xF000),
         {{0xF00F, 0xFF0000FF}, {0x8F00, 0x88FF0000}, {0x0000, 0x00000000}}},
        {"16-bit 1-5-5-5 with alpha in a 56-byte header",
         {56, 3, 1, 1, 16, BI_BITFIELDS, {0x7C00, 0x03E0, 0x001F, 0x8000}},
         RgbLayout(16, 0x7C00, 0x03E0, 0x001F, 0x8000),
         {{0xFC00, 0xFFFF0000}, {0x001F, 0x000000FF}}},
        {"24-bit top-down, padded rows",
         {40, 3, -2, 1, 24},
         RgbLayout(24, 0xFF0000, 0x00FF00, 0x0000FF),
         {{0x123456, 0xFF123456}, {0xFEDCBA, 0xFFFEDCBA}}},
        {"32-bit uncompressed ignores the fourth byte",
         {40, 2, 3, 1, 32, BI_RGB, {}, 3, Ramp(3)},
         RgbLayout(32, 0xFF0000, 0x00FF00, 0x0000FF),
         {{0xAA123456, 0xFF123456}, {0x00FFFFFF, 0xFFFFFFFF}}},
        {"32-bit with alpha in a 124-byte header",
         {124, 2, 2, 1, 32, BI_BITFIELDS, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
         RgbLayout(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
         {{0x80123456, 0x80123456}, {0xFF000000, 0xFF000000}}},
        {"32-bit red and blue swapped in a 52-byte header",
         {52, 1, 2, 1, 32, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}},
         RgbLayout(32, 0xFF, 0xFF00, 0xFF0000),
         {{0x00123456, 0xFF563412}}},
    };
}

TEST(BmpReaderTest, ReadsEveryDepthAndHeaderPixelByPixel) {
    for (DepthCase& test : DepthCases()) {
        BmpImage& image = test.image;
        const std::int32_t rows = image.height < 0 ? -image.height : image.height;
        std::vector<std::uint32_t> raws;
        std::vector<Argb> colours;
        for (std::int32_t y = 0; y < rows; ++y) {
            for (std::int32_t x = 0; x < image.width; ++x) {
                const Sample& sample = test.samples[(x + 2 * y) % test.samples.size()];
                raws.push_back(sample.raw);
                colours.push_back(sample.colour);
            }
        }
        image.pixels = testkit::StoredRows(image.width, image.height, image.bitCount, raws);
        SCOPED_TRACE(test.name);
        for (const DibSection& bitmap : ReadBothForms(image)) {
            EXPECT_EQ(bitmap.width, image.width);
            EXPECT_EQ(bitmap.height, rows);
            EXPECT_EQ(bitmap.pitch % 4, 0);
            EXPECT_EQ(bitmap.layout, test.layout);
            EXPECT_EQ(testkit::RawPixels(bitmap), raws);
            EXPECT_EQ(testkit::PixelColours(bitmap), colours);
            EXPECT_EQ(bitmap.colours.size(), image.bitCount <= 8 ? image.colours.size() : 0);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Run-length encoded images: hand-written streams and the indices they must give.

struct RleCase {
    const char* name;
    struct {
        std::int32_t bitCount, width, height;
    } shape;
    Bytes data;
    std::vector<std::uint32_t> topFirst;
};

const RleCase kRleCases[] = {
    {"8-bit: runs, padded absolute run, end of line, delta",
     {8, 4, 3},
     {3, 5, 0, 0, 0, 3, 1, 2, 3, 0, 1, 7, 0, 0, 0, 2, 1, 0, 2, 9, 0, 1},
     {0, 9, 9, 0, 1, 2, 3, 7, 5, 5, 5, 0}},
    {"8-bit: delta across rows, data ends without an end mark",
     {8, 3, 3},
     {1, 4, 0, 2, 1, 2, 1, 6},
     {0, 0, 6, 0, 0, 0, 4, 0, 0}},
    {"8-bit: end of bitmap leaves the rest at index 0",
     {8, 2, 2},
     {2, 8, 0, 1, 2, 9},
     {0, 0, 8, 8}},
    {"4-bit: alternating run, unpadded absolute run",
     {4, 5, 2},
     {5, 0xAB, 0, 0, 0, 3, 0x12, 0x30, 2, 0xCD, 0, 1},
     {1, 2, 3, 0xC, 0xD, 0xA, 0xB, 0xA, 0xB, 0xA}},
    {"4-bit: absolute run padded to a word",
     {4, 6, 1},
     {0, 5, 0x12, 0x34, 0x50, 0, 1, 0xF0, 0, 1},
     {1, 2, 3, 4, 5, 0xF}},
};

TEST(BmpReaderTest, DecodesRunLengthData) {
    for (const RleCase& test : kRleCases) {
        const auto bitCount = static_cast<std::uint16_t>(test.shape.bitCount);
        const BmpImage image{.width = test.shape.width,
                             .height = test.shape.height,
                             .bitCount = bitCount,
                             .compression = bitCount == 8 ? BI_RLE8 : BI_RLE4,
                             .colours = Ramp(1u << bitCount),
                             .pixels = test.data};
        SCOPED_TRACE(test.name);
        for (const DibSection& bitmap : ReadBothForms(image)) {
            EXPECT_EQ(bitmap.layout, platform::IndexedLayout(bitCount));
            EXPECT_EQ(testkit::RawPixels(bitmap), test.topFirst);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Refusals: a valid 8-bit 4 x 2 image, changed in one way, must be refused with its reason.
// One case per reason, and per bound or branch of a check that a slip could break.

void Keep(BmpImage&) {}
void Unpatched(Bytes&) {}

struct RefusalCase {
    const char* name;
    std::function<void(BmpImage&)> change;
    std::string reason;
    std::function<void(Bytes&)> patch = Unpatched; // applied to the built bytes
    bool file = true;                              // else a packed bitmap
};

BmpImage ValidImage() {
    return {40, 4, 2, 1, 8, BI_RGB, {}, 2, Ramp(2), Bytes(8, 1)};
}

std::function<void(BmpImage&)> Rle(std::uint16_t bitCount, std::int32_t width, Bytes data,
                                   std::int32_t height = 2) {
    return [=](BmpImage& image) {
        image = {40, width, height,  1,   bitCount, bitCount == 8u ? BI_RLE8 : BI_RLE4,
                 {}, 2,     Ramp(2), data};
    };
}

std::function<void(BmpImage&)> Masks(std::vector<std::uint32_t> masks,
                                     std::uint16_t bitCount = 16) {
    return [=](BmpImage& image) {
        image = {40, 4, 2, 1, bitCount, BI_BITFIELDS, masks, 0, {}, Bytes(16, 0)};
    };
}

std::function<void(Bytes&)> CutTo(std::size_t size) {
    return [=](Bytes& bytes) { bytes.resize(size); };
}

std::function<void(Bytes&)> PixelOffset(std::uint32_t offset) {
    return [=](Bytes& bytes) {
        for (int i = 0; i < 4; ++i) {
            bytes[testkit::kPixelOffsetField + i] = static_cast<std::uint8_t>(offset >> (8 * i));
        }
    };
}

const std::string kMasks = "bit field masks are empty, overlap, have gaps or exceed the pixel";
const std::string kNotPositive = "width or height is not positive";
const std::string kTooLarge = "width or height exceeds 32768 pixels";
const std::string kTableEnd = "colour table runs past the end of the image";
const std::string kNoFit = "compression does not fit the bit count";
const std::string kCut = "run-length data cut short";

std::vector<RefusalCase> RefusalCases() {
    return {
        {"file shorter than its header", Keep, "shorter than the 14-byte file header", CutTo(13)},
        {"no signature", Keep, "does not start with \"BM\"", [](Bytes& bytes) { bytes[1] = 'A'; }},
        {"pixel offset past the end", Keep, "pixel data offset past the end of the file",
         PixelOffset(1000)},
        {"pixel offset inside the file header", Keep, "pixel data offset inside the file header",
         PixelOffset(6)},
        {"no room for the header size", Keep, "no room for an info header", CutTo(3), false},
        {"header of 20 bytes", [](BmpImage& image) { image.headerSize = 20; },
         "unsupported info header size"},
        {"124-byte header cut", [](BmpImage& image) { image.headerSize = 124; },
         "info header runs past the end of the image", CutTo(100), false},
        {"two planes", [](BmpImage& image) { image.planes = 2; }, "plane count is not 1"},
        {"7 bits", Keep, "unsupported bit count",
         [](Bytes& bytes) { bytes[testkit::kFileHeaderBytes + testkit::kBitCountField] = 7; }},
        {"4-bit run-length at 8 bits", [](BmpImage& image) { image.compression = BI_RLE4; },
         kNoFit},
        {"bit fields at 24 bits", Masks({0xFF0000, 0xFF00, 0xFF}, 24), kNoFit},
        {"run-length top-down", Rle(8, 4, {0, 1}, -2),
         "run-length encoded images cannot be stored top row first"},
        {"overlapping masks", Masks({0xF800, 0xFC00, 0x001F}), kMasks},
        {"mask with a gap", Masks({0xF00F, 0x0F00, 0x00F0}), kMasks},
        {"mask beyond 16 bits", Masks({0x1F0000, 0x07E0, 0x001F}), kMasks},
        {"no green mask", Masks({0xF800, 0, 0x001F}), kMasks},
        {"masks missing after a 40-byte header", Masks({}),
         "bit field masks run past the end of the image", CutTo(40), false},
        {"zero width", [](BmpImage& image) { image.width = 0; }, kNotPositive},
        {"zero height", [](BmpImage& image) { image.height = 0; }, kNotPositive},
        {"one column too wide", [](BmpImage& image) { image.width = 32769; }, kTooLarge},
        {"one row too tall, top-down", [](BmpImage& image) { image.height = -32769; }, kTooLarge},
        // One row more than 256 MiB.
        {"pixels above the memory limit at the widest side allowed", Rle(8, 32768, {0, 1}, 8193),
         "pixels need more than 256 MiB"},
        {"more than 256 colours", [](BmpImage& image) { image.coloursUsed = 257; },
         "colour table has more than 256 entries"},
        {"colour table past the end", [](BmpImage& image) { image.coloursUsed = 255; }, kTableEnd},
        {"skipped table of a 24-bit image past the end",
         [](BmpImage& image) {
             image.bitCount = 24;
             image.coloursUsed = 0xFFFFFFFF;
         },
         kTableEnd, Unpatched, false},
        {"pixels cut", Keep, "pixel data shorter than the image",
         [](Bytes& bytes) { bytes.pop_back(); }},
        {"run one past the row", Rle(8, 4, {5, 1}), "run-length run runs past the end of a row"},
        {"run on the row past the last", Rle(8, 4, {0, 0, 0, 0, 1, 1}),
         "run-length data runs past the last row"},
        {"delta past the row", Rle(8, 4, {0, 2, 5, 0}),
         "run-length delta moves past the end of a row"},
        {"absolute run cut", Rle(8, 4, {0, 4, 1, 2}), kCut},
        {"odd byte at the end", Rle(8, 4, {1, 1, 0}), kCut},
        {"delta cut", Rle(8, 4, {0, 2, 1}), kCut, Unpatched, false},
    };
}

TEST(BmpReaderTest, RefusesCraftedImagesWithTheirReason) {
    // The unchanged image reads, so each refusal is due to its change.
    for (const DibSection& bitmap : ReadBothForms(ValidImage())) {
        EXPECT_EQ(testkit::RawPixels(bitmap), std::vector<std::uint32_t>(8, 1));
    }
    for (const RefusalCase& test : RefusalCases()) {
        SCOPED_TRACE(test.name);
        BmpImage image = ValidImage();
        test.change(image);
        Bytes bytes = test.file ? testkit::BmpFile(image) : testkit::PackedDib(image);
        test.patch(bytes);
        DibSection bitmap;
        const char* reason = test.file ? platform::ReadBmpFile(bytes, bitmap)
                                       : platform::ReadPackedDib(bytes, bitmap);
        ASSERT_NE(reason, nullptr);
        EXPECT_EQ(std::string(reason), test.reason);
    }
}

} // namespace
