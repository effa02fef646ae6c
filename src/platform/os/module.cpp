#include "platform/os/module.h"

#include "platform/os/last_error.h"
#include "platform/os/path.h"

#include <cerrno>
#include <dlfcn.h>
#include <string>

namespace {

thread_local std::string t_moduleError;

void RememberLoaderError() {
    const char* text = dlerror();
    t_moduleError = text != nullptr ? text : "";
    SetLastError(ENOENT);
}

} // namespace

HMODULE LoadLibraryA(const char* path) {
    std::string hostPath;
    if (path == nullptr || !platform::MapToHostPath(path, hostPath)) {
        t_moduleError = "cannot map module path";
        return nullptr;
    }
    void* module = dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        RememberLoaderError();
    }
    return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
    if (module == nullptr || name == nullptr) {
        SetLastError(EINVAL);
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(module, name);
    if (symbol == nullptr) {
        RememberLoaderError();
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr || dlclose(module) != 0) {
        SetLastError(EINVAL);
        return FALSE;
    }
    return TRUE;
}

const char* GetModuleErrorText() {
    return t_moduleError.c_str();
}
