#include "support/linked_list.h"

#include "support/memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <list>
#include <random>
#include <thread>
#include <vector>

namespace {

// A stand-in for the entity the engine's lists point to.
struct Entity {
    int id;
};

// An 80-byte plain record held by value, shaped like the trigger record.
struct Record {
    DWORD id;
    DWORD type;
    float position[3];
    float radius;
    DWORD quadrant;
    DWORD flags;
    float delay;
    DWORD spare[9];
    void* createBlock;
};
static_assert(sizeof(Record) == 80);

// The node layout modules and tests rely on: the element, then previous, then next.
template <class T> struct NodeImage {
    T element;
    NodeImage* previous;
    NodeImage* next;
};

template <class T> const NodeImage<T>* ImageOf(LISTPOS pos) {
    return reinterpret_cast<const NodeImage<T>*>(pos);
}

// Bytes one pool block takes from the accountant.
template <class T> DWORD PoolBlockBytes(DWORD blockSize) {
    return blockSize * CLinkedList<T>::kNodeSize + static_cast<DWORD>(sizeof(CMemBlock));
}

// Every test starts and ends with the accountant's figures it found: lists give back all
// their memory when they are destroyed.
class LinkedListTest : public ::testing::Test {
protected:
    void SetUp() override { m_baseline = CMemory::GetTotalMemoryAllocated(); }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline) << "a list leaked pool memory";
    }
    DWORD Used() const { return CMemory::GetTotalMemoryAllocated() - m_baseline; }

    DWORD m_baseline = 0;
};

// The elements from head to tail, read with GetHeadPosition/GetNext.
template <class T> std::vector<T> Forward(CLinkedList<T>& list) {
    std::vector<T> elements;
    LISTPOS pos = list.GetHeadPosition();
    while (pos != nullptr) {
        elements.push_back(list.GetNext(pos));
    }
    return elements;
}

// Checks every invariant of the list against the expected elements: forward walk,
// count, head, tail, both link directions through the node layout, and the end links.
template <class T> void ExpectList(CLinkedList<T>& list, const std::vector<T>& expected) {
    EXPECT_EQ(Forward(list), expected);
    ASSERT_EQ(list.GetCount(), expected.size());
    if (expected.empty()) {
        EXPECT_EQ(list.GetHeadPosition(), nullptr);
        EXPECT_EQ(list.GetHead(), nullptr);
        return;
    }
    LISTPOS head = list.GetHeadPosition();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(list.GetHead(), &list.GetAt(head));
    EXPECT_EQ(*list.GetHead(), expected.front());
    EXPECT_EQ(ImageOf<T>(head)->previous, nullptr);

    LISTPOS tail = list.FindIndex(list.GetCount() - 1);
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(list.GetAt(tail), expected.back());
    EXPECT_EQ(ImageOf<T>(tail)->next, nullptr);

    // Backwards from the tail along the previous links.
    std::vector<T> backward;
    for (const NodeImage<T>* node = ImageOf<T>(tail); node != nullptr; node = node->previous) {
        backward.push_back(node->element);
        ASSERT_LE(backward.size(), expected.size()) << "previous links form a cycle";
    }
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, expected);
}

