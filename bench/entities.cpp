// A tree of 10 000 entities (1 000 parents with 9 children each): spawning all of them,
// finding random identifiers, and deleting the whole tree, each reported per entity or per
// lookup.

#include "engine/engine.h"
#include "engine/state.h"
#include "entity/entity.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kParents = 1000;
constexpr int kChildrenEach = 9;
constexpr int kEntities = kParents * (1 + kChildrenEach);

void SpawnTree() {
    for (int p = 0; p < kParents; ++p) {
        CBaseEntity* parent = vgSpawnParentEntity();
        for (int c = 0; c < kChildrenEach; ++c) {
            vgSpawnChildEntity(parent);
        }
    }
}

void DeleteTree() {
    CLinkedList<CBaseEntity*>& list = *vgGetEntityList();
    while (list.GetCount() != 0) {
        vgDeleteEntity(*list.GetHead());
    }
}

void BM_SpawnTree(benchmark::State& state) {
    for (auto _ : state) {
        SpawnTree();
        state.PauseTiming();
        DeleteTree();
        ResetLevel();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kEntities);
}

void BM_DeleteTree(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        ResetLevel();
        SpawnTree();
        state.ResumeTiming();
        DeleteTree();
    }
    state.SetItemsProcessed(state.iterations() * kEntities);
}

// Identifiers 500 on; a parent's children follow it, so a random identifier is a parent one
// time in ten. The search is linear in the entities before the hit.
void BM_FindRandomEntity(benchmark::State& state) {
    ResetLevel();
    SpawnTree();
    std::mt19937 random(7);
    std::uniform_int_distribution<DWORD> pick(kFirstEntityId, kFirstEntityId + kEntities - 1);
    std::vector<DWORD> ids(4096);
    for (DWORD& id : ids) {
        id = pick(random);
    }
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vgFindEntity(ids[next]));
        next = (next + 1) & (ids.size() - 1);
    }
    state.SetItemsProcessed(state.iterations());
    DeleteTree();
    ResetLevel();
}

BENCHMARK(BM_SpawnTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DeleteTree)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindRandomEntity)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
