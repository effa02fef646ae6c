// ProcessEvents with 100 proximity triggers in the player's quadrant, then with 100 000 more
// spread over the other 63 quadrants. The triggers near the player use a radius the player
// is outside of, and nothing is timed or armed, so every call measures exactly the per-call
// work: the clock read, the empty timed and pending lists, the player's quadrant and the
// distance test of its 100 triggers. The cost must not grow with triggers elsewhere: the
// second time over the first should stay at most 1.2.

#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/lifecycle.h"
#include "engine/registry.h"
#include "engine/state.h"
#include "engine/world.h"
#include "entity/entity.h"
#include "event/event_manager.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kPlayerQuadrant = 42; // the origin of a 256-unit world
constexpr int kNearTriggers = 100;
constexpr int kElsewhereTriggers = 100000;

// A zero-delay proximity trigger with a radius of 1 at a corner of the player's quadrant:
// tested on every call, never qualifying.
tagGAME_TRIGGER OutOfReachTrigger() {
    tagGAME_TRIGGER trigger;
    std::memset(&trigger, 0, sizeof trigger);
    trigger.dwType = kTriggerProximity;
    trigger.bUseRadius = TRUE;
    trigger.vPosition = D3DVECTOR(60.0f, 60.0f, 60.0f);
    trigger.fRadius = 1.0f;
    return trigger;
}

void FillTable(int elsewhere) {
    const tagGAME_TRIGGER trigger = OutOfReachTrigger();
    for (int i = 0; i < kNearTriggers; ++i) {
        g_eventManager.GetTriggerList(kPlayerQuadrant)->AddTail(trigger);
    }
    for (int i = 0; i < elsewhere; ++i) {
        DWORD quadrant = static_cast<DWORD>(i % (kTriggerQuadrantCount - 1));
        quadrant += quadrant >= kPlayerQuadrant ? 1 : 0;
        g_eventManager.GetTriggerList(quadrant)->AddTail(trigger);
    }
}

void RunProcessEvents(benchmark::State& state, int elsewhere) {
    ResetLevel();
    vgInitialiseWorldSize(256.0f);
    CBaseEntity* player = vgSpawnParentEntity();
    player->m_dwID = 1;
    player->SetWorldPosition(D3DVECTOR(1.0f, 1.0f, 1.0f));
    FillTable(elsewhere);
    for (auto _ : state) {
        benchmark::DoNotOptimize(g_eventManager.ProcessEvents(player));
    }
    state.counters["triggers"] = static_cast<double>(kNearTriggers + elsewhere);
    if (vgGetEntityList()->GetCount() != 1) {
        state.SkipWithError("a trigger fired: the measurement is not the per-call scan");
    }
    ResetLevel();
}

void BM_ProcessEventsPlayerQuadrantOnly(benchmark::State& state) {
    RunProcessEvents(state, 0);
}

void BM_ProcessEventsWithTriggersElsewhere(benchmark::State& state) {
    RunProcessEvents(state, kElsewhereTriggers);
}

BENCHMARK(BM_ProcessEventsPlayerQuadrantOnly);
BENCHMARK(BM_ProcessEventsWithTriggersElsewhere);

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        double nearOnly = timings.PerIteration("BM_ProcessEventsPlayerQuadrantOnly");
        double withElsewhere = timings.PerIteration("BM_ProcessEventsWithTriggersElsewhere");
        std::printf("per call: %.0f ns with %d triggers, %.0f ns with %d more elsewhere\n",
                    nearOnly, kNearTriggers, withElsewhere, kElsewhereTriggers);
        benchkit::PrintRatio("elsewhere / near-only", withElsewhere, nearOnly, 1.2);
    });
}
