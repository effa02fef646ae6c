#include "platform/ddraw/gdi/load_image.h"

#include "platform/ddraw/gdi/bmp_reader.h"
#include "platform/ddraw/gdi/resources.h"
#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"

#include <cerrno>
#include <string>
#include <vector>

namespace platform {
namespace {

// Files are read whole. None larger can hold an image within the reader's limits:
// run-length data takes at most about twice the bytes of the pixels it encodes.
constexpr std::uint64_t kMaxFileBytes = 2 * kBmpMaxPixelBytes + (std::uint64_t{1} << 20);

std::string Label(const char* name, UINT flags) {
    return (flags & LR_LOADFROMFILE) != 0 ? "'" + std::string(name) + "'"
                                          : "resource '" + ResourceKey(name) + "'";
}

std::unique_ptr<DibSection> Refuse(const std::string& label, const char* reason) {
    OutputDebugStringA(("LoadImageA() " + label + " refused: " + reason + "\n").c_str());
    SetLastError(EINVAL);
    return nullptr;
}

const char* ReadWholeFile(HANDLE file, std::vector<BYTE>& bytes) {
    const DWORD size = GetFileSize(file);
    if (size == INVALID_FILE_SIZE || size > kMaxFileBytes) {
        return "file larger than any image the reader accepts";
    }
    bytes.resize(size);
    DWORD read = 0;
    if (ReadFile(file, bytes.data(), size, &read) == FALSE || read != size) {
        return "file could not be read whole";
    }
    return nullptr;
}

std::unique_ptr<DibSection> LoadFromFile(const char* name) {
    const HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    std::vector<BYTE> bytes;
    auto bitmap = std::make_unique<DibSection>();
    const char* error = ReadWholeFile(file, bytes);
    CloseHandle(file);
    error = error != nullptr ? error : ReadBmpFile(bytes, *bitmap);
    return error != nullptr ? Refuse(Label(name, LR_LOADFROMFILE), error) : std::move(bitmap);
}

std::unique_ptr<DibSection> LoadFromResource(HINSTANCE instance, const char* name) {
    // Without a module there are no resources to search.
    const HRSRC resource = instance != nullptr ? FindResourceA(instance, name, RT_BITMAP) : nullptr;
    if (resource == nullptr) {
        SetLastError(ENOENT);
        return nullptr;
    }
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(instance, resource)));
    if (bytes == nullptr) {
        return nullptr;
    }
    auto bitmap = std::make_unique<DibSection>();
    const char* error = ReadPackedDib({bytes, SizeofResource(instance, resource)}, *bitmap);
    return error != nullptr ? Refuse(Label(name, 0), error) : std::move(bitmap);
}

} // namespace

std::unique_ptr<DibSection> LoadBitmapImage(HINSTANCE instance, const char* name, UINT type,
                                            int width, int height, UINT flags) {
    if (type != IMAGE_BITMAP || name == nullptr || width < 0 || height < 0) {
        SetLastError(EINVAL);
        return nullptr;
    }
    auto bitmap =
        (flags & LR_LOADFROMFILE) != 0 ? LoadFromFile(name) : LoadFromResource(instance, name);
    if (bitmap == nullptr ||
        ((width == 0 || width == bitmap->width) && (height == 0 || height == bitmap->height))) {
        return bitmap;
    }
    const char* error = nullptr;
    auto stretched = StretchBitmap(*bitmap, width != 0 ? width : bitmap->width,
                                   height != 0 ? height : bitmap->height, error);
    return stretched != nullptr ? std::move(stretched) : Refuse(Label(name, flags), error);
}

std::unique_ptr<DibSection> StretchBitmap(const DibSection& source, LONG width, LONG height,
                                          const char*& error) {
    auto target = std::make_unique<DibSection>();
    error = ShapeBitmap(*target, width, height, source.layout);
    if (error != nullptr) {
        return nullptr;
    }
    target->colours = source.colours;
    // Raw values move unchanged, so neither view needs the colour table.
    const PixelView from{const_cast<BYTE*>(source.bits.data()), source.pitch, source.width,
                         source.height, source.layout};
    const PixelView to{target->bits.data(), target->pitch, width, height, target->layout};
    for (LONG y = 0; y < height; ++y) {
        const auto sourceY = static_cast<LONG>(std::int64_t{y} * source.height / height);
        for (LONG x = 0; x < width; ++x) {
            const auto sourceX = static_cast<LONG>(std::int64_t{x} * source.width / width);
            WritePixel(to, x, y, ReadPixel(from, sourceX, sourceY));
        }
    }
    return target;
}

} // namespace platform
