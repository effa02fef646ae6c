#include "entity_fixture.h"

#include "engine/registry.h"
#include "testkit/bytes.h"

#include <cstring>

namespace {

class PersistenceTest : public EntityTest {
protected:
    HANDLE Create(const char* name) {
        return CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                           CREATE_ALWAYS);
    }
    HANDLE Open(const char* name) {
        return CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                           OPEN_EXISTING);
    }
    // Saves the entity to name and returns the file's bytes.
    std::vector<std::uint8_t> SaveTo(CBaseEntity* entity, const char* name) {
        HANDLE file = Create(name);
        EXPECT_EQ(entity->Save(file), 1);
        CloseHandle(file);
        return m_dir.ReadFile(name);
    }
    int LoadFrom(CBaseEntity* entity, const char* name, DWORD* position = nullptr) {
        HANDLE file = Open(name);
        int result = entity->Load(file);
        if (position != nullptr) {
            *position = SetFilePointer(file, 0, FILE_CURRENT);
        }
        CloseHandle(file);
        return result;
    }
};

constexpr auto U32At = &testkit::FieldAt<std::uint32_t>;
constexpr auto F32At = &testkit::FieldAt<float>;

TEST_F(PersistenceTest, RecordPutsEveryFieldAtItsOffset) {
    CBaseEntity* entity = vgSpawnParentEntity();
    std::strcpy(entity->m_Model.szTypeName, "crate");
    entity->m_dwUserData0 = 0x11;
    entity->m_dwUserData1 = 0x22;
    entity->m_nUserData2 = -5;
    entity->m_vScale = D3DVECTOR(1.5f, 2.5f, 3.5f);
    entity->m_fMaxScale = 3.5f;
    entity->m_dwModelIndex = 4;
    entity->SetOffsetPosition(D3DVECTOR(7, 8, 9));
    entity->SetWorldPosition(D3DVECTOR(-1, -2, -3));
    entity->m_mLocalRotation._12 = 0.25f;
    entity->m_mFrameRotation._43 = 0.75f;

    std::vector<std::uint8_t> bytes = SaveTo(entity, "one.sav");
    ASSERT_EQ(bytes.size(), 2632u + 4u) << "no local data, no children";
    EXPECT_EQ(U32At(bytes, 0), 2632u);
    EXPECT_EQ(std::memcmp(bytes.data() + 4, "crate", 6), 0);
    EXPECT_EQ(U32At(bytes, 2440), 500u);
    EXPECT_EQ(F32At(bytes, 2444), 1.0f);
    EXPECT_EQ(F32At(bytes, 2444 + 4), 0.25f);
    EXPECT_EQ(U32At(bytes, 2508), 0x11u);
    EXPECT_EQ(U32At(bytes, 2512), 0x22u);
    EXPECT_EQ(U32At(bytes, 2516), static_cast<std::uint32_t>(-5));
    EXPECT_EQ(F32At(bytes, 2520), 1.5f);
    EXPECT_EQ(F32At(bytes, 2528), 3.5f);
    EXPECT_EQ(U32At(bytes, 2532), 4u);
    EXPECT_EQ(U32At(bytes, 2536), 0u);
    EXPECT_EQ(F32At(bytes, 2540), 7.0f);
    EXPECT_EQ(F32At(bytes, 2552 + 14 * 4), 0.75f);
    EXPECT_EQ(F32At(bytes, 2616), -1.0f);
    EXPECT_EQ(F32At(bytes, 2628), 3.5f);
    EXPECT_EQ(U32At(bytes, 2632), 0u) << "child count";

    // Local data and children follow the record.
    ASSERT_EQ(entity->AllocateLocalData(100), 1);
    std::memset(entity->m_pLocalData, 0x5C, 100);
    vgSpawnChildEntity(entity);
    vgSpawnChildEntity(entity);
    bytes = SaveTo(entity, "tree.sav");
    ASSERT_EQ(bytes.size(), 2632u + 100u + 4u + 2u * (2632u + 4u));
    EXPECT_EQ(U32At(bytes, 2536), 100u);
    EXPECT_EQ(bytes[2632], 0x5C);
    EXPECT_EQ(U32At(bytes, 2732), 2u);
    EXPECT_EQ(U32At(bytes, 2736 + 2440), 501u) << "first child first";
}

