#pragma once

// The pixel work of surface blits. Rectangles have been checked against their views; the
// blocks may be stretched (nearest pixel) and may come from the same memory.

#include "platform/ddraw/pixels.h"

#include <optional>

namespace platform {

struct BlitBlock {
    PixelView view;
    RECT rect;
};

// Copies source into target, skipping source pixels whose raw value lies inside `key`.
// Same-colour views copy raw values; others convert through colours.
void BlitPixels(const BlitBlock& source, const BlitBlock& target,
                const std::optional<DDCOLORKEY>& key);

void FillPixels(const BlitBlock& target, DWORD value);

} // namespace platform
