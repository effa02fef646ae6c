#include "support/linked_list.h"

#include "support/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <vector>

namespace {

struct Entity {
    int id;
};
using List = CLinkedList<Entity*>;

// The node layout modules rely on: the element, then previous, then next.
struct NodeImage {
    Entity* element;
    NodeImage* previous;
    NodeImage* next;
};

template <class T> DWORD PoolBlockBytes(DWORD blockSize) {
    return blockSize * CLinkedList<T>::kNodeSize + static_cast<DWORD>(sizeof(CMemBlock));
}

// Lists give back all their pool memory when they are destroyed or drained.
class LinkedListTest : public ::testing::Test {
protected:
    void SetUp() override { m_baseline = CMemory::GetTotalMemoryAllocated(); }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline) << "a list leaked pool memory";
    }
    DWORD Used() const { return CMemory::GetTotalMemoryAllocated() - m_baseline; }
    void Fill(List& list, int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(list.AddTail(&e[i]), 1);
        }
    }
    std::vector<Entity*> Of(std::initializer_list<int> indices) {
        std::vector<Entity*> entities;
        for (int index : indices) {
            entities.push_back(&e[index]);
        }
        return entities;
    }

    DWORD m_baseline = 0;
    Entity e[32] = {};
};

// Forward walk, count, head, and both link directions through the node layout.
void ExpectList(List& list, const std::vector<Entity*>& expected) {
    std::vector<Entity*> forward, backward;
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        forward.push_back(list.GetNext(pos));
    }
    EXPECT_EQ(forward, expected);
    ASSERT_EQ(list.GetCount(), expected.size());
    if (expected.empty()) {
        EXPECT_EQ(list.GetHead(), nullptr);
        return;
    }
    EXPECT_EQ(list.GetHead(), &list.GetAt(list.GetHeadPosition()));
    EXPECT_EQ(reinterpret_cast<NodeImage*>(list.GetHeadPosition())->previous, nullptr);
    auto* tail = reinterpret_cast<NodeImage*>(list.FindIndex(list.GetCount() - 1));
    EXPECT_EQ(tail->next, nullptr);
    for (NodeImage* node = tail; node != nullptr && backward.size() <= expected.size();
         node = node->previous) {
        backward.insert(backward.begin(), node->element);
    }
    EXPECT_EQ(backward, expected);
}

TEST_F(LinkedListTest, PoolGrowsByBlocksHandsOutNodesTopDownAndReusesFreedOnes) {
    EXPECT_EQ(List::kNodeSize, sizeof(NodeImage));
    List list(10);
    EXPECT_EQ(list.FindIndex(0), nullptr);
    const DWORD block = PoolBlockBytes<Entity*>(10);
    std::vector<std::uintptr_t> nodes;
    for (int i = 0; i < 21; ++i) {
        ASSERT_EQ(list.AddTail(&e[i]), 1);
        nodes.push_back(reinterpret_cast<std::uintptr_t>(list.FindIndex(i)));
        EXPECT_EQ(Used(), (i / 10 + 1) * block) << "after add " << i + 1;
    }
    // A block's nodes go onto the free list in address order: its last node comes first.
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(nodes[i - 1] - nodes[i], List::kNodeSize);
    }
    EXPECT_EQ(nodes[9] % 16, 0u) << "the block's first node keeps the heap's alignment";
    LISTPOS middle = list.FindIndex(1);
    list.RemoveAt(middle);
    ASSERT_EQ(list.AddTail(&e[21]), 1);
    EXPECT_EQ(Used(), 3 * block) << "a removed node stays in the pool";
    EXPECT_EQ(list.FindIndex(20), middle) << "and is handed out next";
    EXPECT_EQ(list.FindIndex(21), nullptr);
    EXPECT_EQ(list.FindIndex(0xFFFFFFFFu), nullptr);
    ASSERT_EQ(list.AddTail(&e[0]), 1);
    EXPECT_EQ(list.Find(&e[0]), list.GetHeadPosition()) << "the first match from the head";
    EXPECT_EQ(list.Find(&e[1]), nullptr);
    list.RemoveAll();
    EXPECT_EQ(Used(), 0u) << "RemoveAll frees the pool";
    ExpectList(list, {});
    ASSERT_EQ(list.AddTail(&e[0]), 1);
    list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(Used(), 0u) << "removing the last element frees the pool";
}

TEST_F(LinkedListTest, RandomAddsAndRemovalsMatchAModelList) {
    std::vector<Entity> entities(200);
    List list(10);
    std::vector<Entity*> model;
    std::mt19937 random(51);
    for (int step = 0, next = 0; step < 2000 && !HasFailure(); ++step) {
        if (model.empty() || (model.size() < 60 && random() % 2 == 0)) {
            model.push_back(&entities[next++ % entities.size()]);
            ASSERT_EQ(list.AddTail(model.back()), 1);
        } else {
            DWORD index = static_cast<DWORD>(random() % model.size());
            LISTPOS pos = list.FindIndex(index);
            ASSERT_NE(pos, nullptr);
            EXPECT_EQ(list.GetAt(pos), model[index]);
            list.RemoveAt(pos);
            model.erase(model.begin() + index);
        }
        SCOPED_TRACE(step);
        ExpectList(list, model);
        if (model.empty()) {
            EXPECT_EQ(Used(), 0u) << "a list that drained holds no pool";
        }
    }
}

