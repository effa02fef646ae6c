#pragma once

// Pixel values and colours: the common ground of surfaces and bitmaps. Surfaces and bitmaps
// hand their memory out as a PixelView; blits and the drawing calls read and write pixels
// through it, converting through 32-bit colours when two layouts differ.

#include "platform/ddraw/ddraw_types.h"
#include "platform/export.h"

#include <array>

namespace platform {

// A colour as 0xAARRGGBB.
using Argb = DWORD;

constexpr Argb kOpaqueBlack = 0xFF000000u;

constexpr Argb ArgbFromColorRef(COLORREF colour) {
    return kOpaqueBlack | (DWORD{GetRValue(colour)} << 16) | (DWORD{GetGValue(colour)} << 8) |
           GetBValue(colour);
}
constexpr COLORREF ColorRefFromArgb(Argb colour) {
    return RGB(static_cast<BYTE>(colour >> 16), static_cast<BYTE>(colour >> 8),
               static_cast<BYTE>(colour));
}

// How pixel values are laid out: 1, 4 or 8 bits of palette index, or 16, 24 or 32 bits
// holding channels under masks.
struct PixelLayout {
    DWORD bitCount = 0;
    DWORD redMask = 0;
    DWORD greenMask = 0;
    DWORD blueMask = 0;
    DWORD alphaMask = 0;

    bool Indexed() const { return bitCount <= 8; }
    bool operator==(const PixelLayout&) const = default;
};

// Layouts of the formats the engine meets. 24- and 32-bit without alpha are 8-8-8.
VELCORE_API PixelLayout IndexedLayout(DWORD bitCount);
VELCORE_API PixelLayout RgbLayout(DWORD bitCount, DWORD redMask, DWORD greenMask, DWORD blueMask,
                                  DWORD alphaMask = 0);
VELCORE_API PixelLayout LayoutOf(const DDPIXELFORMAT& format);
VELCORE_API DDPIXELFORMAT PixelFormatOf(const PixelLayout& layout);
// Whether surfaces can hold pixels of this layout (8-bit indexed, 16, 24 or 32 bits).
VELCORE_API bool IsSurfaceLayout(const PixelLayout& layout);

// Bytes per row for `width` pixels, rounded up to a multiple of `alignment` (a power of two);
// 0 when the row does not fit in a LONG.
VELCORE_API LONG RowPitch(LONG width, DWORD bitCount, DWORD alignment);

// Pixels in memory, top row first, rows `pitch` bytes apart. Indexed views carry their
// palette (entries past paletteCount read as opaque black).
struct PixelView {
    BYTE* bits = nullptr;
    LONG pitch = 0;
    LONG width = 0;
    LONG height = 0;
    PixelLayout layout;
    const Argb* palette = nullptr;
    DWORD paletteCount = 0;

    bool Contains(LONG x, LONG y) const { return x >= 0 && y >= 0 && x < width && y < height; }
};

// Raw values at (x, y), which must lie inside the view.
VELCORE_API DWORD ReadPixel(const PixelView& view, LONG x, LONG y);
VELCORE_API void WritePixel(const PixelView& view, LONG x, LONG y, DWORD value);

// One channel of an RGB layout: where its bits are, and each of its values as 8 bits
// (narrower channels repeat their bits downwards, so all ones is 255 and zero stays 0).
class VELCORE_API ChannelCodec {
public:
    explicit ChannelCodec(DWORD mask);
    DWORD Expand(DWORD value) const;
    DWORD Narrow(DWORD channel) const;

private:
    DWORD m_mask;
    int m_shift;
    int m_width;
    std::array<BYTE, 256> m_expanded{}; // for widths up to 8
};

// Channel values from and to raw values of an RGB layout; a layout without alpha reads as
// opaque. Building one costs more than a conversion: keep it for a block of pixels.
class VELCORE_API ColourCodec {
public:
    explicit ColourCodec(const PixelLayout& layout);
    Argb Unpack(DWORD value) const;
    DWORD Pack(Argb colour) const;

private:
    ChannelCodec m_red, m_green, m_blue, m_alpha;
    bool m_opaque;
};

VELCORE_API Argb UnpackArgb(const PixelLayout& layout, DWORD value);
VELCORE_API DWORD PackArgb(const PixelLayout& layout, Argb colour);

// Colours of raw values of the view, and the raw value that shows a colour best: the packed
// channels, or for indexed views the nearest palette entry (the first of equals).
VELCORE_API Argb PixelToArgb(const PixelView& view, DWORD value);
VELCORE_API DWORD ArgbToPixel(const PixelView& view, Argb colour);
VELCORE_API DWORD NearestPaletteIndex(const Argb* palette, DWORD count, Argb colour);

// Whether raw values mean the same colours in both views.
VELCORE_API bool SameColours(const PixelView& a, const PixelView& b);

// Turns raw values of one view into the raw values of another that show the same colours.
// Runs of one value are common in bitmaps; remembering the last one spares the palette search
// for each of them.
class VELCORE_API PixelConverter {
public:
    PixelConverter(const PixelView& source, const PixelView& target);
    DWORD operator()(DWORD value);
    // Whether both layouts are RGB and every target channel is a narrowed source channel;
    // then Direct converts a value with shifts and masks alone.
    bool IsDirect() const { return m_direct; }
    DWORD Direct(DWORD value) const;

private:
    // A source channel moved straight into a target channel of at most its width.
    struct ChannelMove {
        int rightShift;
        DWORD mask;
        int leftShift;
    };
    DWORD Convert(DWORD value) const;
    bool PrepareDirectMoves();

    const PixelView& m_source;
    const PixelView& m_target;
    ColourCodec m_sourceCodec;
    ColourCodec m_targetCodec;
    bool m_identity;
    std::array<ChannelMove, 4> m_moves{};
    DWORD m_opaqueBits = 0; // target alpha bits set when the source has no alpha
    bool m_direct = false;
    bool m_haveLast = false;
    DWORD m_lastValue = 0;
    DWORD m_lastResult = 0;
};

// Copies a width x height block between views of any layouts, converting through colours.
// Both blocks must lie inside their views.
VELCORE_API void ConvertBlock(const PixelView& source, LONG sourceX, LONG sourceY,
                              const PixelView& target, LONG targetX, LONG targetY, LONG width,
                              LONG height);

} // namespace platform
