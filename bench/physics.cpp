// One physics tick over 10 000 entities (1 000 parents with 9 children each) bound to a
// module whose PerformAI does nothing: the engine's own cost per entity. The tick must not
// allocate; the accountant's figures are checked around the timed ticks.

#include "engine/engine.h"
#include "engine/level_records.h"
#include "entity/entity.h"
#include "platform/os/path.h"
#include "support/memory.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr int kParents = 1000;
constexpr int kChildrenEach = 9;
constexpr int kEntities = kParents * (1 + kChildrenEach);

void LoadIdleModel() {
    MODEL_INFO model{};
    std::strcpy(model.szTypeName, "idle");
    std::strcpy(model.szPrefix, "Idle");
    std::snprintf(model.szModulePath, sizeof model.szModulePath, "%s",
                  platform::HostToWindowsPath(IDLE_MODULE).c_str());
    ELEMENT_TABLE_HEADER header{};
    header.dwTableId = kModelTableId;
    header.dwCount = 1;
    std::filesystem::path table = std::filesystem::temp_directory_path() / "velcore-bench.mlf";
    {
        std::ofstream out(table, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&header), sizeof header);
        out.write(reinterpret_cast<const char*>(&model), sizeof model);
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

void BM_PhysicsTick(benchmark::State& state) {
    vgEnable();
    LoadIdleModel();
    for (int p = 0; p < kParents; ++p) {
        CBaseEntity* parent = CreateIdle(nullptr);
        for (int c = 0; c < kChildrenEach; ++c) {
            CreateIdle(parent);
        }
    }
    vgPauseGame(0);
    vgGamePhysicsTick();
    DWORD total = CMemory::GetTotalMemoryAllocated();
    DWORD peak = CMemory::GetMaxMemoryUsed();
    for (auto _ : state) {
        vgGamePhysicsTick();
    }
    bool allocated =
        CMemory::GetTotalMemoryAllocated() != total || CMemory::GetMaxMemoryUsed() != peak;
    state.counters["ns_per_entity"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kEntities,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocated_in_tick"] = allocated ? 1 : 0;
    state.SetItemsProcessed(state.iterations() * kEntities);
    vgDisable();
}

BENCHMARK(BM_PhysicsTick)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
