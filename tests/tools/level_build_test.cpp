#include "level_fixture.h"

#include "level_files.h"

#include "engine/level_records.h"
#include "model/material.h"
#include "model/model.h"

#include <algorithm>

namespace {

using testkit::Lower;

using lvltest::AppendModel;
using lvltest::AppendTrigger;
using lvltest::TableHeader;
using testkit::ByteBuilder;

class LevelBuildTest : public AccountedTest {
protected:
    void SetUp() override {
        AccountedTest::SetUp();
        lvltest::WriteDemoSources(m_dir);
    }

    bool Build() { return lvltest::BuildDemo(m_dir, m_summary, m_error); }
    std::vector<std::uint8_t> Out(const std::string& name) const {
        return m_dir.ReadFile("out/" + name);
    }

    testkit::ScratchDir m_dir;
    lvltool::BuildSummary m_summary;
    lvltool::Diagnostic m_error;
};

TEST_F(LevelBuildTest, LevelInfoFileHoldsTheRecordCodeAndText) {
    ASSERT_TRUE(Build()) << m_error.Text();
    EXPECT_EQ(m_summary.infoFile, m_dir.Path() / "out/demo.vlf");
    const std::string text = "Reach the beacon.\nGood \"luck\".";
    ByteBuilder b;
    b.U32(kLevelInfoMagic).U32(0).Chars("", 128).Chars("demo.snd", 128).Chars("demo.mdl", 128);
    b.Chars("demo.mus", 128).Chars("demo.tex", 128).Chars("demo.evt", 128).U32(0);
    b.F32(7.5f).F32(256.0f).U32(1).U32(0).U32(1).U32(static_cast<std::uint32_t>(text.size()));
    b.Fill(0, 128);
    b.U32(3).U8(0xA0).U8(0xA1).U8(0xA2).Raw(lvltest::Bytes(text));
    EXPECT_EQ(Out("demo.vlf"), b.Bytes());
}

TEST_F(LevelBuildTest, TablesHoldTheRecordsWithNamesRelativeToTheLevel) {
    ASSERT_TRUE(Build()) << m_error.Text();
    ByteBuilder textures = TableHeader(kTextureTableId, 2);
    textures.Fill(0, 32).Chars("hull.bmp", 140).U32(2).U32(1).U32(2).U32(1);
    textures.Fill(0, 32).Chars("sky.bmp", 140).U32(0).U32(0).U32(0).U32(0);
    EXPECT_EQ(Out("demo.tex"), textures.Bytes());

    ByteBuilder models = TableHeader(kModelTableId, 2);
    AppendModel(
        models,
        {"Ship", "Ship", "ship.so", 0xFFFFFFFF, 0, 1.0f, {1, 2, 3}, {0, 0, 1}, {0.5f, 0, 0}});
    AppendModel(models, {"Wing", "", "", 1, 1, 2.0f, {1, 1, 1}, {0, 1, 0}, {0, 0, 0}});
    EXPECT_EQ(Out("demo.mdl"), models.Bytes());

    ByteBuilder sounds = TableHeader(kSoundTableId, 1);
    sounds.Fill(0, 32).Chars("boom.wav", 136);
    EXPECT_EQ(Out("demo.snd"), sounds.Bytes());

    ByteBuilder music = TableHeader(kMusicTableId, 2);
    music.Fill(0, 32).Chars("theme.mid", 128).Chars("loop.mid", 132);
    music.Fill(0, 32).Chars("calm.mid", 128).Chars("", 132);
    EXPECT_EQ(Out("demo.mus"), music.Bytes());
}

// World 256: slices are 64 wide from -128, so (10, 20, 30) and (0, 0, 0) lie in quadrant
// 2 + 4 * 2 + 16 * 2 = 42 and (-100, 0, 64) in 0 + 4 * 2 + 16 * 3 = 56.
TEST_F(LevelBuildTest, EventFileFilesEachTriggerInItsPositionsQuadrant) {
    ASSERT_TRUE(Build()) << m_error.Text();
    ByteBuilder b;
    b.U32(0x1A545656).U32(42).U32(2);
    AppendTrigger(b, {0, 100, {10, 20, 30}, {1, 2, 3}, 1, 0, 0, 0.0f, 5.0f, {1, 2, 3, 4, 0xFF}});
    AppendTrigger(b, {1, 0, {0, 0, 0}, {0, 0, 0}, 0, 0, 1, 0.0f, 2.5f, {}});
    b.U32(56).U32(1);
    AppendTrigger(b, {2, 0, {-100, 0, 64}, {0, 0, 0}, 0, 1, 1, 20.0f, 0.0f, {0x10, 0x20}});
    b.U32(0xFFFFFFFF).U32(0);
    EXPECT_EQ(Out("demo.evt"), b.Bytes());
}

TEST_F(LevelBuildTest, NamedFilesAreCopiedAndTheObjModelConvertedWithItsTextureRebound) {
    ASSERT_TRUE(Build()) << m_error.Text();
    const std::pair<const char*, const char*> copies[] = {
        {"src/art/hull.bmp", "hull.bmp"},  {"src/sky.bmp", "sky.bmp"},
        {"src/behave/ship.so", "ship.so"}, {"src/boom.wav", "boom.wav"},
        {"src/theme.mid", "theme.mid"},    {"src/loop.mid", "loop.mid"},
        {"src/calm.mid", "calm.mid"}};
    for (const auto& [source, copy] : copies) {
        EXPECT_EQ(Out(copy), m_dir.ReadFile(source)) << copy;
    }
    C3DModel model;
    ASSERT_EQ(model.LoadModel(m_dir.EnginePath("out/ship.vmm").c_str()), 1);
    ASSERT_NE(model.GetMaterial(0), nullptr);
    EXPECT_EQ(model.GetMaterial(0)->GetTextureName(), Lower(m_dir.EnginePath("out/hull.bmp")));
    EXPECT_EQ(model.GetFrame(0)->GetBBoxKeyframes(), 1u);
    EXPECT_TRUE(m_summary.warnings.empty());
}

TEST_F(LevelBuildTest, AVmmModelIsResavedAndATextureOutsideTheLevelDrawsAWarning) {
    ASSERT_TRUE(Build()) << m_error.Text();
    std::filesystem::rename(m_dir.Path() / "out", m_dir.Path() / "src/prev");
    m_dir.WriteFile("src/demo.txt", lvltest::Bytes(Lines({"world 10", "model prev/ship.vmm"})));
    ASSERT_TRUE(Build()) << m_error.Text();
    ASSERT_EQ(m_summary.warnings.size(), 1u);
    EXPECT_NE(m_summary.warnings[0].find("demo.txt:2: material 0 of 'ship.vmm' names the texture"),
              std::string::npos)
        << m_summary.warnings[0];
    // The texture outside the level is still named where it is.
    C3DModel model;
    ASSERT_EQ(model.LoadModel(m_dir.EnginePath("out/ship.vmm").c_str()), 1);
    EXPECT_EQ(model.GetFrameCount(), 1u);
    EXPECT_EQ(model.GetMaterial(0)->GetTextureName(), Lower(m_dir.EnginePath("src/prev/hull.bmp")));
}

TEST_F(LevelBuildTest, FilesThatCannotBeCopiedOrWouldCollideAreErrors) {
    const std::string txt = (m_dir.Path() / "src/demo.txt").string();
    struct Case {
        std::vector<std::string_view> lines;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"world 10", "sound none.wav"}, txt + ":2: cannot copy '"},
        {{"world 10", "texture sky.bmp", "texture art/hull.bmp", "sound art/sky.bmp"},
         txt + ":4: '" + (m_dir.Path() / "src/art/sky.bmp").string() +
             "' would be written as 'sky.bmp', which another file already is"},
        {{"world 10", "sound demo.mdl"}, txt + ":2: '"},
        {{"world 10", "model boom.wav"}, txt + ":2: the engine refuses the model '"},
    };
    m_dir.WriteFile("src/art/sky.bmp", lvltest::SmallBmp());
    m_dir.WriteFile("src/demo.mdl", lvltest::Bytes("x"));
    for (const Case& c : cases) {
        std::string text;
        for (std::string_view line : c.lines) {
            text.append(line).push_back('\n');
        }
        m_dir.WriteFile("src/demo.txt", lvltest::Bytes(text));
        EXPECT_FALSE(Build()) << text;
        EXPECT_EQ(m_error.Text().rfind(c.error, 0), 0u) << m_error.Text();
    }
}

} // namespace
