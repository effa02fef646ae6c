#include "engine/world.h"

#include "engine/element_table.h"
#include "engine/state.h"
#include "math/random.h"
#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace {

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedState = g_engine.gameState;
        m_savedWrap = g_level.info.dwWrap;
        g_level.info.dwWrap = 0;
        vgInitialiseWorldSize(256.0f);
    }
    void TearDown() override {
        g_engine.gameState = m_savedState;
        g_level.info.dwWrap = m_savedWrap;
    }

    GAME_STATE m_savedState = {};
    DWORD m_savedWrap = 0;
};

// The wrap as a world that repeats defines it: whole world sizes added while below, then
// subtracted while above, one float step at a time.
float WrapByRepeatedSteps(float v) {
    const GAME_STATE& world = g_engine.gameState;
    while (v < world.fWorldMin) {
        v += world.fWorldSize;
    }
    while (v > world.fWorldMax) {
        v -= world.fWorldSize;
    }
    return v;
}

TEST_F(WorldTest, SizeSetsBoundsAndFactor) {
    const GAME_STATE& world = g_engine.gameState;
    EXPECT_EQ(world.fWorldSize, 256.0f);
    EXPECT_EQ(world.fWorldMin, -128.0f);
    EXPECT_EQ(world.fWorldMax, 128.0f);
    EXPECT_EQ(world.fQuadrantFactor, 0.015625f);

    vgInitialiseWorldSize(100.0f);
    EXPECT_EQ(world.fQuadrantFactor, static_cast<float>(1.0 / 25.0));
    EXPECT_EQ(world.fWorldMin, -50.0f);
}

TEST_F(WorldTest, SizesThatAreNotPositiveFiniteNumbersAreRefused) {
    const float refused[] = {0.0f,
                             -0.0f,
                             -256.0f,
                             std::numeric_limits<float>::infinity(),
                             std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::denorm_min()};
    for (float size : refused) {
        testkit::DebugCapture capture;
        vgInitialiseWorldSize(size);
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "VelEng::vgInitialiseWorldSize() Invalid world size %f!\n", size);
        ASSERT_EQ(capture.Lines().size(), 1u) << size;
        EXPECT_EQ(capture.Lines()[0], expected);
        EXPECT_EQ(g_engine.gameState.fWorldSize, 256.0f) << "the world stays as it was";
        EXPECT_EQ(g_engine.gameState.fQuadrantFactor, 0.015625f);
    }
}

TEST_F(WorldTest, SlicesOfAWorldOf256WrappedOrNot) {
    const struct {
        DWORD wrap;
        float value;
        DWORD slice;
        const char* message;
    } cases[] = {
        {0, -128.0f, 0, nullptr},
        {0, -64.5f, 0, nullptr},
        {0, -64.0f, 1, nullptr},
        {0, 0.0f, 2, nullptr},
        {0, 127.5f, 3, nullptr},
        {0, 128.0f, 4, nullptr}, // the top bound is inside and gives slice 4
        // Outside a world that does not wrap (only exactly 1 wraps): slice 0, reported.
        {0, 150.0f, 0, "150.0000 vs (-128.0000,128.0000)\n"},
        {2, 150.0f, 0, "150.0000 vs (-128.0000,128.0000)\n"},
        {2, -128.5f, 0, "-128.5000 vs (-128.0000,128.0000)\n"},
        // A wrapped world repeats along each axis.
        {1, 150.0f, 0, nullptr},
        {1, -106.0f, 0, nullptr},
        {1, -400.0f, 3, nullptr}, // -400 becomes 112
        {1, 384.0f, 4, nullptr},  // 384 stops on the top bound
        {1, -384.0f, 0, nullptr},
    };
    for (const auto& c : cases) {
        g_level.info.dwWrap = c.wrap;
        testkit::DebugCapture capture;
        EXPECT_EQ(vgQuadrantFromAxis(c.value), c.slice) << c.value << " wrap " << c.wrap;
        if (c.message == nullptr) {
            EXPECT_TRUE(capture.Lines().empty()) << c.value;
        } else {
            EXPECT_EQ(capture.Text(),
                      std::string("VelEng::vgQuadrantFromAxis() Value out of range. ") + c.message);
        }
    }
}

