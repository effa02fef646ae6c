#include "model_fixture.h"

#include "math/quaternion.h"
#include "testkit/math_expect.h"

#include <cmath>
#include <numbers>

namespace {

using namespace vmm_bytes;

DPOS_KEYFRAME PositionKey(float time, float x) {
    DPOS_KEYFRAME key = {};
    key.fTime = time;
    key.vPosition = D3DVECTOR(x, 0.0f, 0.0f);
    return key;
}

DROT_KEYFRAME RotationKey(float time, float angleAboutZ) {
    DROT_KEYFRAME key = {};
    key.fTime = time;
    AxisAngleToQuat(angleAboutZ, 0.0f, 0.0f, 1.0f, &key.qRotation);
    return key;
}

// Where the frame's animation matrix puts a point.
D3DVECTOR Place(C3DModelFrame& frame, const D3DVECTOR& point) {
    return TransformVector(point, *frame.GetAnimationMatrix());
}

float EvaluateX(TestFrame& frame, float t, DWORD flags) {
    frame.ResetAnimationFlag();
    frame.InterpolateAnimation(nullptr, t, flags);
    return Place(frame, D3DVECTOR(0.0f)).x;
}

void ExpectMatrix(const D3DMATRIX& actual, const D3DMATRIX& expected) {
    testkit::ExpectMatrixNear(actual, expected, 1e-5f);
}

class AnimationTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        m_frame.SetName("hull");
    }
    void TearDown() override {
        m_frame.SetVertices(nullptr, 0); // frees the keys before the memory check
        ModelTest::TearDown();
    }
    TestFrame m_frame;
};

TEST_F(AnimationTest, LinearAndNearestModesPickTheirKeys) {
    DPOS_KEYFRAME keys[] = {PositionKey(0, 0), PositionKey(0.5f, 10), PositionKey(1, 20)};
    m_frame.SetPositionKeys(3, keys, 0, 2);
    for (DWORD flags : {ANIM_LINEAR, ANIM_SLERP, ANIM_LINEAR | ANIM_SLERP}) {
        SCOPED_TRACE(flags);
        EXPECT_FLOAT_EQ(EvaluateX(m_frame, 0.25f, flags), 5.0f);
        EXPECT_FLOAT_EQ(EvaluateX(m_frame, 0.75f, flags), 15.0f);
        EXPECT_EQ(EvaluateX(m_frame, 1.0f, flags), 20.0f);
        EXPECT_EQ(EvaluateX(m_frame, -0.1f, flags), 0.0f);
    }
    // Times before the first key use the first key.
    DPOS_KEYFRAME later[] = {PositionKey(0.5f, 10), PositionKey(1, 20)};
    m_frame.SetPositionKeys(2, later, 0, 1);
    EXPECT_EQ(EvaluateX(m_frame, 0.25f, ANIM_LINEAR), 10.0f);
    EXPECT_EQ(EvaluateX(m_frame, 0.25f, 0), 10.0f);
    // Nearest: the closest key, the first of a tie.
    DPOS_KEYFRAME spaced[] = {PositionKey(0.25f, 1), PositionKey(0.75f, 2), PositionKey(0.875f, 3)};
    m_frame.SetPositionKeys(3, spaced, 0, 2);
    const float nearest[][2] = {{0.5f, 1}, {0.8f, 2}, {0.9f, 3}, {1.0f, 3}, {0.0f, 1}};
    for (const auto& n : nearest) {
        EXPECT_EQ(EvaluateX(m_frame, n[0], 0), n[1]) << n[0];
    }
}

TEST_F(AnimationTest, SplineModeFollowsTheEasedHermiteCurve) {
    DPOS_KEYFRAME keys[] = {PositionKey(0, 0), PositionKey(1, 10)};
    keys[0].vOutTangent = D3DVECTOR(4, 0, 0);
    keys[1].vInTangent = D3DVECTOR(2, 0, 0);
    m_frame.SetPositionKeys(2, keys, 0, 1);
    const float u = 0.25f;
    // The cubic 3u^2 - 2u^3 plus the tangents' Hermite terms; spline wins over the other modes.
    float expected = 10.0f * (3 * u * u - 2 * u * u * u) + 4.0f * (u * u * u - 2 * u * u + u) +
                     2.0f * (u * u * u - u * u);
    EXPECT_NEAR(EvaluateX(m_frame, u, ANIM_SPLINE | ANIM_LINEAR | ANIM_SLERP), expected, 1e-5f);
    // Easing uses the first key's ease-from and the second key's ease-to.
    keys[0] = PositionKey(0, 0);
    keys[1] = PositionKey(1, 10);
    keys[0].fEaseFrom = 0.5f;
    keys[1].fEaseTo = 0.25f;
    m_frame.SetPositionKeys(2, keys, 0, 1);
    float e = C3DModelFrame::Ease(0.3f, 0.5f, 0.25f);
    EXPECT_NEAR(EvaluateX(m_frame, 0.3f, ANIM_SPLINE), 10.0f * (3 * e * e - 2 * e * e * e), 1e-5f);
}

