#include "engine/engine.h"
#include "engine/state.h"

#include "platform/os/message_box.h"

#include <gtest/gtest.h>

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
