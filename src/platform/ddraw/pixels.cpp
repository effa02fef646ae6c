#include "platform/ddraw/pixels.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

namespace platform {
namespace {

int ColourDistance(Argb a, Argb b) {
    int distance = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        distance += difference * difference;
    }
    return distance;
}

} // namespace

PixelLayout IndexedLayout(DWORD bitCount) {
    return PixelLayout{bitCount, 0, 0, 0, 0};
}

PixelLayout RgbLayout(DWORD bitCount, DWORD redMask, DWORD greenMask, DWORD blueMask,
                      DWORD alphaMask) {
    return PixelLayout{bitCount, redMask, greenMask, blueMask, alphaMask};
}

PixelLayout LayoutOf(const DDPIXELFORMAT& format) {
    if ((format.dwFlags & DDPF_PALETTEINDEXED8) != 0) {
        return IndexedLayout(8);
    }
    const DWORD alpha = (format.dwFlags & DDPF_ALPHAPIXELS) != 0 ? format.dwRGBAlphaBitMask : 0;
    return RgbLayout(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask,
                     alpha);
}

DDPIXELFORMAT PixelFormatOf(const PixelLayout& layout) {
    DDPIXELFORMAT format{};
    format.dwSize = sizeof(DDPIXELFORMAT);
    format.dwRGBBitCount = layout.bitCount;
    if (layout.Indexed()) {
        format.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
        return format;
    }
    format.dwFlags = DDPF_RGB | (layout.alphaMask != 0 ? DDPF_ALPHAPIXELS : 0);
    format.dwRBitMask = layout.redMask;
    format.dwGBitMask = layout.greenMask;
    format.dwBBitMask = layout.blueMask;
    format.dwRGBAlphaBitMask = layout.alphaMask;
    return format;
}

bool IsSurfaceLayout(const PixelLayout& layout) {
    switch (layout.bitCount) {
    case 8:
        return true;
    case 16:
    case 24:
    case 32: {
        const DWORD all = layout.redMask | layout.greenMask | layout.blueMask | layout.alphaMask;
        const DWORD limit = layout.bitCount == 32 ? 0xFFFFFFFFu : (1u << layout.bitCount) - 1;
        return layout.redMask != 0 && layout.greenMask != 0 && layout.blueMask != 0 &&
               (all & ~limit) == 0;
    }
    default:
        return false;
    }
}

LONG RowPitch(LONG width, DWORD bitCount, DWORD alignment) {
    const std::uint64_t bits = static_cast<std::uint64_t>(width) * bitCount;
    const std::uint64_t bytes = (bits + 7) / 8;
    const std::uint64_t aligned = (bytes + alignment - 1) & ~std::uint64_t{alignment - 1};
    if (width < 0 || aligned > static_cast<std::uint64_t>(std::numeric_limits<LONG>::max())) {
        return 0;
    }
    return static_cast<LONG>(aligned);
}

