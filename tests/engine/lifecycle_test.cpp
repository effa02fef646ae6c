#include "engine/globals.h"
#include "engine_fixture.h"
#include "entity/entity.h"
#include "platform/os/message_box.h"
#include "scene/camera.h"
#include "scene/light.h"

namespace {

using LifecycleTest = EngineTest;

// Enabling resets once and leaves a paused engine without a level, watching through the
// engine camera with a directional light.
TEST_F(LifecycleTest, EnableAndDisableActOnlyOnceEach) {
    EXPECT_EQ(vgDisable(), 1);
    EXPECT_EQ(vgDisable(), 0);
    m_host.Log().ClearCalls();
    g_engine.gameState.dwNextEntityId = 777;
    EXPECT_EQ(vgEnable(), 1);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, 500u);
    EXPECT_EQ(vgEnable(), 0) << "already enabled";
    EXPECT_EQ(vgGetEntityList()->GetCount(), 1u) << "no second reset";
    EXPECT_EQ(std::make_pair(vgIsGamePaused(), vgIsGameLoaded()), std::make_pair(1, 0));
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

TEST_F(LifecycleTest, PausingTakesTheLightOutOfTheViewportAndResumingPutsItBack) {
    vgPauseGame(0);
    ASSERT_EQ(m_host.Viewport()->Lights().size(), 1u);
    vgPauseGame(5);
    EXPECT_EQ(vgIsGamePaused(), 5) << "the pause value is stored as given";
    EXPECT_TRUE(m_host.Viewport()->Lights().empty());
    m_log.Clear();
    vgPauseGame(1);
    EXPECT_TRUE(m_log.Contains("CLight::DeleteFromScene() Failed to delete light! Error="))
        << "pausing again finds no light to take out";
    vgPauseGame(0);
    EXPECT_EQ(m_host.Viewport()->Lights().size(), 1u);
    EXPECT_EQ(m_host.Log().Count("Device::GetCurrentViewport"),
              m_host.Log().Count("Viewport::Release"));
    m_host.Globals().pDevice = nullptr; // no device, or no host record, answers the same
    vgPauseGame(1);
    vgSetGlobals(nullptr);
    vgPauseGame(0);
    vgSetGlobals(&m_host.Globals());
    EXPECT_TRUE(m_log.Contains("VelEng::vgPauseGame() NULL viewport!"));
    EXPECT_EQ(vgIsGamePaused(), 0) << "it still pauses and resumes";
}

// Records every box shown and answers with a preset button.
struct BoxRecorder {
    std::vector<std::string> boxes; // caption, text and style of each
    int answer = IDOK;

    static int Show(const char* text, const char* caption, UINT style, void* context) {
        auto* self = static_cast<BoxRecorder*>(context);
        self->boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(style));
        return self->answer;
    }
};

// An error box has its caption and one button; a warning keeps the caller's style and
// returns the button pressed.
TEST(MessageBoxTest, ErrorAndWarningBoxesHaveTheirCaptionsAndButtons) {
    BoxRecorder recorder;
    const MessageBoxHook previous = SetMessageBoxHandler({BoxRecorder::Show, &recorder});
    EXPECT_EQ(vgErrorMsg("Level file missing"), IDOK);
    recorder.answer = IDNO;
    EXPECT_EQ(vgWarningMsg("Quit?", MB_YESNO | MB_ICONWARNING), IDNO);
    SetMessageBoxHandler(previous);
    EXPECT_EQ(recorder.boxes,
              (std::vector<std::string>{
                  "Quellion Error!|Level file missing|" + std::to_string(MB_OK),
                  "Quellion Warning!|Quit?|" + std::to_string(MB_YESNO | MB_ICONWARNING)}));
}

} // namespace
