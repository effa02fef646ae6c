#include "platform/ddraw/gdi/bmp_reader.h"

#include <bit>
#include <cstring>
#include <optional>

namespace platform {
namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;

// Little-endian fields; callers have checked that the bytes are there.
DWORD U16(Bytes bytes, std::size_t at) {
    return DWORD{bytes[at]} | (DWORD{bytes[at + 1]} << 8);
}
DWORD U32(Bytes bytes, std::size_t at) {
    return U16(bytes, at) | (U16(bytes, at + 2) << 16);
}

// What the info header says, whichever of its sizes the image uses.
struct Header {
    DWORD size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: top row first
    DWORD planes = 0;
    DWORD bitCount = 0;
    DWORD compression = BI_RGB;
    DWORD coloursUsed = 0;
    DWORD masks[4] = {}; // red, green, blue, alpha
    std::size_t tableOffset = 0;
    std::size_t entrySize = 4; // RGBQUAD, or RGBTRIPLE after a core header
};

void ParseCoreHeader(Bytes dib, Header& header) {
    header.width = U16(dib, 4);
    header.height = U16(dib, 6);
    header.planes = U16(dib, 8);
    header.bitCount = U16(dib, 10);
    header.tableOffset = kCoreHeaderSize;
    header.entrySize = 3;
}

// Masks follow a 40-byte header; larger headers hold them (the alpha mask from 56 bytes on).
const char* ParseMasks(Bytes dib, Header& header) {
    const std::size_t count = header.size >= 56 ? 4 : 3;
    if (header.size == kInfoHeaderSize) {
        if (dib.size() < kInfoHeaderSize + 12) {
            return "bit field masks run past the end of the image";
        }
        header.tableOffset += 12;
    }
    for (std::size_t i = 0; i < count; ++i) {
        header.masks[i] = U32(dib, kInfoHeaderSize + 4 * i);
    }
    return nullptr;
}

const char* ParseInfoHeader(Bytes dib, Header& header) {
    header.width = static_cast<LONG>(U32(dib, 4));
    header.height = static_cast<LONG>(U32(dib, 8));
    header.planes = U16(dib, 12);
    header.bitCount = U16(dib, 14);
    header.compression = U32(dib, 16);
    header.coloursUsed = U32(dib, 32);
    header.tableOffset = header.size;
    return header.compression == BI_BITFIELDS ? ParseMasks(dib, header) : nullptr;
}

const char* ParseHeader(Bytes dib, Header& header) {
    if (dib.size() < 4) {
        return "no room for an info header";
    }
    header.size = U32(dib, 0);
    const DWORD size = header.size;
    if (size != kCoreHeaderSize && size != 40 && size != 52 && size != 56 && size != 108 &&
        size != 124) {
        return "unsupported info header size";
    }
    if (dib.size() < size) {
        return "info header runs past the end of the image";
    }
    if (size == kCoreHeaderSize) {
        ParseCoreHeader(dib, header);
        return nullptr;
    }
    return ParseInfoHeader(dib, header);
}

// Masks must be non-empty (alpha may be absent), contiguous, disjoint and inside the pixel.
bool ValidMasks(const DWORD (&masks)[4], DWORD bitCount) {
    const DWORD limit = bitCount == 32 ? 0xFFFFFFFFu : (DWORD{1} << bitCount) - 1;
    DWORD seen = 0;
    for (int i = 0; i < 4; ++i) {
        const DWORD mask = masks[i];
        if (mask == 0) {
            if (i < 3) {
                return false;
            }
            continue;
        }
        const DWORD shifted = mask >> std::countr_zero(mask);
        if ((mask & ~limit) != 0 || (mask & seen) != 0 || (shifted & (shifted + 1)) != 0) {
            return false;
        }
        seen |= mask;
    }
    return true;
}

const char* ChooseIndexedLayout(const Header& header, PixelLayout& layout) {
    const DWORD compression = header.compression;
    if (compression != BI_RGB && !(compression == BI_RLE8 && header.bitCount == 8) &&
        !(compression == BI_RLE4 && header.bitCount == 4)) {
        return "compression does not fit the bit count";
    }
    if (compression != BI_RGB && header.height < 0) {
        return "run-length encoded images cannot be stored top row first";
    }
    layout = IndexedLayout(header.bitCount);
    return nullptr;
}

const char* ChooseRgbLayout(const Header& header, PixelLayout& layout) {
    const DWORD bitCount = header.bitCount;
    if (header.compression == BI_BITFIELDS && bitCount != 24) {
        if (!ValidMasks(header.masks, bitCount)) {
            return "bit field masks are empty, overlap, have gaps or exceed the pixel";
        }
        layout =
            RgbLayout(bitCount, header.masks[0], header.masks[1], header.masks[2], header.masks[3]);
        return nullptr;
    }
    if (header.compression != BI_RGB) {
        return "compression does not fit the bit count";
    }
    layout = bitCount == 16 ? RgbLayout(16, 0x7C00, 0x03E0, 0x001F)
                            : RgbLayout(bitCount, 0xFF0000, 0x00FF00, 0x0000FF);
    return nullptr;
}

const char* ChooseLayout(const Header& header, PixelLayout& layout) {
    if (header.planes != 1) {
        return "plane count is not 1";
    }
    switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
        return ChooseIndexedLayout(header, layout);
    case 16:
    case 24:
    case 32:
        return ChooseRgbLayout(header, layout);
    default:
        return "unsupported bit count";
    }
}