TEST_F(LinkedListTest, PoolGrowsOneBlockOnTheFirstAndTheEleventhAdd) {
    EXPECT_EQ(CLinkedList<Entity*>::kNodeSize, sizeof(NodeImage<Entity*>));
    Entity entities[25];
    CLinkedList<Entity*> list(10);
    ExpectList<Entity*>(list, {});
    EXPECT_EQ(list.Find(nullptr), nullptr);
    list.RemoveAll();
    EXPECT_EQ(Used(), 0u) << "a new list holds no memory";
    const DWORD block = PoolBlockBytes<Entity*>(10);
    EXPECT_EQ(block, 10 * 24 + sizeof(CMemBlock));

    ASSERT_EQ(list.AddTail(&entities[0]), 1);
    EXPECT_EQ(Used(), block) << "first AddTail obtains the first block";
    for (int i = 1; i < 10; ++i) {
        ASSERT_EQ(list.AddTail(&entities[i]), 1);
        EXPECT_EQ(Used(), block) << "add " << i + 1 << " must come from the pool";
    }
    ASSERT_EQ(list.AddTail(&entities[10]), 1);
    EXPECT_EQ(Used(), 2 * block) << "eleventh AddTail obtains the second block";
    for (int i = 11; i < 20; ++i) {
        ASSERT_EQ(list.AddTail(&entities[i]), 1);
    }
    EXPECT_EQ(Used(), 2 * block);
    ASSERT_EQ(list.AddTail(&entities[20]), 1);
    EXPECT_EQ(Used(), 3 * block);
    EXPECT_EQ(list.GetCount(), 21u);

    list.RemoveAll();
    EXPECT_EQ(Used(), 0u) << "RemoveAll frees the pool";
    ExpectList<Entity*>(list, {});
    // The emptied list starts over with one block, and removing its only element frees it.
    ASSERT_EQ(list.AddTail(&entities[0]), 1);
    EXPECT_EQ(Used(), block);
    list.RemoveAt(list.GetHeadPosition());
    EXPECT_EQ(Used(), 0u);
    ExpectList<Entity*>(list, {});
}

TEST_F(LinkedListTest, ABlocksNodesAreHandedOutFromItsLastNodeDownAndReusedFirst) {
    Entity entities[12];
    CLinkedList<Entity*> list(10);
    std::vector<std::uintptr_t> addresses;
    for (int i = 0; i < 11; ++i) {
        ASSERT_EQ(list.AddTail(&entities[i]), 1);
        addresses.push_back(reinterpret_cast<std::uintptr_t>(list.FindIndex(list.GetCount() - 1)));
    }
    // The block's nodes went onto the free list in address order, so its last node is used
    // first and each following add takes the node just below.
    for (int i = 1; i < 10; ++i) {
        EXPECT_EQ(addresses[i - 1] - addresses[i], CLinkedList<Entity*>::kNodeSize);
    }
    EXPECT_EQ(addresses[9] % 16, 0u) << "the block's first node keeps the heap's alignment";
    // The eleventh node is the last node of a second block.
    EXPECT_NE(addresses[10] + CLinkedList<Entity*>::kNodeSize, addresses[9]);

    // A removed node stays in the pool and is on top of the free list.
    const DWORD used = Used();
    LISTPOS middle = list.FindIndex(1);
    list.RemoveAt(middle);
    EXPECT_EQ(Used(), used) << "removal keeps the node in the pool";
    ASSERT_EQ(list.AddTail(&entities[11]), 1);
    EXPECT_EQ(Used(), used);
    EXPECT_EQ(list.FindIndex(10), middle);
}

// Removals at the head, the middle and the tail, checked in both directions after every step.
TEST_F(LinkedListTest, RandomAddsAndRemovalsMatchAModelList) {
    std::vector<Entity> entities(200);
    CLinkedList<Entity*> list(10);
    std::vector<Entity*> model;
    std::mt19937 random(51);
    int next = 0;
    for (int step = 0; step < 2000; ++step) {
        bool add = model.empty() || (model.size() < 60 && random() % 2 == 0);
        if (add) {
            Entity* entity = &entities[next++ % entities.size()];
            ASSERT_EQ(list.AddTail(entity), 1);
            model.push_back(entity);
        } else {
            DWORD index = static_cast<DWORD>(random() % model.size());
            LISTPOS pos = list.FindIndex(index);
            ASSERT_NE(pos, nullptr);
            EXPECT_EQ(list.GetAt(pos), model[index]);
            list.RemoveAt(pos);
            model.erase(model.begin() + index);
        }
        ExpectList(list, model);
        if (::testing::Test::HasFailure()) {
            FAIL() << "after step " << step;
        }
        if (model.empty()) {
            EXPECT_EQ(Used(), 0u) << "a list that drained holds no pool";
        }
    }
}

