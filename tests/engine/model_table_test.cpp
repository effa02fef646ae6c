#include "engine/model_table.h"

#include "engine/element_table.h"
#include "engine/state.h"
#include "model/accounted.h"
#include "model/model.h"
#include "render_level.h"
#include "support/memory.h"
#include "support/path_utils.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"
#include "testkit/table_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using namespace table_bytes;

class ModelTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ReleaseLevelTables();
        m_baseline = CMemory::GetTotalMemoryAllocated();
    }
    void TearDown() override {
        ReleaseLevelTables();
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }

    // Loads a table of the given type names as the level's model table.
    int LoadModels(const std::vector<std::string>& typeNames, const char* name = "models.tbl") {
        std::vector<Bytes> records;
        for (const std::string& typeName : typeNames) {
            ModelSample sample;
            sample.typeName = typeName;
            sample.modulePath = "..\\ai\\drone.so";
            records.push_back(ModelRecord(sample));
        }
        m_dir.WriteFile(name, Table(kModelId, static_cast<std::uint32_t>(records.size()), records));
        return vgLoadModelTable(m_dir.EnginePath(name).c_str());
    }
    // Gives the level's records the 3D models the map names: one slot per model.
    static void SetModels(const std::vector<C3DModel*>& models, const std::vector<DWORD>& map) {
        g_level.dw3DModelCount = static_cast<DWORD>(models.size());
        g_level.pp3DModels = render_level::AccountedArray(models);
        g_level.pModelMap = render_level::AccountedArray(map);
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
    DWORD m_baseline = 0;
};

std::string IndexMessage(const char* function, int index, int count) {
    return std::string("VelEng::") + function + "() Model index exceeded. Requested " +
           std::to_string(index) + " only " + std::to_string(count) + "!\n";
}

TEST_F(ModelTableTest, ModelIndexMustBeBelowTheCount) {
    ASSERT_EQ(LoadModels({"scout", "fighter", "station"}, "tables/models.tbl"), 1);
    EXPECT_STREQ(vgGetModel(2)->szTypeName, "station");
    // No 3D models are loaded yet.
    EXPECT_EQ((std::vector<void*>{vgGet3DModel(0), vgGetModel(3), vgGet3DModel(3),
                                  vgGetModel(0xFFFFFFFF)}),
              std::vector<void*>(4));
    EXPECT_EQ(m_capture.Lines(), (std::vector<std::string>{IndexMessage("vgGetModel", 3, 3),
                                                           IndexMessage("vgGet3DModel", 3, 3),
                                                           IndexMessage("vgGetModel", -1, 3)}));
    // A host-loaded table resolves its paths against its own directory.
    char base[kPathBufferSize] = {};
    ASSERT_EQ(MakeBaseDirectory(base, m_dir.EnginePath("level.vlf").c_str()), 0);
    EXPECT_EQ(vgGetModel(0)->szModulePath, std::string(base) + "ai\\drone.so");

    const std::string missing = m_dir.EnginePath("missing.tbl");
    EXPECT_EQ(vgLoadModelTable(missing.c_str()), 0);
    EXPECT_TRUE(
        m_capture.Contains("VelEng::LoadElementTable() Failed to open '" + missing + "'\n"));
    EXPECT_EQ(vgGetModelCount(), 0u) << "a missing file empties the table";
}

// Records naming one model file share its slot through the map; the reset (and a table
// loaded over the level) destroys the models and frees the map.
TEST_F(ModelTableTest, RecordsGetTheModelTheirMapEntryNamesUntilTheTableIsReplaced) {
    ASSERT_EQ(LoadModels({"scout", "fighter", "scout again"}), 1);
    C3DModel* scout = NewAccounted<C3DModel>();
    C3DModel* fighter = NewAccounted<C3DModel>();
    SetModels({scout, fighter, nullptr}, {0, 1, 0});
    EXPECT_EQ((std::vector{vgGet3DModel(0), vgGet3DModel(1), vgGet3DModel(2)}),
              (std::vector{scout, fighter, scout}));

    // A larger table must not keep the old map: the new records would read past it.
    ASSERT_EQ(LoadModels({"a"}), 1);
    SetModels({NewAccounted<C3DModel>()}, {0});
    ASSERT_EQ(LoadModels({"a", "b", "c"}), 1);
    EXPECT_EQ((std::vector<void*>{vgGet3DModel(0), vgGet3DModel(1), vgGet3DModel(2),
                                  g_level.pModelMap, g_level.pp3DModels}),
              std::vector<void*>(5));
    EXPECT_EQ(g_level.dw3DModelCount, 0u);
}

} // namespace
