#include "entity_fixture.h"

#include "engine/registry.h"
#include "testkit/bytes.h"
#include "testkit/record_file.h"

#include <array>
#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// An entity's saved record, built from the record table: both rotations are the identity but
// for one element each, and the child count follows unless the caller adds local data first.
struct EntityImage {
    std::string type;
    std::uint32_t id = 500, user0 = 0, user1 = 0;
    std::int32_t user2 = -1;
    std::array<float, 3> scale = {}, offset = {}, world = {};
    std::uint32_t modelIndex = 0, localSize = 0;
    float local12 = 0.0f, frame43 = 0.0f, maxScale = 0.0f;

    testkit::ByteBuilder& AppendTo(testkit::ByteBuilder& bytes) const {
        bytes.U32(2632).Chars(type, 2436).U32(id);
        Matrix(bytes, 1, local12).U32(user0).U32(user1).I32(user2);
        Floats(bytes, scale).U32(modelIndex).U32(localSize);
        Floats(Matrix(Floats(bytes, offset), 14, frame43), world).F32(maxScale);
        return bytes;
    }
    static testkit::ByteBuilder& Matrix(testkit::ByteBuilder& bytes, int index, float value) {
        for (int i = 0; i < 16; ++i) {
            bytes.F32(i % 5 == 0 ? 1.0f : i == index ? value : 0.0f);
        }
        return bytes;
    }
    static testkit::ByteBuilder& Floats(testkit::ByteBuilder& bytes, std::array<float, 3> v) {
        return bytes.F32(v[0]).F32(v[1]).F32(v[2]);
    }
};

class PersistenceTest : public EntityTest {
protected:
    Bytes SaveImage(CBaseEntity* entity) { return testkit::SavedRecord(m_dir, *entity); }
    // Load's result for the image, and how far it read.
    int LoadImage(CBaseEntity* entity, const Bytes& image, DWORD* position = nullptr) {
        m_dir.WriteFile("in.sav", image);
        HANDLE file = CreateFileA(m_dir.EnginePath("in.sav").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  OPEN_EXISTING);
        int result = entity->Load(file);
        if (position != nullptr) {
            *position = SetFilePointer(file, 0, FILE_CURRENT);
        }
        CloseHandle(file);
        return result;
    }
};

TEST_F(PersistenceTest, SavedTreeIsTheRecordThenLocalDataThenChildrenInOrder) {
    CBaseEntity* entity = vgSpawnParentEntity();
    std::strcpy(entity->m_Model.szTypeName, "crate");
    entity->m_dwUserData0 = 0x11;
    entity->m_dwUserData1 = 0x22;
    entity->m_nUserData2 = -5;
    entity->m_vScale = D3DVECTOR(1.5f, 2.5f, 3.5f);
    entity->m_fMaxScale = 3.25f;
    entity->m_dwModelIndex = 4;
    entity->SetOffsetPosition(D3DVECTOR(7, 8, 9));
    entity->SetWorldPosition(D3DVECTOR(-1, -2, -3));
    entity->m_mLocalRotation._12 = 0.25f;
    entity->m_mFrameRotation._43 = 0.75f;
    EntityImage image{"crate", 500, 0x11,  0x22,  -5,   {1.5f, 2.5f, 3.5f}, {7, 8, 9}, {-1, -2, -3},
                      4,       0,   0.25f, 0.75f, 3.25f};
    testkit::ByteBuilder expected;
    EXPECT_EQ(SaveImage(entity), image.AppendTo(expected).U32(0).Bytes());

    ASSERT_EQ(entity->AllocateLocalData(100), 1);
    std::memset(entity->m_pLocalData, 0x5C, 100);
    vgSpawnChildEntity(entity);
    vgSpawnChildEntity(entity);
    image.localSize = 100;
    testkit::ByteBuilder tree;
    image.AppendTo(tree).Fill(0x5C, 100).U32(2);
    EntityImage{"", 501}.AppendTo(tree).U32(0);
    EntityImage{"", 502}.AppendTo(tree).U32(0);
    EXPECT_EQ(SaveImage(entity), tree.Bytes());
}

