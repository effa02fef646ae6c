#pragma once

// The timed loop of the tick benchmarks: runs `tick` once per iteration and records the time
// per entity and whether the ticks allocated, through the memory accountant or the program's
// operator new (benchkit/allocation_count.h).

#include "benchkit/allocation_count.h"
#include "support/memory.h"

#include <benchmark/benchmark.h>

namespace benchkit {

template <class Tick> void RunTicks(benchmark::State& state, int entities, Tick tick) {
    DWORD total = CMemory::GetTotalMemoryAllocated();
    DWORD peak = CMemory::GetMaxMemoryUsed();
    long newCalls = NewCalls();
    for (auto _ : state) {
        tick();
    }
    bool allocated = CMemory::GetTotalMemoryAllocated() != total ||
                     CMemory::GetMaxMemoryUsed() != peak || NewCalls() != newCalls;
    state.counters["ns_per_entity"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * entities,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocated_in_tick"] = allocated ? 1 : 0;
    state.SetItemsProcessed(state.iterations() * entities);
}

} // namespace benchkit
