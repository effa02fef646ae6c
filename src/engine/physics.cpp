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
    WalkEntityAnswers(
        list, [](CBaseEntity* entity) { return entity->PerformAI(); },
        [&](CBaseEntity* entity, int answer) {
            if (answer != kEntityContinue) {
                DebugLog(unexpectedResultMessage, entity->m_Model.szTypeName, answer);
            } else if (entity->m_Children.GetCount() != 0) {
                // Most entities are leaves: their empty list needs no walk.
                vgPerformChildPhysics(entity);
            }
        });
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
