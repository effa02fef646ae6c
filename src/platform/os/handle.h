#pragma once

#include "platform/export.h"
#include "platform/types.h"

#include <memory>

// Kernel objects (files, events) live behind opaque handles. A registry of live handles lets
// CloseHandle and the other calls refuse a stale or foreign handle instead of touching freed
// memory.
namespace platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
};

// Takes ownership; returns the new handle.
HANDLE RegisterHandle(std::unique_ptr<KernelObject> object);

// The live object behind the handle, or null (last error EBADF) when the handle is not live.
KernelObject* LookupHandle(HANDLE handle);

// Sets the last error for a live handle of the wrong kind (an event given to ReadFile).
void ReportWrongHandleKind();

template <class T> T* LookupHandleAs(HANDLE handle) {
    KernelObject* object = LookupHandle(handle);
    if (object == nullptr) {
        return nullptr;
    }
    T* typed = dynamic_cast<T*>(object);
    if (typed == nullptr) {
        ReportWrongHandleKind();
    }
    return typed;
}

} // namespace platform

// Destroys the object behind any handle this layer gave out.
VELCORE_API BOOL CloseHandle(HANDLE handle);
