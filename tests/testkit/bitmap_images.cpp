#include "testkit/bitmap_images.h"

namespace testkit {

BmpImage IndexedImage(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> colours,
                      const std::vector<std::uint32_t>& pixels) {
    BmpImage image;
    image.width = width;
    image.height = height;
    image.bitCount = 8;
    image.coloursUsed = static_cast<std::uint32_t>(colours.size());
    image.colours = std::move(colours);
    image.pixels = StoredRows(width, height, 8, pixels);
    return image;
}

BmpImage TrueColourImage(std::int32_t width, std::int32_t height,
                         const std::vector<std::uint32_t>& pixels) {
    BmpImage image;
    image.width = width;
    image.height = height;
    image.bitCount = 24;
    image.pixels = StoredRows(width, height, 24, pixels);
    return image;
}

} // namespace testkit
