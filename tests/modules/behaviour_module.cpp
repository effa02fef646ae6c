// A behaviour module for the tests, built once per variant (velcore_add_test_module). Every
// entry writes one debug line naming itself and the entity, so tests can follow the call
// order; PerformAI and Render return what the entity's user data words 0 and 1 ask for, and
// PerformAI deletes the entity whose identifier is in user data word 2 (none while it is -1).
// Switches: MODULE_PREFIX (entry-name prefix, may be empty), MODULE_CREATE_RESULT,
// MODULE_DELETE_RESULT, MODULE_WITHOUT_DELETE (no Delete entry), MODULE_SPAWNS_CHILD.

#include "engine/debug_log.h"
#include "engine/registry.h"
#include "entity/entity.h"

#define MODULE_ENTRY_JOIN(prefix, name) prefix##name
#define MODULE_ENTRY_NAME(prefix, name) MODULE_ENTRY_JOIN(prefix, name)
#define MODULE_ENTRY(name) MODULE_ENTRY_NAME(MODULE_PREFIX, name)
#define MODULE_EXPORT extern "C" __attribute__((visibility("default")))

#ifndef MODULE_CREATE_RESULT
#define MODULE_CREATE_RESULT 0
#endif
#ifndef MODULE_DELETE_RESULT
#define MODULE_DELETE_RESULT 0
#endif

namespace {

const char* Name(CBaseEntity* entity) {
    return entity->m_Model.szTypeName;
}

} // namespace

MODULE_EXPORT int MODULE_ENTRY(Create)(CBaseEntity* entity, CBaseEntity* creator, DWORD modelIndex,
                                       void* data, DWORD size) {
    DebugLog("module %s: Create %u creator=%u model=%u data=%s size=%u", Name(entity),
             entity->m_dwID, creator != nullptr ? creator->m_dwID : 0u, modelIndex,
             data != nullptr ? "yes" : "no", size);
    // Per-entity state lives in the local data, where a saved game keeps it.
    entity->AllocateLocalData(sizeof(int));
#ifdef MODULE_SPAWNS_CHILD
    CBaseEntity* child = vgSpawnChildEntity(entity);
    DebugLog("module %s: spawned child %u", Name(entity), child != nullptr ? child->m_dwID : 0u);
#endif
    return MODULE_CREATE_RESULT;
}

MODULE_EXPORT int MODULE_ENTRY(PerformAI)(CBaseEntity* entity) {
    ++*static_cast<int*>(entity->m_pLocalData);
    DebugLog("module %s: PerformAI %u", Name(entity), entity->m_dwID);
    // Read before a deletion that may take the entity itself.
    int result = static_cast<int>(entity->m_dwUserData0);
    if (entity->m_nUserData2 >= 0) {
        vgDeleteEntity(vgFindEntity(static_cast<DWORD>(entity->m_nUserData2)));
    }
    return result;
}

MODULE_EXPORT int MODULE_ENTRY(Render)(CBaseEntity* entity) {
    DebugLog("module %s: Render %u", Name(entity), entity->m_dwID);
    return static_cast<int>(entity->m_dwUserData1);
}

#ifndef MODULE_WITHOUT_DELETE
MODULE_EXPORT int MODULE_ENTRY(Delete)(CBaseEntity* entity) {
    DebugLog("module %s: Delete %u", Name(entity), entity->m_dwID);
    return MODULE_DELETE_RESULT;
}
#endif
