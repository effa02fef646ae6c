// BMP images: arbitrary bytes read as a file image and as a packed bitmap. Whatever reads
// must be a consistent bitmap (positive size within the limits, rows of its pitch, at most
// 256 colours) whose corner pixels read, and it must stretch to another size.

#include "platform/ddraw/gdi/bmp_reader.h"
#include "platform/ddraw/gdi/load_image.h"

#include <cstdlib>

namespace {

void CheckBitmap(const platform::DibSection& bitmap) {
    const std::size_t rowsBytes =
        static_cast<std::size_t>(bitmap.pitch) * static_cast<std::size_t>(bitmap.height);
    if (bitmap.width <= 0 || bitmap.height <= 0 || bitmap.width > platform::kBmpMaxSide ||
        bitmap.height > platform::kBmpMaxSide || bitmap.pitch % 4 != 0 ||
        bitmap.bits.size() != rowsBytes || bitmap.colours.size() > 256) {
        std::abort();
    }
    const platform::PixelView view{const_cast<BYTE*>(bitmap.bits.data()),
                                   bitmap.pitch,
                                   bitmap.width,
                                   bitmap.height,
                                   bitmap.layout,
                                   bitmap.colours.data(),
                                   static_cast<DWORD>(bitmap.colours.size())};
    // Reads outside the rows are what the sanitizers would catch here.
    for (LONG y : {LONG{0}, bitmap.height - 1}) {
        for (LONG x : {LONG{0}, bitmap.width - 1}) {
            static_cast<void>(platform::PixelToArgb(view, platform::ReadPixel(view, x, y)));
        }
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
