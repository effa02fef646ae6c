#include "engine/engine.h"
#include "engine/state.h"

#include "platform/os/message_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(GameStateTest, InitialRecordHoldsTheStartValues) {
    GAME_STATE state = InitialGameState();
    EXPECT_EQ(state.dwFileId, 0x1A465356u);
    EXPECT_EQ(state.dwHeaderSize, 0u);
    EXPECT_EQ(state.dwNextEntityId, 500u);
    EXPECT_EQ(state.fQuadrantFactor, 1.0f);
    EXPECT_EQ(state.fWorldSize, 0.0f);
    EXPECT_EQ(state.szLevelFile[0], '\0');
    EXPECT_EQ(state.pActiveCamera, nullptr);
}

TEST(GameStateTest, GlobalsPointerIsStoredNotCopied) {
    GAME_GLOBALS globals{};
    GAME_GLOBALS* previous = vgGetGlobals();
    vgSetGlobals(&globals);
    EXPECT_EQ(vgGetGlobals(), &globals);
    vgSetGlobals(previous);
}

TEST(GameStateTest, ActiveCameraIsStoredAndCanBeCleared) {
    auto* camera = reinterpret_cast<CCamera*>(&g_engine); // any address: never dereferenced
    vgSetActiveCamera(camera);
    EXPECT_EQ(vgGetActiveCamera(), camera);
    vgSetActiveCamera(nullptr);
    EXPECT_EQ(vgGetActiveCamera(), nullptr);
}

TEST(GameStateTest, ViewMatrixIsOnlyAvailableWhileALevelIsLoaded) {
    BOOL loaded = g_engine.bGameLoaded;
    g_engine.bGameLoaded = FALSE;
    EXPECT_EQ(vgGetActiveViewMatrix(), nullptr);
    g_engine.bGameLoaded = TRUE;
    EXPECT_EQ(vgGetActiveViewMatrix(), &g_engine.viewMatrix);
    g_engine.bGameLoaded = loaded;
}

TEST(PropulsionTest, TablesHoldTenStepsOfLevelAndFactor) {
    static_assert(sizeof(PROPULSION) == 8);
    static_assert(sizeof(propImpulseTable) == 80 && sizeof(propWarpTable) == 80);
    const float impulseFactors[10] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(propImpulseTable[i].fLevel, 250.0f * i);
        EXPECT_EQ(propImpulseTable[i].fFactor, impulseFactors[i]) << i;
    }
    const float warpLevels[10] = {0, 5000, 6000, 7000, 8000, 10000, 12000, 15000, 20000, 30000};
    const float warpFactors[10] = {0, 10, 15, 20, 25, 35, 45, 60, 85, 135};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(propWarpTable[i].fLevel, warpLevels[i]);
        EXPECT_EQ(propWarpTable[i].fFactor, warpFactors[i]);
    }
}

// Records every box shown and answers with a preset button.
struct BoxRecorder {
    struct Box {
        std::string text;
        std::string caption;
        UINT style;
    };
    std::vector<Box> boxes;
    int answer = IDOK;

    static int Show(const char* text, const char* caption, UINT style, void* context) {
        auto* self = static_cast<BoxRecorder*>(context);
        self->boxes.push_back({text, caption, style});
        return self->answer;
    }
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override { m_previous = SetMessageBoxHandler({BoxRecorder::Show, &m_recorder}); }
    void TearDown() override { SetMessageBoxHandler(m_previous); }

    BoxRecorder m_recorder;
    MessageBoxHook m_previous{};
};

TEST_F(MessageBoxTest, ErrorBoxHasTheErrorCaptionAndAnOkButton) {
    EXPECT_EQ(vgErrorMsg("Level file missing"), IDOK);
    ASSERT_EQ(m_recorder.boxes.size(), 1u);
    EXPECT_EQ(m_recorder.boxes[0].caption, "Quellion Error!");
    EXPECT_EQ(m_recorder.boxes[0].text, "Level file missing");
    EXPECT_EQ(m_recorder.boxes[0].style, MB_OK);
}

TEST_F(MessageBoxTest, WarningBoxKeepsTheCallersStyleAndReturnsTheButton) {
    m_recorder.answer = IDNO;
    EXPECT_EQ(vgWarningMsg("Quit?", MB_YESNO | MB_ICONWARNING), IDNO);
    ASSERT_EQ(m_recorder.boxes.size(), 1u);
    EXPECT_EQ(m_recorder.boxes[0].caption, "Quellion Warning!");
    EXPECT_EQ(m_recorder.boxes[0].style, MB_YESNO | MB_ICONWARNING);
}

} // namespace
