#include "model_fixture.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using namespace vmm_bytes;

DANIMATION Animation(float duration) {
    DANIMATION animation = {};
    animation.fDuration = duration;
    return animation;
}

ATTACHMENT_POINT Point(float x, float y, float z) {
    return ATTACHMENT_POINT{D3DVECTOR(x, y, z), D3DVECTOR(0, 0, 1), 5};
}

TEST_F(ModelTest, NewModelIsEmptyWithInvalidBoxes) {
    EXPECT_EQ(m_model.GetFrameCount(), 0u);
    EXPECT_EQ(m_model.GetFrame(0), nullptr);
    EXPECT_EQ(m_model.GetAttachment(0), nullptr);
    EXPECT_EQ(std::memcmp(&m_model.GetTransformMatrix(), &g_identityMatrix, sizeof(D3DMATRIX)), 0);

    D3DVECTOR min(9.0f);
    D3DVECTOR max(9.0f);
    D3DVECTOR centre(9.0f);
    float radius = 9.0f;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    m_model.GetBoundingSphere(0, 0.0f, centre, radius);
    ExpectVector(min, 0, 0, 0);
    ExpectVector(max, 0, 0, 0);
    ExpectVector(centre, 0, 0, 0);
    EXPECT_EQ(radius, 0.0f);
    EXPECT_EQ(m_capture.Lines(), (std::vector<std::string>{
                                     "C3DModel::GetBoundingBox() Boxes invalid!\n",
                                     "C3DModel::GetBoundingSphere() Bounding boxes invalid!\n"}));
}

TEST_F(ModelTest, FramesAttachmentsAndMaterialSlotsHaveFixedLimits) {
    for (DWORD i = 0; i < kMaxModelFrames; ++i) {
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        frame->SetName("$$$DUMMY");
        if (i % 10 == 0) {
            ATTACHMENT_POINT point = Point(0, 0, 0);
            frame->SetAttachment(&point);
        }
        ASSERT_EQ(m_model.AddFrame(frame), 1);
    }
    C3DModelFrame* extra = NewAccounted<C3DModelFrame>();
    EXPECT_EQ(m_model.AddFrame(extra), 0);
    DeleteAccounted(extra);
    EXPECT_EQ(m_model.GetFrameCount(), 256u);
    EXPECT_EQ(m_model.GetFrame(256), nullptr);
    // Frames 0, 10, ..., 250 are attachments; only the first 16 are listed.
    EXPECT_EQ(m_model.GetAttachmentCount(), 16u);
    EXPECT_NE(m_model.GetAttachment(15), nullptr);
    EXPECT_EQ(m_model.GetAttachment(16), nullptr);

    // Material slots fill in order and replace what they hold.
    for (DWORD i = 0; i < kMaxModelMaterials; ++i) {
        ASSERT_EQ(m_model.AddMaterial(NewAccounted<CMaterial>()), i);
    }
    CMaterial* extraMaterial = NewAccounted<CMaterial>();
    EXPECT_EQ(m_model.AddMaterial(extraMaterial), kNoIndex);
    EXPECT_EQ(m_model.SetMaterial(64, extraMaterial), kNoIndex);
    EXPECT_EQ(m_model.SetMaterial(5, extraMaterial), 5u);
    EXPECT_EQ(m_model.GetMaterial(5), extraMaterial);
    EXPECT_EQ(m_model.GetMaterial(64), nullptr);
    EXPECT_EQ(m_model.GetMaterial(kNoIndex), nullptr);
}

