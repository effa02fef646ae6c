#pragma once

// PNG images through libpng: a bounded reader (8-bit RGB and RGBA; other PNG kinds are
// converted to them) and a writer of 8-bit RGB or RGBA. Headless hosts save frames with
// WriteSurfacePng; the golden-image tests compare frames with reference files.

#include "platform/ddraw/ddraw.h"
#include "platform/ddraw/pixels.h"
#include "platform/export.h"

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// Pixels as 0xAARRGGBB, top row first, `width` to a row.
struct PngImage {
    LONG width = 0;
    LONG height = 0;
    std::vector<Argb> pixels;
};

// What the reader accepts: bigger images are refused before anything is allocated.
inline constexpr LONG kMaxPngSide = 16384;
inline constexpr std::size_t kMaxPngPixels = std::size_t{1} << 26;
inline constexpr std::size_t kMaxPngFileBytes = std::size_t{1} << 28;

// Decodes a PNG file's bytes; false with the reason in `error` for corrupt or oversized data.
VELCORE_API bool DecodePng(const BYTE* data, std::size_t size, PngImage* image, std::string* error);
VELCORE_API bool ReadPngFile(const std::string& path, PngImage* image, std::string* error);

// Encodes as 8-bit RGBA, or RGB when `withAlpha` is false (alpha dropped).
VELCORE_API bool EncodePng(const PngImage& image, bool withAlpha, std::vector<BYTE>* bytes,
                           std::string* error);
VELCORE_API bool WritePngFile(const std::string& path, const PngImage& image, bool withAlpha,
                              std::string* error);

// The pixels of a software surface as an image (through its palette when it has one);
// false when `surface` is not a software surface.
VELCORE_API bool ImageFromSurface(IDirectDrawSurface4* surface, PngImage* image);
// Saves a software surface as an RGB PNG file.
VELCORE_API bool WriteSurfacePng(IDirectDrawSurface4* surface, const std::string& path,
                                 std::string* error);

} // namespace platform
