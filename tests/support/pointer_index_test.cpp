#include "support/pointer_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>

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

} // namespace
