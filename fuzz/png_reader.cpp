// PNG images: arbitrary bytes decoded. Whatever decodes must be a consistent image within the
// reader's limits.

#include "platform/png/png_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::PngImage image;
    std::string error;
    if (!platform::DecodePng(data, size, &image, &error)) {
        return 0;
    }
    if (image.width <= 0 || image.height <= 0 || image.width > platform::kMaxPngSide ||
        image.height > platform::kMaxPngSide ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
        std::abort();
    }
    return 0;
}