TEST_F(LinkedListTest, AWalkThatRemovesTheNodeItSteppedOffContinues) {
    Entity e[8];
    CLinkedList<Entity*> list(10);
    for (Entity& entity : e) {
        ASSERT_EQ(list.AddTail(&entity), 1);
    }
    std::vector<Entity*> visited;
    list.Lock();
    LISTPOS pos = list.GetHeadPosition();
    while (pos != nullptr) {
        LISTPOS current = pos;
        Entity* entity = list.GetNext(pos);
        visited.push_back(entity);
        if ((entity - e) % 2 == 0) {
            list.RemoveAt(current);
        }
    }
    list.Unlock();
    EXPECT_EQ(visited.size(), 8u) << "every element was visited once";
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(visited[i], &e[i]);
    }
    ExpectList<Entity*>(list, {&e[1], &e[3], &e[5], &e[7]});

    // Removing every node during the walk drains the list; the pool goes with the last one.
    visited.clear();
    list.Lock();
    pos = list.GetHeadPosition();
    while (pos != nullptr) {
        LISTPOS current = pos;
        visited.push_back(list.GetNext(pos));
        list.RemoveAt(current);
    }
    list.Unlock();
    EXPECT_EQ(visited, (std::vector<Entity*>{&e[1], &e[3], &e[5], &e[7]}));
    ExpectList<Entity*>(list, {});
    EXPECT_EQ(Used(), 0u);
}

TEST_F(LinkedListTest, FindAndFindIndexSearchFromTheHead) {
    Entity a{1}, b{2}, c{3}, absent{4};
    CLinkedList<Entity*> list(10);
    EXPECT_EQ(list.FindIndex(0), nullptr) << "index 0 of an empty list is its count";
    EXPECT_EQ(list.FindIndex(1), nullptr);
    for (Entity* entity : {&a, &b, &c, &b}) {
        ASSERT_EQ(list.AddTail(entity), 1);
    }
    EXPECT_EQ(list.FindIndex(0), list.GetHeadPosition());
    EXPECT_EQ(list.GetAt(list.FindIndex(1)), &b);
    EXPECT_EQ(list.GetAt(list.FindIndex(2)), &c);
    for (DWORD beyond : {4u, 5u, 0xFFFFFFFFu}) {
        EXPECT_EQ(list.FindIndex(beyond), nullptr) << beyond;
    }

    EXPECT_EQ(list.Find(&a), list.FindIndex(0));
    EXPECT_EQ(list.Find(&b), list.FindIndex(1)) << "the first match from the head";
    EXPECT_EQ(list.Find(&absent), nullptr);
    Entity copyOfA = a;
    EXPECT_EQ(list.Find(&copyOfA), nullptr) << "pointers compare by address, not contents";
    list.RemoveAt(list.Find(&b));
    EXPECT_EQ(list.Find(&b), list.FindIndex(2)) << "now the second copy is the first";
    list.RemoveAt(list.Find(&b));
    EXPECT_EQ(list.Find(&b), nullptr);
    ExpectList<Entity*>(list, {&a, &c});
}

TEST_F(LinkedListTest, AFailedPoolAllocationLeavesTheListUnchanged) {
    Entity e[12];
    CLinkedList<Entity*> list(10);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(list.AddTail(&e[0]), 0);
    ExpectList<Entity*>(list, {});
    EXPECT_EQ(Used(), 0u);

    // The allocator works again: so does the list, until its first block is full.
    std::vector<Entity*> expected;
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(list.AddTail(&e[i]), 1);
        expected.push_back(&e[i]);
    }
    const DWORD used = Used();
    LISTPOS head = list.GetHeadPosition();
    LISTPOS tail = list.FindIndex(9);

    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(list.AddTail(&e[10]), 0);
    EXPECT_EQ(list.GetHeadPosition(), head);
    EXPECT_EQ(list.FindIndex(9), tail);
    EXPECT_EQ(Used(), used);
    ExpectList(list, expected);

    // The next attempt gets exactly one block and links after the same tail.
    EXPECT_EQ(list.AddTail(&e[11]), 1);
    EXPECT_EQ(Used(), used + PoolBlockBytes<Entity*>(10));
    expected.push_back(&e[11]);
    ExpectList(list, expected);
}

