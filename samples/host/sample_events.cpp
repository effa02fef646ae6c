#include "sample_events.h"

#include "engine/engine.h"
#include "engine/registry.h"
#include "engine/world.h"
#include "entity/entity.h"
#include "event/event_manager.h"
#include "modules/drone_orders.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"
#include "support/memory.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr DWORD kDroneModel = 0;
constexpr float kWorldSize = 256.0f;
constexpr float kPlayerStartX = -100.0f;
constexpr float kPlayerStep = 10.0f;
constexpr int kCalls = 5;

tagGAME_TRIGGER DroneTrigger(DWORD type, const D3DVECTOR& position) {
    tagGAME_TRIGGER trigger;
    std::memset(&trigger, 0, sizeof trigger);
    trigger.dwType = type;
    trigger.vPosition = position;
    trigger.vSpawnOffset = D3DVECTOR(0.0f, 5.0f, 0.0f);
    trigger.dwModelIndex = kDroneModel;
    return trigger;
}

// Files the trigger in the quadrant of its position, with its own copy of the orders.
bool AddTrigger(CVelEvent& events, tagGAME_TRIGGER trigger, const DroneOrders& orders) {
    trigger.dwCreateBlockSize = sizeof orders;
    trigger.pCreateBlock = CMemory::Allocate(sizeof orders, 0);
    if (trigger.pCreateBlock == nullptr) {
        return false;
    }
    std::memcpy(trigger.pCreateBlock, &orders, sizeof orders);
    if (!events.GetTriggerList(vgGetQuadrant(&trigger.vPosition))->AddTail(trigger)) {
        CMemory::Deallocate(trigger.pCreateBlock);
        return false;
    }
    return true;
}

// Three triggers, each firing on a different call of the walk below.
bool BuildTable(CVelEvent& events) {
    // Timed, due at physics time 0: fires on the first call.
    tagGAME_TRIGGER timed = DroneTrigger(kTriggerAbsolute, D3DVECTOR(0.0f, 0.0f, 0.0f));
    // Anywhere in the player's starting quadrant: armed on the first call, fired on the next.
    tagGAME_TRIGGER armed = DroneTrigger(kTriggerProximityDelayed, D3DVECTOR(-100, 0, 20));
    // Within 10 units of a point the player reaches on the last call; the drone it spawns
    // takes identifier 7.
    tagGAME_TRIGGER nearby = DroneTrigger(kTriggerProximity, D3DVECTOR(-60.0f, 0.0f, 0.0f));
    nearby.bUseRadius = TRUE;
    nearby.fRadius = 10.0f;
    nearby.dwEntityId = 7;
    return AddTrigger(events, timed, {3.0f, 0.25f, 0}) &&
           AddTrigger(events, armed, {2.0f, 0.5f, 1}) &&
           AddTrigger(events, nearby, {1.0f, 1.0f, 0});
}

void PrintQuadrants(CVelEvent& events) {
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        DWORD count = events.GetTriggerList(quadrant)->GetCount();
        if (count != 0) {
            std::printf("    quadrant %u: %u trigger(s)\n", quadrant, count);
        }
    }
}

std::string ScratchSectionPath() {
    std::random_device random;
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("velcore-host-events-" + std::to_string(random()) + ".evt");
    return path.string();
}

int SaveSection(CVelEvent& events, const std::string& enginePath) {
    HANDLE file = CreateFileA(enginePath.c_str(), GENERIC_WRITE, 0, CREATE_ALWAYS);
    int result = events.Save(file);
    CloseHandle(file);
    return result;
}

// Level loaders pass 0: timed triggers go to the absolute list.
int LoadSection(CVelEvent& events, const std::string& enginePath) {
    HANDLE file = CreateFileA(enginePath.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    int result = events.Load(file, 0);
    CloseHandle(file);
    return result;
}

bool SaveAndReload(CVelEvent& events) {
    std::string hostPath = ScratchSectionPath();
    std::string enginePath = platform::HostToWindowsPath(hostPath);
    int saved = SaveSection(events, enginePath);
    std::error_code ignored;
    std::uintmax_t bytes = std::filesystem::file_size(hostPath, ignored);
    int loaded = saved == 0 ? LoadSection(events, enginePath) : saved;
    std::filesystem::remove(hostPath, ignored);
    std::printf("  Save() = %d (%ju bytes), Load() = %d\n", saved, bytes, loaded);
    return saved == 0 && loaded == 0;
}

void PrintEntitiesFrom(DWORD first) {
    CLinkedList<CBaseEntity*>& list = *vgGetEntityList();
    list.Lock();
    DWORD index = 0;
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr; ++index) {
        CBaseEntity* entity = list.GetNext(position);
        if (index >= first) {
            D3DVECTOR at = entity->GetPosition();
            std::printf("    spawned %s %u at (%6.2f, %6.2f, %6.2f)\n", entity->m_Model.szTypeName,
                        entity->m_dwID, at.x, at.y, at.z);
        }
    }
    list.Unlock();
}

// One ProcessEvents per step, as the physics tick makes it with the entity whose identifier
// is 1. The physics clock only moves with the tick, so only zero delays are used.
bool WalkPlayer(CVelEvent& events) {
    CBaseEntity* player = vgSpawnParentEntity();
    if (player == nullptr) {
        return false;
    }
    player->m_dwID = 1;
    for (int call = 1; call <= kCalls; ++call) {
        D3DVECTOR at(kPlayerStartX + kPlayerStep * (call - 1), 0.0f, 0.0f);
        player->SetWorldPosition(at);
        std::printf("  call %d: physics time %.2f s, player at x = %.0f in quadrant %u\n", call,
                    vgGetCurrentPhysicsFTime(), at.x, vgGetQuadrant(&at));
        DWORD entitiesBefore = vgGetEntityList()->GetCount();
        events.ProcessEvents(vgFindEntity(1));
        PrintEntitiesFrom(entitiesBefore);
    }
    return true;
}

} // namespace

bool RunSampleEvents() {
    if (vgGetModelCount() == 0) {
        std::printf("  no model table is loaded: the triggers would have nothing to spawn\n");
        return false;
    }
    vgInitialiseWorldSize(kWorldSize);
    std::printf("  a second event manager for the demo (the engine warns about it):\n");
    CVelEvent events;
    if (!BuildTable(events)) {
        std::printf("  the trigger table could not be built\n");
        return false;
    }
    std::printf("  built, filed by the quadrant of each trigger's position:\n");
    PrintQuadrants(events);
    if (!SaveAndReload(events)) {
        return false;
    }
    std::printf("  loaded back (the timed trigger now waits in the absolute list):\n");
    PrintQuadrants(events);
    if (!WalkPlayer(events)) {
        return false;
    }
    std::printf("  %u top-level entities; the engine's reset deletes them\n",
                vgGetEntityList()->GetCount());
    return true;
}
