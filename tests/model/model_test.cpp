#include "model_fixture.h"

#include <cmath>
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

// A new model, and one whose box allocation failed, has invalid boxes: corners and radius 0.
TEST_F(ModelTest, NewModelOrAFailedBoxAllocationLeavesTheBoxesInvalid) {
    EXPECT_EQ(m_model.GetAttachment(0), nullptr);
    D3DVECTOR min(9.0f), max(9.0f), centre(9.0f);
    float radius = 9.0f;
    m_model.GetBoundingSphere(0, 0.0f, centre, radius);
    m_model.AddFrame(NewFrame("hull", Triangle(1, 1)));
    m_model.SetKeyframes(0, 10, 0);
    CMemory::FailAllocationAfter(1);
    m_model.CalculateBoundingBox();
    EXPECT_EQ(m_model.GetBoxCount(), 0u);
    m_model.GetBoundingBox(0, 0.0f, min, max);
    for (const D3DVECTOR& v : {min, max, centre}) {
        ExpectVector(v, 0, 0, 0);
    }
    EXPECT_EQ(radius, 0.0f);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{
                  "C3DModel::GetBoundingSphere() Bounding boxes invalid!\n",
                  "C3DModelFrame::CalculateBoundingBox() Failed to allocate mem for 11 boxes\n",
                  "C3DModel::GetBoundingBox() Boxes invalid!\n"}));
    // A range of more boxes than the model computes is refused the same way; the longest is not.
    m_model.SetKeyframes(0, kMaxModelBoxes, 0);
    m_model.Translate(1.0f, 0.0f, 0.0f);
    EXPECT_EQ(m_model.GetBoxCount(), 0u);
    EXPECT_EQ(m_capture.Lines().back(),
              "C3DModelFrame::CalculateBoundingBox() Failed to allocate mem for 65537 boxes\n");
    m_model.SetKeyframes(0, kMaxModelBoxes - 1, 0);
    m_model.CalculateBoundingBox();
    EXPECT_EQ(m_model.GetBoxCount(), kMaxModelBoxes);
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
    DANIMATION animation = Animation(2.0f);
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(m_model.SetAnimations(1, &animation), 0);
    float time = 5.0f;
    EXPECT_EQ(m_model.GetParametricTime(0, time, 0), 0.0f);
    EXPECT_EQ(time, 5.0f);
    ASSERT_EQ(m_model.SetAnimations(1, &animation), 1);
    EXPECT_EQ(m_model.GetAnimations()[0].fInvDuration, 0.5f);
    const struct {
        float time;
        DWORD flags;
        float parametric, wrapped;
    } cases[] = {{5.0f, 0, 0.5f, 1.0f},
                 {5.0f, ANIM_PLAY_ONCE, 1.0f, 2.0f},
                 {-1.0f, ANIM_PLAY_ONCE, 0.0f, 0.0f},
                 {-1.0f, 0, -0.5f, -1.0f},
                 {4.0f, 0, 1.0f, 2.0f}}; // a whole number of durations ends at the duration
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.time << " flags " << c.flags);
        time = c.time;
        EXPECT_EQ(m_model.GetParametricTime(0, time, c.flags), c.parametric);
        EXPECT_EQ(time, c.wrapped);
    }
    EXPECT_EQ(m_model.GetParametricTime(1, time, 0), 0.0f);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{
                  "C3DModel::SetAnimations() Failed to allocate mem for 1 items\n",
                  "C3DModel::GetParametricTime() Invalid animation index (1 1 max)\n"}));
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

// The keyframe range is bounded only by the boxes its file can hold: a long range in a file
// large enough for one box per keyframe gets them all; the same range in a small file, and a
// range of 2^32 keyframes, get none (the boxes stay invalid), so a crafted file cannot claim
// more memory than its own size.
TEST_F(ModelTest, KeyframeRangeMustBeOrderedAndGetsTheBoxesItsFileCanHold) {
    ASSERT_EQ(m_model.SetKeyframes(3, 7, 1), 1);
    EXPECT_EQ(m_model.SetKeyframes(7, 3, 2), 0);
    DWORD start, final, extra;
    m_model.GetKeyframes(start, final, extra);
    EXPECT_EQ(std::vector<DWORD>({start, final, extra}), std::vector<DWORD>({3, 7, 1}));
    EXPECT_TRUE(m_capture.Contains("C3DModel::SetKeyframes() Invalid keyframe range 7..3\n"));
    const struct {
        std::uint32_t final, padding; // bytes of an unknown chunk that make the file larger
        DWORD boxes;
    } cases[] = {{kMaxModelBoxes - 1, kMaxModelBoxes * 48, kMaxModelBoxes},
                 {kMaxModelBoxes - 1, 0, 0},
                 {0xFFFFFFFF, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.final);
        ByteBuilder b = FileStart();
        AnimationChunk(b, 0, c.final, 0, {1.0f});
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        Tag(b, 0x7777, c.padding).Fill(0, c.padding);
        ASSERT_EQ(Load(b), 1) << m_capture.Text();
        m_model.GetKeyframes(start, final, extra);
        EXPECT_EQ(final, c.final);
        EXPECT_EQ(m_model.GetBoxCount(), c.boxes);
    }
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

// One 16-bit index reaches 65536 vertices; a frame with more cannot be drawn and is refused
// at load, before anything is allocated for its vertices. Frames built in memory keep their
// 32-bit list when an index does not fit.
TEST_F(ModelTest, FramesBeyondSixteenBitIndicesAreRefused) {
    for (std::uint32_t count : {65536u, 65537u}) {
        SCOPED_TRACE(count);
        m_capture.Clear();
        ByteBuilder b = FileStart();
        Tag(b, 0x1010, 68 + 32 * count + 12).Chars("hull", 32).U32(count);
        b.Fill(0, 32 * count).U32(1).U32(0).U32(1).U32(count - 1).Fill(0, 24).U32(0);
        EXPECT_EQ(Load(b), count <= 65536 ? 1 : 0);
        EXPECT_EQ(m_capture.Contains("C3DModelFrame::LoadFrame() 65537 vertices are more than "
                                     "16-bit indices reach!\n"),
                  count > 65536)
            << m_capture.Text();
    }
    C3DModelFrame frame;
    const DWORD indices[] = {0, 1, 70000};
    ASSERT_EQ(frame.SetFaces(indices, 1), 1);
    EXPECT_EQ(frame.ConvertIndices(nullptr), 0);
    EXPECT_TRUE(m_capture.Contains(
        "C3DModelFrame::ConvertIndices() Index 70000 does not fit in 16 bits!\n"));
    EXPECT_EQ(static_cast<const DWORD*>(frame.GetFaceList())[2], 70000u);
}

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
    D3DVECTOR min, max;
    m_model.GetBoundingBox(0, 0.0f, min, max);
    ExpectVector(min, 0, 0, 0);
    ExpectVector(max, 1, 2, 0);
    // Only the exact prefix makes a dummy.
    dummy->SetName("$$DUMMY");
    EXPECT_EQ(dummy->IsDummy(), 0);
}

} // namespace
