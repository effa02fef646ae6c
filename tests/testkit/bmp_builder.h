#pragma once

// BMP images built field by field from the record layouts (file header, info headers of
// every size, bit-field masks, colour tables), independently of the engine's reader, and the
// pixels of a loaded bitmap read back for comparison.

#include "platform/ddraw/gdi/gdi_objects.h"

#include <cstdint>
#include <vector>

namespace testkit {

struct BmpImage {
    std::uint32_t headerSize = 40; // 12 (core header), 40, 52, 56, 108 or 124
    std::int32_t width = 0;
    std::int32_t height = 0; // negative: rows stored top row first
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 8;
    std::uint32_t compression = 0;
    // Red, green, blue and optionally alpha: written after a 40-byte header when there are
    // any, inside larger headers (as many as they hold).
    std::vector<std::uint32_t> masks{};
    std::uint32_t coloursUsed = 0;        // the header's count, as written
    std::vector<std::uint32_t> colours{}; // the colour table, 0x00RRGGBB per entry
    std::vector<std::uint8_t> pixels{};   // as stored: padded rows or run-length data
};

// Info header, masks, colour table, pixels: what a bitmap resource holds.
std::vector<std::uint8_t> PackedDib(const BmpImage& image);
// The 14-byte file header ("BM", pixels right after the colour table), then the packed
// bitmap.
std::vector<std::uint8_t> BmpFile(const BmpImage& image);

// Offsets of fields that tests patch: in the file header, and in the info header (which
// starts at kFileHeaderBytes in a file).
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kPixelOffsetField = 10;
constexpr std::size_t kBitCountField = 14;

// Pixel values given top row first, `width` to a row, as a BMP stores them for a height of
// `height` (its sign gives the row order): indices packed from the high bits down, wider
// values little-endian, each row padded to 4 bytes.
std::vector<std::uint8_t> StoredRows(std::int32_t width, std::int32_t height, int bitCount,
                                     const std::vector<std::uint32_t>& topFirst);

// An uncompressed image (a colour table of 0x00RRGGBB entries, all counted in the header)
// whose pixel values are given top row first.
BmpImage SimpleImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                     const std::vector<std::uint32_t>& pixels,
                     std::vector<std::uint32_t> colours = {});

// Registers the image's packed bitmap as a resource of the host under `name`.
void AddResource(const char* name, const BmpImage& image);

// A bitmap's pixels top row first: the raw values, and the colours they show (indices
// through the bitmap's colour table).
std::vector<std::uint32_t> RawPixels(const platform::DibSection& bitmap);
std::vector<platform::Argb> PixelColours(const platform::DibSection& bitmap);

} // namespace testkit
