#include "model_fixture.h"

#include <cmath>

namespace {

using namespace vmm_bytes;

class BoundsTest : public ModelTest {
protected:
    // A mesh frame with one box key per keyframe of start..final.
    C3DModelFrame* BoxedFrame(const std::string& name, const std::vector<Vertex>& vertices,
                              DWORD start, DWORD final) {
        C3DModelFrame* frame = NewFrame(name, vertices);
        std::vector<DBOX_KEYFRAME> keys = BoxKeysFor(start, final);
        EXPECT_EQ(
            frame->SetBBoxKeyframes(static_cast<DWORD>(keys.size()), keys.data(), start, final), 1);
        return frame;
    }
};

TEST_F(BoundsTest, ElevenKeyframesGiveElevenBoxesFollowingTheAnimation) {
    C3DModelFrame* hull = BoxedFrame("hull", Triangle(1, 1), 0, 10);
    DPOS_KEYFRAME track[2] = {};
    track[1].fTime = 1.0f;
    track[1].vPosition = D3DVECTOR(10, 0, 0);
    hull->SetPositionKeys(2, track, 0, 10);
    m_model.AddFrame(hull);
    ASSERT_EQ(m_model.SetKeyframes(0, 10, 0), 1);
    m_model.CalculateBoundingBox();
    ASSERT_EQ(m_model.GetBoxCount(), 11u);
    for (DWORD i = 0; i <= 10; ++i) {
        SCOPED_TRACE(i);
        const DBOX_KEYFRAME& box = m_model.GetBoxes()[i];
        float u = static_cast<float>(i) / 10.0f;
        EXPECT_EQ(box.dwKeyframe, i);
        EXPECT_FLOAT_EQ(box.fTime, u);
        // Boxes are computed in spline mode: with zero tangents x moves along 3u^2 - 2u^3.
        float x = 10.0f * (3 * u * u - 2 * u * u * u);
        EXPECT_NEAR(box.vMin.x, x, 1e-4f);
        EXPECT_NEAR(box.vMax.x, x + 1.0f, 1e-4f);
    }

    // Between boxes the lookup interpolates; the time is an animation time that loops.
    DANIMATION animation = {};
    animation.fDuration = 2.0f;
    m_model.SetAnimations(1, &animation);
    D3DVECTOR min, max;
    m_model.GetBoundingBox(0, 2.0f + 0.1f, min, max);
    const DBOX_KEYFRAME* boxes = m_model.GetBoxes();
    EXPECT_NEAR(min.x, (boxes[0].vMin.x + boxes[1].vMin.x) / 2, 1e-4f);
}

TEST_F(BoundsTest, ModelBoxIsTransformedAndSortedWhileTheSphereKeepsItsRadius) {
    m_model.AddFrame(BoxedFrame("hull", Triangle(2, 4), 0, 0));
    m_model.CalculateBoundingBox();
    m_model.SetTransformMatrix(MatrixMult(TranslateMatrix(0, 0, 1), ScaleMatrix(-3, 1, 1)));

    D3DVECTOR min, max, centre;
    float radius = 0;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    ExpectVector(min, -6, 0, 1);
    ExpectVector(max, 0, 4, 1);
    m_model.GetBoundingSphere(0, 0.0f, centre, radius);
    ExpectVector(centre, -3, 2, 1);
    EXPECT_FLOAT_EQ(radius, std::sqrt(20.0f) / 2);
}

// An attachment's own box is computed but does not widen the model's box.
TEST_F(BoundsTest, ChildBoxesFollowTheirParentAndAttachmentsDoNotWidenTheModelBox) {
    C3DModelFrame* root = NewFrame("$$$DUMMY root", {});
    DPOS_KEYFRAME lift = {};
    lift.vPosition = D3DVECTOR(0, 0, 7);
    root->SetPositionKeys(1, &lift, 0, 0);
    m_model.AddFrame(root);
    C3DModelFrame* child = BoxedFrame("child", Triangle(1, 1), 0, 0);
    child->SetParentKeyframe(0);
    m_model.AddFrame(child);
    C3DModelFrame* gun =
        BoxedFrame("gun", {Vertex{-50, 0, 0}, Vertex{-40, 0, 0}, Vertex{-40, 1, 0}}, 0, 0);
    ATTACHMENT_POINT point = {};
    gun->SetAttachment(&point);
    m_model.AddFrame(gun);
    m_model.CalculateBoundingBox();
    D3DVECTOR min, max;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    ExpectVector(min, 0, 0, 7);
    ExpectVector(max, 1, 1, 7);
    ExpectVector(gun->GetBBoxKeys()[0].vMin, -50, 0, 0);
}

TEST_F(BoundsTest, FrameBoxesInterpolateAndSortTheirCorners) {
    TestFrame frame;
    frame.SetName("hull");
    const D3DVECTOR zero(0.0f);
    DBOX_KEYFRAME keys[2] = {
        {0, 0.0f, zero, D3DVECTOR(2, 2, 2), zero, 1},
        {0, 1.0f, D3DVECTOR(4, 0, 0), D3DVECTOR(-2, 2, 2), D3DVECTOR(8, 0, 0), 3}};
    frame.SetBBoxKeyframes(2, keys, 0, 1);

    D3DVECTOR min, max, centre;
    float radius = 0;
    frame.GetBoundingBox(min, max, 0.5f);
    frame.GetBoundingSphere(centre, radius, 0.5f);
    EXPECT_EQ(
        m_capture.Lines(),
        (std::vector<std::string>{"C3DModelFrame::GetBoundingBox() Bounding boxes invalid!\n",
                                  "C3DModelFrame::GetBoundingSphere() Bounding boxes invalid!\n"}));
    ExpectVector(min, 0, 0, 0);
    EXPECT_EQ(radius, 0.0f);

    frame.FlagBoundingBoxValid(TRUE);
    frame.GetBoundingBox(min, max, 0.75f);
    // Interpolated x corners 3 and -1 swap places.
    ExpectVector(min, -1, 0, 0);
    ExpectVector(max, 3, 2, 2);
    frame.GetBoundingSphere(centre, radius, 0.75f);
    ExpectVector(centre, 6, 0, 0);
    EXPECT_FLOAT_EQ(radius, 2.5f);
}

} // namespace
