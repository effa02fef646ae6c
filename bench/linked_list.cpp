// CLinkedList churn beside std::list with the same element type (entity pointers, block size
// 20 like the engine's entity list). A working set of 1000 elements is kept; every benchmark
// iteration is one RemoveAt and one AddTail (two list operations):
//   ChurnOldest - remove the head, add at the tail (a queue, like the pending-trigger list);
//   ChurnRandom - remove the element at a random saved position, add at the tail.
// Target: CLinkedList / std::list <= 1.00 for these two. CLinkedList takes its re-entrant
// lock in every AddTail and RemoveAt; std::list has no lock. For the reading of the numbers the
// program also measures:
//   CriticalSection_RoundTrip - one uncontended EnterCriticalSection + LeaveCriticalSection,
//     the part of each CLinkedList operation that std::list does not pay;
//   ChurnOldestInsideLock - the same churn while the caller holds the list's lock, as the
//     engine's ticks do when behaviour modules add and delete entities during a walk (each
//     operation then re-enters the lock);
//   FillDrain - add 1000, remove all from the head; draining to zero returns CLinkedList's
//     whole pool to the accountant, so this also measures pool growth.

#include "support/linked_list.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <iterator>
#include <list>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

struct Entity {
    int id;
};

constexpr DWORD kBlockSize = 20;
constexpr std::size_t kWorkingSet = 1000;
constexpr std::size_t kRandomTable = 1 << 16;

Entity* EntityPool() {
    static Entity entities[kWorkingSet * 2];
    return entities;
}

// Random indices into the working set, drawn once so both lists replay the same sequence.
const std::vector<std::size_t>& RandomIndices() {
    static const std::vector<std::size_t> indices = [] {
        std::vector<std::size_t> table(kRandomTable);
        std::mt19937 random(5100);
        std::uniform_int_distribution<std::size_t> pick(0, kWorkingSet - 1);
        for (std::size_t& index : table) {
            index = pick(random);
        }
        return table;
    }();
    return indices;
}

// The churn's replay: which saved slot goes next (from the shared random sequence) and which
// pool entity is added next (cycling through twice the working set).
class ChurnCursor {
public:
    std::size_t NextSlot() {
        std::size_t slot = RandomIndices()[m_draw];
        m_draw = (m_draw + 1) & (kRandomTable - 1);
        return slot;
    }
    Entity* NextEntity() {
        Entity* entity = &EntityPool()[m_next];
        m_next = m_next + 1 == 2 * kWorkingSet ? 0 : m_next + 1;
        return entity;
    }

private:
    std::size_t m_draw = 0;
    std::size_t m_next = kWorkingSet;
};

void CountOperations(benchmark::State& state, std::size_t perIteration) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * perIteration));
}

// The two containers behind the operations the queue workloads use, so each workload is
// written once.
struct EngineList {
    CLinkedList<Entity*> list{kBlockSize};
    void Add(Entity* entity) { list.AddTail(entity); }
    void RemoveOldest() { list.RemoveAt(list.GetHeadPosition()); }
    std::size_t Count() const { return list.GetCount(); }
};

struct StandardList {
    std::list<Entity*> list;
    void Add(Entity* entity) { list.push_back(entity); }
    void RemoveOldest() { list.erase(list.begin()); }
    std::size_t Count() const { return list.size(); }
};

template <class List> void FillWorkingSet(List& list) {
    Entity* entities = EntityPool();
    for (std::size_t i = 0; i < kWorkingSet; ++i) {
        list.Add(&entities[i]);
    }
}

// Removes the oldest element and adds a new one per iteration.
template <class List> void ChurnOldest(benchmark::State& state, List& list) {
    ChurnCursor cursor;
    for (auto _ : state) {
        list.RemoveOldest();
        list.Add(cursor.NextEntity());
    }
    if (list.Count() != kWorkingSet) {
        state.SkipWithError("working set changed size");
    }
    CountOperations(state, 2);
}

template <class List> void BM_ChurnOldest(benchmark::State& state) {
    List list;
    FillWorkingSet(list);
    ChurnOldest(state, list);
}

void BM_CLinkedList_ChurnOldestInsideLock(benchmark::State& state) {
    EngineList list;
    FillWorkingSet(list);
    list.list.Lock();
    ChurnOldest(state, list);
    list.list.Unlock();
}

// Adds the whole working set, then drains it from the head.
template <class List> void BM_FillDrain(benchmark::State& state) {
    List list;
    for (auto _ : state) {
        FillWorkingSet(list);
        for (std::size_t i = 0; i < kWorkingSet; ++i) {
            list.RemoveOldest();
        }
    }
    CountOperations(state, 2 * kWorkingSet);
}

