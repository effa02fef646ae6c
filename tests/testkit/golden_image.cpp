#include "testkit/golden_image.h"

#include <cstdlib>
#include <filesystem>

namespace testkit {
namespace {

namespace fs = std::filesystem;

bool ChannelsClose(platform::Argb a, platform::Argb b) {
    for (int shift = 0; shift < 32; shift += 8) {
        int difference =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(difference) > kGoldenChannelLevels) {
            return false;
        }
    }
    return true;
}

// Half brightness, opaque.
platform::Argb Dimmed(platform::Argb colour) {
    return 0xFF000000u | ((colour >> 1) & 0x7F7F7F);
}

bool UpdateRequested() {
    const char* update = std::getenv("VELCORE_UPDATE_GOLDEN");
    return update != nullptr && std::string(update) == "1";
}

fs::path ReferencePath(const std::string& suite, const std::string& name) {
    return fs::path(VELCORE_TESTS_SOURCE_DIR) / suite / "golden" / (name + ".png");
}

// Writes the actual frame (and the difference image, when given) for review; their paths.
std::string KeepForReview(const std::string& name, const platform::PngImage& actual,
                          const platform::PngImage* difference) {
    fs::path folder = fs::current_path() / "golden-output";
    fs::create_directories(folder);
    std::string actualPath = (folder / (name + "-actual.png")).string();
    std::string error;
    platform::WritePngFile(actualPath, actual, false, &error);
    std::string paths = actualPath;
    if (difference != nullptr) {
        std::string differencePath = (folder / (name + "-difference.png")).string();
        platform::WritePngFile(differencePath, *difference, false, &error);
        paths += " and " + differencePath;
    }
    return paths;
}

} // namespace

std::size_t CountDifferingPixels(const platform::PngImage& actual,
                                 const platform::PngImage& expected,
                                 platform::PngImage* difference) {
    *difference = actual;
    if (actual.width != expected.width || actual.height != expected.height) {
        return actual.pixels.size();
    }
    std::size_t differing = 0;
    for (std::size_t i = 0; i < actual.pixels.size(); ++i) {
        bool close = ChannelsClose(actual.pixels[i], expected.pixels[i]);
        differing += close ? 0 : 1;
        difference->pixels[i] = close ? Dimmed(actual.pixels[i]) : 0xFFFF0000u;
    }
    return differing;
}

::testing::AssertionResult MatchesGolden(IDirectDrawSurface4* surface, const std::string& suite,
                                         const std::string& name) {
    platform::PngImage actual;
    if (!platform::ImageFromSurface(surface, &actual)) {
        return ::testing::AssertionFailure() << "not a software surface";
    }
    // References are opaque RGB: what a frame shows does not depend on the target's alpha.
    for (platform::Argb& pixel : actual.pixels) {
        pixel |= 0xFF000000u;
    }
    fs::path reference = ReferencePath(suite, name);
    std::string error;
    if (UpdateRequested()) {
        fs::create_directories(reference.parent_path());
        if (!platform::WritePngFile(reference.string(), actual, false, &error)) {
            return ::testing::AssertionFailure() << error;
        }
        return ::testing::AssertionSuccess() << "rewrote " << reference.string();
    }
    platform::PngImage expected;
    if (!platform::ReadPngFile(reference.string(), &expected, &error)) {
        return ::testing::AssertionFailure()
               << "no reference " << reference.string() << " (" << error
               << "); candidate: " << KeepForReview(name, actual, nullptr);
    }
    platform::PngImage difference;
    std::size_t differing = CountDifferingPixels(actual, expected, &difference);
    if (differing > static_cast<std::size_t>(kGoldenPixelShare * actual.pixels.size())) {
        return ::testing::AssertionFailure()
               << differing << " of " << actual.pixels.size() << " pixels differ from "
               << reference.string() << "; see " << KeepForReview(name, actual, &difference);
    }
    return ::testing::AssertionSuccess();
}

} // namespace testkit
