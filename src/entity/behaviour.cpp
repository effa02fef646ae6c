#include "entity/entity.h"

#include "engine/debug_log.h"
#include "engine/model_table.h"
#include "platform/os/module.h"
#include "support/memory.h"

#include <cstdio>
#include <cstring>

namespace {

// Entry names are built in a buffer of this size; a longer prefix is refused.
constexpr std::size_t kEntryNameSize = 260;

// Looks up prefix + suffix; null (with name holding the built name, or the prefix when it
// does not fit) when the module lacks it.
FARPROC FindEntry(HMODULE module, const char* prefix, const char* suffix,
                  char (&name)[kEntryNameSize]) {
    int length = std::snprintf(name, sizeof name, "%s%s", prefix, suffix);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof name) {
        return nullptr;
    }
    return GetProcAddress(module, name);
}

// A text field of a record read from a file need not be terminated; the bounded copy is.
template <std::size_t N> bool IsTerminated(const char (&field)[N]) {
    return std::memchr(field, '\0', N) != nullptr;
}

} // namespace

int CBaseEntity::Create(CBaseEntity* creator, DWORD modelIndex, const D3DVECTOR& position,
                        const D3DVECTOR& offset, void* data, DWORD size) {
    if (data == nullptr) {
        DebugLog("CBaseEntity::Create() NULL creation structure! Model index=%d",
                 static_cast<int>(modelIndex));
    }
    // Without a record there is nothing to copy or bind.
    if (modelIndex >= vgGetModelCount()) {
        DebugLog("CBaseEntity::Create() Invalid model index! (%u)", modelIndex);
        return kEntityDeleteMe;
    }
    m_dwModelIndex = modelIndex;
    m_Model = *vgGetModel(modelIndex);
    int bound = BindModule(m_Model);
    if (bound != kEntityContinue) {
        return bound;
    }
    CalculateScale();
    SetWorldPosition(position);
    SetOffsetPosition(offset);
    return m_pfnCreate(this, creator, modelIndex, data, size);
}

int CBaseEntity::BindRestored() {
    if (m_dwModelIndex >= vgGetModelCount()) {
        DebugLog("CBaseEntity::Create() Invalid model index! (%u)", m_dwModelIndex);
        return 0;
    }
    // The module comes from the level's table, not from the record the saved game restored:
    // a saved game is not trusted to name the code that runs.
    if (BindModule(*vgGetModel(m_dwModelIndex)) != kEntityContinue) {
        ReleaseModule();
        return 0;
    }
    return 1;
}

// A module still held (Create called again) is released, so that it is not leaked.
int CBaseEntity::BindModule(const MODEL_INFO& record) {
    ReleaseModule();
    if (!IsTerminated(record.szModulePath) || !IsTerminated(record.szPrefix)) {
        DebugLog("CBaseEntity::Create() Module path or prefix of model '%.31s' is not terminated",
                 record.szTypeName);
        return kEntityDeleteMe;
    }
    m_hModule = LoadLibraryA(record.szModulePath);
    if (m_hModule == nullptr) {
        DebugLog("CBaseEntity::Create() Unable to load library '%s'", record.szModulePath);
        return kEntityDeleteMe;
    }
    char name[kEntryNameSize];
    struct Entry {
        const char* suffix;
        FARPROC* slot;
    };
    const Entry entries[] = {
        {"Create", reinterpret_cast<FARPROC*>(&m_pfnCreate)},
        {"Render", reinterpret_cast<FARPROC*>(&m_pfnRender)},
        {"PerformAI", reinterpret_cast<FARPROC*>(&m_pfnPerformAI)},
        {"Delete", reinterpret_cast<FARPROC*>(&m_pfnDelete)},
    };
    for (const Entry& entry : entries) {
        *entry.slot = FindEntry(m_hModule, record.szPrefix, entry.suffix, name);
        if (*entry.slot == nullptr) {
            DebugLog("CBaseEntity::Create() Unable to find DLL function '%s'", name);
            return kEntityDeleteMe;
        }
    }
    return kEntityContinue;
}

void CBaseEntity::ReleaseModule() {
    m_pfnCreate = nullptr;
    m_pfnRender = nullptr;
    m_pfnPerformAI = nullptr;
    m_pfnDelete = nullptr;
    if (m_hModule != nullptr) {
        FreeLibrary(m_hModule);
        m_hModule = nullptr;
    }
}

int CBaseEntity::PerformAI() {
    return m_pfnPerformAI != nullptr ? m_pfnPerformAI(this) : kEntityContinue;
}

int CBaseEntity::Render() {
    return m_pfnRender != nullptr ? m_pfnRender(this) : kEntityNothingToDraw;
}

int CBaseEntity::Delete() {
    if (m_pfnDelete == nullptr) {
        return kEntityContinue;
    }
    ENTITY_HOOK hook = m_pfnDelete;
    m_pfnDelete = nullptr;
    int result = hook(this);
    return result == kEntityDeleteMe ? kEntityContinue : result;
}

int CBaseEntity::AllocateLocalData(DWORD size) {
    if (m_pLocalData != nullptr) {
        DebugLog("CBaseEntity::AllocateLocalData() Buffer already allocated!");
        DestroyLocalData();
    }
    m_pLocalData = CMemory::Allocate(size, 0);
    if (m_pLocalData == nullptr) {
        DebugLog("CBaseEntity::AllocateLocalData() Failed to allocate %d bytes!",
                 static_cast<int>(size));
        return 0;
    }
    m_dwLocalDataSize = size;
    std::memset(m_pLocalData, 0, size);
    return 1;
}

void CBaseEntity::DestroyLocalData() {
    if (m_pLocalData != nullptr) {
        CMemory::Deallocate(m_pLocalData);
        m_pLocalData = nullptr;
    }
    m_dwLocalDataSize = 0;
}