// Expected values follow from the curve's three pieces with the shares scaled to sum to 1
// when they exceed it: k u^2 / a, k (2u - a) and 1 - k (1 - u)^2 / b, with k = 1 / (2 - a - b).
// u = 1 with an ease-in share alone reaches the ease-out piece with no share (once NaN).
TEST(EaseTest, EveryShareCombinationMeetsItsEndsAndFollowsItsPieces) {
    constexpr float kThird = 1.0f / 3.0f;
    const struct {
        float easeFrom, easeTo, u, expected;
    } cases[] = {
        {0.0f, 0.0f, 0.0f, 0.0f},
        {0.0f, 0.0f, 0.4f, 0.4f},
        {0.0f, 0.0f, 1.0f, 1.0f},
        {0.0f, 0.5f, 0.25f, kThird},
        {0.0f, 0.5f, 0.75f, 1.0f - 2.0f * kThird * 0.0625f / 0.5f},
        {0.0f, 0.5f, 1.0f, 1.0f},
        {0.5f, 0.0f, 0.25f, 2.0f * kThird * 0.0625f / 0.5f},
        {0.5f, 0.0f, 0.75f, 2.0f * kThird},
        {0.5f, 0.0f, 1.0f, 1.0f},
        {0.25f, 0.25f, 0.5f, 0.5f},
        {0.25f, 0.25f, 0.125f, 2.0f * kThird * 0.015625f / 0.25f},
        {0.25f, 0.25f, 1.0f, 1.0f},
        // Shares summing to 1.2 and 1.4 scale to 1/2, 1/2 and 4/7, 3/7 (k = 1).
        {0.6f, 0.6f, 0.25f, 0.125f},
        {0.6f, 0.6f, 0.75f, 0.875f},
        {0.8f, 0.6f, 0.5f, 0.25f * 7.0f / 4.0f},
        {0.8f, 0.6f, 0.75f, 1.0f - 0.0625f * 7.0f / 3.0f},
        {0.8f, 0.6f, 1.0f, 1.0f},
    };
    for (const auto& c : cases) {
        float eased = C3DModelFrame::Ease(c.u, c.easeFrom, c.easeTo);
        SCOPED_TRACE(testing::Message() << c.easeFrom << "/" << c.easeTo << " at u = " << c.u);
        ASSERT_TRUE(std::isfinite(eased));
        EXPECT_NEAR(eased, c.expected, 1e-6f);
    }
}

TEST_F(AnimationTest, RotationsAreSlerpedAndPoseAppliesScaleRotationTranslationParent) {
    DROT_KEYFRAME rotations[] = {RotationKey(0, 0), RotationKey(1, std::numbers::pi_v<float> / 2)};
    m_frame.SetRotationKeys(2, rotations, 0, 1);
    m_frame.InterpolateAnimation(nullptr, 0.5f, ANIM_LINEAR);
    ExpectMatrix(*m_frame.GetAnimationMatrix(), RotateZMatrix(std::numbers::pi_v<float> / 4));

    // Scale x by 2, turn a quarter about z, move by (10, 0, 0), then the parent's (0, 0, 5):
    // (1, 0, 0) -> (2, 0, 0) -> (0, -2, 0) in the row-vector layout -> (10, -2, 5).
    DSCL_KEYFRAME scale = {0, 0.0f, D3DVECTOR(2, 1, 1)};
    DPOS_KEYFRAME position = PositionKey(0, 10);
    m_frame.SetScaleKeys(1, &scale, 0, 0);
    m_frame.SetPositionKeys(1, &position, 0, 0);
    D3DMATRIX parent = TranslateMatrix(0, 0, 5);
    m_frame.InterpolateAnimation(&parent, 1.0f, ANIM_LINEAR);
    ExpectVector(Place(m_frame, D3DVECTOR(1, 0, 0)), 10, -2, 5);
}

TEST_F(AnimationTest, EmptyTracksGiveTheParentsMatrix) {
    D3DMATRIX turned = MatrixMult(TranslateMatrix(1, 2, 3), RotateXMatrix(0.5f));
    m_frame.InterpolateAnimation(&turned, 0.5f, ANIM_SPLINE);
    ExpectMatrix(*m_frame.GetAnimationMatrix(), turned);
    m_frame.ResetAnimationFlag();
    m_frame.InterpolateAnimation(nullptr, 0.5f, 0);
    ExpectMatrix(*m_frame.GetAnimationMatrix(), g_identityMatrix);
}

