#include "model_fixture.h"

namespace {

using namespace vmm_bytes;

// The dummy flag follows the name through SetVertices (which starts the frame over), so a
// frame built name first is the dummy it is after saving and loading: it keeps no box keys
// and takes no part in the model's box.
TEST_F(ModelTest, NamedDummyStaysADummyWhenGivenAMeshAfterItsName) {
    C3DModelFrame* dummy = NewAccounted<C3DModelFrame>();
    SetMesh(*dummy, "$$$dummy_hinge", Triangle(100, 100));
    DBOX_KEYFRAME box = BoxKeysFor(0, 0)[0];
    EXPECT_EQ(dummy->SetBBoxKeyframes(1, &box, 0, 0), 1);
    EXPECT_EQ(dummy->IsDummy(), 1);
    EXPECT_EQ(dummy->GetBBoxKeyframes(), 0u);

    C3DModelFrame* hull = NewAccounted<C3DModelFrame>();
    SetMesh(*hull, "hull", Triangle(1, 2));
    ASSERT_EQ(hull->SetBBoxKeyframes(1, &box, 0, 0), 1);
    ASSERT_EQ(m_model.AddFrame(dummy), 1);
    ASSERT_EQ(m_model.AddFrame(hull), 1);
    ASSERT_EQ(m_model.SetKeyframes(0, 0, 0), 1);
    m_model.CalculateBoundingBox();
    D3DVECTOR min;
    D3DVECTOR max;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    ExpectVector(min, 0, 0, 0);
    ExpectVector(max, 1, 2, 0);
}

} // namespace
