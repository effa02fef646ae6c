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

TEST_F(LifecycleTest, EnableResetsOnceAndLeavesAPausedEngineWithItsCameraAndLight) {
    g_engine.gameState.dwNextEntityId = 777;
    EXPECT_EQ(vgEnable(), 1);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
    EXPECT_EQ(vgEnable(), 0) << "already enabled";
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u) << "no second reset";
    // Paused, without a level, watching through the engine camera.
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgGetActiveViewMatrix(), nullptr);
    CCamera* camera = vgGetActiveCamera();
    ASSERT_EQ(camera, &g_engineCamera);
    EXPECT_EQ(camera->GetState(), 1u);
    EXPECT_EQ(camera->GetMode(), 2u);
    EXPECT_EQ(camera->GetType(), static_cast<DWORD>(CCamera::CAMERA_TYPE_FIRST_PERSON));
    EXPECT_EQ(camera->GetPosition().z, -1.0f);
    EXPECT_EQ(camera->GetOrientation().z, 1.0f) << "updated once, looking at the origin";
    // A white directional light with specular highlights.
    const D3DLIGHT2& light = *g_engineLight.GetLightInfo();
    EXPECT_EQ(light.dltType, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.dvDirection.y, -1.0f);
    EXPECT_EQ(light.dcvColor.r, 1.0f);
    EXPECT_EQ(light.dcvColor.b, 1.0f);
    EXPECT_EQ(light.dwFlags, D3DLIGHT_ACTIVE);
    EXPECT_EQ(m_host.Log().Count("Direct3D::CreateLight"), 1u);
}

TEST_F(LifecycleTest, DisableOnlyActsOnAnEnabledEngine) {
    EXPECT_EQ(vgDisable(), 0);
    vgEnable();
    EXPECT_EQ(vgDisable(), 1);
    EXPECT_EQ(vgGetActiveCamera(), nullptr);
    EXPECT_EQ(vgDisable(), 0);
    // The light object is gone: scene calls are refused.
    EXPECT_EQ(g_engineLight.AddToScene(m_host.Viewport()), 0);
}

TEST_F(LifecycleTest, ResetThrowsAwayTheLevel) {
    vgEnable();
    CBaseEntity* parent = vgSpawnParentEntity();
    vgSpawnChildEntity(parent);
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
    EXPECT_EQ(vgGetCurrentPhysicsFTime(), 0.0f);
    EXPECT_EQ(g_engine.dwLastPhysicsTicks, 0u);
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgIsGamePaused(), 1);
    EXPECT_EQ(g_missionCode.GetAMXBuffer(), nullptr);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
}

TEST_F(LifecycleTest, PausingTakesTheLightOutOfTheViewportAndResumingPutsItBack) {
    vgEnable();
    vgPauseGame(0);
    ASSERT_EQ(m_host.Viewport()->Lights().size(), 1u);
    vgPauseGame(5);
    EXPECT_EQ(vgIsGamePaused(), 5) << "the pause value is stored as given";
    EXPECT_TRUE(m_host.Viewport()->Lights().empty());
    // Pausing again finds no light to take out, and says so.
    m_capture.Clear();
    vgPauseGame(1);
    EXPECT_TRUE(m_capture.Contains("CLight::DeleteFromScene() Failed to delete light! Error="));
    vgPauseGame(0);
    EXPECT_EQ(m_host.Viewport()->Lights().size(), 1u);
    // Every GetCurrentViewport reference was given back.
    EXPECT_EQ(m_host.Log().Count("Device::GetCurrentViewport"),
              m_host.Log().Count("Viewport::Release"));
}

TEST_F(LifecycleTest, PauseWithoutAViewportStillPauses) {
    vgEnable();
    m_host.Globals().pDevice = nullptr; // a device without a viewport answers the same
    m_capture.Clear();
    vgPauseGame(0);
    EXPECT_TRUE(m_capture.Contains("VelEng::vgPauseGame() NULL viewport!"));
    EXPECT_EQ(vgIsGamePaused(), 0);
}

TEST_F(LifecycleTest, NewGameOfAMissingLevelFailsAfterTheReset) {
    vgEnable();
    vgSpawnParentEntity();
    testkit::ScratchDir dir;
    EXPECT_EQ(vgNewGame(dir.EnginePath("level1.vlf").c_str()), 0);
    EXPECT_TRUE(m_capture.Contains("VelEng::vgNewGame() Failed to load level info. Last error="));
    EXPECT_EQ(vgGetEntityList()->GetCount(), 0u) << "the previous level is gone";
    EXPECT_EQ(vgIsGameLoaded(), 0);
    EXPECT_EQ(vgIsGamePaused(), 1);
}

} // namespace
