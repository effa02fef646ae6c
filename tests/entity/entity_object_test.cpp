#include "entity_fixture.h"

#include "engine/registry.h"

#include <cstring>

namespace {

using EntityObjectTest = EntityTest;

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectVector(const D3DVECTOR& actual, float x, float y, float z) {
    EXPECT_FLOAT_EQ(actual.x, x);
    EXPECT_FLOAT_EQ(actual.y, y);
    EXPECT_FLOAT_EQ(actual.z, z);
}

TEST_F(EntityObjectTest, PositionIsWorldPlusOffset) {
    CBaseEntity* entity = vgSpawnParentEntity();
    D3DVECTOR world(1, 2, 3), offset(10, 20, 30), out;
    entity->SetWorldPosition(&world);
    entity->SetOffsetPosition(&offset);
    entity->GetPosition(&out);
    ExpectVector(out, 11, 22, 33);
    ExpectVector(entity->GetPosition(), 11, 22, 33);
    entity->GetOffsetPosition(&out);
    ExpectVector(out, 10, 20, 30);
}

// Append applies the old rotation first (A then B gives B x A), insert the new one.
TEST_F(EntityObjectTest, AppendAppliesTheOldRotationFirstAndInsertTheNewOne) {
    D3DMATRIX a = RotateXMatrix(0.5f), b = RotateYMatrix(0.25f);
    CBaseEntity* entity = vgSpawnParentEntity();
    entity->AppendLocalRotation(a);
    entity->AppendLocalRotation(b);
    EXPECT_TRUE(SameMatrix(entity->GetLocalRotation(), MatrixMult(b, a)));
    entity->ReplaceLocalRotation(IdentityMatrix());
    entity->InsertLocalRotation(a);
    entity->InsertLocalRotation(b);
    EXPECT_TRUE(SameMatrix(entity->GetLocalRotation(), MatrixMult(a, b)));

    entity->AppendFrameRotation(a);
    entity->AppendFrameRotation(b);
    EXPECT_TRUE(SameMatrix(entity->GetFrameRotation(), MatrixMult(b, a)));
    entity->SetFrameRotation(IdentityMatrix());
    entity->InsertFrameRotation(a);
    entity->InsertFrameRotation(b);
    EXPECT_TRUE(SameMatrix(entity->GetFrameRotation(), MatrixMult(a, b)));
}

TEST_F(EntityObjectTest, LocalMatrixRotatesScalesMovesAndTheHierarchyAnchorsIt) {
    CBaseEntity* parent = vgSpawnParentEntity();
    parent->m_vScale = D3DVECTOR(2, 3, 4);
    parent->SetLocalRotation(RotateZMatrix(1.5707963f));
    parent->SetOffsetPosition(D3DVECTOR(100, 0, 0));
    D3DMATRIX matrix;
    parent->CalculateLocalMatrix(matrix);
    // The rotation takes x to -y with this layout; the scale then stretches y by 3.
    D3DVECTOR moved = TransformVector(D3DVECTOR(1, 0, 0), matrix);
    EXPECT_NEAR(moved.x, 100.0f, 1e-4f);
    EXPECT_NEAR(moved.y, -3.0f, 1e-4f);
    EXPECT_NEAR(moved.z, 0.0f, 1e-4f);

    // A top-level entity is anchored at its world position, a child at its parent's offset.
    parent->SetWorldPosition(D3DVECTOR(5, 5, 5));
    parent->SetOffsetPosition(D3DVECTOR(1, 2, 3));
    CBaseEntity* child = vgSpawnChildEntity(parent);
    child->SetWorldPosition(D3DVECTOR(50, 50, 50));
    parent->CalculateHierarchyMatrix(matrix);
    ExpectVector(TransformVector(D3DVECTOR(0, 0, 0), matrix), 5, 5, 5);
    child->SetFrameRotation(RotateYMatrix(0.75f));
    child->CalculateHierarchyMatrix(matrix);
    EXPECT_TRUE(
        SameMatrix(matrix, MatrixMult(TranslateMatrix(D3DVECTOR(1, 2, 3)), RotateYMatrix(0.75f))));
}

TEST_F(EntityObjectTest, ScaleWithoutA3DModelIsKeptAndItsLargestComponentTaken) {
    CBaseEntity* entity = vgSpawnParentEntity();
    entity->m_vScale = D3DVECTOR(0.5f, 3.0f, 2.0f);
    entity->m_dwModelIndex = 9;
    entity->CalculateScale();
    EXPECT_TRUE(
        m_capture.Contains("CBaseEntity::CalculateScale() Failed to obtain 3D model index 9\n"));
    ExpectVector(entity->m_vScale, 0.5f, 3.0f, 2.0f);
    EXPECT_EQ(entity->m_fMaxScale, 3.0f);
    const std::pair<D3DVECTOR, float> cases[] = {{D3DVECTOR(1, 2, 3), 3.0f},
                                                 {D3DVECTOR(3, 2, 1), 3.0f},
                                                 {D3DVECTOR(1, 3, 2), 3.0f},
                                                 {D3DVECTOR(-1, -2, -3), -1.0f}};
    for (const auto& [v, largest] : cases) {
        EXPECT_EQ(LargestComponent(v), largest);
    }
}

TEST_F(EntityObjectTest, CopyHasItsOwnLocalDataAndNoChildren) {
    CBaseEntity* original = vgSpawnParentEntity();
    vgSpawnChildEntity(original);
    original->SetWorldPosition(D3DVECTOR(1, 2, 3));
    original->m_dwUserData0 = 77;
    ASSERT_EQ(original->AllocateLocalData(8), 1);
    std::memcpy(original->m_pLocalData, "ABCDEFGH", 8);
    {
        CBaseEntity copy(*original);
        EXPECT_EQ(copy.m_dwID, original->m_dwID);
        EXPECT_EQ(copy.m_dwUserData0, 77u);
        ExpectVector(copy.GetWorldPosition(), 1, 2, 3);
        ASSERT_NE(copy.m_pLocalData, original->m_pLocalData);
        EXPECT_EQ(std::memcmp(copy.m_pLocalData, "ABCDEFGH", 8), 0);
        EXPECT_EQ(copy.m_Children.GetCount(), 0u);
        CBaseEntity assigned;
        assigned = *original;
        EXPECT_EQ(std::memcmp(assigned.m_pLocalData, "ABCDEFGH", 8), 0);
        // Neither copy is in a list; their destructors say so and free only their own data.
    }
    EXPECT_TRUE(m_capture.Contains("Unable to find parent object in entity list!"));
    EXPECT_EQ(std::memcmp(original->m_pLocalData, "ABCDEFGH", 8), 0);
    EXPECT_EQ(original->m_Children.GetCount(), 1u);
}

} // namespace
