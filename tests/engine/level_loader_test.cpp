#include "engine/element_table.h"
#include "engine/globals.h"
#include "engine_fixture.h"
#include "event/event_manager.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/os/path.h"
#include "scene/texture.h"
#include "small_level.h"
#include "support/machine_code.h"
#include "testkit/bmp_builder.h"
#include "testkit/math_expect.h"

#include "../model/vmm_bytes.h"

#include <filesystem>
#include <functional>

using namespace table_bytes;

namespace {

// The level: three model records (0 and 2 name one file in other letter case, 1 overrides
// its texture), two textures, a sound, a music record and one timed trigger for model 0.
class LevelLoaderTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        WriteLevel(m_level);
    }

    ModelSample Model(const std::string& file, std::uint32_t textureOverride) {
        return {.modelFile = file,
                .prefix = "Physics",
                .modulePath = platform::HostToWindowsPath(PHYSICSMODULE),
                .textureOverride = textureOverride};
    }

    void WriteLevel(const LevelSample& level) {
        m_dir.WriteFile("level.vlf", LevelInfoFile(level));
        m_dir.WriteFile("models.tbl", Table(kModelId, 3,
                                            {ModelRecord(Model("box.vmm", 0xFFFFFFFF)),
                                             ModelRecord(Model("plain.vmm", 1)),
                                             ModelRecord(Model("BOX.VMM", 0xFFFFFFFF))}));
        m_dir.WriteFile("box.vmm", BoxModel("skin.bmp"));
        m_dir.WriteFile("plain.vmm", BoxModel("skin.bmp"));
        m_dir.WriteFile("textures.tbl", Table(kTextureId, 2,
                                              {TextureRecord("grey.bmp", 0, 0, 0, 0),
                                               TextureRecord("SKIN.bmp", 0, 0, 2, 0)}));
        for (const char* name : {"grey.bmp", "skin.bmp"}) {
            m_dir.WriteFile(name, testkit::BmpFile(testkit::SimpleImage(2, 2, 24, {0, 0, 0, 0})));
        }
        m_dir.WriteFile("sounds.tbl", Table(kSoundId, 1, {SoundRecord("boom.wav")}));
        m_dir.WriteFile("music.tbl", Table(kMusicId, 1, {MusicRecord("a.mid", "b.mid")}));
        m_dir.WriteFile("events.evt", TimedEvents({{700, 0, 0.0f}}));
    }

    int NewGame() { return vgNewGame(m_dir.EnginePath("level.vlf").c_str()); }

    // Loaded, script code size, model, texture, sound and music records, surfaces, triggers
    // and whether there is a mission text.
    std::vector<std::size_t> Census() {
        return {std::size_t(vgIsGameLoaded()),
                g_missionCode.GetAMXBufferSize(),
                vgGetModelCount(),
                vgGetTextureCount(),
                vgGetSoundCount(),
                vgGetMusicCount(),
                m_host.DirectDraw()->LiveSurfaceCount(),
                g_eventManager.GetTriggerCount(),
                g_level.pszMissionText != nullptr};
    }
    // Nothing of a level may be left: no tables, models, textures, triggers, script or memory.
    void ExpectNoLevel() {
        EXPECT_EQ(Census(), std::vector<std::size_t>(9, 0));
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }
    D3DVECTOR SizeOfModel(DWORD record) {
        D3DVECTOR min, max;
        vgGet3DModel(record)->GetBoundingBox(0, 0.0f, min, max);
        return {max.x - min.x, max.y - min.y, max.z - min.z};
    }

    LevelSample m_level = {.skipped = Bytes(5, 0xAB), .code = {}, .text = "Find the beacon."};
};

TEST_F(LevelLoaderTest, RefusedLevelsLeaveNothingBehind) {
    const auto remove = [](const char* name) {
        return [name](testkit::ScratchDir& dir) { std::filesystem::remove(dir.HostPath(name)); };
    };
    const auto cut = [](std::size_t size, bool code) {
        return [size, code](testkit::ScratchDir& dir) {
            LevelSample level;
            level.hasCode = code;
            level.code = {1, 2, 3, 4};
            Bytes bytes = LevelInfoFile(level);
            bytes.resize(size);
            dir.WriteFile("level.vlf", bytes);
        };
    };
    // The level's fields as magic, skip and text length (0: as written), or a damaged file.
    const struct {
        std::uint32_t magic, skip, textLength;
        std::function<void(testkit::ScratchDir&)> damage;
        const char* message;
    } cases[] = {
        {0x1A464C42, 0, 0, nullptr, "Load error or wrong file type!"},
        {0, 0, 0, cut(931, false), "Load error or wrong file type!"},
        {0, 64, 0, nullptr, "Skip of 64 bytes runs past the end of the file!"},
        // A signed seek would move backwards by this much.
        {0, 0x80000000, 0, nullptr, "Skip of 2147483648 bytes runs past the end of the file!"},
        {0, 0, 0, cut(932 + 4 + 2, true), "Failed to load mission script code"},
        {0, 0, 64, nullptr, "Failed to load mission text"},
        {0, 0, 0xFFFFFFF8, nullptr, "Failed to load mission text"},
        {0, 0, 0, [](auto& d) { d.WriteFile("models.tbl", Table(kTextureId, 0, {})); },
         "Header ID check failed. Expected 1A464C4D got 1A464C42"},
        {0, 0, 0, remove("events.evt"), "VelEng::vgLoadLevelInfo() Failed to open '"},
        {0, 0, 0, remove("skin.bmp"), "Failed to load texture '"},
        {0, 0, 0, remove("plain.vmm"), "Failed to load model 2 out of 3"},
    };
    for (const auto& c : cases) {
        LevelSample level;
        level.text = "Brief.";
        level.magic = c.magic ? c.magic : level.magic;
        level.skipField = c.skip ? std::int64_t{c.skip} : -1;
        level.textLengthField = c.textLength ? std::int64_t{c.textLength} : -1;
        WriteLevel(level);
        if (c.damage) {
            c.damage(m_dir);
        }
        m_log.Clear();
        EXPECT_EQ(NewGame(), 0) << c.message;
        EXPECT_TRUE(m_log.Contains(c.message)) << c.message << "\n" << m_log.Text();
        EXPECT_TRUE(m_log.Contains("VelEng::vgLoadLevelInfo() Level '")) << c.message;
        ExpectNoLevel();
    }
}

