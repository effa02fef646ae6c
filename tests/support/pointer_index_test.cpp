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

TEST(PointerIndexTest, AgreesWithAReferenceSetUnderChurn) {
    PointerIndex index;
    std::set<std::uintptr_t> reference;
    std::mt19937_64 random(99);
    for (int round = 0; round < 20000; ++round) {
        // A small address range forces many collisions and long probe runs.
        std::uintptr_t value = 16 * (1 + random() % 3000);
        if (random() % 2 == 0) {
            if (reference.insert(value).second) {
                ASSERT_TRUE(index.Insert(Address(value)));
            }
        } else {
            ASSERT_EQ(index.Erase(Address(value)), reference.erase(value) == 1);
        }
        ASSERT_EQ(index.Size(), reference.size());
    }
    for (std::uintptr_t value = 16; value <= 16 * 3000; value += 16) {
        ASSERT_EQ(index.Contains(Address(value)), reference.count(value) == 1) << value;
    }
    PointerIndex empty;
    EXPECT_FALSE(empty.Contains(Address(64)));
    EXPECT_FALSE(empty.Erase(Address(64)));
}

TEST(PointerIndexTest, GrowthKeepsEveryMember) {
    PointerIndex index;
    std::vector<std::uintptr_t> values;
    for (std::uintptr_t i = 1; i <= 10000; ++i) {
        values.push_back(i * 48);
        ASSERT_TRUE(index.Insert(Address(i * 48)));
    }
    for (std::uintptr_t value : values) {
        ASSERT_TRUE(index.Contains(Address(value)));
    }
    EXPECT_FALSE(index.Contains(Address(8)));
}

} // namespace