TEST_F(PersistenceTest, ThreeLevelTreeComesBackInOrderAndUnbound) {
    CBaseEntity* root = vgSpawnParentEntity();
    root->SetWorldPosition(D3DVECTOR(3, 2, 1));
    ASSERT_EQ(root->AllocateLocalData(5), 1);
    std::memcpy(root->m_pLocalData, "state", 5);
    CBaseEntity* first = vgSpawnChildEntity(root);
    vgSpawnChildEntity(root);
    CBaseEntity* grandchild = vgSpawnChildEntity(first);
    grandchild->m_dwUserData1 = 9;
    SaveTo(root, "deep.sav");
    ResetLevel();

    CBaseEntity* restored = vgSpawnParentEntity();
    DWORD position = 0;
    ASSERT_EQ(LoadFrom(restored, "deep.sav", &position), 1);
    EXPECT_EQ(position, m_dir.ReadFile("deep.sav").size());
    EXPECT_EQ(restored->m_dwID, 500u);
    EXPECT_EQ(restored->GetWorldPosition().x, 3.0f);
    ASSERT_EQ(restored->m_dwLocalDataSize, 5u);
    EXPECT_EQ(std::memcmp(restored->m_pLocalData, "state", 5), 0);
    ASSERT_EQ(restored->m_Children.GetCount(), 2u);
    CBaseEntity* restoredFirst = restored->m_Children.GetAt(restored->m_Children.FindIndex(0));
    CBaseEntity* restoredSecond = restored->m_Children.GetAt(restored->m_Children.FindIndex(1));
    EXPECT_EQ(restoredFirst->m_dwID, 501u);
    EXPECT_EQ(restoredSecond->m_dwID, 502u);
    ASSERT_EQ(restoredFirst->m_Children.GetCount(), 1u);
    CBaseEntity* restoredGrandchild = *restoredFirst->m_Children.GetHead();
    EXPECT_EQ(restoredGrandchild->m_dwID, 503u);
    EXPECT_EQ(restoredGrandchild->m_dwUserData1, 9u);
    EXPECT_EQ(restoredGrandchild->m_pParent, restoredFirst);
    EXPECT_EQ(restored->Render(), 1);
    EXPECT_EQ(restored->PerformAI(), 0);
}

TEST_F(PersistenceTest, BrokenImagesAreRefusedWithTheirMessage) {
    using testkit::ByteBuilder;
    const struct {
        const char* name;
        std::vector<std::uint8_t> image;
        const char* message;
    } cases[] = {
        {"size", ByteBuilder().U32(2600).Fill(0, 2628).U32(0).Bytes(),
         "CBaseEntity::PersistenceHelper() Structure size mismatch on load. Expected 2632, got "
         "2600.\n"},
        {"cut", ByteBuilder().U32(2632).Fill(0, 2532).U32(10).Fill(0, 92).Fill(1, 4).Bytes(),
         "CBaseEntity::Load() Error reading local buffer from file. Last Error="},
        // A huge local data size is refused before allocating.
        {"huge", ByteBuilder().U32(2632).Fill(0, 2532).U32(0xFFFFFF00u).Fill(0, 92).U32(0).Bytes(),
         ""},
        // A child count beyond the file is refused before any child is spawned.
        {"kids", ByteBuilder().U32(2632).Fill(0, 2628).U32(1000000).Bytes(),
         "CBaseEntity::Load() 1000000 children cannot fit in the 0 bytes left!\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_dir.WriteFile("bad.sav", c.image);
        CBaseEntity* entity = vgSpawnParentEntity();
        const DWORD id = entity->m_dwID;
        DWORD peak = CMemory::GetMaxMemoryUsed();
        DWORD position = 0;
        m_capture.Clear();
        EXPECT_EQ(LoadFrom(entity, "bad.sav", &position), 0);
        EXPECT_TRUE(m_capture.Contains(c.message));
        EXPECT_EQ(entity->m_pLocalData, nullptr);
        if (c.name == std::string("size")) {
            EXPECT_EQ(position, 2632u) << "nothing else read";
            EXPECT_EQ(entity->m_dwID, id) << "the entity is unchanged";
        }
        if (c.name == std::string("huge")) {
            EXPECT_EQ(CMemory::GetMaxMemoryUsed(), peak);
        }
        if (c.name == std::string("kids")) {
            EXPECT_EQ(entity->m_Children.GetCount(), 0u) << "no child spawned for it";
        }
    }
}

TEST_F(PersistenceTest, WriteFailureIsReported) {
    m_dir.WriteFile("ro.sav", {});
    HANDLE readOnly = Open("ro.sav");
    CBaseEntity* entity = vgSpawnParentEntity();
    EXPECT_EQ(entity->Save(readOnly), 0);
    CloseHandle(readOnly);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::PersistenceHelper() Save failed. Last Error="));
}

} // namespace
