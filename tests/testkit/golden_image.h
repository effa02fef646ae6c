#pragma once

// Pictures checked as pictures: a frame is compared with a reference PNG kept in the
// repository (tests/<suite>/golden/<name>.png). Up to kGoldenPixelShare of the pixels may
// differ by more than kGoldenChannelLevels in some channel; rasterisers round differently.
//
// On a mismatch, and when the reference is missing, the actual frame and a difference image
// (differing pixels red over a dimmed copy of the frame) go to golden-output/ in the test's
// working directory and the message gives their paths. VELCORE_UPDATE_GOLDEN=1 rewrites the
// references instead; look at each one before committing it.

#include "platform/ddraw/ddraw.h"
#include "platform/png/png_file.h"

#include <gtest/gtest.h>

#include <string>

namespace testkit {

inline constexpr int kGoldenChannelLevels = 6;
inline constexpr double kGoldenPixelShare = 0.005;

// How many pixels of `actual` differ from `expected` beyond the channel tolerance; every
// pixel when the sizes differ. `difference` receives the difference image.
std::size_t CountDifferingPixels(const platform::PngImage& actual,
                                 const platform::PngImage& expected,
                                 platform::PngImage* difference);

// Compares the surface's pixels with the reference `suite`/golden/`name`.png.
::testing::AssertionResult MatchesGolden(IDirectDrawSurface4* surface, const std::string& suite,
                                         const std::string& name);

} // namespace testkit
