#include "engine/engine.h"
#include "engine/state.h"

#include "platform/os/message_box.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(GameStateTest, ViewMatrixIsOnlyAvailableWhileALevelIsLoaded) {
    BOOL loaded = g_engine.bGameLoaded;
    g_engine.bGameLoaded = FALSE;
    EXPECT_EQ(vgGetActiveViewMatrix(), nullptr);
    g_engine.bGameLoaded = TRUE;
    EXPECT_EQ(vgGetActiveViewMatrix(), &g_engine.viewMatrix);
    g_engine.bGameLoaded = loaded;
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

TEST_F(MessageBoxTest, ErrorAndWarningBoxesHaveTheirCaptionsAndButtons) {
    EXPECT_EQ(vgErrorMsg("Level file missing"), IDOK);
    ASSERT_EQ(m_recorder.boxes.size(), 1u);
    EXPECT_EQ(m_recorder.boxes[0].caption, "Quellion Error!");
    EXPECT_EQ(m_recorder.boxes[0].text, "Level file missing");
    EXPECT_EQ(m_recorder.boxes[0].style, MB_OK);

    // A warning keeps the caller's style and returns the button.
    m_recorder.answer = IDNO;
    EXPECT_EQ(vgWarningMsg("Quit?", MB_YESNO | MB_ICONWARNING), IDNO);
    ASSERT_EQ(m_recorder.boxes.size(), 2u);
    EXPECT_EQ(m_recorder.boxes[1].caption, "Quellion Warning!");
    EXPECT_EQ(m_recorder.boxes[1].style, MB_YESNO | MB_ICONWARNING);
}

} // namespace
