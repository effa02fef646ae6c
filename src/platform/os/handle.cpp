#include "platform/os/handle.h"

#include "platform/os/last_error.h"

#include <cerrno>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<HANDLE, std::unique_ptr<KernelObject>> objects;
};

// Never destroyed: handles may still be closed by static destructors at unload.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

HANDLE RegisterHandle(std::unique_ptr<KernelObject> object) {
    HANDLE handle = object.get();
    std::lock_guard<std::mutex> guard(Table().lock);
    Table().objects.emplace(handle, std::move(object));
    return handle;
}

KernelObject* LookupHandle(HANDLE handle) {
    std::lock_guard<std::mutex> guard(Table().lock);
    auto it = Table().objects.find(handle);
    if (it == Table().objects.end()) {
        SetLastError(EBADF);
        return nullptr;
    }
    return it->second.get();
}

void ReportWrongHandleKind() {
    SetLastError(EBADF);
}

} // namespace platform

BOOL CloseHandle(HANDLE handle) {
    std::unique_ptr<platform::KernelObject> object;
    {
        auto& table = platform::Table();
        std::lock_guard<std::mutex> guard(table.lock);
        auto it = table.objects.find(handle);
        if (it == table.objects.end()) {
            SetLastError(EBADF);
            return FALSE;
        }
        object = std::move(it->second);
        table.objects.erase(it);
    }
    return TRUE; // the object is destroyed outside the lock
}
