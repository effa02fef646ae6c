#include "entity_fixture.h"

#include "engine/registry.h"
#include "testkit/math_expect.h"

#include <cstring>

namespace {

using EntityObjectTest = EntityTest;

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<float> Components(const D3DVECTOR& v) {
    return {v.x, v.y, v.z};
}

TEST_F(EntityObjectTest, PositionIsWorldPlusOffset) {
    CBaseEntity* entity = vgSpawnParentEntity();
    D3DVECTOR world(1, 2, 3), offset(10, 20, 30), out;
    entity->SetWorldPosition(&world);
    entity->SetOffsetPosition(&offset);
    D3DVECTOR offsetOut;
    entity->GetPosition(&out);
    entity->GetOffsetPosition(&offsetOut);
    EXPECT_EQ(
        (std::vector{Components(out), Components(entity->GetPosition()), Components(offsetOut)}),
        (std::vector<std::vector<float>>{{11, 22, 33}, {11, 22, 33}, {10, 20, 30}}));
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
    testkit::ExpectVectorNear(TransformVector(D3DVECTOR(1, 0, 0), matrix), {100, -3, 0}, 1e-4f);

    // A top-level entity is anchored at its world position, a child at its parent's offset.
    parent->SetWorldPosition(D3DVECTOR(5, 5, 5));
    parent->SetOffsetPosition(D3DVECTOR(1, 2, 3));
    CBaseEntity* child = vgSpawnChildEntity(parent);
    child->SetWorldPosition(D3DVECTOR(50, 50, 50));
    parent->CalculateHierarchyMatrix(matrix);
    EXPECT_EQ(Components(TransformVector(D3DVECTOR(0, 0, 0), matrix)), (std::vector<float>(3, 5)));
    child->SetFrameRotation(RotateYMatrix(0.75f));
    child->CalculateHierarchyMatrix(matrix);
    EXPECT_TRUE(
        SameMatrix(matrix, MatrixMult(TranslateMatrix(D3DVECTOR(1, 2, 3)), RotateYMatrix(0.75f))));
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
        EXPECT_EQ((std::vector<DWORD>{copy.m_dwID, copy.m_dwUserData0, copy.m_Children.GetCount()}),
                  (std::vector<DWORD>{original->m_dwID, 77, 0}));
        EXPECT_EQ(Components(copy.GetWorldPosition()), (std::vector<float>{1, 2, 3}));
        ASSERT_NE(copy.m_pLocalData, original->m_pLocalData);
        EXPECT_EQ(std::memcmp(copy.m_pLocalData, "ABCDEFGH", 8), 0);
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
