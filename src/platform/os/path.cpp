#include "platform/os/path.h"

#include "platform/os/last_error.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Longer inputs are refused before any work, so a hostile length costs nothing.
constexpr std::size_t kMaxInputLength = 32767;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasDrive(std::string_view path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':';
}

bool IsHostDrive(std::string_view path) {
    return HasDrive(path) && AsciiLower(path[0]) == 'c';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool CurrentDirectory(std::string& windowsPath) {
    std::error_code error;
    fs::path current = fs::current_path(error);
    if (error) {
        SetLastError(static_cast<DWORD>(error.value()));
        return false;
    }
    windowsPath = platform::HostToWindowsPath(current.string());
    return true;
}

// Gives path a drive and a leading separator: "c:\x", "\x" and "x" become absolute on the
// drive they name, the host drive, or the current directory; "d:x" is taken from the root of
// d:, since only c: has a current directory.
bool MakeAbsolute(std::string_view path, std::string& absolute) {
    if (HasDrive(path) && path.size() > 2 && IsSeparator(path[2])) {
        absolute = path;
    } else if (!path.empty() && IsSeparator(path[0])) {
        absolute = "c:" + std::string(path);
    } else if (HasDrive(path) && !IsHostDrive(path)) {
        absolute = std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2));
    } else {
        if (!CurrentDirectory(absolute)) {
            return false;
        }
        std::string_view rest = HasDrive(path) ? path.substr(2) : path;
        if (!rest.empty()) {
            absolute += '\\';
            absolute += rest;
        }
    }
    return true;
}

// Removes empty, "." and ".." components of an absolute path ("x:" followed by a separator);
// ".." at the root stays at the root. A trailing separator in the input is kept.
std::string Normalise(std::string_view absolute) {
    std::vector<std::string_view> components;
    std::size_t start = 3;
    while (start <= absolute.size()) {
        std::size_t end = start;
        while (end < absolute.size() && !IsSeparator(absolute[end])) {
            ++end;
        }
        std::string_view component = absolute.substr(start, end - start);
        if (component == "..") {
            if (!components.empty()) {
                components.pop_back();
            }
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string full(absolute.substr(0, 2));
    for (std::string_view component : components) {
        full += '\\';
        full += component;
    }
    if (components.empty() || IsSeparator(absolute.back())) {
        full += '\\';
    }
    return full;
}

bool ResolveFullPath(const char* path, std::string& full) {
    if (path == nullptr || path[0] == '\0') {
        SetLastError(EINVAL);
        return false;
    }
    std::size_t length = strnlen(path, kMaxInputLength + 1);
    if (length > kMaxInputLength) {
        SetLastError(ENAMETOOLONG);
        return false;
    }
    std::string absolute;
    if (!MakeAbsolute(std::string_view(path, length), absolute)) {
        return false;
    }
    full = Normalise(absolute);
    return true;
}

// The copy-out convention shared by the path queries: the length without the terminator, or
// the size needed with it when the buffer is too small (buffer untouched).
DWORD CopyOut(const std::string& text, DWORD bufferLength, char* buffer) {
    DWORD needed = static_cast<DWORD>(text.size() + 1);
    if (buffer == nullptr || bufferLength < needed) {
        return needed;
    }
    std::memcpy(buffer, text.c_str(), needed);
    return needed - 1;
}

// The entry of directory that matches name without regard to case; when several do, the one
// that sorts first byte by byte, so the choice never depends on the directory's order.
bool FindEntryIgnoringCase(const std::string& directory, std::string_view name,
                           std::string& match) {
    std::error_code error;
    bool found = false;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        std::string entry = it->path().filename().string();
        if (EqualsIgnoringCase(entry, name) && (!found || entry < match)) {
            match = std::move(entry);
            found = true;
        }
    }
    return found;
}

bool ExistsAsWritten(const std::string& hostPath) {
    std::error_code error;
    return fs::exists(fs::symlink_status(hostPath, error));
}

// Appends each component of a Windows path (after "c:\") to the host root, taking an entry's
// real spelling when the component as written does not exist. Once a component matches
// nothing, the rest can match nothing either and stays as written.
std::string MatchComponents(std::string_view windowsPath) {
    std::string host;
    bool matching = true;
    std::size_t start = 3;
    while (start < windowsPath.size()) {
        std::size_t end = windowsPath.find('\\', start);
        if (end == std::string_view::npos) {
            end = windowsPath.size();
        }
        std::string_view component = windowsPath.substr(start, end - start);
        std::string directory = host.empty() ? "/" : host;
        host += '/';
        host += component;
        std::string spelling;
        if (matching && !ExistsAsWritten(host)) {
            matching = FindEntryIgnoringCase(directory, component, spelling);
            if (matching) {
                host.replace(host.size() - component.size(), component.size(), spelling);
            }
        }
        start = end + 1;
    }
    return host.empty() ? "/" : host;
}

} // namespace

DWORD GetFullPathNameA(const char* path, DWORD bufferLength, char* buffer, char** filePart) {
    if (filePart != nullptr) {
        *filePart = nullptr;
    }
    std::string full;
    if (!ResolveFullPath(path, full)) {
        return 0;
    }
    DWORD result = CopyOut(full, bufferLength, buffer);
    if (result == full.size() && filePart != nullptr && full.back() != '\\') {
        *filePart = buffer + full.rfind('\\') + 1;
    }
    return result;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer) {
    std::string current;
    if (!CurrentDirectory(current)) {
        return 0;
    }
    return CopyOut(current, bufferLength, buffer);
}

namespace platform {

bool MapToHostPath(const char* path, std::string& hostPath) {
    std::string full;
    if (!ResolveFullPath(path, full)) {
        return false;
    }
    if (!IsHostDrive(full)) {
        SetLastError(ENODEV);
        return false;
    }
    std::string asWritten = full.substr(2);
    std::replace(asWritten.begin(), asWritten.end(), '\\', '/');
    if (asWritten.size() >= PATH_MAX) {
        SetLastError(ENAMETOOLONG);
        return false;
    }
    if (ExistsAsWritten(asWritten)) {
        hostPath = std::move(asWritten);
        return true;
    }
    hostPath = MatchComponents(full);
    if (full.size() > 3 && full.back() == '\\') {
        hostPath += '/';
    }
    return true;
}

std::string HostToWindowsPath(const std::string& hostPath) {
    std::string windowsPath =
        (!hostPath.empty() && hostPath[0] == '/') ? "c:" + hostPath : hostPath;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    return windowsPath;
}

} // namespace platform
