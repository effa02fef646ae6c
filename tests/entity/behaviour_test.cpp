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

TEST_F(BehaviourTest, CreateCopiesTheRecordBindsPlacesAndCallsTheModule) {
    int result = -1;
    CBaseEntity* entity = SpawnCreated(0, &result);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(entity->m_Model.szTypeName, "probe");
    EXPECT_EQ(entity->m_dwModelIndex, 0u);
    EXPECT_EQ(entity->GetWorldPosition().y, 2.0f);
    EXPECT_EQ(entity->GetOffsetPosition().z, 6.0f);
    ASSERT_NE(entity->m_hModule, nullptr);
    EXPECT_EQ(ModuleLines(), std::vector<std::string>{
                                 "module probe: Create 500 creator=0 model=0 data=yes size=4\n"});
    ASSERT_NE(entity->m_pLocalData, nullptr) << "the module allocated its state";

    entity->m_dwUserData0 = 0;
    EXPECT_EQ(entity->PerformAI(), 0);
    EXPECT_EQ(entity->PerformAI(), 0);
    EXPECT_EQ(*static_cast<int*>(entity->m_pLocalData), 2);
    entity->m_dwUserData1 = 1;
    EXPECT_EQ(entity->Render(), 1);
    entity->m_dwUserData0 = 99;
    EXPECT_EQ(entity->PerformAI(), 99) << "the module's result is passed on unchanged";

    vgDeleteEntity(entity);
    EXPECT_EQ(ModuleLines().back(), "module probe: Delete 500\n");

    // The creator is passed to the module.
    CBaseEntity* creator = vgSpawnParentEntity();
    CBaseEntity* created = vgSpawnParentEntity();
    EXPECT_EQ(created->Create(creator, 0, D3DVECTOR(0.0f), D3DVECTOR(0.0f), nullptr, 0), 0);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::Create() NULL creation structure! Model index=0\n"));
    EXPECT_TRUE(
        m_capture.Contains("module probe: Create 502 creator=501 model=0 data=no size=0\n"));
}

TEST_F(BehaviourTest, EmptyPrefixBindsThePlainEntryNames) {
    int result = -1;
    CBaseEntity* entity = SpawnCreated(4, &result);
    EXPECT_EQ(result, 0);
    EXPECT_NE(entity->m_pfnCreate, nullptr);
    EXPECT_NE(entity->m_pfnRender, nullptr);
    EXPECT_NE(entity->m_pfnPerformAI, nullptr);
    EXPECT_NE(entity->m_pfnDelete, nullptr);
}

TEST_F(BehaviourTest, MissingEntryOrLibraryFailsBinding) {
    int result = -1;
    CBaseEntity* entity = SpawnCreated(1, &result);
    EXPECT_EQ(result, 99);
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::Create() Unable to find DLL function 'NoDeleteDelete'\n"));
    EXPECT_NE(entity->m_pfnRender, nullptr);
    EXPECT_NE(entity->m_pfnPerformAI, nullptr);
    EXPECT_NE(entity->m_hModule, nullptr) << "the library stays loaded until the entity goes";
    EXPECT_TRUE(ModuleLines().empty()) << "the module's Create is never called";

    // A missing library leaves the entity unbound.
    CBaseEntity* unbound = SpawnCreated(6, &result);
    EXPECT_EQ(result, 99);
    std::string expected = "CBaseEntity::Create() Unable to load library '" +
                           platform::HostToWindowsPath("/no/such/module.so") + "'\n";
    EXPECT_TRUE(m_capture.Contains(expected)) << m_capture.Text();
    EXPECT_EQ(unbound->m_hModule, nullptr);
    EXPECT_EQ(unbound->Render(), 1);
}

TEST_F(BehaviourTest, FailedModuleCreateIsReturnedAndDeleteStillCalled) {
    int result = -1;
    CBaseEntity* entity = SpawnCreated(2, &result);
    EXPECT_EQ(result, 7);
    vgDeleteEntity(entity);
    EXPECT_EQ(ModuleLines().back(), "module failing: Delete 500\n");
}

TEST_F(BehaviourTest, ModuleMaySpawnChildrenInCreate) {
    CBaseEntity* entity = SpawnCreated(3);
    ASSERT_EQ(entity->m_Children.GetCount(), 1u);
    CBaseEntity* child = *entity->m_Children.GetHead();
    EXPECT_EQ(child->m_pParent, entity);
    EXPECT_TRUE(m_capture.Contains("module parent: spawned child 501\n"));
    EXPECT_EQ(vgFindEntity(501), child);
}

TEST_F(BehaviourTest, DeleteCallsTheEntryOnceAndReads99AsZero) {
    CBaseEntity* entity = SpawnCreated(5);
    EXPECT_EQ(entity->Delete(), 0);
    EXPECT_EQ(entity->Delete(), 0);
    vgDeleteEntity(entity);
    auto lines = ModuleLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "module stubborn: Delete 500\n"), 1);
}

TEST_F(BehaviourTest, InvalidModelIndexOrModulePathIsRefusedBeforeCopyingAnything) {
    CBaseEntity* entity = vgSpawnParentEntity();
    EXPECT_EQ(entity->Create(nullptr, 7, D3DVECTOR(1.0f), D3DVECTOR(1.0f), &m_creationData, 4), 99);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::Create() Invalid model index! (7)\n"));
    EXPECT_EQ(entity->m_Model.szTypeName[0], '\0');
    EXPECT_EQ(entity->GetWorldPosition().x, 0.0f);

    // So is an unterminated module path.
    std::memset(g_level.pModels[0].szModulePath, 'a', sizeof g_level.pModels[0].szModulePath);
    int result = -1;
    CBaseEntity* unbound = SpawnCreated(0, &result);
    EXPECT_EQ(result, 99);
    EXPECT_EQ(unbound->m_hModule, nullptr);
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
    EXPECT_EQ(entity->m_pLocalData, nullptr);
    EXPECT_EQ(entity->m_dwLocalDataSize, 0u);
}

TEST_F(BehaviourTest, EachEntityHoldsItsOwnModuleReference) {
    CBaseEntity* first = SpawnCreated(0);
    CBaseEntity* second = SpawnCreated(0);
    vgDeleteEntity(first);
    // The library is still loaded for the second entity: its entries still run.
    second->m_dwUserData0 = 0;
    EXPECT_EQ(second->PerformAI(), 0);
    EXPECT_TRUE(m_capture.Contains("module probe: PerformAI 501\n"));
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