// Reads the table of indexed images and skips the optional one of the others; `end` is
// where the table stops.
const char* ReadColourTable(Bytes dib, const Header& header, DibSection& bitmap, std::size_t& end) {
    const bool indexed = header.bitCount <= 8;
    const std::uint64_t count = header.coloursUsed != 0 ? header.coloursUsed
                                : indexed               ? std::uint64_t{1} << header.bitCount
                                                        : 0;
    if (indexed && count > 256) {
        return "colour table has more than 256 entries";
    }
    const std::uint64_t bytes = count * header.entrySize;
    if (header.tableOffset + bytes > dib.size()) {
        return "colour table runs past the end of the image";
    }
    end = header.tableOffset + static_cast<std::size_t>(bytes);
    bitmap.colours.clear();
    for (std::size_t at = header.tableOffset; indexed && at < end; at += header.entrySize) {
        bitmap.colours.push_back(kOpaqueBlack | (DWORD{dib[at + 2]} << 16) |
                                 (DWORD{dib[at + 1]} << 8) | dib[at]);
    }
    return nullptr;
}

const char* CheckSize(std::int64_t width, std::int64_t height, DWORD bitCount,
                      std::uint64_t& bytes) {
    if (width <= 0 || height <= 0) {
        return "width or height is not positive";
    }
    if (width > kBmpMaxSide || height > kBmpMaxSide) {
        return "width or height exceeds 32768 pixels";
    }
    bytes = static_cast<std::uint64_t>(RowPitch(static_cast<LONG>(width), bitCount, 4)) *
            static_cast<std::uint64_t>(height);
    if (bytes > kBmpMaxPixelBytes) {
        return "pixels need more than 256 MiB";
    }
    return nullptr;
}

// Uncompressed rows have the bitmap's own pitch; only their order may differ.
void CopyRows(Bytes pixels, bool bottomUp, DibSection& bitmap) {
    const std::size_t pitch = static_cast<std::size_t>(bitmap.pitch);
    for (LONG row = 0; row < bitmap.height; ++row) {
        const LONG target = bottomUp ? bitmap.height - 1 - row : row;
        std::memcpy(bitmap.bits.data() + static_cast<std::size_t>(target) * pitch,
                    pixels.data() + static_cast<std::size_t>(row) * pitch, pitch);
    }
}

// Run-length encoded indices (8 or 4 bits), rows bottom-up. Pixels no run reaches stay 0.
class RleDecoder {
public:
    RleDecoder(Bytes data, DibSection& bitmap)
        : m_data(data), m_bitmap(bitmap), m_nibbles(bitmap.layout.bitCount == 4) {}

    const char* Decode() {
        // Data that ends between commands ends the image as an end-of-bitmap mark would.
        while (m_at < m_data.size()) {
            if (m_at + 2 > m_data.size()) {
                return kCut;
            }
            const DWORD count = m_data[m_at];
            const DWORD value = m_data[m_at + 1];
            m_at += 2;
            if (count == 0 && value == 1) {
                return nullptr;
            }
            const char* error = count != 0 ? Encoded(count, value) : Escape(value);
            if (error != nullptr) {
                return error;
            }
        }
        return nullptr;
    }

private:
    static constexpr const char* kCut = "run-length data cut short";

    const char* Encoded(DWORD count, DWORD value) {
        return Put(count, [&](DWORD i) { return m_nibbles && (i & 1) == 0 ? value >> 4 : value; });
    }

    const char* Escape(DWORD code) {
        if (code == 0) {
            m_x = 0;
            ++m_y;
            return nullptr;
        }
        if (code == 2) {
            return Delta();
        }
        return Absolute(code);
    }

    const char* Delta() {
        if (m_at + 2 > m_data.size()) {
            return kCut;
        }
        m_x += m_data[m_at];
        m_y += m_data[m_at + 1];
        m_at += 2;
        return m_x > m_bitmap.width ? "run-length delta moves past the end of a row" : nullptr;
    }

