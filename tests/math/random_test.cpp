#include "math/random.h"
#include "testkit/bounded_wait.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr double kSeedOffset = 0.147328926107;
constexpr double kSeedShrink = 0.0817835148503;

template <typename T> std::vector<T> Next(int count, T (*draw)()) {
    std::vector<T> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(draw());
    }
    return values;
}

template <typename T> std::vector<T> Draws(double seed, int count, T (*draw)()) {
    rgRandomize(seed);
    return Next(count, draw);
}

// Draws worked out apart from the engine from the seeding recurrence (square roots of the
// seed) and the rotation step of the two lagged entries; draw 17 and later have wrapped both
// lag indices. Seed 5.0 shrinks once to 0.4089175742515 first.
TEST(RandomGenerator, DrawsMatchTheWorkedOutSequences) {
    const std::vector<DWORD> integers = Draws<DWORD>(0.5, 100, rgRandomN);
    const std::vector<double> doubles = Draws<double>(0.5, 100, rgRandom);
    EXPECT_EQ(integers[0], 0x21751124u);
    EXPECT_EQ(integers[16], 0xA96723F0u);
    EXPECT_EQ(integers[17], 0x08F793A2u);
    EXPECT_EQ(integers[33], 0xB5AE4316u);
    EXPECT_EQ(integers[99], 0xA3DF1D3Du);
    EXPECT_EQ(doubles[0], 0.23847592419867514);
    EXPECT_EQ(doubles[17], 0.28694919111988115);
    EXPECT_EQ(doubles[99], 0.18923439037628431);
    EXPECT_EQ(Draws<float>(0.5, 1, rgRandomF)[0], static_cast<float>(doubles[0]));

    rgRandomize(5.0);
    EXPECT_EQ(rgRandomN(), 0xF2B429A0u);
    EXPECT_EQ(rgRandomN(), 0xDA49E9ACu);
    EXPECT_EQ(rgRandom(), 0.528484707304715);
    EXPECT_EQ(rgRandom(), 0.05052979488424825);
}

TEST(RandomGenerator, SeedsBelowZeroAreMirroredAndSeedsFromOneUpShrink) {
    const struct {
        double seed, same;
    } cases[] = {{-0.3, kSeedOffset + 0.3},
                 {5.0, 5.0 * kSeedShrink},
                 {1.0, kSeedShrink},
                 {100.0, 100.0 * kSeedShrink * kSeedShrink}};
    for (const auto& c : cases) {
        EXPECT_EQ(Draws<DWORD>(c.seed, 40, rgRandomN), Draws<DWORD>(c.same, 40, rgRandomN))
            << c.seed;
    }
    EXPECT_NE(Draws<DWORD>(0.5, 40, rgRandomN), Draws<DWORD>(0.25, 40, rgRandomN));
}

// A level file can carry any double as its seed: one that is not finite seeds as 0, and
// returns instead of shrinking for ever.
TEST(RandomGenerator, NonFiniteSeedsSeedAsZero) {
    const std::vector<DWORD> zero = Draws<DWORD>(0.0, 4, rgRandomN);
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (double seed : {kInfinity, -kInfinity, std::numeric_limits<double>::quiet_NaN()}) {
        std::vector<DWORD> draws;
        ASSERT_TRUE(testkit::FinishesWithin([&draws, seed] {
            draws = Draws<DWORD>(seed, 4, rgRandomN);
        })) << "seed "
            << seed;
        EXPECT_EQ(draws, zero) << "seed " << seed;
    }
}

TEST(RandomTables, TablesHoldTheNextDrawsInOrderAndShareOneByteCursor) {
    // Tables are filled double, float, integer from the draws that follow the seeding.
    const std::vector<double> doubles = Draws<double>(0.3, 1024, rgRandom);
    const std::vector<double> floats = Next<double>(1024, rgRandom);
    const std::vector<DWORD> integers = Next<DWORD>(1024, rgRandomN);
    const std::vector<double> again = Next<double>(1024, rgRandom);
    rgRandomize(0.3);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_DOUBLE), 1);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_INTEGER), 1);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(rgRandomNT(), integers[i]) << i;
    }
    EXPECT_EQ(rgRandomNT(), integers[0]); // wrapped
    // The cursor kept growing: now 1025 * 4 bytes, which each reader masks to its table.
    EXPECT_EQ(rgRandomFT(), static_cast<float>(floats[(4100 & 0xFFC) / 4]));
    EXPECT_EQ(rgRandomT(), doubles[(4104 & 0x1FF8) / 8]);

    // Generating resets the cursor; a failed call for an unknown kind does not.
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
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
