#pragma once

#include <cstddef>
#include <cstdint>

// A set of addresses with constant-time insert, erase and lookup: open addressing with
// linear probing and backward-shift deletion. Its slots come straight from the C heap so
// that the memory accountant, which uses it, never counts or recurses into itself.
class PointerIndex {
public:
    PointerIndex() = default;
    ~PointerIndex();
    PointerIndex(const PointerIndex&) = delete;
    PointerIndex& operator=(const PointerIndex&) = delete;

    // False when the slots cannot grow; the set is then unchanged.
    bool Insert(const void* address);
    // True when the address was present.
    bool Erase(const void* address);
    bool Contains(const void* address) const;
    std::size_t Size() const { return m_size; }

private:
    std::size_t SlotOf(const void* address) const;
    std::size_t Next(std::size_t slot) const { return (slot + 1) & (m_capacity - 1); }
    bool Grow();
    void Place(const void* address);

    const void** m_slots = nullptr;
    std::size_t m_capacity = 0; // a power of two, or 0
    std::size_t m_size = 0;
};
