#include "level_fixture.h"

#include "level_info.h"

#include <algorithm>
#include <functional>
#include <sstream>

namespace {

class LevelInfoTest : public lvltest::DemoLevelTest {
protected:
    void SetUp() override {
        DemoLevelTest::SetUp();
        ASSERT_TRUE(Build()) << m_error.Text();
    }

    bool Describe() {
        m_problems.clear();
        std::ostringstream out;
        bool read = lvltool::DescribeLevel(m_dir.Path() / "out/demo.vlf", out, m_problems);
        m_report = out.str();
        return read;
    }

    // Overwrites bytes of an output file at offset.
    void Patch(const std::string& name, std::size_t offset, const std::vector<std::uint8_t>& with) {
        std::vector<std::uint8_t> bytes = m_dir.ReadFile("out/" + name);
        std::copy(with.begin(), with.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
        m_dir.WriteFile("out/" + name, bytes);
    }

    std::vector<std::string> m_problems;
    std::string m_report;
};

TEST_F(LevelInfoTest, ABuiltLevelPassesAndIsReportedAsTheEngineReadsIt) {
    ASSERT_TRUE(Describe());
    EXPECT_TRUE(m_problems.empty()) << m_problems[0];
    const std::vector<std::string> lines = {
        "  world size 256, wrap on, seed 7.5, skip 0 bytes\n",
        "  script code: 3 bytes\n",
        "  mission text: \"Reach the beacon.\\nGood \\\"luck\\\".\"\n",
        "    model table: demo.mdl -> " + Engine("out/demo.mdl") + "\n",
        "    2 records of 2436 bytes\n",
        "  model 0 'Ship', prefix 'Ship'\n",
        "    model 0 path 2: ship.so -> " + Engine("out/ship.so") + "\n",
        "    texture override none, scale (1, 2, 3) (per axis), camera up (0, 0, 1), sphere offset "
        "(0.5, 0, 0)\n",
        "    texture override 1, scale 2 (uniform), camera up (0, 1, 0), sphere offset (0, 0, "
        "0)\n",
        "  texture 0: mipmaps 2, stage 1, transparent black, prefer 32-bit\n",
        "    music 0 path 2: loop.mid -> " + Engine("out/loop.mid") + "\n",
        "  quadrant 42: time (type 0), model 0, id 100, position (10, 20, 30), offset (1, 2, 3), "
        "whole quadrant, delay 5, repeat, create block 5 bytes: 01 02 03 04 ff\n",
        "  quadrant 56: proximity (type 2), model 1, id 0, position (-100, 0, 64), offset (0, 0, "
        "0), radius 20, delay 0, create block 2 bytes: 10 20\n",
    };
    for (const std::string& line : lines) {
        EXPECT_NE(m_report.find(line), std::string::npos) << line << "\nin\n" << m_report;
    }
}

TEST_F(LevelInfoTest, EveryFaultIsReported) {
    struct Case {
        std::function<void()> damage;
        std::string problem;
    };
    auto truncate = [this](const std::string& name, std::size_t cut) {
        std::vector<std::uint8_t> bytes = m_dir.ReadFile("out/" + name);
        bytes.resize(bytes.size() - cut);
        m_dir.WriteFile("out/" + name, bytes);
    };
    const std::vector<Case> cases = {
        {[this] { std::filesystem::remove(m_dir.Path() / "out/boom.wav"); },
         "sound 0 path 1: '" + Engine("out/boom.wav") + "' does not exist"},
        {[&] { truncate("demo.mdl", 1); },
         "model table: 2 records need 4888 bytes, the file has 4887"},
        // The first model record's texture override, after the header.
        {[this] {
             Patch("demo.mdl", 16 + 456, {9, 0, 0, 0});
         },
         "model 0: texture override 9 is not below the texture count 2"},
        // The second group's quadrant helper: 12 bytes of section and helper, then two
        // triggers of 80 bytes with create blocks of 5 and 0 bytes.
        {[this] { Patch("demo.evt", 4 + 8 + 80 + 5 + 80, {57}); },
         "trigger in quadrant 57: its position lies in quadrant 56, so the engine never tests it"},
        {[this] { Patch("demo.evt", 4 + 8 + 52, {7}); },
         "trigger in quadrant 42: model 7 is not below the model count 2"},
        {[this] { Patch("demo.snd", 16 + 32, std::vector<std::uint8_t>(136, 'a')); },
         "sound 0 path 1: the path fills its field without a terminator"},
        {[this] { Patch("demo.tex", 0, {0}); },
         "texture table: no header with the table id 42 4c 46 1a"},
        {[&] { truncate("demo.evt", 4); },
         "event file: refused (-3): CVelEvent::Load() Failed to read quad helper."},
        {[&] { truncate("demo.vlf", 1); }, "the mission text of 30 bytes is cut short"},
        // The skip count, after the record's paths and four fields.
        {[this] {
             Patch("demo.vlf", 792, {0, 1});
         },
         "the 256 bytes to skip run past the end"},
    };
    for (const Case& c : cases) {
        SetUp();
        c.damage();
        EXPECT_TRUE(Describe());
        auto starts = [&](const std::string& p) { return p.rfind(c.problem, 0) == 0; };
        EXPECT_TRUE(std::any_of(m_problems.begin(), m_problems.end(), starts))
            << c.problem << "\namong " << m_problems.size() << " problems, first "
            << (m_problems.empty() ? "" : m_problems[0]);
    }
}

TEST_F(LevelInfoTest, AFileThatIsNoLevelStopsTheReport) {
    Patch("demo.vlf", 0, {'X'});
    EXPECT_FALSE(Describe());
    ASSERT_EQ(m_problems.size(), 1u);
    EXPECT_EQ(m_problems[0], (m_dir.Path() / "out/demo.vlf").string() +
                                 ": not a level info file (the magic is not VLF 1A)");
}

} // namespace
