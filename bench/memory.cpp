// Allocating and freeing 100 000 blocks of mixed sizes in random order, through the memory
// accountant and through plain malloc/free. The accountant must stay within 3x of the heap.

#include "support/memory.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kBlocks = 100000;

struct Workload {
    std::vector<DWORD> sizes;
    std::vector<std::size_t> freeOrder;
};

const Workload& SharedWorkload() {
    static const Workload workload = [] {
        Workload w;
        std::mt19937 random(20261206);
        std::uniform_int_distribution<DWORD> small(8, 256);
        std::uniform_int_distribution<DWORD> large(257, 16384);
        for (std::size_t i = 0; i < kBlocks; ++i) {
            w.sizes.push_back(random() % 8 == 0 ? large(random) : small(random));
            w.freeOrder.push_back(i);
        }
        std::shuffle(w.freeOrder.begin(), w.freeOrder.end(), random);
        return w;
    }();
    return workload;
}

template <class Allocate, class Free>
void RunWorkload(benchmark::State& state, Allocate allocate, Free release) {
    const Workload& workload = SharedWorkload();
    std::vector<void*> blocks(kBlocks);
    for (auto _ : state) {
        for (std::size_t i = 0; i < kBlocks; ++i) {
            blocks[i] = allocate(workload.sizes[i]);
        }
        for (std::size_t index : workload.freeOrder) {
            release(blocks[index]);
        }
        benchmark::DoNotOptimize(blocks.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBlocks));
}

void BM_MemoryAccountant(benchmark::State& state) {
    RunWorkload(
        state, [](DWORD size) { return CMemory::Allocate(size, 0); },
        [](void* block) { CMemory::Deallocate(block); });
}

void BM_PlainHeap(benchmark::State& state) {
    RunWorkload(
        state, [](DWORD size) { return std::malloc(size); }, [](void* block) { std::free(block); });
}

BENCHMARK(BM_MemoryAccountant)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainHeap)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        benchkit::PrintRatio("accountant / malloc", timings.PerIteration("BM_MemoryAccountant"),
                             timings.PerIteration("BM_PlainHeap"), 3.0);
    });
}