TEST_F(ModelTest, ParametricTimeWrapsOrClampsIntoTheDuration) {
    float time = 5.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, 0), 0.0f);
    EXPECT_EQ(time, 5.0f);

    DANIMATION animation = Animation(2.0f);
    ASSERT_EQ(m_model.SetAnimations(1, &animation), 1);
    EXPECT_EQ(m_model.GetAnimations()[0].fInvDuration, 0.5f);

    time = 5.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, 0), 0.5f);
    EXPECT_EQ(time, 1.0f);
    time = 5.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, ANIM_PLAY_ONCE), 1.0f);
    EXPECT_EQ(time, 2.0f);
    time = -1.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, ANIM_PLAY_ONCE), 0.0f);
    EXPECT_EQ(time, 0.0f);
    time = -1.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, 0), -0.5f);
    EXPECT_EQ(time, -1.0f);
    // A whole number of durations ends at the duration, not at 0.
    time = 4.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, 0), 1.0f);
    EXPECT_EQ(time, 2.0f);

    time = 1.0f;
    EXPECT_EQ(m_model.GetParametricTime(1, time, 0), 0.0f);
    EXPECT_EQ(m_capture.Lines(),
              std::vector<std::string>{
                  "C3DModel::GetParametricTime() Invalid animation index (1 1 max)\n"});
}

TEST_F(ModelTest, HugeTimesWrapInOneStepAndDurationsThatAreNotPositiveGiveTimeZero) {
    DANIMATION animation = Animation(0.001f);
    m_model.SetAnimations(1, &animation);
    for (float time : {1e30f, std::numeric_limits<float>::infinity()}) {
        float t = m_model.GetParametricTime(0, time, 0);
        EXPECT_GT(time, 0.0f);
        EXPECT_LE(time, 0.001f);
        EXPECT_GT(t, 0.0f);
        EXPECT_LE(t, 1.0001f);
    }
    // Durations that are not positive numbers give time zero.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    DANIMATION animations[] = {Animation(0.0f), Animation(-2.0f), Animation(nan),
                               Animation(infinity)};
    ASSERT_EQ(m_model.SetAnimations(4, animations), 1);
    for (DWORD i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m_model.GetAnimations()[i].fInvDuration, 0.0f);
        float time = 3.0f;
        EXPECT_EQ(m_model.GetParametricTime(i, time, 0), 0.0f);
        EXPECT_EQ(m_model.GetParametricTime(i, time, ANIM_PLAY_ONCE), 0.0f);
    }
}

TEST_F(ModelTest, FailedAnimationListLeavesNone) {
    DANIMATION animations[3] = {Animation(1), Animation(2), Animation(3)};
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(m_model.SetAnimations(3, animations), 0);
    EXPECT_EQ(m_model.GetAnimationCount(), 0u);
    EXPECT_EQ(
        m_capture.Lines(),
        std::vector<std::string>{"C3DModel::SetAnimations() Failed to allocate mem for 3 items\n"});
}

TEST_F(ModelTest, KeyframeRangeMustBeOrderedAndBounded) {
    ASSERT_EQ(m_model.SetKeyframes(3, 7, 1), 1);
    EXPECT_EQ(m_model.SetKeyframes(7, 3, 2), 0);
    EXPECT_EQ(m_model.SetKeyframes(0, kMaxModelKeyframes, 2), 0);
    DWORD start, final, extra;
    m_model.GetKeyframes(start, final, extra);
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(final, 7u);
    EXPECT_EQ(extra, 1u);
    EXPECT_EQ(m_model.SetKeyframes(0, kMaxModelKeyframes - 1, 0), 1);
    EXPECT_TRUE(m_capture.Contains("C3DModel::SetKeyframes() Invalid keyframe range 7..3\n"));
}

TEST_F(ModelTest, AttachmentPointFollowsTheVerticesAndTheModelTransform) {
    // A right triangle in the z = 0 plane; its corners' mean is (1, 1, 0).
    C3DModelFrame* gun = NewFrame("gun", Triangle(3, 3));
    ATTACHMENT_POINT stored = Point(9, 9, 9);
    gun->SetAttachment(&stored);
    m_model.AddFrame(gun);
    m_model.SetTransformMatrix(TranslateMatrix(10, 0, 0));

    ATTACHMENT_POINT* point = m_model.GetAttachment(0);
    ASSERT_NE(point, nullptr);
    ExpectVector(point->vPosition, 11, 1, 0);
    // The normal is transformed like a point.
    ExpectVector(point->vNormal, 10, 0, 1);
    EXPECT_EQ(point->dwCarried, 5u);

    DANIMATION animation = Animation(1);
    m_model.SetAnimations(1, &animation);
    point = m_model.GetAttachment(0);
    ASSERT_EQ(point, gun->GetAttachment());
    ExpectVector(point->vPosition, 1, 1, 0);
    EXPECT_EQ(m_model.GetAttachment(1), nullptr);
}