TEST_F(LevelLoaderTest, ModelsWithoutSizeKeepItAndUnknownTexturesOnlyWarn) {
    m_dir.WriteFile("box.vmm", BoxModel("nowhere.bmp", 0.0f));
    auto flat = vmm_bytes::FileStart();
    vmm_bytes::FrameChunk(flat, "dot", {{0, 0, 0, 0, 0, 1, 0, 0}}, {0, 0, 0}, 0);
    m_dir.WriteFile("plain.vmm", flat.Bytes());
    ASSERT_EQ(NewGame(), 1) << m_log.Text();
    EXPECT_TRUE(m_log.Contains("VelEng::vgLoadLevelInfo() Failed to find texture '"));
    EXPECT_TRUE(m_log.Contains("nowhere.bmp'!"));
    EXPECT_TRUE(m_log.Contains("Model 2 has no size to normalise"));
    // A flat model still scales by its longest side.
    testkit::ExpectVectorNear(SizeOfModel(0), {1.0f, 0.5f, 0.0f}, 1e-6f);
}

// Every allocation of a whole level failing in turn fails the load cleanly; then it loads.
TEST_F(LevelLoaderTest, EveryAllocationFailureFailsCleanlyAndThenTheLevelLoadsWhole) {
    DWORD failAt = 1;
    for (;; ++failAt) {
        CMemory::FailAllocationAfter(failAt);
        const int loaded = NewGame();
        CMemory::FailAllocationAfter(0);
        if (loaded) {
            break;
        }
        ExpectNoLevel();
        ASSERT_EQ(NewGame(), 1) << "after failing allocation " << failAt;
    }
    EXPECT_GT(failAt, 10u); // the level allocates tables, models, frames, textures
    // The load that got through may have met a failed allocation it survives (a model's
    // boxes); the checks below are of a load without any.
    ASSERT_EQ(NewGame(), 1);
    EXPECT_EQ(Census(), (std::vector<std::size_t>{1, 0, 3, 2, 1, 1, 2, 1, 1}));
    EXPECT_STREQ(g_level.pszMissionText, "Find the beacon.");
    EXPECT_EQ(vgGetActiveViewMatrix(), &g_engine.viewMatrix);
    // Records 0 and 2 share one model; the slot of 2 is never loaded.
    EXPECT_EQ(vgGet3DModel(2), vgGet3DModel(0));
    EXPECT_EQ(g_level.pp3DModels[2], nullptr);
    testkit::ExpectVectorNear(SizeOfModel(0), {1.0f, 0.5f, 0.25f}, 1e-6f);
    // Names bind in any letter case, except for a record that overrides its texture; every
    // material turns white.
    CMaterial* bound = vgGet3DModel(0)->GetMaterial(0);
    EXPECT_EQ(bound->GetTextureIndex(), 1u);
    EXPECT_EQ(vgGet3DModel(1)->GetMaterial(0)->GetTextureIndex(), kNoIndex);
    EXPECT_EQ(bound->GetDiffuse().y + bound->GetAmbient().z, 2.0f);
    EXPECT_EQ(g_level.ppTextureObjects[1]->GetFlags(), kTextureBlackTransparent);

    // The next level keeps nothing of this one; its file ends with the script code.
    m_dir.WriteFile("level.vlf",
                    LevelInfoFile({.skipped = {}, .hasCode = true, .code = {1, 2, 3}, .text = ""}));
    m_dir.WriteFile("models.tbl", Table(kModelId, 1, {ModelRecord(Model("plain.vmm", 0))}));
    m_dir.WriteFile("textures.tbl", Table(kTextureId, 0, {}));
    m_dir.WriteFile("events.evt", SectionBuilder().End().Bytes());
    ASSERT_EQ(NewGame(), 1) << m_log.Text();
    EXPECT_EQ(Census(), (std::vector<std::size_t>{1, 3, 1, 0, 1, 1, 0, 0, 0}));
}

} // namespace
