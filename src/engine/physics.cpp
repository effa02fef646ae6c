#include "engine/physics.h"

#include "engine/debug_log.h"
#include "engine/entity_walk.h"
#include "engine/globals.h"
#include "engine/registry.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "event/event_manager.h"

namespace {

// One PerformAI per entity of the list, each followed by its subtree. An entity deleted
// while it is being processed (by its own module or by another) is skipped from then on.
void PerformListPhysics(CLinkedList<CBaseEntity*>& list, const char* unexpectedResultMessage) {
    CEntityWalk walk(list);
    while (CBaseEntity* entity = walk.Next()) {
        int result = entity->PerformAI();
        if (!walk.CurrentAlive()) {
            continue;
        }
        if (result == kEntityContinue) {
            // Most entities are leaves: their empty list needs no walk.
            if (entity->m_Children.GetCount() != 0) {
                vgPerformChildPhysics(entity);
            }
        } else if (result == kEntityDeleteMe) {
            walk.RemoveCurrent();
            vgDeleteEntity(entity);
        } else {
            DebugLog(unexpectedResultMessage, entity->m_Model.szTypeName, result);
        }
    }
}

} // namespace

void vgPerformChildPhysics(CBaseEntity* parent) {
    PerformListPhysics(
        parent->m_Children,
        "VelEng::vgPerformChildPhysics() Entity '%s' returned %d from PerformAI hook");
}

extern "C" int vgGamePhysicsTick() {
    if (g_engine.bGamePaused || !g_engine.bEnabled) {
        return 1;
    }
    UpdateClock(PhysicsClock());
    g_eventManager.ProcessEvents(vgFindEntity(1));
    PerformListPhysics(
        g_entityList,
        "VelEng::vgGamePhysicsTick() Entity '%s' returned %d from performAI function.");
    return 1;
}
