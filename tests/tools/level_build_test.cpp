#include "level_fixture.h"

#include "level_files.h"

#include "../event/event_fixture.h"

#include "engine/level_records.h"
#include "model/material.h"
#include "model/model.h"

namespace {

using lvltest::AppendModel;
using lvltest::TableHeader;
using testkit::ByteBuilder;

class LevelBuildTest : public lvltest::DemoLevelTest {
protected:
    std::vector<std::uint8_t> Out(const std::string& name) const {
        return m_dir.ReadFile("out/" + name);
    }
};

TEST_F(LevelBuildTest, OutputFilesHoldTheRecordsCodeAndText) {
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

    // The tables name their files relative to the level.
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

    // World 256: slices are 64 wide from -128, so (10, 20, 30) and (0, 0, 0) lie in quadrant
    // 2 + 4 * 2 + 16 * 2 = 42 and (-100, 0, 64) in 0 + 4 * 2 + 16 * 3 = 56.
    SectionBuilder events;
    events.Group(
        42, {{.type = 0,
              .entityId = 100,
              .position = {10, 20, 30},
              .spawnOffset = {1, 2, 3},
              .repeat = 1,
              .delay = 5.0f,
              .fireTime = 5.0f,
              .createBlock = {1, 2, 3, 4, 0xFF}},
             {.type = 1, .modelIndex = 1, .delay = 2.5f, .fireTime = 2.5f, .createBlock = {}}});
    events.Group(56, {{.type = 2,
                       .position = {-100, 0, 64},
                       .useRadius = 1,
                       .modelIndex = 1,
                       .radius = 20.0f,
                       .createBlock = {0x10, 0x20}}});
    events.End();
    EXPECT_EQ(Out("demo.evt"), events.Bytes());
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
    EXPECT_EQ(model.GetMaterial(0)->GetTextureName(), Engine("src/prev/hull.bmp"));
}

TEST_F(LevelBuildTest, FilesThatCannotBeCopiedOrWouldCollideAreErrors) {
    const std::string txt = (m_dir.Path() / "src/demo.txt").string();
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases = {
        {Lines({"world 10", "sound none.wav"}), txt + ":2: cannot copy '"},
        {Lines({"world 10", "texture sky.bmp", "texture art/hull.bmp", "sound art/sky.bmp"}),
         txt + ":4: '" + (m_dir.Path() / "src/art/sky.bmp").string() +
             "' would be written as 'sky.bmp', which another file already is"},
        {Lines({"world 10", "sound demo.mdl"}), txt + ":2: '"},
        {Lines({"world 10", "model boom.wav"}), txt + ":2: the engine refuses the model '"},
    };
    m_dir.WriteFile("src/art/sky.bmp", lvltest::SmallBmp());
    m_dir.WriteFile("src/demo.mdl", lvltest::Bytes("x"));
    for (const Case& c : cases) {
        m_dir.WriteFile("src/demo.txt", lvltest::Bytes(c.text));
        EXPECT_FALSE(Build()) << c.text;
        EXPECT_EQ(m_error.Text().rfind(c.error, 0), 0u) << m_error.Text();
    }
}

} // namespace