TEST_F(ModelTest, AttachmentWithFewerThanThreeVerticesKeepsItsStoredPoint) {
    C3DModelFrame* marker = NewAccounted<C3DModelFrame>();
    marker->SetName("marker");
    D3DVERTEX single = ToVertex(Vertex{4, 4, 4, 0, 0, 1, 0, 0});
    marker->SetVertices(&single, 1);
    ATTACHMENT_POINT stored = Point(1, 2, 3);
    marker->SetAttachment(&stored);
    m_model.AddFrame(marker);
    ExpectVector(m_model.GetAttachment(0)->vPosition, 1, 2, 3);
}

TEST_F(ModelTest, TransformAndTranslateBakeIntoRootFramesOnly) {
    C3DModelFrame* root = NewFrame("root", Triangle(1, 1));
    C3DModelFrame* child = NewFrame("child", Triangle(1, 1));
    child->SetParentKeyframe(0);
    ATTACHMENT_POINT point = Point(1, 0, 0);
    root->SetAttachment(&point);
    m_model.AddFrame(root);
    m_model.AddFrame(child);
    EXPECT_EQ(root->HasChildren(), 1);

    m_model.Transform(ScaleMatrix(2.0f));
    EXPECT_EQ(root->GetVertexList()[1].x, 2.0f);
    EXPECT_EQ(root->GetVertexList()[1].nz, 2.0f); // normals like points, not renormalised
    EXPECT_EQ(child->GetVertexList()[1].x, 1.0f);

    m_model.Translate(0, 0, 5);
    EXPECT_EQ(root->GetVertexList()[1].z, 5.0f);
    EXPECT_EQ(root->GetVertexList()[1].nz, 2.0f);
    EXPECT_EQ(child->GetVertexList()[1].z, 0.0f);

    // Boxes were recomputed on the way, so they can be queried.
    D3DVECTOR min, max;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(ModelTest, ConvertedIndicesTakeSixBytesPerFace) {
    std::vector<Vertex> vertices = Triangle(1, 1);
    vertices.push_back(Vertex{1, 1, 0, 0, 0, 1, 1, 1});
    C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
    SetMesh(*frame, "quad", vertices, {0, 1, 2, 2, 1, 3});
    C3DModelFrame* dummy = NewAccounted<C3DModelFrame>();
    dummy->SetName("$$$DUMMY");
    m_model.AddFrame(frame);
    m_model.AddFrame(dummy);

    DWORD before = CMemory::GetTotalMemoryAllocated();
    ASSERT_EQ(m_model.ConvertIndices(nullptr), 1);
    EXPECT_EQ(before - CMemory::GetTotalMemoryAllocated(), 2u * 6u);
    EXPECT_EQ(frame->GetFaceCount(), 2u);
    const auto* indices = static_cast<const WORD*>(frame->GetFaceList());
    EXPECT_EQ(std::vector<WORD>(indices, indices + 6), (std::vector<WORD>{0, 1, 2, 2, 1, 3}));

    // A second conversion changes nothing.
    ASSERT_EQ(m_model.ConvertIndices(nullptr), 1);
    EXPECT_EQ(indices, frame->GetFaceList());

    C3DModelFrame* other = NewFrame("other", Triangle(1, 1));
    m_model.AddFrame(other);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(m_model.ConvertIndices(nullptr), 0);
    EXPECT_EQ(other->HasShortIndices(), 0);
    EXPECT_EQ(
        m_capture.Lines(),
        std::vector<std::string>{"C3DModelFrame::ConvertIndices() Failed to allocate memory!\n"});
}

} // namespace
