#include "support/pointer_index.h"

#include <cstdlib>

namespace {

constexpr std::size_t kInitialCapacity = 64;

} // namespace

PointerIndex::~PointerIndex() {
    std::free(m_slots);
}

std::size_t PointerIndex::SlotOf(const void* address) const {
    // Fibonacci hashing of the address; heap blocks share their low alignment bits.
    auto key = reinterpret_cast<std::uintptr_t>(address) >> 4;
    return static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ull >> 20) & (m_capacity - 1);
}

bool PointerIndex::Contains(const void* address) const {
    // Null marks an empty slot, so it is never a member.
    if (m_capacity == 0 || address == nullptr) {
        return false;
    }
    for (std::size_t slot = SlotOf(address); m_slots[slot] != nullptr; slot = Next(slot)) {
        if (m_slots[slot] == address) {
            return true;
        }
    }
    return false;
}

bool PointerIndex::Insert(const void* address) {
    if (address == nullptr) {
        return false;
    }
    // Kept at most half full so that probe runs stay short.
    if ((m_size + 1) * 2 > m_capacity && !Grow()) {
        return false;
    }
    Place(address);
    ++m_size;
    return true;
}

void PointerIndex::Place(const void* address) {
    std::size_t slot = SlotOf(address);
    while (m_slots[slot] != nullptr) {
        slot = Next(slot);
    }
    m_slots[slot] = address;
}

bool PointerIndex::Grow() {
    std::size_t capacity = m_capacity == 0 ? kInitialCapacity : m_capacity * 2;
    auto* slots = static_cast<const void**>(std::calloc(capacity, sizeof(const void*)));
    if (slots == nullptr) {
        return false;
    }
    const void** old = m_slots;
    std::size_t oldCapacity = m_capacity;
    m_slots = slots;
    m_capacity = capacity;
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        if (old[i] != nullptr) {
            Place(old[i]);
        }
    }
    std::free(old);
    return true;
}

bool PointerIndex::Erase(const void* address) {
    if (m_capacity == 0 || address == nullptr) {
        return false;
    }
    std::size_t slot = SlotOf(address);
    while (m_slots[slot] != address) {
        if (m_slots[slot] == nullptr) {
            return false;
        }
        slot = Next(slot);
    }
    // Backward shift: pull later members of the probe run into the hole so that no lookup
    // stops early at it.
    std::size_t hole = slot;
    for (std::size_t probe = Next(hole); m_slots[probe] != nullptr; probe = Next(probe)) {
        std::size_t home = SlotOf(m_slots[probe]);
        bool homeOutsideHoleToProbe =
            hole <= probe ? (home <= hole || home > probe) : (home <= hole && home > probe);
        if (homeOutsideHoleToProbe) {
            m_slots[hole] = m_slots[probe];
            hole = probe;
        }
    }
    m_slots[hole] = nullptr;
    --m_size;
    return true;
}
