#include "entity_fixture.h"

#include "engine/registry.h"
#include "platform/os/path.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace {

class BehaviourTest : public EntityTest {
protected:
    void SetUp() override {
        EntityTest::SetUp();
        LoadModels({
            {"probe", PROBEMODULE, "Probe"},           // 0: complete
            {"nodelete", NODELETEMODULE, "NoDelete"},  // 1: lacks its Delete entry
            {"failing", FAILINGMODULE, "Failing"},     // 2: Create returns 7
            {"parent", PARENTMODULE, "Parent"},        // 3: spawns a child in Create
            {"plain", PLAINMODULE, ""},                // 4: empty prefix
            {"stubborn", STUBBORNMODULE, "Stubborn"},  // 5: Delete returns 99
            {"missing", "/no/such/module.so", "Gone"}, // 6: library missing
        });
        m_capture.Clear();
    }

    // The module's own lines, in call order.
    std::vector<std::string> ModuleLines() const {
        std::vector<std::string> lines;
        std::copy_if(m_capture.Lines().begin(), m_capture.Lines().end(), std::back_inserter(lines),
                     [](const std::string& line) { return line.rfind("module ", 0) == 0; });
        return lines;
    }
};

// Create's result per model record, with the line it logs; an entity whose entries were found
// reaches its module, an unbound one answers as an entity without a module.
TEST_F(BehaviourTest, CreateBindsTheModuleOrReportsWhyNot) {
    const struct {
        DWORD model;
        int result;
        std::string message;
        bool bound;
    } cases[] = {
        {0, 0, "module probe: Create 500 creator=0 model=0 data=yes size=4\n", true},
        {4, 0, "module plain: Create 501 creator=0 model=4 data=yes size=4\n", true},
        {2, 7, "module failing: Create 502 creator=0 model=2 data=yes size=4\n", true},
        {1, 99, "CBaseEntity::Create() Unable to find DLL function 'NoDeleteDelete'\n", true},
        {6, 99,
         "CBaseEntity::Create() Unable to load library '" +
             platform::HostToWindowsPath("/no/such/module.so") + "'\n",
         false},
        {7, 99, "CBaseEntity::Create() Invalid model index! (7)\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        int result = -1;
        CBaseEntity* entity = SpawnCreated(c.model, &result);
        EXPECT_EQ(result, c.result);
        EXPECT_TRUE(m_capture.Contains(c.message)) << m_capture.Text();
        entity->m_dwUserData1 = 5;
        EXPECT_EQ(entity->Render(), c.bound ? 5 : 1);
    }
    EXPECT_EQ(ModuleLines().size(), 7u) << "three creates; a module missing an entry is not called";
    // The record and positions are copied; nothing for an invalid index. The library of an
    // entity without its Delete entry stays loaded until the entity goes.
    const auto at = [](DWORD i) {
        return vgGetEntityList()->GetAt(vgGetEntityList()->FindIndex(i));
    };
    EXPECT_EQ((std::vector<std::string>{at(0)->m_Model.szTypeName, at(5)->m_Model.szTypeName}),
              (std::vector<std::string>{"probe", ""}));
    EXPECT_EQ((std::vector<float>{at(0)->GetWorldPosition().y, at(0)->GetOffsetPosition().z,
                                  at(5)->GetWorldPosition().x}),
              (std::vector<float>{2, 6, 0}));
    EXPECT_NE(at(3)->m_hModule, nullptr);

    // An unterminated module path is refused the same way.
    std::memset(g_level.pModels[0].szModulePath, 'a', sizeof g_level.pModels[0].szModulePath);
    int result = -1;
    EXPECT_EQ(SpawnCreated(0, &result)->m_hModule, nullptr);
    EXPECT_EQ(result, 99);
    ResetLevel();
    EXPECT_TRUE(m_capture.Contains("module failing: Delete 502\n")) << "despite its failed Create";
}

TEST_F(BehaviourTest, TheModuleRunsTheEntityUntilItIsDeleted) {
    CBaseEntity* entity = SpawnCreated(0);
    CBaseEntity* second = SpawnCreated(0);
    ASSERT_NE(entity->m_pLocalData, nullptr) << "the module allocated its state";
    EXPECT_EQ(entity->PerformAI() + entity->PerformAI(), 0);
    EXPECT_EQ(*static_cast<int*>(entity->m_pLocalData), 2);
    entity->m_dwUserData0 = 99;
    EXPECT_EQ(entity->PerformAI(), 99) << "the module's result is passed on unchanged";
    vgDeleteEntity(entity);
    EXPECT_EQ(ModuleLines().back(), "module probe: Delete 500\n");
    // Each entity holds its own reference on the library: the second's entries still run.
    EXPECT_EQ(second->PerformAI(), 0);
    EXPECT_EQ(ModuleLines().back(), "module probe: PerformAI 501\n");

    // The creator is passed to the module, and a missing creation structure is reported.
    CBaseEntity* created = vgSpawnParentEntity();
    EXPECT_EQ(created->Create(second, 0, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::Create() NULL creation structure! Model index=0\n"));
    EXPECT_EQ(ModuleLines().back(),
              "module probe: Create 502 creator=501 model=0 data=no size=0\n");

    // A module may spawn children in Create.
    CBaseEntity* parent = SpawnCreated(3);
    ASSERT_EQ(parent->m_Children.GetCount(), 1u);
    EXPECT_EQ((*parent->m_Children.GetHead())->m_dwID, 504u);
    EXPECT_EQ(ModuleLines().back(), "module parent: spawned child 504\n");

    // Delete runs the entry once; its 99 reads as 0.
    CBaseEntity* stubborn = SpawnCreated(5);
    EXPECT_EQ(stubborn->Delete() + stubborn->Delete(), 0);
    vgDeleteEntity(stubborn);
    auto lines = ModuleLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "module stubborn: Delete 505\n"), 1);
}

TEST_F(BehaviourTest, LocalDataIsReplacedZeroFilledAndFailuresReported) {
    CBaseEntity* entity = vgSpawnParentEntity();
    ASSERT_EQ(entity->AllocateLocalData(16), 1);
    std::memset(entity->m_pLocalData, 0xFF, 16);
    ASSERT_EQ(entity->AllocateLocalData(32), 1);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::AllocateLocalData() Buffer already allocated!\n"));
    EXPECT_EQ(entity->m_dwLocalDataSize, 32u);
    const auto* bytes = static_cast<const unsigned char*>(entity->m_pLocalData);
    EXPECT_TRUE(std::all_of(bytes, bytes + 32, [](unsigned char b) { return b == 0; }));

    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(entity->AllocateLocalData(64), 0);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::AllocateLocalData() Failed to allocate 64 bytes!\n"));
    EXPECT_TRUE(entity->m_pLocalData == nullptr && entity->m_dwLocalDataSize == 0);
}

TEST_F(BehaviourTest, CreateAgainReleasesTheModuleItHeld) {
    CBaseEntity* entity = SpawnCreated(0);
    EXPECT_EQ(entity->Create(nullptr, 4, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
    vgDeleteEntity(entity);
    // No entity holds the first module any more, so it is no longer loaded.
    void* probe = dlopen(PROBEMODULE, RTLD_NOW | RTLD_NOLOAD);
    EXPECT_EQ(probe, nullptr);
    if (probe != nullptr) {
        dlclose(probe);
    }
}

} // namespace