TEST_F(AnimationTest, DummiesMoveOnlyWhenTheyHaveChildren) {
    DPOS_KEYFRAME key = PositionKey(0, 4);
    m_frame.SetName("$$$dUmMy_Turret");
    m_frame.SetPositionKeys(1, &key, 0, 0);
    EXPECT_EQ(m_frame.IsDummy(), 1);
    m_frame.InterpolateAnimation(nullptr, 0.5f, ANIM_LINEAR);
    ExpectVector(Place(m_frame, D3DVECTOR(0.0f)), 0, 0, 0);

    m_frame.FlagHasChildren();
    m_frame.InterpolateAnimation(nullptr, 0.5f, ANIM_LINEAR);
    ExpectVector(Place(m_frame, D3DVECTOR(0.0f)), 4, 0, 0);

    TestFrame attachment;
    attachment.SetName("gun");
    ATTACHMENT_POINT point = {};
    attachment.SetAttachment(&point);
    attachment.SetPositionKeys(1, &key, 0, 0);
    EXPECT_EQ(attachment.IsDummy(), 1);
    attachment.InterpolateAnimation(nullptr, 0.5f, ANIM_LINEAR);
    ExpectVector(Place(attachment, D3DVECTOR(0.0f)), 4, 0, 0);
}

class HierarchyTest : public ModelTest {
protected:
    // Frame 0 moves to x = 10 over the animation; frame 1, its child, sits 1 above it.
    void SetUp() override {
        ModelTest::SetUp();
        DANIMATION animation = {};
        animation.fDuration = 2.0f;
        m_model.SetAnimations(1, &animation);
        m_root = NewFrame("root", Triangle(1, 1));
        DPOS_KEYFRAME track[] = {PositionKey(0, 0), PositionKey(1, 10)};
        m_root->SetPositionKeys(2, track, 0, 1);
        m_child = NewFrame("child", Triangle(1, 1));
        DPOS_KEYFRAME lift = {};
        lift.vPosition = D3DVECTOR(0, 1, 0);
        m_child->SetPositionKeys(1, &lift, 0, 0);
    }
    D3DVECTOR Origin(C3DModelFrame* frame) { return Place(*frame, D3DVECTOR(0.0f)); }

    C3DModelFrame* m_root = nullptr;
    C3DModelFrame* m_child = nullptr;
};

TEST_F(HierarchyTest, ChildrenFollowTheirParentAndRootsTheModelTransformWhenItIsSet) {
    m_model.AddFrame(m_root);
    m_child->SetParentKeyframe(0);
    m_model.AddFrame(m_child);
    m_model.SetTransformMatrix(TranslateMatrix(0, 0, 100));

    float time = 3.0f; // wraps to 1: parametric 0.5
    m_model.InterpolateAnimation(1, 0, time, ANIM_LINEAR);
    EXPECT_EQ(time, 1.0f);
    ExpectVector(Origin(m_root), 5, 0, 100);
    ExpectVector(Origin(m_child), 5, 1, 100);

    m_model.InterpolateAnimation(0, 0, time, ANIM_LINEAR);
    // Same time, no reset: both frames keep their results, even when the transform changed
    // behind the model's back.
    ExpectVector(Origin(m_child), 5, 1, 100);
    m_model.GetTransformMatrix() = TranslateMatrix(0, 0, 1);
    m_model.InterpolateAnimation(1, 0, time, ANIM_LINEAR);
    ExpectVector(Origin(m_child), 5, 1, 100);

    m_model.SetTransformMatrix(TranslateMatrix(0, 0, 2));
    m_model.InterpolateAnimation(1, 0, time, ANIM_LINEAR);
    ExpectVector(Origin(m_child), 5, 1, 2);
    m_model.Translate(1, 0, 0);
    m_model.InterpolateAnimation(1, 0, time, ANIM_LINEAR);
    ExpectVector(Origin(m_root), 5, 0, 2);
    EXPECT_EQ(m_root->GetVertexList()[0].x, 1.0f);
    EXPECT_TRUE(m_capture.Lines().empty());
}

// A parent later in the list contributes the matrix it had before this pass; a parent index
// naming no frame counts as a root.
TEST_F(HierarchyTest, ParentLaterInTheListContributesItsPreviousMatrix) {
    m_child->SetParentKeyframe(1);
    m_model.AddFrame(m_child);
    m_model.AddFrame(m_root);
    C3DModelFrame* orphan = NewFrame("orphan", Triangle(1, 1));
    orphan->SetParentKeyframe(7);
    m_model.AddFrame(orphan);
    m_model.SetTransformMatrix(TranslateMatrix(0, 0, 3));
    float time = 1.0f;
    m_model.InterpolateAnimation(1, 0, time, ANIM_LINEAR);
    EXPECT_EQ(m_capture.Lines(),
              std::vector<std::string>{
                  "C3DModel::InterpolateAnimation() Hierarchy item 0 is dependant upon 1\n"});
    // The parent had not moved yet when its child was placed.
    ExpectVector(Origin(m_child), 0, 1, 0);
    ExpectVector(Origin(m_root), 5, 0, 3);
    ExpectVector(Origin(orphan), 0, 0, 3);
}

} // namespace