TEST_F(LinkedListTest, RecordsAreHeldByValue) {
    CLinkedList<Record> list(10);
    EXPECT_EQ(CLinkedList<Record>::kNodeSize, 96u);
    int createBlock = 0;
    Record record{};
    record.radius = 2.5f;
    record.createBlock = &createBlock;
    for (DWORD i = 0; i < 12; ++i) {
        record.id = 100 + i;
        record.position[2] = -static_cast<float>(i);
        record.spare[6] = 0xABCD0000u + i;
        ASSERT_EQ(list.AddTail(record), 1);
    }
    EXPECT_EQ(Used(), 2 * PoolBlockBytes<Record>(10));
    record.id = 999; // the list kept its own copies

    DWORD i = 0;
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr; ++i) {
        LISTPOS current = pos;
        Record& stored = list.GetNext(pos);
        EXPECT_EQ(reinterpret_cast<Record*>(current), &stored)
            << "a position addresses its element";
        EXPECT_EQ(stored.id, 100 + i);
        EXPECT_EQ(stored.position[1], 0.0f);
        EXPECT_EQ(stored.position[2], -static_cast<float>(i));
        EXPECT_EQ(stored.radius, 2.5f);
        EXPECT_EQ(stored.spare[6], 0xABCD0000u + i);
        EXPECT_EQ(stored.createBlock, &createBlock);
    }
    EXPECT_EQ(i, 12u);

    // Elements are changed in place through their position.
    list.GetAt(list.FindIndex(5)).delay = 1.25f;
    EXPECT_EQ(list.GetAt(list.FindIndex(5)).delay, 1.25f);
    EXPECT_EQ(list.GetHead()->id, 100u);
}

// Copy assignment that copies only the first field: what the node held before the
// assignment (zero-filled, then default-constructed) shows through in the other fields.
struct PartialCopy {
    int copied = 0;
    int zeroed;
    int initialised = 7;
    PartialCopy& operator=(const PartialCopy& other) noexcept {
        copied = other.copied;
        return *this;
    }
};

TEST_F(LinkedListTest, ANewElementIsZeroFilledThenDefaultConstructed) {
    CLinkedList<PartialCopy> list(2);
    PartialCopy value;
    value.copied = 1;
    value.zeroed = 2;
    value.initialised = 3;
    ASSERT_EQ(list.AddTail(value), 1);
    ASSERT_EQ(list.AddTail(value), 1);
    // Dirty the nodes, free one into the pool and take it again.
    for (LISTPOS pos = list.GetHeadPosition(); pos != nullptr;) {
        PartialCopy& stored = list.GetNext(pos);
        stored.zeroed = 55;
        stored.initialised = 66;
    }
    list.RemoveAt(list.GetHeadPosition());
    ASSERT_EQ(list.AddTail(value), 1);
    const PartialCopy& reused = list.GetAt(list.FindIndex(1));
    EXPECT_EQ(reused.copied, 1);
    EXPECT_EQ(reused.zeroed, 0);
    EXPECT_EQ(reused.initialised, 7);
}

// Element types with a destructor are destroyed exactly once, by RemoveAt, RemoveAll or the
// list's destruction.
struct Tracked {
    static inline int live = 0;
    Tracked() noexcept { ++live; }
    Tracked(const Tracked&) noexcept { ++live; }
    Tracked& operator=(const Tracked&) noexcept = default;
    ~Tracked() { --live; }
    int value = 0;
};