TEST_F(WorldTest, WrapMatchesRepeatedStepsForOrdinaryCoordinates) {
    g_level.info.dwWrap = 1;
    for (float size : {256.0f, 100.3f, 7.0f}) {
        vgInitialiseWorldSize(size);
        const GAME_STATE& world = g_engine.gameState;
        for (float v : {-1000.7f, -333.25f, -150.5f, -0.1f, 49.9f, 150.15f, 999.99f, 4096.0f}) {
            float wrapped = WrapByRepeatedSteps(v);
            auto expected = static_cast<DWORD>((wrapped - world.fWorldMin) * world.fQuadrantFactor);
            EXPECT_EQ(vgQuadrantFromAxis(v), expected) << "size " << size << " value " << v;
        }
    }
}

TEST_F(WorldTest, CoordinatesAFloatStepCannotMoveEndWithoutLooping) {
    g_level.info.dwWrap = 1;
    testkit::DebugCapture capture;
    for (float v : {1.0e30f, -3.0e38f}) {
        EXPECT_LE(vgQuadrantFromAxis(v), 4u) << v;
    }
    for (DWORD wrap : {1u, 0u}) {
        g_level.info.dwWrap = wrap;
        capture.Clear();
        EXPECT_EQ(vgQuadrantFromAxis(std::numeric_limits<float>::infinity()), 0u);
        EXPECT_EQ(vgQuadrantFromAxis(std::numeric_limits<float>::quiet_NaN()), 0u);
        ASSERT_EQ(capture.Lines().size(), 2u) << "wrap " << wrap;
        EXPECT_EQ(capture.Lines()[0], "VelEng::vgQuadrantFromAxis() Value out of range.  inf vs "
                                      "(-128.0000,128.0000)\n");
        EXPECT_EQ(capture.Lines()[1].rfind("VelEng::vgQuadrantFromAxis() Value out of range.", 0),
                  0u);
    }
}

TEST_F(WorldTest, QuadrantCombinesTheThreeSlices) {
    testkit::DebugCapture capture;
    D3DVECTOR centre(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(vgGetQuadrant(&centre), 42u);
    D3DVECTOR corner(-128.0f, -128.0f, -128.0f);
    EXPECT_EQ(vgGetQuadrant(&corner), 0u);
    D3DVECTOR high(127.0f, 127.0f, 127.0f);
    EXPECT_EQ(vgGetQuadrant(&high), 63u);
    D3DVECTOR mixed(-100.0f, 100.0f, -10.0f);
    EXPECT_EQ(vgGetQuadrant(&mixed), 0u + 4 * 3 + 16 * 1);
    // Slice 4 on x or y still adds up to a number below 64.
    D3DVECTOR topX(128.0f, 0.0f, 0.0f);
    EXPECT_EQ(vgGetQuadrant(&topX), 4u + 8 + 32);
    EXPECT_TRUE(capture.Lines().empty());

    // A point on the top z bound is an invalid quadrant.
    D3DVECTOR top(0.0f, 0.0f, 128.0f);
    EXPECT_EQ(vgGetQuadrant(&top), 0u);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "VelEng::vgGetQuadrant() Invalid quadrant 74 from "
                                  "<0.000000,0.000000,128.000000>\n");
    // A point outside on one axis counts as slice 0 there.
    capture.Clear();
    D3DVECTOR outside(0.0f, 500.0f, 0.0f);
    EXPECT_EQ(vgGetQuadrant(&outside), 2u + 0 + 32);
    EXPECT_EQ(capture.Lines().size(), 1u);
}

TEST_F(WorldTest, RandomUnitVectorDrawsZThenYThenXFromTheFloatTable) {
    rgRandomize(4711.0);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    float z = rgRandomFT();
    float y = rgRandomFT();
    float x = rgRandomFT();
    // The same seed builds the same table, with the cursor back at its start.
    rgRandomize(4711.0);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);

    D3DVECTOR v(-1.0f, -1.0f, -1.0f);
    vgRandomUnitVector(&v);
    D3DVECTOR expected = Normalize(D3DVECTOR(x, y, z));
    EXPECT_EQ(v.x, expected.x);
    EXPECT_EQ(v.y, expected.y);
    EXPECT_EQ(v.z, expected.z);
    for (int i = 0; i < 200; ++i) {
        vgRandomUnitVector(&v);
        EXPECT_NEAR(Magnitude(v), 1.0f, 1e-6f);
        EXPECT_GE(v.x, 0.0f);
        EXPECT_GE(v.y, 0.0f);
        EXPECT_GE(v.z, 0.0f);
    }
    // Draws without length give a fixed unit vector.
    D3DVECTOR zero = UnitVectorFromDraws(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 1.0f);
    D3DVECTOR alongY = UnitVectorFromDraws(0.0f, 0.25f, 0.0f);
    EXPECT_EQ(alongY.y, 1.0f);
    EXPECT_EQ(alongY.z, 0.0f);
}

} // namespace
