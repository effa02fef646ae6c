// One physics tick over 10 000 entities (1 000 parents with 9 children each) bound to a
// module whose PerformAI does nothing: the engine's own cost per entity. The tick must not
// allocate; the accountant's figures and operator new are checked around the timed ticks.

#include "benchkit/idle_level.h"
#include "benchkit/tick_loop.h"
#include "engine/engine.h"
#include "entity/entity.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kParents = 1000;
constexpr int kChildrenEach = 9;
constexpr int kEntities = kParents * (1 + kChildrenEach);

void BM_PhysicsTick(benchmark::State& state) {
    vgEnable();
    benchkit::LoadIdleModel();
    for (int p = 0; p < kParents; ++p) {
        CBaseEntity* parent = benchkit::CreateIdle(nullptr);
        for (int c = 0; c < kChildrenEach; ++c) {
            benchkit::CreateIdle(parent);
        }
    }
    vgPauseGame(0);
    vgGamePhysicsTick();
    benchkit::RunTicks(state, kEntities, [] { vgGamePhysicsTick(); });
    vgDisable();
}

BENCHMARK(BM_PhysicsTick)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
