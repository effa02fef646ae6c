#include "engine/model_table.h"

#include "engine/element_table.h"
#include "engine/state.h"
#include "model/accounted.h"
#include "model/model.h"
#include "support/memory.h"
#include "support/path_utils.h"
#include "table_bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

using namespace table_bytes;

class ModelTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseLevelTables();
        ASSERT_EQ(MakeBaseDirectory(m_base, m_dir.EnginePath("level.vlf").c_str()), 0);
    }
    void TearDown() override { ReleaseLevelTables(); }

    template <class Record>
    void Load(const std::string& name, const Bytes& bytes, ELEMENT_TABLE_HEADER& header,
              Record*& array, DWORD id) {
        m_dir.WriteFile(name, bytes);
        ASSERT_EQ(LoadElementTable(m_dir.EnginePath(name).c_str(), header, array, id, m_base), 1);
    }
    void LoadModels(const std::vector<std::string>& typeNames) {
        std::vector<Bytes> records;
        for (const std::string& name : typeNames) {
            ModelSample sample;
            sample.typeName = name;
            records.push_back(ModelRecord(sample));
        }
        Load("models.tbl", Table(kModelId, static_cast<std::uint32_t>(records.size()), records),
             g_level.modelHeader, g_level.pModels, kModelTableId);
    }
    template <class T> static T* AllocateArray(DWORD count) {
        return static_cast<T*>(CMemory::Allocate(count * sizeof(T), 0));
    }

    testkit::ScratchDir m_dir;
    char m_base[kPathBufferSize] = {};
};

std::string IndexMessage(const char* function, int index, int count) {
    return std::string("VelEng::") + function + "() Model index exceeded. Requested " +
           std::to_string(index) + " only " + std::to_string(count) + "!\n";
}

TEST_F(ModelTableTest, ModelIndexMustBeBelowTheCountWhichIsZeroBeforeALevelLoads) {
    EXPECT_EQ(vgGetModelCount(), 0u);
    EXPECT_EQ(vgGetSoundCount(), 0u);
    EXPECT_EQ(vgGetMusicCount(), 0u);
    EXPECT_EQ(vgGetTextureCount(), 0u);

    testkit::DebugCapture capture;
    EXPECT_EQ(vgGetModel(0), nullptr);
    EXPECT_EQ(vgGet3DModel(0), nullptr);
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[0], IndexMessage("vgGetModel", 0, 0));
    EXPECT_EQ(capture.Lines()[1], IndexMessage("vgGet3DModel", 0, 0));

    // Once loaded, the index must be below the count.
    LoadModels({"scout", "fighter", "station"});
    EXPECT_EQ(vgGetModelCount(), 3u);
    capture.Clear();
    MODEL_INFO* last = vgGetModel(2);
    ASSERT_NE(last, nullptr);
    EXPECT_STREQ(last->szTypeName, "station");
    EXPECT_STREQ(vgGetModel(0)->szTypeName, "scout");
    EXPECT_TRUE(capture.Lines().empty());

    EXPECT_EQ(vgGetModel(3), nullptr);
    EXPECT_EQ(vgGet3DModel(3), nullptr);
    EXPECT_EQ(vgGetModel(0xFFFFFFFF), nullptr);
    ASSERT_EQ(capture.Lines().size(), 3u);
    EXPECT_EQ(capture.Lines()[0], IndexMessage("vgGetModel", 3, 3));
    EXPECT_EQ(capture.Lines()[1], IndexMessage("vgGet3DModel", 3, 3));
    EXPECT_EQ(capture.Lines()[2], IndexMessage("vgGetModel", -1, 3));
}

TEST_F(ModelTableTest, RecordsGetTheThreeDModelTheirMapEntryNames) {
    LoadModels({"scout", "fighter", "scout again"});
    testkit::DebugCapture capture;
    EXPECT_EQ(vgGet3DModel(0), nullptr) << "no models loaded yet";
    EXPECT_TRUE(capture.Lines().empty());
    // Records 0 and 2 name the same model file: slot 2 stays empty. The level reset in
    // TearDown destroys the models.
    C3DModel* scout = NewAccounted<C3DModel>();
    C3DModel* fighter = NewAccounted<C3DModel>();
    g_level.dw3DModelCount = 3;
    g_level.pp3DModels = AllocateArray<C3DModel*>(3);
    g_level.pp3DModels[0] = scout;
    g_level.pp3DModels[1] = fighter;
    g_level.pp3DModels[2] = nullptr;
    g_level.pModelMap = AllocateArray<DWORD>(3);
    g_level.pModelMap[0] = 0;
    g_level.pModelMap[1] = 1;
    g_level.pModelMap[2] = 0;

    EXPECT_EQ(vgGet3DModel(0), scout);
    EXPECT_EQ(vgGet3DModel(1), fighter);
    EXPECT_EQ(vgGet3DModel(2), scout);
}

TEST_F(ModelTableTest, LevelResetReleasesEveryTable) {
    DWORD before = CMemory::GetTotalMemoryAllocated();
    LoadModels({"scout", "fighter"});
    Load("sounds.tbl", Table(kSoundId, 1, {SoundRecord("a.wav")}), g_level.soundHeader,
         g_level.pSounds, kSoundTableId);
    g_level.pModelMap = AllocateArray<DWORD>(2);
    g_level.pszMissionText = AllocateArray<char>(16);
    g_level.info.dwWrap = 1;
    g_level.info.fWorldSize = 256.0f;

    ResetLevel();
    EXPECT_EQ(vgGetModelCount(), 0u);
    EXPECT_EQ(vgGetSoundCount(), 0u);
    EXPECT_EQ(g_level.pModels, nullptr);
    EXPECT_EQ(g_level.pSounds, nullptr);
    EXPECT_EQ(g_level.pModelMap, nullptr);
    EXPECT_EQ(g_level.pszMissionText, nullptr);
    EXPECT_EQ(g_level.info.dwWrap, 0u);
    EXPECT_EQ(g_level.info.fWorldSize, 0.0f);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), before);
}

TEST_F(ModelTableTest, HostLoadedTableResolvesPathsAgainstItsOwnDirectoryOrIsMissing) {
    ModelSample sample;
    sample.modulePath = "..\\ai\\drone.so";
    m_dir.WriteFile("tables/models.tbl", Table(kModelId, 1, {ModelRecord(sample)}));
    ASSERT_EQ(vgLoadModelTable(m_dir.EnginePath("tables/models.tbl").c_str()), 1);
    ASSERT_EQ(vgGetModelCount(), 1u);
    std::string expected = std::string(m_base) + "ai\\drone.so";
    EXPECT_STREQ(vgGetModel(0)->szModulePath, expected.c_str());

    testkit::DebugCapture capture;
    std::string path = m_dir.EnginePath("missing.tbl");
    EXPECT_EQ(vgLoadModelTable(path.c_str()), 0);
    EXPECT_TRUE(capture.Contains("VelEng::LoadElementTable() Failed to open '" + path + "'\n"));
    EXPECT_EQ(vgGetModelCount(), 0u) << "a missing file empties the table";
}

} // namespace