    // `count` literal indices, padded to a 16-bit boundary.
    const char* Absolute(DWORD count) {
        const std::size_t bytes = m_nibbles ? (count + 1) / 2 : count;
        if (m_at + bytes > m_data.size()) {
            return kCut;
        }
        const std::size_t start = m_at;
        const char* error = Put(count, [&](DWORD i) {
            return m_nibbles ? m_data[start + i / 2] >> ((i & 1) != 0 ? 0 : 4) : m_data[start + i];
        });
        m_at = std::min(m_data.size(), start + bytes + (bytes & 1));
        return error;
    }

    template <class Index> const char* Put(DWORD count, Index index) {
        if (m_y >= m_bitmap.height) {
            return "run-length data runs past the last row";
        }
        if (m_x + count > m_bitmap.width) {
            return "run-length run runs past the end of a row";
        }
        BYTE* row = m_bitmap.bits.data() +
                    static_cast<std::size_t>(m_bitmap.height - 1 - m_y) * m_bitmap.pitch;
        for (DWORD i = 0; i < count; ++i) {
            SetIndex(row, m_x + i, index(i) & (m_nibbles ? 0xF : 0xFF));
        }
        m_x += count;
        return nullptr;
    }

    void SetIndex(BYTE* row, std::int64_t x, DWORD value) const {
        if (!m_nibbles) {
            row[x] = static_cast<BYTE>(value);
            return;
        }
        const int shift = (x & 1) != 0 ? 0 : 4;
        row[x / 2] = static_cast<BYTE>((row[x / 2] & ~(0xF << shift)) | (value << shift));
    }

    Bytes m_data;
    DibSection& m_bitmap;
    bool m_nibbles;
    std::size_t m_at = 0;
    // From the bottom row; wide enough that no run of deltas overflows.
    std::int64_t m_x = 0;
    std::int64_t m_y = 0;
};

const char* ReadPixels(Bytes pixels, const Header& header, const PixelLayout& layout,
                       DibSection& bitmap) {
    const std::int64_t rows = header.height < 0 ? -header.height : header.height;
    std::uint64_t bytes = 0;
    if (const char* error = CheckSize(header.width, rows, layout.bitCount, bytes)) {
        return error;
    }
    const bool encoded = header.compression == BI_RLE8 || header.compression == BI_RLE4;
    if (!encoded && pixels.size() < bytes) {
        return "pixel data shorter than the image";
    }
    if (const char* error =
            ShapeBitmap(bitmap, static_cast<LONG>(header.width), static_cast<LONG>(rows), layout)) {
        return error;
    }
    if (encoded) {
        return RleDecoder(pixels, bitmap).Decode();
    }
    CopyRows(pixels, header.height > 0, bitmap);
    return nullptr;
}

// `pixelOffset` is where the pixels start in `dib`; none: right after the colour table.
const char* ReadDib(Bytes dib, std::optional<std::size_t> pixelOffset, DibSection& bitmap) {
    Header header;
    PixelLayout layout;
    std::size_t tableEnd = 0;
    const char* error = ParseHeader(dib, header);
    error = error != nullptr ? error : ChooseLayout(header, layout);
    error = error != nullptr ? error : ReadColourTable(dib, header, bitmap, tableEnd);
    if (error != nullptr) {
        return error;
    }
    return ReadPixels(dib.subspan(pixelOffset.value_or(tableEnd)), header, layout, bitmap);
}

} // namespace

const char* ReadBmpFile(std::span<const std::uint8_t> image, DibSection& bitmap) {
    if (image.size() < kFileHeaderSize) {
        return "shorter than the 14-byte file header";
    }
    if (image[0] != 'B' || image[1] != 'M') {
        return "does not start with \"BM\"";
    }
    const DWORD pixelOffset = U32(image, 10);
    if (pixelOffset > image.size()) {
        return "pixel data offset past the end of the file";
    }
    if (pixelOffset < kFileHeaderSize) {
        return "pixel data offset inside the file header";
    }
    return ReadDib(image.subspan(kFileHeaderSize), pixelOffset - kFileHeaderSize, bitmap);
}

const char* ReadPackedDib(std::span<const std::uint8_t> image, DibSection& bitmap) {
    return ReadDib(image, std::nullopt, bitmap);
}

const char* ShapeBitmap(DibSection& bitmap, LONG width, LONG height, const PixelLayout& layout) {
    std::uint64_t bytes = 0;
    if (const char* error = CheckSize(width, height, layout.bitCount, bytes)) {
        return error;
    }
    return AllocateDibSection(bitmap, width, height, layout) ? nullptr : "pixels need more memory";
}

} // namespace platform