TEST_F(LinkedListTest, AWalkMayRemoveTheNodeItSteppedOffAndReenterTheLock) {
    List list(10);
    Fill(list, 6);
    std::vector<Entity*> visited;
    list.Lock();
    list.Lock(); // Lock itself nests
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        LISTPOS current = pos;
        Entity* entity = list.GetNext(pos);
        visited.push_back(entity);
        EXPECT_EQ(list.Find(entity), current) << "the holder re-enters the lock";
        if ((entity - e) % 2 == 0) {
            list.RemoveAt(current);
        }
        if (entity == &e[1]) {
            ASSERT_EQ(list.AddTail(&e[6]), 1); // seen later in this walk
        } else if (entity == &e[6]) {
            ASSERT_EQ(list.AddTail(&e[7]), 1); // not seen: pos already passed the old tail
        }
    }
    list.Unlock();
    list.Unlock();
    EXPECT_EQ(visited, Of({0, 1, 2, 3, 4, 5, 6}));
    ExpectList(list, Of({1, 3, 5, 7}));
    int result = -1;
    std::thread([&] { result = list.AddTail(&e[0]); }).join();
    EXPECT_EQ(result, 1) << "the lock was left as often as it was entered";

    // Removing every node during a walk drains the list and frees the pool.
    list.Lock();
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        LISTPOS current = pos;
        list.GetNext(pos);
        list.RemoveAt(current);
    }
    list.Unlock();
    ExpectList(list, {});
}

TEST_F(LinkedListTest, AFailedPoolAllocationLeavesTheListUnchanged) {
    List list(10);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(list.AddTail(&e[0]), 0);
    ExpectList(list, {});
    EXPECT_EQ(Used(), 0u);
    Fill(list, 10);
    const DWORD used = Used();
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(list.AddTail(&e[10]), 0);
    EXPECT_EQ(Used(), used);
    ExpectList(list, Of({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(list.AddTail(&e[11]), 1) << "the next attempt links after the same tail";
    EXPECT_EQ(Used(), used + PoolBlockBytes<Entity*>(10));
    ExpectList(list, Of({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
}

// Copies only the first field and counts live objects: what a node held before the copy
// (zero-filled, then default-constructed) shows through, and each element dies once.
struct Tracked {
    struct Live {
        static inline int count = 0;
        Live() noexcept { ++count; }
        Live(const Live&) noexcept { ++count; }
        Live& operator=(const Live&) noexcept = default;
        ~Live() { --count; }
    } live;
    int copied = 0;
    int zeroed;
    int initialised = 7;
    Tracked& operator=(const Tracked& other) noexcept {
        copied = other.copied;
        return *this;
    }
};

TEST_F(LinkedListTest, ElementsAreHeldByValueZeroFilledThenConstructedAndDestroyedOnce) {
    Tracked::Live::count = 0;
    {
        Tracked source;
        source.copied = 1;
        source.zeroed = 2;
        CLinkedList<Tracked> list(4);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(list.AddTail(source), 1);
        }
        EXPECT_EQ(Tracked::Live::count, 7);
        LISTPOS second = list.FindIndex(1);
        EXPECT_EQ(reinterpret_cast<Tracked*>(second), &list.GetAt(second));
        list.GetAt(second).zeroed = 55;
        list.GetAt(second).initialised = 66;
        list.RemoveAt(second);
        EXPECT_EQ(Tracked::Live::count, 6);
        ASSERT_EQ(list.AddTail(source), 1);
        const Tracked& reused = list.GetAt(list.FindIndex(5));
        EXPECT_EQ(&reused, reinterpret_cast<Tracked*>(second));
        EXPECT_EQ(reused.copied, 1);
        EXPECT_EQ(reused.zeroed, 0);
        EXPECT_EQ(reused.initialised, 7);
        list.RemoveAll();
        EXPECT_EQ(Tracked::Live::count, 1);
        for (int i = 0; i < 5; ++i) {
            ASSERT_EQ(list.AddTail(source), 1);
        }
        EXPECT_EQ(Used(), 2 * PoolBlockBytes<Tracked>(4));
    }
    EXPECT_EQ(Tracked::Live::count, 0);
}

TEST_F(LinkedListTest, ThreadsAddingAndRemovingConcurrentlyKeepTheListConsistent) {
    List list(20);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<LISTPOS> mine;
            // Grow to a few elements, then drain completely, so that the list keeps dropping
            // to zero (and freeing its pool) while other threads add.
            for (int round = 0; round < 3000; ++round) {
                if (round % 16 < 8) {
                    list.Lock();
                    Entity* entity = &e[t * 8 + round % 8];
                    // EXPECT, not ASSERT: returning here would leave the lock held.
                    EXPECT_EQ(list.AddTail(entity), 1);
                    mine.push_back(list.FindIndex(list.GetCount() - 1));
                    EXPECT_EQ(list.GetAt(mine.back()), entity);
                    list.Unlock();
                } else {
                    list.RemoveAt(mine.back());
                    mine.pop_back();
                }
            }
            for (LISTPOS pos : mine) {
                list.RemoveAt(pos);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    ExpectList(list, {});
}

} // namespace
