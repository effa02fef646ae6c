#include "support/pointer_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <vector>

namespace {

const void* Address(std::uintptr_t value) {
    return reinterpret_cast<const void*>(value);
}

TEST(PointerIndexTest, AgreesWithAReferenceSetUnderChurnAndGrowth) {
    PointerIndex index;
    EXPECT_FALSE(index.Contains(Address(64)));
    EXPECT_FALSE(index.Erase(Address(64)));
    std::set<std::uintptr_t> reference;
    std::mt19937_64 random(99);
    for (int round = 0; round < 30000; ++round) {
        // A small address range forces collisions and long probe runs; the later rounds
        // only insert, from a wider range, so that the table grows.
        const bool growing = round >= 20000;
        std::uintptr_t value = 16 * (1 + random() % (growing ? 30000 : 3000));
        if (growing || random() % 2 == 0) {
            if (reference.insert(value).second) { // members are inserted once
                ASSERT_TRUE(index.Insert(Address(value)));
            }
        } else {
            ASSERT_EQ(index.Erase(Address(value)), reference.erase(value) == 1);
        }
        ASSERT_EQ(index.Size(), reference.size());
    }
    for (std::uintptr_t value = 8; value <= 16 * 30000; value += 8) {
        ASSERT_EQ(index.Contains(Address(value)), reference.count(value) == 1) << value;
    }
}

// The first n multiples of 16 whose home is the slot in the first table (64 slots), hashed as
// the index hashes addresses.
std::vector<std::uintptr_t> HomedAt(std::size_t slot, std::size_t n) {
    std::vector<std::uintptr_t> values;
    for (std::uintptr_t value = 16; values.size() < n; value += 16) {
        if (((value >> 4) * 0x9E3779B97F4A7C15ull >> 20 & 63) == slot) {
            values.push_back(value);
        }
    }
    return values;
}

// Probe runs that wrap past the last slot: erasing shifts back only the members whose home
// the hole lies on the way to.
TEST(PointerIndexTest, ErasingKeepsProbeRunsThatWrapPastTheEnd) {
    const auto at62 = HomedAt(62, 1), at63 = HomedAt(63, 3), at0 = HomedAt(0, 1);
    const std::vector<std::uintptr_t> cases[] = {
        {at63[0], at63[1], at63[2]}, // both wrapped members shift back
        {at63[0], at0[0]},           // the member at home in slot 0 stays
        {at62[0], at63[0], at63[1]}, // neither member's home is at or past the hole
    };
    for (const auto& members : cases) {
        PointerIndex index;
        for (std::uintptr_t value : members) {
            ASSERT_TRUE(index.Insert(Address(value)));
        }
        ASSERT_TRUE(index.Erase(Address(members[0])));
        for (std::uintptr_t value : members) {
            EXPECT_EQ(index.Contains(Address(value)), value != members[0]) << value;
        }
    }
}

} // namespace
