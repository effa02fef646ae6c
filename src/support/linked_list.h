#pragma once

// CLinkedList<T>: the engine's one container. A doubly linked list of elements
// held by value, whose nodes come from a private pool that grows in blocks of a fixed number
// of nodes (CMemBlock chains), guarded by the list's own re-entrant lock.
//
// Element types: any T that is nothrow default-constructible, nothrow copy-assignable and
// nothrow destructible, with alignment of at most 16 (the pool's blocks are 16-byte
// aligned). The types in use are plain records and pointers, for which element destruction
// compiles to nothing. A new element is prepared in two steps (its bytes zero-filled,
// then value-initialised, which for a plain record leaves the same zeros) and the caller's
// element is then copy-assigned into it.

#include "platform/os/sync.h"
#include "platform/types.h"
#include "support/memory.h"

#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

// A position: the address of a node, which is also the address of its element. Null stands
// for no position. The pointee type is never defined; positions are only handed back.
struct ListPosition;
using LISTPOS = ListPosition*;

template <class T> class CLinkedList {
    static_assert(std::is_nothrow_default_constructible_v<T>,
                  "CLinkedList elements are default-constructed in their node");
    static_assert(std::is_nothrow_copy_assignable_v<T>,
                  "CLinkedList elements are copied into their node by assignment");
    static_assert(std::is_nothrow_destructible_v<T>);

    // The element first, then the links: a position addresses its element.
    struct Node {
        T element;
        Node* previous;
        Node* next;
    };
    static_assert(alignof(Node) <= alignof(std::max_align_t),
                  "pool blocks only guarantee the heap's alignment");

public:
    // Bytes one node takes in a pool block (a block holds blockSize of them).
    static constexpr DWORD kNodeSize = static_cast<DWORD>(sizeof(Node));

    explicit CLinkedList(DWORD blockSize) : m_blockSize(blockSize) {
        InitializeCriticalSection(&m_lock);
    }
    ~CLinkedList() {
        RemoveAll();
        DeleteCriticalSection(&m_lock);
    }
    CLinkedList(const CLinkedList&) = delete;
    CLinkedList& operator=(const CLinkedList&) = delete;

    // Links a copy of element after the tail. Returns 0, with the list unchanged, when no node
    // could be obtained (the pool needed a block and the allocator refused it).
    int AddTail(const T& element) {
        CriticalSectionLock guard(&m_lock);
        if (m_free == nullptr && !AddPoolBlock()) {
            return 0;
        }
        Node* node = m_free;
        m_free = node->next;
        StoreCount(m_count + 1);

        void* storage = static_cast<void*>(&node->element);
        std::memset(storage, 0, sizeof(T));
        ::new (storage) T();

        node->previous = m_tail;
        node->next = nullptr;
        node->element = element;
        if (m_tail != nullptr) {
            m_tail->next = node;
        } else {
            m_head = node;
        }
        m_tail = node;
        return 1;
    }

    // Unlinks the node at pos and returns it to the pool. When that empties the list, the
    // whole pool goes back to the allocator (RemoveAll). pos must belong to this list.
    void RemoveAt(LISTPOS pos) {
        CriticalSectionLock guard(&m_lock);
        Node* node = NodeOf(pos);
        if (node->previous != nullptr) {
            node->previous->next = node->next;
        } else {
            m_head = node->next;
        }
        if (node->next != nullptr) {
            node->next->previous = node->previous;
        } else {
            m_tail = node->previous;
        }
        node->element.~T();
        node->next = m_free;
        m_free = node;
        StoreCount(m_count - 1);
        // Decided and done while the lock is still held (RemoveAll re-enters it), so that
        // another thread's AddTail cannot slip in between and have its element dropped.
        if (m_count == 0) {
            RemoveAll();
        }
    }

    // Destroys every element, empties the list and gives the whole pool back.
    void RemoveAll() {
        CriticalSectionLock guard(&m_lock);
        if constexpr (!std::is_trivially_destructible_v<T>) {
            for (Node* node = m_head; node != nullptr; node = node->next) {
                node->element.~T();
            }
        }
        m_head = nullptr;
        m_tail = nullptr;
        StoreCount(0);
        if (m_blocks != nullptr) {
            m_blocks->Delete();
            m_blocks = nullptr;
        }
        m_free = nullptr;
    }

    // The readers below do not lock: a caller that walks the list holds Lock() for the walk.

    LISTPOS GetHeadPosition() const { return PositionOf(m_head); }

    // The first element's address, null when the list is empty.
    T* GetHead() { return m_head != nullptr ? &m_head->element : nullptr; }
    const T* GetHead() const { return m_head != nullptr ? &m_head->element : nullptr; }

    // The element at pos; pos moves on to the following node (null after the tail).
    T& GetNext(LISTPOS& pos) {
        Node* node = NodeOf(pos);
        pos = PositionOf(node->next);
        return node->element;
    }
    const T& GetNext(LISTPOS& pos) const {
        const Node* node = NodeOf(pos);
        pos = PositionOf(node->next);
        return node->element;
    }

    T& GetAt(LISTPOS pos) { return NodeOf(pos)->element; }
    const T& GetAt(LISTPOS pos) const { return NodeOf(pos)->element; }

    // Safe to call without the lock from any thread (the count is read atomically).
    DWORD GetCount() const { return LoadCount(); }

    // The position of the index-th element from the head (zero-based); null when index is
    // count or more. The count is checked before the lock is taken.
    LISTPOS FindIndex(DWORD index) const {
        if (index > LoadCount()) {
            return nullptr;
        }
        CriticalSectionLock guard(&m_lock);
        Node* node = m_head;
        // The null check only guards against a list that shrank between check and lock.
        for (DWORD step = 0; step < index && node != nullptr; ++step) {
            node = node->next;
        }
        return PositionOf(node);
    }

    // The first position, from the head, whose element equals value; null when none.
    LISTPOS Find(const T& value) const {
        CriticalSectionLock guard(&m_lock);
        for (Node* node = m_head; node != nullptr; node = node->next) {
            if (node->element == value) {
                return PositionOf(node);
            }
        }
        return nullptr;
    }

    // Enter / leave the list's re-entrant lock around a walk. Inside it, the holding thread
    // may call AddTail, RemoveAt, RemoveAll, Find and FindIndex on the same list.
    void Lock() const { EnterCriticalSection(&m_lock); }
    void Unlock() const { LeaveCriticalSection(&m_lock); }

private:
    static Node* NodeOf(LISTPOS pos) { return reinterpret_cast<Node*>(pos); }
    static LISTPOS PositionOf(Node* node) { return reinterpret_cast<LISTPOS>(node); }

    // Count is only changed under the lock but read without it by GetCount and FindIndex;
    // relaxed atomic access keeps those reads race-free at no cost.
    DWORD LoadCount() const {
        return std::atomic_ref<DWORD>(const_cast<DWORD&>(m_count)).load(std::memory_order_relaxed);
    }
    void StoreCount(DWORD count) {
        std::atomic_ref<DWORD>(m_count).store(count, std::memory_order_relaxed);
    }

    // Called under the lock with an empty free list. Gets a block of blockSize nodes and
    // pushes its nodes onto the free list in address order, so the block's last node ends on
    // top. False, with nothing changed, when the allocator refuses.
    [[gnu::noinline]] bool AddPoolBlock() {
        CMemBlock* block = CMemBlock::Create(m_blocks, m_blockSize, kNodeSize);
        if (block == nullptr) {
            return false;
        }
        Node* nodes = static_cast<Node*>(block->GetMemoryBlock());
        for (DWORD i = 0; i < m_blockSize; ++i) {
            nodes[i].next = m_free;
            m_free = &nodes[i];
        }
        return true;
    }

    DWORD m_blockSize;
    Node* m_head = nullptr;
    Node* m_tail = nullptr;
    Node* m_free = nullptr;
    DWORD m_count = 0;
    CMemBlock* m_blocks = nullptr;
    mutable CRITICAL_SECTION m_lock;
};
