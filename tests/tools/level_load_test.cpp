#include "level_fixture.h"

#include "engine/element_table.h"
#include "engine/globals.h"
#include "engine/lifecycle.h"
#include "engine/model_table.h"
#include "engine/state.h"
#include "event/event_manager.h"
#include "model/material.h"
#include "model/model.h"
#include "scene/texture.h"
#include "support/machine_code.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"

namespace {

// The demo level built by lvltool and started by the engine.
class LevelLoadTest : public lvltest::DemoLevelTest {
protected:
    void SetUp() override {
        vgDisable();
        DemoLevelTest::SetUp();
        vgEnable();
        ASSERT_TRUE(Build()) << m_error.Text();
    }
    void TearDown() override {
        vgDisable();
        DemoLevelTest::TearDown();
    }

    testkit::DeviceHost m_host;
    testkit::DebugCapture m_log;
};

TEST_F(LevelLoadTest, TheEngineLoadsEveryPartOfABuiltLevel) {
    ASSERT_EQ(vgNewGame(m_dir.EnginePath("out/demo.vlf").c_str()), 1) << m_log.Text();
    EXPECT_EQ((std::vector<DWORD>{vgGetModelCount(), vgGetTextureCount(), vgGetSoundCount(),
                                  vgGetMusicCount()}),
              (std::vector<DWORD>{2, 2, 1, 2}));
    EXPECT_STREQ(g_level.pszMissionText, "Reach the beacon.\nGood \"luck\".");
    EXPECT_EQ(std::tuple(g_missionCode.GetAMXBufferSize(), g_level.info.dwWrap,
                         g_engine.gameState.fWorldSize),
              std::tuple(3u, 1u, 256.0f));

    // Paths the tool wrote relative are full against the output directory.
    EXPECT_EQ(vgGetModel(0)->szModulePath, Engine("out/ship.so"));
    // Both records share the converted model, whose box keys let the loader scale it to a
    // longest side of 1, and whose material found the texture copied with it.
    ASSERT_NE(vgGet3DModel(0), nullptr);
    EXPECT_EQ(vgGet3DModel(1), vgGet3DModel(0));
    D3DVECTOR min, max;
    vgGet3DModel(0)->GetBoundingBox(0, 0.0f, min, max);
    EXPECT_FLOAT_EQ(max.x - min.x, 1.0f);
    EXPECT_FLOAT_EQ(max.y - min.y, 0.5f);
    EXPECT_FLOAT_EQ(max.z - min.z, 0.25f);
    EXPECT_EQ(std::pair(vgGet3DModel(0)->GetMaterial(0)->GetTextureIndex(),
                        g_level.ppTextureObjects[0]->GetMipMapCount()),
              std::pair(0u, 2u));

    // The time trigger went to the absolute list; the other two stay in their quadrants.
    CLinkedList<tagGAME_TRIGGER>& centre = *g_eventManager.GetTriggerList(42);
    CLinkedList<tagGAME_TRIGGER>& corner = *g_eventManager.GetTriggerList(56);
    ASSERT_EQ(std::tuple(g_eventManager.GetTriggerCount(), centre.GetCount(), corner.GetCount()),
              std::tuple(3u, 1u, 1u));
    EXPECT_EQ(std::tuple(centre.GetHead()->dwType, centre.GetHead()->fFireTime,
                         corner.GetHead()->dwCreateBlockSize),
              std::tuple(kTriggerProximityDelayed, 2.5f, 2u));
}

} // namespace
