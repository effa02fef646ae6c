#include "support/path_utils.h"

#include "platform/os/debug_output.h"
#include "platform/os/path.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

namespace {

void LowerCase(char* text) {
    for (; *text != '\0'; ++text) {
        if (*text >= 'A' && *text <= 'Z') {
            *text = static_cast<char>(*text - 'A' + 'a');
        }
    }
}

// The length of the leading directories that a and b share: their common run of characters
// cut back to just after its last backslash, so a shared partial name ("games" in "games\"
// and "gamesx\") never counts.
std::size_t SharedDirectoryLength(std::string_view a, std::string_view b) {
    auto difference = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first;
    std::size_t slash = a.substr(0, difference - a.begin()).rfind('\\');
    return slash == std::string_view::npos ? 0 : slash + 1;
}

} // namespace

int MakeBaseDirectory(char* base, const char* file) {
    // The resolver leaves base untouched unless the whole full path fits.
    DWORD length = GetFullPathNameA(file, kPathBufferSize, base, nullptr);
    if (length == 0 || length >= kPathBufferSize) {
        return -1;
    }
    // A resolved path always starts with "x:\", so there is a backslash to cut after.
    std::strrchr(base, '\\')[1] = '\0';
    LowerCase(base);
    return 0;
}

int MakeFullPath(const char* base, char* path) {
    if (path[0] == '\0' || (std::strlen(path) > 2 && path[1] == ':')) {
        return 0;
    }
    std::string joined = std::string(base) + path;
    DWORD length = joined.size() < kPathBufferSize
                       ? GetFullPathNameA(joined.c_str(), kFullPathLimit, path, nullptr)
                       : 0;
    if (length == 0 || length >= kFullPathLimit) {
        OutputDebugStringA((joined + "\r\n").c_str());
        return -2;
    }
    LowerCase(path);
    return 0;
}

int MakeRelativePath(const char* base, char* path) {
    LowerCase(path);
    if (std::strncmp(base, path, 2) != 0) {
        return -1;
    }
    const char* pathSlash = std::strrchr(path, '\\');
    if (pathSlash == nullptr) {
        return -2;
    }
    const char* baseSlash = std::strrchr(base, '\\');
    if (baseSlash == nullptr) {
        return -3;
    }
    std::string_view directory(path, pathSlash + 1 - path);
    std::string_view baseDirectory(base, baseSlash + 1 - base);
    std::size_t shared = SharedDirectoryLength(baseDirectory, directory);

    // One step up for every base directory below the shared ones, then down to the file.
    std::string_view baseRest = baseDirectory.substr(shared);
    std::string relative;
    for (auto steps = std::count(baseRest.begin(), baseRest.end(), '\\'); steps > 0; --steps) {
        relative += "..\\";
    }
    relative += directory.substr(shared);
    relative += pathSlash + 1;
    if (relative.size() >= static_cast<std::size_t>(kPathBufferSize)) {
        return kRelativePathTooLong;
    }
    std::memcpy(path, relative.c_str(), relative.size() + 1);
    return 0;
}
