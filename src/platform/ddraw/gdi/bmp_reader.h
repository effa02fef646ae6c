#pragma once

// A bounded reader of Windows BMP images held in memory: 1, 4 and 8 bits with their colour
// table (uncompressed or run-length encoded), 16 and 32 bits (5-5-5 and 8-8-8 or bit
// fields) and 24 bits; rows stored bottom-up or top-down; info headers of 12, 40, 52, 56,
// 108 and 124 bytes. Every size, offset and count is checked against the bytes given before
// anything is allocated or read, so a crafted image is refused with a reason, never read out
// of bounds. docs/formats/bmp.md describes what is accepted and refused.

#include "platform/ddraw/gdi/gdi_objects.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Images wider or taller than this are refused.
constexpr LONG kBmpMaxSide = 32768;
// Images whose rows need more bytes than this are refused: crafted headers cannot exhaust
// memory (run-length encoded images may otherwise claim any size in a few bytes).
constexpr std::uint64_t kBmpMaxPixelBytes = std::uint64_t{256} << 20;

// Each returns null when `bitmap` now holds the image, or a one-line reason why the image
// was refused (`bitmap` is then unspecified).
//
// The image of a BMP file: the 14-byte file header ("BM", pixels at its offset), then a
// packed bitmap's headers and colour table.
const char* ReadBmpFile(std::span<const std::uint8_t> image, DibSection& bitmap);
// A packed bitmap, as resources hold them: info header, bit-field masks, colour table and
// the pixels right after.
const char* ReadPackedDib(std::span<const std::uint8_t> image, DibSection& bitmap);

// Gives `bitmap` a size and layout with rows zeroed (pitch a multiple of 4), refusing sizes
// that are not positive or exceed the limits above.
const char* ShapeBitmap(DibSection& bitmap, LONG width, LONG height, const PixelLayout& layout);

} // namespace platform