DWORD ReadPixel(const PixelView& view, LONG x, LONG y) {
    const BYTE* row = view.bits + static_cast<std::ptrdiff_t>(y) * view.pitch;
    switch (view.layout.bitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (row[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0xF;
    case 8:
        return row[x];
    case 16: {
        WORD value;
        std::memcpy(&value, row + 2 * x, 2);
        return value;
    }
    case 24:
        return DWORD{row[3 * x]} | (DWORD{row[3 * x + 1]} << 8) | (DWORD{row[3 * x + 2]} << 16);
    default: {
        DWORD value;
        std::memcpy(&value, row + 4 * static_cast<std::ptrdiff_t>(x), 4);
        return value;
    }
    }
}

void WritePixel(const PixelView& view, LONG x, LONG y, DWORD value) {
    BYTE* row = view.bits + static_cast<std::ptrdiff_t>(y) * view.pitch;
    switch (view.layout.bitCount) {
    case 1: {
        const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<BYTE>((value & 1) != 0 ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        return;
    }
    case 4: {
        const int shift = (x & 1) != 0 ? 0 : 4;
        row[x >> 1] = static_cast<BYTE>((row[x >> 1] & ~(0xF << shift)) | ((value & 0xF) << shift));
        return;
    }
    case 8:
        row[x] = static_cast<BYTE>(value);
        return;
    case 16: {
        const WORD narrow = static_cast<WORD>(value);
        std::memcpy(row + 2 * x, &narrow, 2);
        return;
    }
    case 24:
        row[3 * x] = static_cast<BYTE>(value);
        row[3 * x + 1] = static_cast<BYTE>(value >> 8);
        row[3 * x + 2] = static_cast<BYTE>(value >> 16);
        return;
    default:
        std::memcpy(row + 4 * static_cast<std::ptrdiff_t>(x), &value, 4);
        return;
    }
}

ChannelCodec::ChannelCodec(DWORD mask)
    : m_mask(mask), m_shift(mask != 0 ? std::countr_zero(mask) : 0), m_width(std::popcount(mask)) {
    if (m_width == 0 || m_width > 8) {
        return;
    }
    for (int value = 0; value < (1 << m_width); ++value) {
        DWORD result = 0;
        for (int shift = 8 - m_width; shift > -m_width; shift -= m_width) {
            result |= shift >= 0 ? DWORD(value) << shift : DWORD(value) >> -shift;
        }
        m_expanded[static_cast<std::size_t>(value)] = static_cast<BYTE>(result);
    }
}

DWORD ChannelCodec::Expand(DWORD value) const {
    const DWORD channel = (value & m_mask) >> m_shift;
    return m_width > 8 ? channel >> (m_width - 8) : m_expanded[channel];
}

DWORD ChannelCodec::Narrow(DWORD channel) const {
    const DWORD value = m_width >= 8 ? channel << (m_width - 8) : channel >> (8 - m_width);
    return (value << m_shift) & m_mask;
}

ColourCodec::ColourCodec(const PixelLayout& layout)
    : m_red(layout.redMask), m_green(layout.greenMask), m_blue(layout.blueMask),
      m_alpha(layout.alphaMask), m_opaque(layout.alphaMask == 0) {}

Argb ColourCodec::Unpack(DWORD value) const {
    const DWORD alpha = m_opaque ? 0xFF : m_alpha.Expand(value);
    return (alpha << 24) | (m_red.Expand(value) << 16) | (m_green.Expand(value) << 8) |
           m_blue.Expand(value);
}

DWORD ColourCodec::Pack(Argb colour) const {
    return m_alpha.Narrow(colour >> 24) | m_red.Narrow((colour >> 16) & 0xFF) |
           m_green.Narrow((colour >> 8) & 0xFF) | m_blue.Narrow(colour & 0xFF);
}

Argb UnpackArgb(const PixelLayout& layout, DWORD value) {
    return ColourCodec(layout).Unpack(value);
}

DWORD PackArgb(const PixelLayout& layout, Argb colour) {
    return ColourCodec(layout).Pack(colour);
}

Argb PixelToArgb(const PixelView& view, DWORD value) {
    if (!view.layout.Indexed()) {
        return UnpackArgb(view.layout, value);
    }
    return value < view.paletteCount ? view.palette[value] : kOpaqueBlack;
}

DWORD ArgbToPixel(const PixelView& view, Argb colour) {
    if (!view.layout.Indexed()) {
        return PackArgb(view.layout, colour);
    }
    return NearestPaletteIndex(view.palette, view.paletteCount, colour);
}

DWORD NearestPaletteIndex(const Argb* palette, DWORD count, Argb colour) {
    DWORD best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (DWORD index = 0; index < count && bestDistance > 0; ++index) {
        const int distance = ColourDistance(palette[index], colour);
        if (distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

bool SameColours(const PixelView& a, const PixelView& b) {
    if (!(a.layout == b.layout)) {
        return false;
    }
    return !a.layout.Indexed() || (a.paletteCount == b.paletteCount &&
                                   std::equal(a.palette, a.palette + a.paletteCount, b.palette));
}

PixelConverter::PixelConverter(const PixelView& source, const PixelView& target)
    : m_source(source), m_target(target), m_sourceCodec(source.layout),
      m_targetCodec(target.layout), m_identity(SameColours(source, target)) {
    m_direct = !m_identity && PrepareDirectMoves();
}

// Between RGB layouts whose target channels are no wider than the source's, each channel is
// one shift, mask and shift: the top bits of the source channel, as narrowing through 8
// bits would give them.
bool PixelConverter::PrepareDirectMoves() {
    const PixelLayout& from = m_source.layout;
    const PixelLayout& to = m_target.layout;
    if (from.Indexed() || to.Indexed()) {
        return false;
    }
    const std::array<std::pair<DWORD, DWORD>, 4> channels = {{{from.redMask, to.redMask},
                                                              {from.greenMask, to.greenMask},
                                                              {from.blueMask, to.blueMask},
                                                              {from.alphaMask, to.alphaMask}}};
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const auto [source, target] = channels[i];
        if (target == 0 || source == 0) {
            continue; // dropped, or an alpha the source lacks (made opaque below)
        }
        const int sourceWidth = std::popcount(source);
        const int targetWidth = std::popcount(target);
        if (targetWidth > sourceWidth || targetWidth > 8) {
            return false;
        }
        m_moves[i] = {std::countr_zero(source) + sourceWidth - targetWidth,
                      (DWORD{1} << targetWidth) - 1, std::countr_zero(target)};
    }
    m_opaqueBits = from.alphaMask == 0 ? to.alphaMask : 0;
    return true;
}

DWORD PixelConverter::Direct(DWORD value) const {
    DWORD result = m_opaqueBits;
    for (const ChannelMove& move : m_moves) {
        result |= ((value >> move.rightShift) & move.mask) << move.leftShift;
    }
    return result;
}

DWORD PixelConverter::Convert(DWORD value) const {
    if (m_direct) {
        return Direct(value);
    }
    const Argb colour =
        m_source.layout.Indexed()
            ? (value < m_source.paletteCount ? m_source.palette[value] : kOpaqueBlack)
            : m_sourceCodec.Unpack(value);
    return m_target.layout.Indexed()
               ? NearestPaletteIndex(m_target.palette, m_target.paletteCount, colour)
               : m_targetCodec.Pack(colour);
}

DWORD PixelConverter::operator()(DWORD value) {
    if (m_identity) {
        return value;
    }
    if (!m_haveLast || value != m_lastValue) {
        m_lastValue = value;
        m_lastResult = Convert(value);
        m_haveLast = true;
    }
    return m_lastResult;
}

namespace {

template <int Bytes> DWORD LoadValue(const BYTE* at) {
    DWORD value = 0;
    std::memcpy(&value, at, Bytes);
    return value;
}

template <int Bytes> void StoreValue(BYTE* at, DWORD value) {
    std::memcpy(at, &value, Bytes);
}

// Rows of whole-byte pixels between RGB layouts, without a per-pixel switch on the depth.
template <int SourceBytes, int TargetBytes>
void MoveRows(PixelConverter& convert, const PixelView& source, LONG sourceX, LONG sourceY,
              const PixelView& target, LONG targetX, LONG targetY, LONG width, LONG height) {
    for (LONG row = 0; row < height; ++row) {
        const BYTE* in = source.bits + static_cast<std::ptrdiff_t>(sourceY + row) * source.pitch +
                         static_cast<std::ptrdiff_t>(sourceX) * SourceBytes;
        BYTE* out = target.bits + static_cast<std::ptrdiff_t>(targetY + row) * target.pitch +
                    static_cast<std::ptrdiff_t>(targetX) * TargetBytes;
        for (LONG column = 0; column < width; ++column) {
            StoreValue<TargetBytes>(
                out + column * TargetBytes,
                convert.Direct(LoadValue<SourceBytes>(in + column * SourceBytes)));
        }
    }
}

template <int SourceBytes>
bool MoveRowsTo(PixelConverter& convert, const PixelView& source, LONG sourceX, LONG sourceY,
                const PixelView& target, LONG targetX, LONG targetY, LONG width, LONG height) {
    switch (target.layout.bitCount) {
    case 16:
        MoveRows<SourceBytes, 2>(convert, source, sourceX, sourceY, target, targetX, targetY, width,
                                 height);
        return true;
    case 32:
        MoveRows<SourceBytes, 4>(convert, source, sourceX, sourceY, target, targetX, targetY, width,
                                 height);
        return true;
    default:
        return false;
    }
}

bool MoveBlock(PixelConverter& convert, const PixelView& source, LONG sourceX, LONG sourceY,
               const PixelView& target, LONG targetX, LONG targetY, LONG width, LONG height) {
    if (!convert.IsDirect()) {
        return false;
    }
    switch (source.layout.bitCount) {
    case 24:
        return MoveRowsTo<3>(convert, source, sourceX, sourceY, target, targetX, targetY, width,
                             height);
    case 32:
        return MoveRowsTo<4>(convert, source, sourceX, sourceY, target, targetX, targetY, width,
                             height);
    default:
        return false;
    }
}

} // namespace

void ConvertBlock(const PixelView& source, LONG sourceX, LONG sourceY, const PixelView& target,
                  LONG targetX, LONG targetY, LONG width, LONG height) {
    PixelConverter convert(source, target);
    if (MoveBlock(convert, source, sourceX, sourceY, target, targetX, targetY, width, height)) {
        return;
    }
    for (LONG row = 0; row < height; ++row) {
        for (LONG column = 0; column < width; ++column) {
            WritePixel(target, targetX + column, targetY + row,
                       convert(ReadPixel(source, sourceX + column, sourceY + row)));
        }
    }
}

} // namespace platform
