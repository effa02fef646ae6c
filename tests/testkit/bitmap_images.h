#pragma once

// Small bitmaps for surface and texture tests, built through the BMP builder.

#include "testkit/bmp_builder.h"

namespace testkit {

// 8 bits per pixel with a colour table (0x00RRGGBB entries); pixels top row first.
BmpImage IndexedImage(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> colours,
                      const std::vector<std::uint32_t>& pixels);
// 24 bits per pixel; pixels 0x00RRGGBB, top row first.
BmpImage TrueColourImage(std::int32_t width, std::int32_t height,
                         const std::vector<std::uint32_t>& pixels);

} // namespace testkit