TEST_F(LinkedListTest, ElementsWithDestructorsAreDestroyedOnce) {
    Tracked::live = 0;
    {
        Tracked source;
        CLinkedList<Tracked> list(4);
        for (int i = 0; i < 6; ++i) {
            ASSERT_EQ(list.AddTail(source), 1);
        }
        EXPECT_EQ(Tracked::live, 7);
        list.RemoveAt(list.FindIndex(2));
        EXPECT_EQ(Tracked::live, 6);
        list.RemoveAll();
        EXPECT_EQ(Tracked::live, 1);
        for (int i = 0; i < 7; ++i) {
            ASSERT_EQ(list.AddTail(source), 1);
        }
        EXPECT_EQ(Tracked::live, 8);
        EXPECT_EQ(Used(), 2 * PoolBlockBytes<Tracked>(4));
    }
    EXPECT_EQ(Tracked::live, 0);
    EXPECT_EQ(Used(), 0u) << "destroying a full list frees its pool";
}

TEST_F(LinkedListTest, TheHoldingThreadMayReenterTheLockDuringAWalk) {
    Entity e[6];
    CLinkedList<Entity*> list(10);
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(list.AddTail(&e[i]), 1);
    }
    list.Lock();
    list.Lock(); // Lock itself nests
    LISTPOS pos = list.GetHeadPosition();
    int steps = 0;
    while (pos != nullptr) {
        LISTPOS current = pos;
        Entity* entity = list.GetNext(pos);
        ++steps;
        EXPECT_EQ(list.Find(entity), current);
        EXPECT_NE(list.FindIndex(0), nullptr);
        if (entity == &e[1]) {
            list.RemoveAt(current);
            ASSERT_EQ(list.AddTail(&e[4]), 1); // seen later in this walk
        }
        if (entity == &e[4]) {
            // pos already stepped past the old tail (null): this one is not walked.
            ASSERT_EQ(list.AddTail(&e[5]), 1);
        }
    }
    list.Unlock();
    list.Unlock();
    EXPECT_EQ(steps, 5);
    ExpectList<Entity*>(list, {&e[0], &e[2], &e[3], &e[4], &e[5]});

    // The lock was left as often as it was entered: another thread gets it.
    int result = -1;
    std::thread([&] { result = list.AddTail(&e[0]); }).join();
    EXPECT_EQ(result, 1);
    EXPECT_EQ(list.GetCount(), 6u);

    // RemoveAll inside a walk ends it.
    list.Lock();
    pos = list.GetHeadPosition();
    list.GetNext(pos);
    list.RemoveAll();
    list.Unlock();
    ExpectList<Entity*>(list, {});
    EXPECT_EQ(Used(), 0u);
}

TEST_F(LinkedListTest, AnotherThreadWaitsWhileTheListIsLocked) {
    Entity a{1}, b{2};
    CLinkedList<Entity*> list(10);
    ASSERT_EQ(list.AddTail(&a), 1);

    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    list.Lock();
    std::thread other([&] {
        started = true;
        list.AddTail(&b);
        list.RemoveAt(list.Find(&a));
        done = true;
    });
    while (!started) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(done.load()) << "AddTail must wait for the lock";
    EXPECT_EQ(list.GetCount(), 1u);
    // The holder goes on working meanwhile.
    ASSERT_EQ(list.AddTail(&a), 1);
    EXPECT_EQ(list.GetCount(), 2u);
    list.Unlock();
    other.join();
    EXPECT_TRUE(done.load());
    ExpectList<Entity*>(list, {&a, &b});
}

TEST_F(LinkedListTest, ThreadsAddingAndRemovingConcurrentlyKeepTheListConsistent) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 3000;
    std::vector<Entity> entities(kThreads * 8);
    CLinkedList<Entity*> list(20);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::vector<LISTPOS> mine;
            for (int round = 0; round < kRounds; ++round) {
                // Grow to a few elements, then drain completely, so that the list keeps
                // dropping to zero (and freeing its pool) while other threads add.
                if (round % 16 < 8) {
                    list.Lock();
                    Entity* entity = &entities[t * 8 + round % 8];
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
    ExpectList<Entity*>(list, {});
    EXPECT_EQ(Used(), 0u);
}

} // namespace
