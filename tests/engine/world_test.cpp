#include "engine/world.h"

#include "engine/element_table.h"
#include "engine/state.h"
#include "math/random.h"
#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::vector<float> Components(const D3DVECTOR& v) {
    return {v.x, v.y, v.z};
}

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

    const GAME_STATE& m_world = g_engine.gameState;
    testkit::DebugCapture m_capture;
    GAME_STATE m_savedState = {};
    DWORD m_savedWrap = 0;
};

TEST_F(WorldTest, SizeSetsBoundsAndFactorAndOnlyPositiveFiniteSizesAreTaken) {
    vgInitialiseWorldSize(100.0f);
    const std::vector<float> world = {m_world.fWorldSize, m_world.fQuadrantFactor,
                                      m_world.fWorldMin, m_world.fWorldMax};
    EXPECT_EQ(world, (std::vector<float>{100.0f, static_cast<float>(1.0 / 25.0), -50.0f, 50.0f}));
    for (float size :
         {0.0f, -0.0f, -256.0f, kInfinity, kNaN, std::numeric_limits<float>::denorm_min()}) {
        m_capture.Clear();
        vgInitialiseWorldSize(size);
        char expected[128];
        std::snprintf(expected, sizeof expected,
                      "VelEng::vgInitialiseWorldSize() Invalid world size %f!\n", size);
        EXPECT_EQ(m_capture.Text(), expected);
        EXPECT_EQ((std::vector<float>{m_world.fWorldSize, m_world.fQuadrantFactor,
                                      m_world.fWorldMin, m_world.fWorldMax}),
                  world)
            << "the world stays as it was";
    }
}

// A world of 256 unless given; rows with a message are reported with it.
TEST_F(WorldTest, SlicesOfAWorldWrappedOrNot) {
    const struct {
        DWORD wrap;
        float value;
        DWORD slice;
        const char* message;
        float size = 256.0f;
    } cases[] = {
        {0, -128.0f, 0, nullptr},
        {0, -64.5f, 0, nullptr},
        {0, -64.0f, 1, nullptr},
        {0, 128.0f, 4, nullptr}, // the top bound is inside and gives slice 4
        // Outside a world that does not wrap (only exactly 1 wraps): slice 0, reported.
        {2, 150.0f, 0, "150.0000 vs (-128.0000,128.0000)\n"},
        {0, -128.5f, 0, "-128.5000 vs (-128.0000,128.0000)\n"},
        {0, kInfinity, 0, " inf vs (-128.0000,128.0000)\n"},
        // A wrapped world repeats along each axis; -400 becomes 112, 384 stops on the top.
        {1, -400.0f, 3, nullptr},
        {1, 384.0f, 4, nullptr},
        {1, -384.0f, 0, nullptr},
        {1, kInfinity, 0, " inf vs (-128.0000,128.0000)\n"},
        {0, kNaN, 0, ""},
        // Whole world sizes are added or taken away at once, so huge coordinates end too.
        {1, 1.0e30f, 2, nullptr},
        {1, -3.0e38f, 2, nullptr},
        {1, -1000.7f, 2, nullptr, 100.3f}, // 2.3 in (-50.15, 50.15)
        {1, 999.99f, 1, nullptr, 7.0f},    // -1.01 in (-3.5, 3.5)
    };
    for (const auto& c : cases) {
        vgInitialiseWorldSize(c.size);
        g_level.info.dwWrap = c.wrap;
        m_capture.Clear();
        EXPECT_EQ(vgQuadrantFromAxis(c.value), c.slice) << c.value << " wrap " << c.wrap;
        const std::string report = "VelEng::vgQuadrantFromAxis() Value out of range. ";
        // NaN is reported in whatever way the C library prints it.
        EXPECT_EQ(std::isnan(c.value) ? m_capture.Text().substr(0, report.size())
                                      : m_capture.Text(),
                  c.message ? report + c.message : "")
            << c.value;
    }
}

TEST_F(WorldTest, QuadrantCombinesTheThreeSlices) {
    const struct {
        D3DVECTOR position;
        DWORD quadrant;
        std::string message;
    } cases[] = {
        {D3DVECTOR(0, 0, 0), 42, ""},
        {D3DVECTOR(-128, -128, -128), 0, ""},
        {D3DVECTOR(127, 127, 127), 63, ""},
        {D3DVECTOR(-100, 100, -10), 0 + 4 * 3 + 16 * 1, ""},
        {D3DVECTOR(128, 0, 0), 4 + 8 + 32, ""}, // slice 4 on x or y stays below 64
        // A point on the top z bound is an invalid quadrant.
        {D3DVECTOR(0, 0, 128), 0,
         "VelEng::vgGetQuadrant() Invalid quadrant 74 from <0.000000,0.000000,128.000000>\n"},
        // A point outside on one axis counts as slice 0 there.
        {D3DVECTOR(0, 500, 0), 2 + 0 + 32,
         "VelEng::vgQuadrantFromAxis() Value out of range. 500.0000 vs (-128.0000,128.0000)\n"},
    };
    for (auto c : cases) {
        m_capture.Clear();
        EXPECT_EQ(vgGetQuadrant(&c.position), c.quadrant) << c.quadrant;
        EXPECT_EQ(m_capture.Text(), c.message);
    }
}

TEST_F(WorldTest, RandomUnitVectorDrawsZThenYThenXFromTheFloatTable) {
    rgRandomize(4711.0);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    const float z = rgRandomFT(), y = rgRandomFT(), x = rgRandomFT();
    // The same seed builds the same table, with the cursor back at its start.
    rgRandomize(4711.0);
    ASSERT_EQ(rgGenerateTable(RANDOM_TABLE_FLOAT), 1);
    D3DVECTOR v(-1.0f, -1.0f, -1.0f);
    vgRandomUnitVector(&v);
    EXPECT_EQ(Components(v), Components(Normalize(D3DVECTOR(x, y, z))));
    for (int i = 0; i < 200; ++i) {
        vgRandomUnitVector(&v);
        EXPECT_TRUE(std::abs(Magnitude(v) - 1.0f) <= 1e-6f && std::min({v.x, v.y, v.z}) >= 0.0f);
    }
    // Draws without length give a fixed unit vector.
    EXPECT_EQ(Components(UnitVectorFromDraws(0.0f, 0.0f, 0.0f)), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(Components(UnitVectorFromDraws(0.0f, 0.25f, 0.0f)), (std::vector<float>{0, 1, 0}));
}

} // namespace
