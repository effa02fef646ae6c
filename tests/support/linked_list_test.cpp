#include "support/linked_list.h"

#include "support/memory.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

struct Entity {
    int id;
};
using List = CLinkedList<Entity*>;
using Ids = std::vector<int>;

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
    void SetUp() override {
        m_baseline = CMemory::GetTotalMemoryAllocated();
        for (int i = 0; i < 32; ++i) {
            e[i].id = i;
        }
    }
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

    DWORD m_baseline = 0;
    Entity e[32] = {};
};

// The ids walked forward, checked against the count, the head and the backward links.
Ids Walk(List& list) {
    Ids forward, backward;
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        forward.push_back(list.GetNext(pos)->id);
    }
    EXPECT_EQ(list.GetCount(), forward.size());
    EXPECT_EQ(list.GetHead(), forward.empty() ? nullptr : &list.GetAt(list.GetHeadPosition()));
    auto* tail = reinterpret_cast<NodeImage*>(list.FindIndex(list.GetCount() - 1));
    for (NodeImage* node = tail; node != nullptr && backward.size() <= forward.size();
         node = node->previous) {
        backward.insert(backward.begin(), node->element->id);
    }
    EXPECT_TRUE(tail == nullptr || tail->next == nullptr);
    EXPECT_EQ(backward, forward);
    return forward;
}

TEST_F(LinkedListTest, PoolGrowsByBlocksHandsOutNodesTopDownAndReusesFreedOnes) {
    EXPECT_EQ(List::kNodeSize, sizeof(NodeImage));
    List list(10);
    std::vector<std::uintptr_t> nodes;
    for (int i = 0; i < 21; ++i) {
        ASSERT_EQ(list.AddTail(&e[i]), 1);
        nodes.push_back(reinterpret_cast<std::uintptr_t>(list.FindIndex(i)));
        EXPECT_EQ(Used(), (i / 10 + 1) * PoolBlockBytes<Entity*>(10)) << "after add " << i + 1;
    }
    // A block's nodes go onto the free list in address order: its last node comes first.
    EXPECT_EQ(nodes[0] - nodes[9], 9 * List::kNodeSize);
    EXPECT_EQ(nodes[9] % 16, 0u) << "the block's first node keeps the heap's alignment";
    LISTPOS middle = list.FindIndex(1);
    list.RemoveAt(middle);
    ASSERT_EQ(list.AddTail(&e[21]), 1);
    EXPECT_EQ(list.FindIndex(20), middle) << "a removed node stays in the pool, handed out next";
    EXPECT_EQ(list.FindIndex(21), nullptr);
    ASSERT_EQ(list.AddTail(&e[0]), 1);
    EXPECT_EQ(list.Find(&e[0]), list.GetHeadPosition()) << "the first match from the head";
    EXPECT_EQ(list.Find(&e[1]), nullptr);
    list.RemoveAll();
    EXPECT_EQ(Walk(list), Ids{});
    EXPECT_EQ(Used(), 0u) << "RemoveAll frees the pool";
}

// A failed pool allocation leaves the list unchanged, empty or with a full block.
TEST_F(LinkedListTest, AFailedPoolAllocationLeavesTheListUnchanged) {
    List list(10);
    for (int filled : {0, 10}) {
        Fill(list, filled);
        CMemory::FailAllocationAfter(1);
        EXPECT_EQ(list.AddTail(&e[20]), 0);
        EXPECT_EQ(Used(), filled == 0 ? 0u : PoolBlockBytes<Entity*>(10));
    }
    EXPECT_EQ(list.AddTail(&e[11]), 1) << "the next attempt links after the same tail";
    EXPECT_EQ(Walk(list), (Ids{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11}));
}

TEST_F(LinkedListTest, AWalkMayRemoveTheNodeItSteppedOffAndReenterTheLock) {
    List list(10);
    Fill(list, 6);
    Ids visited;
    list.Lock();
    list.Lock(); // Lock itself nests
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        LISTPOS current = pos;
        Entity* entity = list.GetNext(pos);
        visited.push_back(entity->id);
        EXPECT_EQ(list.Find(entity), current) << "the holder re-enters the lock";
        if (entity->id % 2 == 0) {
            list.RemoveAt(current);
        }
        if (entity->id == 1) {
            ASSERT_EQ(list.AddTail(&e[6]), 1); // seen later in this walk
        } else if (entity->id == 6) {
            ASSERT_EQ(list.AddTail(&e[7]), 1); // not seen: pos already passed the old tail
        }
    }
    list.Unlock();
    list.Unlock();
    EXPECT_EQ(visited, (Ids{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Walk(list), (Ids{1, 3, 5, 7}));
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
    EXPECT_EQ(Walk(list), Ids{});
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
        Tracked source{{}, 1, 2};
        CLinkedList<Tracked> list(4);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(list.AddTail(source), 1);
        }
        LISTPOS second = list.FindIndex(1);
        list.GetAt(second).zeroed = 55;
        list.GetAt(second).initialised = 66;
        list.RemoveAt(second);
        EXPECT_EQ(Tracked::Live::count, 6);
        ASSERT_EQ(list.AddTail(source), 1);
        const Tracked& reused = list.GetAt(list.FindIndex(5));
        EXPECT_EQ(&reused, reinterpret_cast<Tracked*>(second));
        EXPECT_EQ((Ids{reused.copied, reused.zeroed, reused.initialised}), (Ids{1, 0, 7}));
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
            // to zero (and freeing its pool) while other threads add; every thread ends drained.
            for (int round = 0; round < 3008; ++round) {
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
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(Walk(list), Ids{});
}

} // namespace
