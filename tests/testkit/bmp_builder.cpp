#include "testkit/bmp_builder.h"

#include "testkit/bytes.h"

#include <algorithm>

namespace testkit {
namespace {

void WriteCoreHeader(const BmpImage& image, ByteBuilder& out) {
    out.U32(12)
        .U16(static_cast<std::uint16_t>(image.width))
        .U16(static_cast<std::uint16_t>(image.height))
        .U16(image.planes)
        .U16(image.bitCount);
}

// The 40 common bytes, then masks inside the header as far as it holds them, then zeros.
void WriteInfoHeader(const BmpImage& image, ByteBuilder& out) {
    const std::size_t start = out.Size();
    out.U32(image.headerSize)
        .I32(image.width)
        .I32(image.height)
        .U16(image.planes)
        .U16(image.bitCount)
        .U32(image.compression)
        .U32(static_cast<std::uint32_t>(image.pixels.size()))
        .I32(2835)
        .I32(2835)
        .U32(image.coloursUsed)
        .U32(0);
    const std::size_t room = image.headerSize > 40 ? (image.headerSize - 40) / 4 : 0;
    for (std::size_t i = 0; i < std::min(room, image.masks.size()); ++i) {
        out.U32(image.masks[i]);
    }
    if (image.headerSize > out.Size() - start) {
        out.Fill(0, image.headerSize - (out.Size() - start));
    }
    if (image.headerSize == 40) {
        for (std::uint32_t mask : image.masks) {
            out.U32(mask);
        }
    }
}

void WriteColourTable(const BmpImage& image, ByteBuilder& out) {
    for (std::uint32_t colour : image.colours) {
        out.U8(static_cast<std::uint8_t>(colour))
            .U8(static_cast<std::uint8_t>(colour >> 8))
            .U8(static_cast<std::uint8_t>(colour >> 16));
        if (image.headerSize != 12) {
            out.U8(0);
        }
    }
}

ByteBuilder Headers(const BmpImage& image) {
    ByteBuilder out;
    if (image.headerSize == 12) {
        WriteCoreHeader(image, out);
    } else {
        WriteInfoHeader(image, out);
    }
    WriteColourTable(image, out);
    return out;
}

template <class Value>
std::vector<std::uint32_t> EachPixel(const platform::DibSection& bitmap, Value value) {
    // View() hands out writable bits; only reads go through this one.
    const platform::PixelView view = const_cast<platform::DibSection&>(bitmap).View();
    std::vector<std::uint32_t> values;
    for (LONG y = 0; y < view.height; ++y) {
        for (LONG x = 0; x < view.width; ++x) {
            values.push_back(value(view, platform::ReadPixel(view, x, y)));
        }
    }
    return values;
}

void PutValue(std::vector<std::uint8_t>& row, std::size_t x, int bitCount, std::uint32_t value) {
    if (bitCount < 8) {
        const std::size_t bit = x * bitCount;
        const int shift = 8 - bitCount - static_cast<int>(bit % 8);
        row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (value << shift));
        return;
    }
    for (int byte = 0; byte < bitCount / 8; ++byte) {
        row[x * (bitCount / 8) + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
}

} // namespace

std::vector<std::uint8_t> PackedDib(const BmpImage& image) {
    return Headers(image).Raw(image.pixels).Bytes();
}

std::vector<std::uint8_t> BmpFile(const BmpImage& image) {
    const ByteBuilder headers = Headers(image);
    const auto pixelOffset = static_cast<std::uint32_t>(kFileHeaderBytes + headers.Size());
    ByteBuilder out;
    out.U8('B')
        .U8('M')
        .U32(pixelOffset + static_cast<std::uint32_t>(image.pixels.size()))
        .U16(0)
        .U16(0)
        .U32(pixelOffset);
    return out.Raw(headers.Bytes()).Raw(image.pixels).Bytes();
}

std::vector<std::uint8_t> StoredRows(std::int32_t width, std::int32_t height, int bitCount,
                                     const std::vector<std::uint32_t>& topFirst) {
    const std::size_t pitch = (static_cast<std::size_t>(width) * bitCount + 31) / 32 * 4;
    const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
    std::vector<std::uint8_t> stored;
    for (std::size_t i = 0; i < rows; ++i) {
        const std::size_t sourceRow = height < 0 ? i : rows - 1 - i;
        std::vector<std::uint8_t> row(pitch, 0);
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
            PutValue(row, x, bitCount, topFirst.at(sourceRow * width + x));
        }
        stored.insert(stored.end(), row.begin(), row.end());
    }
    return stored;
}

BmpImage SimpleImage(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                     const std::vector<std::uint32_t>& pixels, std::vector<std::uint32_t> colours) {
    BmpImage image{.width = width, .height = height, .bitCount = bitCount};
    image.coloursUsed = static_cast<std::uint32_t>(colours.size());
    image.colours = std::move(colours);
    image.pixels = StoredRows(width, height, bitCount, pixels);
    return image;
}

void AddResource(const char* name, const BmpImage& image) {
    const std::vector<std::uint8_t> packed = PackedDib(image);
    platform::AddBitmapResource(name, packed.data(), packed.size());
}

std::vector<std::uint32_t> RawPixels(const platform::DibSection& bitmap) {
    return EachPixel(bitmap, [](const platform::PixelView&, DWORD value) { return value; });
}

std::vector<platform::Argb> PixelColours(const platform::DibSection& bitmap) {
    return EachPixel(bitmap, [](const platform::PixelView& view, DWORD value) {
        return platform::PixelToArgb(view, value);
    });
}

} // namespace testkit
