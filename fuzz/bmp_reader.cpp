// BMP images: arbitrary bytes read as a file image and as a packed bitmap. Whatever reads
// must be a consistent bitmap (positive size within the limits, rows of the pitch its width
// needs, at most 256 colours), and it must stretch to another size, which reads its pixels.

#include "platform/ddraw/gdi/bmp_reader.h"
#include "platform/ddraw/gdi/load_image.h"

#include <cstdlib>

namespace {

void CheckBitmap(const platform::DibSection& bitmap) {
    const LONG pitch = platform::RowPitch(bitmap.width, bitmap.layout.bitCount, 4);
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > platform::kBmpMaxSide ||
        bitmap.height > platform::kBmpMaxSide || bitmap.pitch != pitch ||
        bitmap.bits.size() != static_cast<std::size_t>(pitch) * bitmap.height ||
        bitmap.colours.size() > 256) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);
    for (auto read : {&platform::ReadBmpFile, &platform::ReadPackedDib}) {
        platform::DibSection bitmap;
        if (read(image, bitmap) != nullptr) {
            continue;
        }
        CheckBitmap(bitmap);
        const char* error = nullptr;
        const auto stretched = platform::StretchBitmap(bitmap, 7, 3, error);
        if (stretched == nullptr) {
            std::abort();
        }
        CheckBitmap(*stretched);
    }
    return 0;
}
