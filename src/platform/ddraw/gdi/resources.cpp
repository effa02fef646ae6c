// The host executable's bitmap resources: a registry of named packed bitmaps that the host
// fills. A resource handle is the registry entry; it goes stale when the entry is removed or
// replaced, and the bytes handed out by LoadResource stay valid until then.

#include "platform/ddraw/gdi/resources.h"
#include "platform/os/last_error.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct HRSRC__ {
    std::string name; // lower case
    std::vector<BYTE> bytes;
};

namespace {

// Stands for the host executable; only its address matters.
const char g_hostModule = 0;

std::mutex g_mutex;
std::vector<std::unique_ptr<HRSRC__>> g_resources;

} // namespace

std::string platform::ResourceKey(const char* name) {
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value < 0x10000) {
        return "#" + std::to_string(value);
    }
    std::string key(name);
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

namespace {

// Call with the lock held.
auto FindEntry(const std::string& key) {
    auto it = g_resources.begin();
    while (it != g_resources.end() && (*it)->name != key) {
        ++it;
    }
    return it;
}

bool IsLive(HRSRC resource) {
    for (const auto& entry : g_resources) {
        if (entry.get() == resource) {
            return true;
        }
    }
    return false;
}

bool IsHostModule(HMODULE module) {
    return module == nullptr || module == &g_hostModule;
}

} // namespace

HMODULE GetModuleHandleA(const char* name) {
    if (name != nullptr) {
        SetLastError(ENOENT);
        return nullptr;
    }
    return const_cast<char*>(&g_hostModule);
}

HRSRC FindResourceA(HMODULE module, const char* name, const char* type) {
    if (!IsHostModule(module) || name == nullptr || type != RT_BITMAP) {
        SetLastError(ENOENT);
        return nullptr;
    }
    const std::string key = platform::ResourceKey(name);
    std::lock_guard lock(g_mutex);
    const auto it = FindEntry(key);
    if (it == g_resources.end()) {
        SetLastError(ENOENT);
        return nullptr;
    }
    return it->get();
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    std::lock_guard lock(g_mutex);
    if (!IsHostModule(module) || !IsLive(resource)) {
        SetLastError(EBADF);
        return nullptr;
    }
    return resource->bytes.data();
}

void* LockResource(HGLOBAL resource) {
    return resource;
}

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    std::lock_guard lock(g_mutex);
    if (!IsHostModule(module) || !IsLive(resource)) {
        SetLastError(EBADF);
        return 0;
    }
    return static_cast<DWORD>(resource->bytes.size());
}

namespace platform {

void AddBitmapResource(const char* name, const void* packedBitmap, std::size_t size) {
    const auto* bytes = static_cast<const BYTE*>(packedBitmap);
    auto entry = std::make_unique<HRSRC__>(HRSRC__{ResourceKey(name), {bytes, bytes + size}});
    std::lock_guard lock(g_mutex);
    const auto it = FindEntry(entry->name);
    if (it != g_resources.end()) {
        g_resources.erase(it);
    }
    g_resources.push_back(std::move(entry));
}

bool AddBitmapResourceFromFile(const char* name, const void* fileImage, std::size_t size) {
    constexpr std::size_t kFileHeaderSize = sizeof(BITMAPFILEHEADER);
    const auto* bytes = static_cast<const BYTE*>(fileImage);
    if (size < kFileHeaderSize || bytes[0] != 'B' || bytes[1] != 'M') {
        return false;
    }
    AddBitmapResource(name, bytes + kFileHeaderSize, size - kFileHeaderSize);
    return true;
}

void RemoveBitmapResource(const char* name) {
    const std::string key = ResourceKey(name);
    std::lock_guard lock(g_mutex);
    const auto it = FindEntry(key);
    if (it != g_resources.end()) {
        g_resources.erase(it);
    }
}

void ClearBitmapResources() {
    std::lock_guard lock(g_mutex);
    g_resources.clear();
}

} // namespace platform
