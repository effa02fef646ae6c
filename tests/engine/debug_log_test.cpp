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

TEST(DebugLogTest, LongTextIsCutAndStillEndsTheLineButTextThatFitsIsWhole) {
    testkit::DebugCapture capture;
    std::string longText(1000, 'x');
    DebugLog("VelEng::vgNewGame() %s", longText.c_str());
    std::string fits(kDebugLogLineSize - 1, 'y');
    DebugLog("%s", fits.c_str());
    DebugLog("%s", "");
    ASSERT_EQ(capture.Lines().size(), 3u);
    const std::string& line = capture.Lines()[0];
    EXPECT_EQ(line.size(), static_cast<std::size_t>(kDebugLogLineSize));
    EXPECT_EQ(line.rfind("VelEng::vgNewGame() xxx", 0), 0u);
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(capture.Lines()[1], fits + "\n") << "exactly filling keeps the last character";
    EXPECT_EQ(capture.Lines()[2], "\n") << "empty text becomes an empty line";
}

} // namespace
