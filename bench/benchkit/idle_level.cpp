#include "benchkit/idle_level.h"

#include "engine/engine.h"
#include "engine/level_records.h"
#include "entity/entity.h"
#include "platform/os/path.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace benchkit {

void LoadIdleModel(unsigned records) {
    MODEL_INFO model{};
    std::strcpy(model.szTypeName, "idle");
    std::strcpy(model.szPrefix, "Idle");
    model.dwTextureOverride = kNoTextureOverride;
    std::snprintf(model.szModulePath, sizeof model.szModulePath, "%s",
                  platform::HostToWindowsPath(IDLE_MODULE).c_str());
    ELEMENT_TABLE_HEADER header{};
    header.dwTableId = kModelTableId;
    header.dwCount = records;
    std::filesystem::path table = std::filesystem::temp_directory_path() / "velcore-bench.mlf";
    {
        std::ofstream out(table, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&header), sizeof header);
        for (DWORD i = 0; i < records; ++i) {
            out.write(reinterpret_cast<const char*>(&model), sizeof model);
        }
    }
    vgLoadModelTable(platform::HostToWindowsPath(table.string()).c_str());
    std::filesystem::remove(table);
}

CBaseEntity* CreateIdle(CBaseEntity* parent) {
    CBaseEntity* entity = parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
    D3DVECTOR origin(0.0f);
    entity->Create(nullptr, 0, origin, origin, nullptr, 0);
    return entity;
}

} // namespace benchkit
