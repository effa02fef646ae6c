#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "event/event_manager.h"
#include "platform/os/clock.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "support/machine_code.h"
#include "testkit/debug_capture.h"
#include "testkit/device_host.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

namespace {

class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { vgDisable(); }
    void TearDown() override {
        vgDisable();
        platform::ThawClock();
    }

    testkit::DeviceHost m_host;
    testkit::DebugCapture m_capture;
};

// Enabling resets once and leaves a paused engine without a level, watching through the
// engine camera with a directional light.
TEST_F(LifecycleTest, EnableAndDisableActOnlyOnceEach) {
    EXPECT_EQ(vgDisable(), 0);
    g_engine.gameState.dwNextEntityId = 777;
    EXPECT_EQ(vgEnable(), 1);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
    EXPECT_EQ(vgEnable(), 0) << "already enabled";
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u) << "no second reset";
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgGetActiveViewMatrix(), nullptr);
    ASSERT_EQ(vgGetActiveCamera(), &g_engineCamera);
    EXPECT_EQ(g_engineCamera.GetOrientation().z, 1.0f) << "updated once, looking at the origin";
    EXPECT_EQ(g_engineLight.GetLightInfo()->dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(m_host.Log().Count("Direct3D::CreateLight"), 1u);

    EXPECT_EQ(vgDisable(), 1);
    EXPECT_EQ(vgGetActiveCamera(), nullptr);
    EXPECT_EQ(vgDisable(), 0);
    EXPECT_EQ(g_engineLight.AddToScene(m_host.Viewport()), 0) << "the light object is gone";
}

TEST_F(LifecycleTest, ResetThrowsAwayTheLevelAndANewGameStartsWithIt) {
    vgEnable();
    vgSpawnChildEntity(vgSpawnParentEntity());
    tagGAME_TRIGGER trigger{};
    g_eventManager.GetTriggerList(3)->AddTail(trigger);
    AdvanceClock(PhysicsClock(), 100);
    AdvanceClock(PhysicsClock(), 400);
    AdvanceClock(RenderClock(), 50);
    g_engine.bGameLoaded = TRUE;
    vgPauseGame(0);
    ResetLevel();
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
    EXPECT_EQ(g_eventManager.GetTriggerList(3)->GetCount(), 0u);
    EXPECT_EQ(vgGetCurrentPhysicsTime(), 0u);
    EXPECT_EQ(vgGetCurrentRenderTime(), 0u);
    EXPECT_EQ(g_engine.dwLastPhysicsTicks, 0u);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(g_missionCode.GetAMXBuffer(), nullptr);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);

    testkit::ScratchDir dir;
    EXPECT_EQ(vgNewGame(dir.EnginePath("level1.vlf").c_str()), 0);
    EXPECT_TRUE(m_capture.Contains("VelEng::vgNewGame() Failed to load level info. Last error="));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u) << "the reset came first";
    EXPECT_EQ(vgIsGamePaused(), 1);
}

TEST_F(LifecycleTest, PausingTakesTheLightOutOfTheViewportAndResumingPutsItBack) {
    vgEnable();
    vgPauseGame(0);
    ASSERT_EQ(m_host.Viewport()->Lights().size(), 1u);
    vgPauseGame(5);
    EXPECT_EQ(vgIsGamePaused(), 5) << "the pause value is stored as given";
    EXPECT_TRUE(m_host.Viewport()->Lights().empty());
    m_capture.Clear();
    vgPauseGame(1);
    EXPECT_TRUE(m_capture.Contains("CLight::DeleteFromScene() Failed to delete light! Error="))
        << "pausing again finds no light to take out";
    vgPauseGame(0);
    EXPECT_EQ(m_host.Viewport()->Lights().size(), 1u);
    EXPECT_EQ(m_host.Log().Count("Device::GetCurrentViewport"),
              m_host.Log().Count("Viewport::Release"));
    vgPauseGame(1);
    m_host.Globals().pDevice = nullptr; // a device without a viewport answers the same
    vgPauseGame(0);
    EXPECT_TRUE(m_capture.Contains("VelEng::vgPauseGame() NULL viewport!"));
    EXPECT_EQ(vgIsGamePaused(), 0) << "it still pauses and resumes";
}

} // namespace
