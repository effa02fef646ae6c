#pragma once

// PNG files built byte by byte from the format's tables (signature, chunks with big-endian
// lengths and CRC-32, IHDR, zlib data in stored blocks, IEND), independently of libpng, so
// that a reader and writer wrong in the same way are caught.

#include <cstdint>
#include <string>
#include <vector>

namespace testkit {

// Colour types of IHDR.
inline constexpr std::uint8_t kPngRgb = 2;
inline constexpr std::uint8_t kPngRgba = 6;

struct PngChunk {
    std::string type; // four letters
    std::vector<std::uint8_t> data;
};

std::uint32_t PngCrc(const std::string& type, const std::vector<std::uint8_t>& data);
std::vector<std::uint8_t> IhdrData(std::uint32_t width, std::uint32_t height,
                                   std::uint8_t colourType);
// A zlib stream of one stored block (so at most 65535 bytes of rows) holding the rows, each led
// by filter type 0; `channels` bytes a pixel, taken from `samples` row by row.
std::vector<std::uint8_t> IdatData(std::uint32_t width, std::uint32_t height, int channels,
                                   const std::vector<std::uint8_t>& samples);
// The signature and the chunks, each with its length and CRC.
std::vector<std::uint8_t> PngFile(const std::vector<PngChunk>& chunks);
// A whole 8-bit RGB or RGBA image.
std::vector<std::uint8_t> PngImageFile(std::uint32_t width, std::uint32_t height,
                                       std::uint8_t colourType,
                                       const std::vector<std::uint8_t>& samples);

} // namespace testkit