void BM_CLinkedList_ChurnOldest(benchmark::State& state) {
    BM_ChurnOldest<EngineList>(state);
}

void BM_StdList_ChurnOldest(benchmark::State& state) {
    BM_ChurnOldest<StandardList>(state);
}

void BM_CLinkedList_FillDrain(benchmark::State& state) {
    BM_FillDrain<EngineList>(state);
}

void BM_StdList_FillDrain(benchmark::State& state) {
    BM_FillDrain<StandardList>(state);
}

void BM_CLinkedList_ChurnRandom(benchmark::State& state) {
    CLinkedList<Entity*> list(kBlockSize);
    Entity* entities = EntityPool();
    std::vector<LISTPOS> positions;
    for (std::size_t i = 0; i < kWorkingSet; ++i) {
        list.AddTail(&entities[i]);
    }
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr; list.GetNext(pos)) {
        positions.push_back(pos);
    }
    ChurnCursor cursor;
    for (auto _ : state) {
        list.RemoveAt(positions[cursor.NextSlot()]);
        // The removed node is on top of the pool's free list and AddTail takes the top node
        // first, so the new tail lives at the saved position: it stays valid.
        list.AddTail(cursor.NextEntity());
    }
    // Check, outside the timing, that the saved positions are exactly the live nodes.
    std::set<LISTPOS> live;
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr; list.GetNext(pos)) {
        live.insert(pos);
    }
    if (std::set<LISTPOS>(positions.begin(), positions.end()) != live ||
        live.size() != kWorkingSet || list.GetCount() != kWorkingSet) {
        state.SkipWithError("saved positions went stale");
    }
    CountOperations(state, 2);
}

void BM_StdList_ChurnRandom(benchmark::State& state) {
    std::list<Entity*> list;
    Entity* entities = EntityPool();
    std::vector<std::list<Entity*>::iterator> positions;
    for (std::size_t i = 0; i < kWorkingSet; ++i) {
        list.push_back(&entities[i]);
        positions.push_back(std::prev(list.end()));
    }
    ChurnCursor cursor;
    for (auto _ : state) {
        std::size_t slot = cursor.NextSlot();
        list.erase(positions[slot]);
        list.push_back(cursor.NextEntity());
        positions[slot] = std::prev(list.end());
    }
    if (list.size() != kWorkingSet) {
        state.SkipWithError("working set changed size");
    }
    CountOperations(state, 2);
}

void BM_CriticalSection_RoundTrip(benchmark::State& state) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    for (auto _ : state) {
        EnterCriticalSection(&section);
        LeaveCriticalSection(&section);
        benchmark::ClobberMemory();
    }
    DeleteCriticalSection(&section);
    CountOperations(state, 1);
}

BENCHMARK(BM_CLinkedList_ChurnOldest);
BENCHMARK(BM_StdList_ChurnOldest);
BENCHMARK(BM_CLinkedList_ChurnRandom);
BENCHMARK(BM_StdList_ChurnRandom);
BENCHMARK(BM_CLinkedList_ChurnOldestInsideLock);
BENCHMARK(BM_CriticalSection_RoundTrip);
BENCHMARK(BM_CLinkedList_FillDrain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StdList_FillDrain)->Unit(benchmark::kMicrosecond);

// Per workload: the time of one list operation for each container and the ratio
// CLinkedList / std::list, and how much of a CLinkedList operation is its lock.
void Compare(const benchkit::Timings& timings, const std::string& ours, const std::string& standard,
             double target, double lock) {
    double oursNs = timings.PerItem("BM_CLinkedList_" + ours);
    double standardNs = timings.PerItem("BM_StdList_" + standard);
    std::printf("%-22s CLinkedList %6.2f ns/op, std::list %6.2f ns/op\n", ours.c_str(), oursNs,
                standardNs);
    benchkit::PrintRatio("  CLinkedList / std::list", oursNs, standardNs, target);
    if (lock > 0) {
        std::printf("  without its lock round trip: %.2f ns/op\n", oursNs - lock);
    }
}

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        double lock = timings.PerItem("BM_CriticalSection_RoundTrip");
        std::printf("CRITICAL_SECTION enter + leave (uncontended): %.2f ns; every AddTail and "
                    "RemoveAt takes it once\n",
                    lock);
        Compare(timings, "ChurnOldest", "ChurnOldest", 1.0, lock);
        Compare(timings, "ChurnRandom", "ChurnRandom", 1.0, lock);
        Compare(timings, "ChurnOldestInsideLock", "ChurnOldest", 0, 0);
        Compare(timings, "FillDrain", "FillDrain", 0, 0);
    });
}
