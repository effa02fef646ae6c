#include "engine/debug_log.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A line feed is added unless the text has one anywhere; long text is cut and still ends the
// line, text that exactly fills the line is whole.
TEST(DebugLogTest, FormatsOneLineEndingInOneLineFeed) {
    testkit::DebugCapture capture;
    DebugLog("CBaseEntity::AllocateLocalData() Buffer already allocated! Error=%08X", 0x8876017Cu);
    DebugLog("first\nsecond");
    DebugLog("ends here\n");
    const std::string fits(kDebugLogLineSize - 1, 'y');
    DebugLog("%s", fits.c_str());
    DebugLog("%s", "");
    DebugLog("VelEng::vgNewGame() %s", std::string(1000, 'x').c_str());
    const std::string cut = "VelEng::vgNewGame() " + std::string(kDebugLogLineSize - 21, 'x');
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{
                  "CBaseEntity::AllocateLocalData() Buffer already allocated! Error=8876017C\n",
                  "first\nsecond", "ends here\n", fits + "\n", "\n", cut + "\n"}));
}

} // namespace
