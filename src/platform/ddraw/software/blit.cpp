#include "platform/ddraw/software/blit.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace platform {
namespace {

LONG Width(const RECT& rect) {
    return rect.right - rect.left;
}
LONG Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

BYTE* PixelAddress(const PixelView& view, LONG x, LONG y) {
    return view.bits + static_cast<std::ptrdiff_t>(y) * view.pitch +
           static_cast<std::ptrdiff_t>(x) * (view.layout.bitCount / 8);
}

// Rows of a block, in an order that is safe when source and target share memory and
// overlap: bottom-up when the target lies below the source.
template <class RowCopy>
void ForEachRow(const BlitBlock& source, const BlitBlock& target, RowCopy copyRow) {
    const LONG rows = Height(target.rect);
    const bool upwards = source.view.bits == target.view.bits && target.rect.top > source.rect.top;
    for (LONG i = 0; i < rows; ++i) {
        const LONG row = upwards ? rows - 1 - i : i;
        copyRow(PixelAddress(source.view, source.rect.left, source.rect.top + row),
                PixelAddress(target.view, target.rect.left, target.rect.top + row));
    }
}

// A pixel of 1, 2 or 4 bytes as one unsigned integer.
template <int Bytes> struct PixelType;
template <> struct PixelType<1> { using Type = std::uint8_t; };
template <> struct PixelType<2> { using Type = std::uint16_t; };
template <> struct PixelType<4> { using Type = std::uint32_t; };

// Whether a source pixel outside the key range is drawn, as a select rather than a branch:
// keyed pixels follow a sprite's shape, which no branch predictor guesses.
template <class Pixel> inline bool Keep(Pixel value, Pixel low, Pixel high) {
    return static_cast<bool>(static_cast<unsigned>(value < low) |
                             static_cast<unsigned>(value > high));
}

template <int Bytes>
void KeyedRows(const BlitBlock& source, const BlitBlock& target, const DDCOLORKEY& key) {
    using Pixel = typename PixelType<Bytes>::Type;
    const LONG width = Width(target.rect);
    const auto low = static_cast<Pixel>(key.dwColorSpaceLowValue);
    const auto high = static_cast<Pixel>(key.dwColorSpaceHighValue);
    ForEachRow(source, target, [&](const BYTE* from, BYTE* to) {
        const auto* in = reinterpret_cast<const Pixel*>(from);
        auto* out = reinterpret_cast<Pixel*>(to);
        // Without branches: keyed pixels are as unpredictable as the sprite's shape.
        for (LONG x = 0; x < width; ++x) {
            const Pixel value = in[x];
            const auto keep =
                static_cast<Pixel>(0 - static_cast<Pixel>(value < low || value > high));
            out[x] = static_cast<Pixel>((value & keep) | (out[x] & ~keep));
        }
    });
}

bool InsideKey(const std::optional<DDCOLORKEY>& key, DWORD value) {
    return key.has_value() && value >= key->dwColorSpaceLowValue &&
           value <= key->dwColorSpaceHighValue;
}

// Source columns for each target column of a stretched block.
std::vector<LONG>& ColumnMap(const RECT& source, const RECT& target) {
    thread_local std::vector<LONG> columns;
    const LONG width = Width(target);
    columns.resize(static_cast<std::size_t>(width));
    for (LONG x = 0; x < width; ++x) {
        columns[static_cast<std::size_t>(x)] =
            source.left + static_cast<LONG>(std::int64_t{x} * Width(source) / width);
    }
    return columns;
}

LONG SourceRow(const BlitBlock& source, const BlitBlock& target, LONG row) {
    return source.rect.top +
           static_cast<LONG>(std::int64_t{row} * Height(source.rect) / Height(target.rect));
}

template <int Bytes>
void StretchRows(const BlitBlock& source, const BlitBlock& target,
                 const std::optional<DDCOLORKEY>& key) {
    using Pixel = typename PixelType<Bytes>::Type;
    const std::vector<LONG>& columns = ColumnMap(source.rect, target.rect);
    const LONG width = Width(target.rect);
    for (LONG row = 0; row < Height(target.rect); ++row) {
        const auto* in = reinterpret_cast<const Pixel*>(
            PixelAddress(source.view, 0, SourceRow(source, target, row)));
        auto* out = reinterpret_cast<Pixel*>(
            PixelAddress(target.view, target.rect.left, target.rect.top + row));
        if (!key.has_value()) {
            // A row that repeats its source row (vertical stretch) repeats the row above.
            if (row > 0 && SourceRow(source, target, row) == SourceRow(source, target, row - 1)) {
                std::memcpy(out,
                            PixelAddress(target.view, target.rect.left, target.rect.top + row - 1),
                            static_cast<std::size_t>(width) * Bytes);
                continue;
            }
            for (LONG x = 0; x < width; ++x) {
                out[x] = in[columns[static_cast<std::size_t>(x)]];
            }
            continue;
        }
        const auto low = static_cast<Pixel>(key->dwColorSpaceLowValue);
        const auto high = static_cast<Pixel>(key->dwColorSpaceHighValue);
        for (LONG x = 0; x < width; ++x) {
            const Pixel value = in[columns[static_cast<std::size_t>(x)]];
            out[x] = Keep(value, low, high) ? value : out[x];
        }
    }
}

// Any layouts, any stretch: one pixel at a time through colours.
void ConvertingRows(const BlitBlock& source, const BlitBlock& target,
                    const std::optional<DDCOLORKEY>& key) {
    const std::vector<LONG>& columns = ColumnMap(source.rect, target.rect);
    PixelConverter convert(source.view, target.view);
    for (LONG row = 0; row < Height(target.rect); ++row) {
        const LONG fromY = SourceRow(source, target, row);
        for (LONG x = 0; x < Width(target.rect); ++x) {
            const DWORD value = ReadPixel(source.view, columns[static_cast<std::size_t>(x)], fromY);
            if (!InsideKey(key, value)) {
                WritePixel(target.view, target.rect.left + x, target.rect.top + row,
                           convert(value));
            }
        }
    }
}

template <template <int> class Operation, class... Arguments>
bool ByPixelSize(DWORD bitCount, Arguments&&... arguments) {
    switch (bitCount) {
    case 8:
        Operation<1>::Run(arguments...);
        return true;
    case 16:
        Operation<2>::Run(arguments...);
        return true;
    case 32:
        Operation<4>::Run(arguments...);
        return true;
    default:
        return false;
    }
}

template <int Bytes> struct Keyed {
    static void Run(const BlitBlock& source, const BlitBlock& target, const DDCOLORKEY& key) {
        KeyedRows<Bytes>(source, target, key);
    }
};
template <int Bytes> struct Stretched {
    static void Run(const BlitBlock& source, const BlitBlock& target,
                    const std::optional<DDCOLORKEY>& key) {
        StretchRows<Bytes>(source, target, key);
    }
};

} // namespace

void BlitPixels(const BlitBlock& source, const BlitBlock& target,
                const std::optional<DDCOLORKEY>& key) {
    const bool stretched =
        Width(source.rect) != Width(target.rect) || Height(source.rect) != Height(target.rect);
    const DWORD bitCount = target.view.layout.bitCount;
    if (SameColours(source.view, target.view)) {
        if (!stretched && !key.has_value()) {
            const auto bytes = static_cast<std::size_t>(Width(target.rect)) * (bitCount / 8);
            ForEachRow(source, target,
                       [bytes](const BYTE* from, BYTE* to) { std::memmove(to, from, bytes); });
            return;
        }
        if (!stretched && ByPixelSize<Keyed>(bitCount, source, target, *key)) {
            return;
        }
        if (stretched && ByPixelSize<Stretched>(bitCount, source, target, key)) {
            return;
        }
    }
    ConvertingRows(source, target, key);
}

void FillPixels(const BlitBlock& target, DWORD value) {
    for (LONG y = target.rect.top; y < target.rect.bottom; ++y) {
        for (LONG x = target.rect.left; x < target.rect.right; ++x) {
            WritePixel(target.view, x, y, value);
        }
    }
}

} // namespace platform