TEST_F(PersistenceTest, ThreeLevelTreeComesBackInOrderAndUnbound) {
    testkit::ByteBuilder tree;
    EntityImage root{"root", 500};
    root.world = {3, 2, 1};
    root.localSize = 5;
    root.AppendTo(tree).Raw({'s', 't', 'a', 't', 'e'}).U32(2);
    EntityImage{"first", 501}.AppendTo(tree).U32(1);
    EntityImage{"grandchild", 503, 0, 9}.AppendTo(tree).U32(0);
    EntityImage{"second", 502}.AppendTo(tree).U32(0);

    CBaseEntity* restored = vgSpawnParentEntity();
    DWORD position = 0;
    ASSERT_EQ(LoadImage(restored, tree.Bytes(), &position), 1);
    EXPECT_EQ(position, tree.Size());
    // Saved again, the tree gives back its image: every record, its local data and the
    // children in their order.
    EXPECT_EQ(SaveImage(restored), tree.Bytes());
    ASSERT_EQ(restored->m_Children.GetCount(), 2u);
    CBaseEntity* first = *restored->m_Children.GetHead();
    EXPECT_EQ((*first->m_Children.GetHead())->m_pParent, first);
    EXPECT_EQ(restored->Render(), 1);
    EXPECT_EQ(restored->PerformAI(), 0);
}

TEST_F(PersistenceTest, BrokenImagesAndUnwritableFilesAreRefusedWithTheirMessage) {
    using testkit::ByteBuilder;
    const struct {
        Bytes image;
        const char* message;
        DWORD position; // how far the load read; 0: not checked
        DWORD failing;  // armed: the load must not allocate
    } cases[] = {
        {ByteBuilder().U32(2600).Fill(0, 2628).U32(0).Bytes(),
         "CBaseEntity::PersistenceHelper() Structure size mismatch on load. Expected 2632, got "
         "2600.\n",
         2632, 0},
        {ByteBuilder().U32(2632).Fill(0, 2532).U32(10).Fill(0, 92).Fill(1, 4).Bytes(),
         "CBaseEntity::Load() Error reading local buffer from file. Last Error=", 0, 1},
        {ByteBuilder().U32(2632).Fill(0, 2532).U32(0xFFFFFF00u).Fill(0, 92).U32(0).Bytes(),
         "CBaseEntity::Load() Error reading local buffer from file. Last Error=", 0, 1},
        // A child count beyond the file is refused before any child is spawned.
        {ByteBuilder().U32(2632).Fill(0, 2628).U32(1000000).Bytes(),
         "CBaseEntity::Load() 1000000 children cannot fit in the 0 bytes left!\n", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        CBaseEntity* entity = vgSpawnParentEntity();
        const DWORD id = entity->m_dwID;
        DWORD position = 0;
        m_capture.Clear();
        CMemory::FailAllocationAfter(c.failing);
        EXPECT_EQ(LoadImage(entity, c.image, &position), 0);
        CMemory::FailAllocationAfter(0);
        EXPECT_TRUE(m_capture.Contains(c.message));
        EXPECT_EQ(entity->m_pLocalData, nullptr);
        EXPECT_EQ(entity->m_Children.GetCount(), 0u) << "no child is spawned";
        if (c.position != 0) {
            EXPECT_EQ(position, c.position) << "nothing else read";
            EXPECT_EQ(entity->m_dwID, id) << "the entity is unchanged";
        }
    }
    HANDLE readOnly = CreateFileA(m_dir.EnginePath("in.sav").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  OPEN_EXISTING);
    EXPECT_EQ(vgSpawnParentEntity()->Save(readOnly), 0);
    CloseHandle(readOnly);
    EXPECT_TRUE(m_capture.Contains("CBaseEntity::PersistenceHelper() Save failed. Last Error="));
}

} // namespace
