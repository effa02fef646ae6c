#include "engine/debug_log.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(DebugLogTest, FormatsAndAddsALineFeed) {
    testkit::DebugCapture capture;
    DebugLog("CBaseEntity::AllocateLocalData() Buffer already allocated! Error=%08X", 0x8876017Cu);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0],
              "CBaseEntity::AllocateLocalData() Buffer already allocated! Error=8876017C\n");
}

TEST(DebugLogTest, TextWithALineFeedAnywhereGetsNoSecondOne) {
    testkit::DebugCapture capture;
    DebugLog("first\nsecond");
    DebugLog("ends here\n");
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[0], "first\nsecond");
    EXPECT_EQ(capture.Lines()[1], "ends here\n");
}

TEST(DebugLogTest, LongTextIsCutAndStillEndsTheLine) {
    testkit::DebugCapture capture;
    std::string longText(1000, 'x');
    DebugLog("VelEng::vgNewGame() %s", longText.c_str());
    ASSERT_EQ(capture.Lines().size(), 1u);
    const std::string& line = capture.Lines()[0];
    EXPECT_EQ(line.size(), static_cast<std::size_t>(kDebugLogLineSize));
    EXPECT_EQ(line.rfind("VelEng::vgNewGame() xxx", 0), 0u);
    EXPECT_EQ(line.back(), '\n');
}

TEST(DebugLogTest, TextThatExactlyFillsTheBufferKeepsItsLastCharacter) {
    testkit::DebugCapture capture;
    std::string text(kDebugLogLineSize - 1, 'y');
    DebugLog("%s", text.c_str());
    EXPECT_EQ(capture.Lines()[0], text + "\n");
}

TEST(DebugLogTest, EmptyTextBecomesAnEmptyLine) {
    testkit::DebugCapture capture;
    DebugLog("%s", "");
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "\n");
}

} // namespace
