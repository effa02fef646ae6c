#include "engine/element_table.h"
#include "engine/model_table.h"
#include "model/accounted.h"
#include "model/model.h"
#include "support/memory.h"
#include "table_bytes.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

namespace {

using namespace table_bytes;

Bytes ModelTable(std::uint32_t count) {
    return Table(kModelId, count, std::vector<Bytes>(count, ModelRecord(ModelSample{})));
}

// A larger table loaded over a level whose models were loaded must not keep the old map: it
// has one entry per old record, and the new records would read past it.
TEST(ModelTableReloadTest, ReplacingTheTableReleasesTheModelsAndTheMap) {
    ReleaseLevelTables();
    const DWORD baseline = CMemory::GetTotalMemoryAllocated();
    testkit::ScratchDir dir;
    dir.WriteFile("one.tbl", ModelTable(1));
    dir.WriteFile("three.tbl", ModelTable(3));
    ASSERT_EQ(vgLoadModelTable(dir.EnginePath("one.tbl").c_str()), 1);
    g_level.pp3DModels = static_cast<C3DModel**>(CMemory::Allocate(sizeof(C3DModel*), 0));
    g_level.pp3DModels[0] = NewAccounted<C3DModel>();
    g_level.dw3DModelCount = 1;
    g_level.pModelMap = static_cast<DWORD*>(CMemory::Allocate(sizeof(DWORD), 0));
    g_level.pModelMap[0] = 0;
    ASSERT_NE(vgGet3DModel(0), nullptr);

    ASSERT_EQ(vgLoadModelTable(dir.EnginePath("three.tbl").c_str()), 1);
    EXPECT_EQ(vgGetModelCount(), 3u);
    for (DWORD i = 0; i < 3; ++i) {
        EXPECT_EQ(vgGet3DModel(i), nullptr) << "record " << i;
    }
    EXPECT_EQ(g_level.pModelMap, nullptr);
    EXPECT_EQ(g_level.dw3DModelCount, 0u);
    ReleaseLevelTables();
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), baseline);
}

} // namespace
