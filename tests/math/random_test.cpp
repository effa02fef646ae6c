#include "math/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr double kSeedOffset = 0.147328926107;
constexpr double kSeedMultiplier = 46.1063140045;
constexpr double kSeedShrink = 0.0817835148503;

// The generator rebuilt from its description: seeding by square roots of the seed, then
// two lagged entries combined with rotations.
class ReferenceGenerator {
public:
    explicit ReferenceGenerator(double seed) {
        if (seed < 0.0) {
            seed = kSeedOffset - seed;
        }
        while (seed >= 1.0) {
            seed *= kSeedShrink;
        }
        for (auto& entry : m_words) {
            for (std::uint32_t& word : entry) {
                seed = (std::sqrt(seed) + kSeedOffset) * kSeedMultiplier;
                seed = seed - std::floor(seed);
                std::uint64_t bits;
                std::memcpy(&bits, &seed, sizeof bits);
                word = static_cast<std::uint32_t>(bits & 0xFFFFFFFFu);
            }
        }
    }

    double NextDouble() {
        Step();
        const std::uint64_t bits = static_cast<std::uint64_t>(m_high) << 32 | m_low;
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value - 1.0;
    }

    std::uint32_t NextInteger() {
        Step();
        return m_low;
    }

private:
    static std::uint32_t RotateRight(std::uint32_t v, int n) { return v >> n | v << (32 - n); }

    void Step() {
        const std::uint32_t a = RotateRight(m_words[m_p1][0], 13) + m_words[m_p2][0];
        const std::uint32_t b = RotateRight(m_words[m_p1][1], 5) + m_words[m_p2][1];
        m_words[m_p1][0] = b;
        m_words[m_p1][1] = a;
        m_low = b;
        m_high = (a & 0x000FFFFFu) | 0x3FF00000u;
        m_p1 = m_p1 == 0 ? 16 : m_p1 - 1;
        m_p2 = m_p2 == 0 ? 16 : m_p2 - 1;
    }

    std::uint32_t m_words[17][2];
    int m_p1 = 0;
    int m_p2 = 10;
    std::uint32_t m_low = 0;
    std::uint32_t m_high = 0x3FF80000u;
};

std::vector<double> Draws(double seed, int count) {
    rgRandomize(seed);
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(rgRandom());
    }
    return values;
}

TEST(RandomGenerator, DrawsMatchTheDescribedAlgorithm) {
    ReferenceGenerator reference(0.5);
    rgRandomize(0.5);
    // Enough draws to wrap both lag indices several times.
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(rgRandom(), reference.NextDouble()) << "draw " << i;
        ASSERT_EQ(rgRandomN(), reference.NextInteger()) << "integer draw " << i;
        ASSERT_EQ(rgRandomF(), static_cast<float>(reference.NextDouble())) << "float draw " << i;
    }
    for (const double value : Draws(0.1, 20000)) {
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
    }
}

TEST(RandomGenerator, SeedsBelowZeroAreMirroredAndSeedsFromOneUpShrink) {
    const struct {
        double seed, same;
    } cases[] = {{-0.3, kSeedOffset + 0.3},
                 {-2.0, kSeedOffset + 2.0},
                 {5.0, 5.0 * kSeedShrink},
                 {1.0, kSeedShrink},
                 {100.0, 100.0 * kSeedShrink * kSeedShrink}};
    for (const auto& c : cases) {
        EXPECT_EQ(Draws(c.seed, 40), Draws(c.same, 40)) << c.seed;
    }
    EXPECT_NE(Draws(0.5, 40), Draws(0.25, 40));
}

TEST(RandomTables, TablesHoldTheNextDrawsInOrderAndShareOneByteCursor) {
    ReferenceGenerator reference(0.3);
    rgRandomize(0.3);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_DOUBLE), 1);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_INTEGER), 1);
    std::vector<double> doubles, floats;
    std::vector<std::uint32_t> integers;
    for (int i = 0; i < 1024; ++i) {
        doubles.push_back(reference.NextDouble());
    }
    for (int i = 0; i < 1024; ++i) {
        floats.push_back(reference.NextDouble());
    }
    for (int i = 0; i < 1024; ++i) {
        integers.push_back(reference.NextInteger());
    }
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(rgRandomNT(), integers[i]) << i;
    }
    EXPECT_EQ(rgRandomNT(), integers[0]); // wrapped
    // The cursor kept growing: now 1025 * 4 bytes, which each reader masks to its table.
    EXPECT_EQ(rgRandomFT(), static_cast<float>(floats[(4100 & 0xFFC) / 4]));
    EXPECT_EQ(rgRandomT(), doubles[(4104 & 0x1FF8) / 8]);

    // Generating resets the cursor; a failed call for an unknown kind does not.
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    std::vector<double> again;
    for (int i = 0; i < 1024; ++i) {
        again.push_back(reference.NextDouble());
    }
    EXPECT_EQ(rgRandomFT(), static_cast<float>(again[0]));
    EXPECT_EQ(rgGenerateTable(3), 0);
    EXPECT_EQ(rgGenerateTable(-1), 0);
    // Cursor 4, masked with 0x1FF8, reads double entry 0; the next float is entry 3.
    EXPECT_EQ(rgRandomT(), doubles[0]);
    EXPECT_EQ(rgRandomFT(), static_cast<float>(again[3]));
    for (int i = 4; i < 1024; ++i) {
        rgRandomFT();
    }
    EXPECT_EQ(rgRandomFT(), static_cast<float>(again[0])); // wrapped after 1024 entries
    // Cursor 4100 reads double entry 512; 1024 reads later it is there again.
    EXPECT_EQ(rgRandomT(), doubles[512]);
    for (int i = 1; i < 1024; ++i) {
        rgRandomT();
    }
    EXPECT_EQ(rgRandomT(), doubles[512]);
}

// A table that was never generated reads 0 and leaves the cursor alone. Tables live for the
// whole process, so this runs in a freshly started copy of the test program.
TEST(RandomTablesDeathTest, NeverGeneratedTableReadsZeroWithoutMovingTheCursor) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            rgRandomize(0.5);
            const float firstDraw = rgRandomF();
            rgRandomize(0.5);
            rgGenerateTable(RANDOM_TABLE_FLOAT);
            const bool unbuiltReadZero = rgRandomT() == 0.0 && rgRandomNT() == 0u;
            const bool cursorKept = rgRandomFT() == firstDraw;
            std::exit(unbuiltReadZero && cursorKept ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
