// A sample behaviour module: drones that circle their start point. Each drone keeps its state
// in the entity's local data (so a saved game keeps it), moves on every PerformAI, asks to be
// drawn on every Render, and launches one scout child when created with a launch order.

#include "drone_orders.h"
#include "engine/debug_log.h"
#include "engine/engine.h"
#include "entity/entity.h"

#include <cmath>

#define DRONE_ENTRY extern "C" __attribute__((visibility("default")))

namespace {

struct DroneState {
    D3DVECTOR centre;
    float radius;
    float angle;
    float turnRate;
    int steps;
};

DroneState* StateOf(CBaseEntity* entity) {
    return static_cast<DroneState*>(entity->m_pLocalData);
}

} // namespace

DRONE_ENTRY int DroneCreate(CBaseEntity* entity, CBaseEntity* creator, DWORD, void* data,
                            DWORD size) {
    if (!entity->AllocateLocalData(sizeof(DroneState))) {
        return 1; // the host deletes an entity whose Create failed
    }
    DroneState* state = StateOf(entity);
    state->centre = entity->GetWorldPosition();
    state->radius = 1.0f;
    state->turnRate = 1.0f;
    if (data != nullptr && size == sizeof(DroneOrders)) {
        const auto* orders = static_cast<const DroneOrders*>(data);
        state->radius = orders->radius;
        state->turnRate = orders->turnRate;
        if (orders->launchScout) {
            CBaseEntity* scout = vgSpawnChildEntity(entity);
            DroneOrders scoutOrders{orders->radius * 0.5f, orders->turnRate * 2.0f, 0};
            D3DVECTOR origin(0.0f);
            if (scout != nullptr && scout->Create(entity, entity->m_dwModelIndex, origin, origin,
                                                  &scoutOrders, sizeof scoutOrders) != 0) {
                vgDeleteEntity(scout);
            }
        }
    }
    DebugLog("drone %u: created by %u, circling at radius %.2f", entity->m_dwID,
             creator != nullptr ? creator->m_dwID : 0u, state->radius);
    return 0;
}

DRONE_ENTRY int DronePerformAI(CBaseEntity* entity) {
    DroneState* state = StateOf(entity);
    state->angle += state->turnRate * vgGetDeltaPhysicsFTime();
    ++state->steps;
    D3DVECTOR offset(state->radius * std::cos(state->angle), 0.0f,
                     state->radius * std::sin(state->angle));
    entity->SetOffsetPosition(offset);
    entity->SetLocalRotation(RotateYMatrix(-state->angle));
    return 0;
}

DRONE_ENTRY int DroneRender(CBaseEntity*) {
    return 0;
}

DRONE_ENTRY int DroneDelete(CBaseEntity* entity) {
    DroneState* state = StateOf(entity);
    DebugLog("drone %u: deleted after %d steps", entity->m_dwID,
             state != nullptr ? state->steps : 0);
    return 0;
}
