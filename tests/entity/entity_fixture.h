#pragma once

#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "platform/os/file.h"
#include "platform/os/path.h"
#include "support/memory.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"
#include "testkit/table_bytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A model record as a test describes it: the engine reads the type name, the module path and
// the prefix.
struct TestModel {
    std::string typeName;
    std::string modulePath; // host path of the module file
    std::string prefix;
};

// Every entity test starts from a reset engine with a model table of its choosing and ends
// with the reset again, checking that nothing of the game's memory is left behind.
class EntityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLevel();
        m_baseline = CMemory::GetTotalMemoryAllocated();
        m_capture.Clear();
    }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        ResetLevel();
        EXPECT_EQ(vgGetEntityList()->GetCount(), 0u);
        EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), m_baseline);
    }

    // Writes the records as a model table, byte by byte, and loads it as the level's table.
    void LoadModels(const std::vector<TestModel>& models) {
        std::vector<table_bytes::Bytes> records;
        for (const TestModel& model : models) {
            records.push_back(table_bytes::ModelRecord(
                {.typeName = model.typeName,
                 .modelFile = "",
                 .prefix = model.prefix,
                 .modulePath = model.modulePath.empty()
                                   ? ""
                                   : platform::HostToWindowsPath(model.modulePath)}));
        }
        m_dir.WriteFile("models.mlf",
                        table_bytes::Table(table_bytes::kModelId, DWORD(models.size()), records));
        ASSERT_EQ(LoadElementTable(m_dir.EnginePath("models.mlf").c_str(), g_level.modelHeader,
                                   g_level.pModels, kModelTableId, m_dir.EnginePath("").c_str()),
                  1);
    }

    // Spawns a top-level entity and creates it from the model record.
    CBaseEntity* SpawnCreated(DWORD modelIndex, int* result = nullptr) {
        CBaseEntity* entity = vgSpawnParentEntity();
        int created = entity->Create(nullptr, modelIndex, D3DVECTOR(1, 2, 3), D3DVECTOR(4, 5, 6),
                                     &m_creationData, sizeof m_creationData);
        if (result != nullptr) {
            *result = created;
        }
        return entity;
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
    DWORD m_baseline = 0;
    int m_creationData = 42;
};
