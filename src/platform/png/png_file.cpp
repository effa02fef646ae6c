#include "platform/png/png_file.h"

#include "platform/ddraw/software/software_ddraw.h"

#include <png.h>

#include <cstdio>
#include <memory>

namespace platform {
namespace {

// png_image keeps libpng's state between begin and finish; this frees it on every path.
struct PngImageScope {
    png_image image{};
    PngImageScope() { image.version = PNG_IMAGE_VERSION; }
    ~PngImageScope() { png_image_free(&image); }
};

bool Refuse(std::string* error, const std::string& reason) {
    if (error != nullptr) {
        *error = reason;
    }
    return false;
}

bool TooLarge(png_uint_32 width, png_uint_32 height) {
    return width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide ||
           std::size_t{width} * height > kMaxPngPixels;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

} // namespace

bool DecodePng(const BYTE* data, std::size_t size, PngImage* image, std::string* error) {
    PngImageScope scope;
    if (png_image_begin_read_from_memory(&scope.image, data, size) == 0) {
        return Refuse(error, std::string("not a PNG image: ") + scope.image.message);
    }
    if (TooLarge(scope.image.width, scope.image.height)) {
        return Refuse(error, "PNG image of " + std::to_string(scope.image.width) + " x " +
                                 std::to_string(scope.image.height) + " is too large");
    }
    // BGRA bytes are 0xAARRGGBB words on a little-endian host.
    scope.image.format = PNG_FORMAT_BGRA;
    std::vector<Argb> pixels(std::size_t{scope.image.width} * scope.image.height);
    if (png_image_finish_read(&scope.image, nullptr, pixels.data(), 0, nullptr) == 0) {
        return Refuse(error, std::string("corrupt PNG image: ") + scope.image.message);
    }
    image->width = static_cast<LONG>(scope.image.width);
    image->height = static_cast<LONG>(scope.image.height);
    image->pixels = std::move(pixels);
    return true;
}

bool ReadPngFile(const std::string& path, PngImage* image, std::string* error) {
    File file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        return Refuse(error, "cannot open " + path);
    }
    std::vector<BYTE> bytes;
    BYTE chunk[65536];
    while (std::size_t count = std::fread(chunk, 1, sizeof(chunk), file.get())) {
        if (bytes.size() + count > kMaxPngFileBytes) {
            return Refuse(error, path + " is too large");
        }
        bytes.insert(bytes.end(), chunk, chunk + count);
    }
    return DecodePng(bytes.data(), bytes.size(), image, error);
}

bool EncodePng(const PngImage& image, bool withAlpha, std::vector<BYTE>* bytes,
               std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != std::size_t(image.width) * std::size_t(image.height)) {
        return Refuse(error, "image size does not match its pixels");
    }
    std::vector<BYTE> rows;
    const void* source = image.pixels.data();
    if (!withAlpha) {
        rows.reserve(image.pixels.size() * 3);
        for (Argb pixel : image.pixels) {
            rows.insert(rows.end(), {static_cast<BYTE>(pixel), static_cast<BYTE>(pixel >> 8),
                                     static_cast<BYTE>(pixel >> 16)});
        }
        source = rows.data();
    }
    PngImageScope scope;
    scope.image.width = static_cast<png_uint_32>(image.width);
    scope.image.height = static_cast<png_uint_32>(image.height);
    scope.image.format = withAlpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
    png_alloc_size_t size = 0;
    if (png_image_write_get_memory_size(scope.image, size, 0, source, 0, nullptr) == 0) {
        return Refuse(error, std::string("PNG encoding failed: ") + scope.image.message);
    }
    bytes->resize(size);
    if (png_image_write_to_memory(&scope.image, bytes->data(), &size, 0, source, 0, nullptr) == 0) {
        return Refuse(error, std::string("PNG encoding failed: ") + scope.image.message);
    }
    bytes->resize(size);
    return true;
}

bool WritePngFile(const std::string& path, const PngImage& image, bool withAlpha,
                  std::string* error) {
    std::vector<BYTE> bytes;
    if (!EncodePng(image, withAlpha, &bytes, error)) {
        return false;
    }
    File file(std::fopen(path.c_str(), "wb"));
    if (file == nullptr || std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        return Refuse(error, "cannot write " + path);
    }
    return true;
}

bool ImageFromSurface(IDirectDrawSurface4* surface, PngImage* image) {
    SoftwareSurface* own = SoftwareSurface::From(surface);
    if (own == nullptr) {
        return false;
    }
    PixelView view = own->View();
    image->width = view.width;
    image->height = view.height;
    image->pixels.assign(std::size_t(view.width) * std::size_t(view.height), 0);
    PixelView target{.bits = reinterpret_cast<BYTE*>(image->pixels.data()),
                     .pitch = view.width * 4,
                     .width = view.width,
                     .height = view.height,
                     .layout = LayoutOf(Argb8888Format())};
    ConvertBlock(view, 0, 0, target, 0, 0, view.width, view.height);
    return true;
}

bool WriteSurfacePng(IDirectDrawSurface4* surface, const std::string& path, std::string* error) {
    PngImage image;
    if (!ImageFromSurface(surface, &image)) {
        return Refuse(error, "not a software surface");
    }
    return WritePngFile(path, image, false, error);
}

} // namespace platform
