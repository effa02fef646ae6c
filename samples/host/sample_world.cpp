#include "sample_world.h"

#include "engine/engine.h"
#include "engine/level_records.h"
#include "entity/entity.h"
#include "modules/drone_orders.h"
#include "platform/os/path.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::filesystem::path WriteModelTable(const std::string& modulePath) {
    std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("velcore-host-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);

    MODEL_INFO drone{};
    std::strcpy(drone.szTypeName, "drone");
    std::strcpy(drone.szPrefix, "Drone");
    std::snprintf(drone.szModulePath, sizeof drone.szModulePath, "%s",
                  platform::HostToWindowsPath(modulePath).c_str());
    drone.dwTextureOverride = kNoTextureOverride;
    drone.bUniformScale = 1;
    drone.fUniformScale = 1.0f;
    ELEMENT_TABLE_HEADER header{};
    header.dwTableId = kModelTableId;
    header.dwCount = 1;

    std::filesystem::path table = directory / "models.mlf";
    std::ofstream out(table, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&header), sizeof header);
    out.write(reinterpret_cast<const char*>(&drone), sizeof drone);
    return table;
}

void PrintTree(CLinkedList<CBaseEntity*>& list, int depth) {
    list.Lock();
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
        CBaseEntity* entity = list.GetNext(position);
        D3DVECTOR at = entity->GetPosition();
        std::printf("  %*s%s %u at (%6.2f, %6.2f, %6.2f)\n", depth * 2, "",
                    entity->m_Model.szTypeName, entity->m_dwID, at.x, at.y, at.z);
        PrintTree(entity->m_Children, depth + 1);
    }
    list.Unlock();
}

} // namespace

void SpawnDrones(int count) {
    for (int i = 0; i < count; ++i) {
        CBaseEntity* drone = vgSpawnParentEntity();
        DroneOrders orders{2.0f + i, 0.5f * (i + 1), i == 0};
        D3DVECTOR start(10.0f * i, 0.0f, 0.0f);
        D3DVECTOR none(0.0f);
        int result = drone->Create(nullptr, 0, start, none, &orders, sizeof orders);
        if (result != 0) {
            std::printf("  Create returned %d: deleting the drone\n", result);
            vgDeleteEntity(drone);
        }
    }
    PrintEntityTree();
}

bool LoadSampleModels(const std::string& modulePath) {
    std::filesystem::path table = WriteModelTable(modulePath);
    std::string enginePath = platform::HostToWindowsPath(table.string());
    bool loaded = vgLoadModelTable(enginePath.c_str()) == 1;
    std::filesystem::remove_all(table.parent_path());
    if (!loaded) {
        std::printf("  the model table did not load\n");
        return false;
    }
    std::printf("  model table: %u record(s), module %s\n", vgGetModelCount(),
                vgGetModel(0)->szModulePath);
    return true;
}

void PrintEntityTree() {
    PrintTree(*vgGetEntityList(), 0);
}
