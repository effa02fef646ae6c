#include "model_fixture.h"

#include "support/path_utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace vmm_bytes;

constexpr std::uint32_t kNone = 0xFFFFFFFF;

class ModelFileTest : public ModelTest {
protected:
    // The directory of the scratch files as the engine resolves it, lower case.
    std::string BaseDirectory() const {
        char base[kPathBufferSize];
        EXPECT_EQ(MakeBaseDirectory(base, Path("model.vmm").c_str()), 0);
        return base;
    }

    // A model using every chunk: a textured hull with keys, a dummy turret child with keys, an
    // attachment gun, two animations, a model transform and the model's own boxes.
    static ByteBuilder FullModel() {
        ByteBuilder b = FileStart();
        MaterialChunk(b, {0.5f, 0.5f, 0.5f, 1}, {0.1f, 0.1f, 0.1f, 1}, "Tex\\Hull.BMP", 2);
        AttachmentListChunk(b, {2});
        AnimationChunk(b, 0, 10, 7, {2.0f, 4.0f});
        FrameChunk(b, "hull", Triangle(2, 4), {0, 1, 2}, 2);
        ParentChunk(b, 0, kNone);
        PosKeysChunk(b, 0, 0, 10, {{0, 0.0f, {0, 0, 0}}, {10, 1.0f, {10, 0, 0}}});
        RotKeysChunk(b, 0, {{0.0f, 1, 0, 0, 0}, {1.0f, 1, 0, 0, 0}});
        SclKeysChunk(b, 0, {{0.0f, 1, 1, 1}});
        BoxKeysChunk(b, 0, 0, 10,
                     {{0, 0.0f, {0, 0, 0}, {2, 4, 0}}, {10, 1.0f, {10, 0, 0}, {12, 4, 0}}});
        FrameChunk(b, "$$$Dummy_turret", {}, {}, kNone);
        ParentChunk(b, 1, 0);
        PosKeysChunk(b, 1, 0, 10, {{0, 0.0f, {0, 1, 0}}});
        FrameChunk(b, "gun", Triangle(1, 1), {0, 2, 1}, kNone);
        AttachmentChunk(b, 2, {5, 6, 7}, {0, 0, 1}, 77);
        TransformChunk(b, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
        ModelBoxesChunk(b, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, 2},
                            {10, 1.0f, {0, 0, 0}, {12, 4, 0}, {6, 2, 0}, 6}});
        return b;
    }

    void ExpectFullModel(C3DModel& model) {
        ASSERT_EQ(model.GetFrameCount(), 3u);
        C3DModelFrame& hull = *model.GetFrame(0);
        C3DModelFrame& turret = *model.GetFrame(1);
        C3DModelFrame& gun = *model.GetFrame(2);
        EXPECT_STREQ(hull.GetName(), "hull");
        EXPECT_STREQ(turret.GetName(), "$$$Dummy_turret");
        EXPECT_STREQ(gun.GetName(), "gun");

        ASSERT_EQ(hull.GetVertexCount(), 3u);
        EXPECT_EQ(hull.GetVertexList()[2].y, 4.0f);
        EXPECT_EQ(hull.GetVertexList()[1].tu, 1.0f);
        ASSERT_EQ(hull.GetFaceCount(), 1u);
        const auto* faces = static_cast<const DWORD*>(gun.GetFaceList());
        EXPECT_EQ(faces[1], 2u);
        EXPECT_EQ(hull.GetMaterialIndex(), 2u);
        EXPECT_EQ(gun.GetMaterialIndex(), kNone);

        EXPECT_EQ(hull.GetParentKeyframe(), kNone);
        EXPECT_EQ(turret.GetParentKeyframe(), 0u);
        EXPECT_EQ(hull.HasChildren(), 1);
        EXPECT_EQ(turret.IsDummy(), 1);
        EXPECT_EQ(gun.IsDummy(), 1);
        EXPECT_EQ(gun.IsAttachment(), 1);

        ASSERT_EQ(hull.GetPositionKeyframes(), 2u);
        EXPECT_EQ(hull.GetPositionKeyframe(1)->vPosition.x, 10.0f);
        EXPECT_EQ(hull.GetPositionKeyframe(1)->dwCarried[0], 0xC0FFEEu);
        EXPECT_EQ(hull.GetPositionEndKeyframe(), 10u);
        EXPECT_EQ(hull.GetRotationKeyframes(), 2u);
        EXPECT_EQ(hull.GetScaleKeyframes(), 1u);
        ASSERT_EQ(hull.GetBBoxKeyframes(), 2u);
        EXPECT_EQ(hull.GetBBoxKeys()[1].vMax.x, 12.0f);
        EXPECT_EQ(turret.GetPositionKeyframe(0)->vPosition.y, 1.0f);

        DWORD start, final, extra;
        model.GetKeyframes(start, final, extra);
        EXPECT_EQ(final, 10u);
        EXPECT_EQ(extra, 7u);
        ASSERT_EQ(model.GetAnimationCount(), 2u);
        EXPECT_EQ(model.GetAnimations()[1].fInvDuration, 0.25f);
        EXPECT_EQ(model.GetAnimations()[1].carried[39], 0x41);
        EXPECT_EQ(model.GetTransformMatrix()(3, 2), 3.0f);
        ASSERT_EQ(model.GetAttachmentCount(), 1u);

        ASSERT_NE(model.GetMaterial(2), nullptr);
        EXPECT_EQ(model.GetMaterial(0), nullptr);
        EXPECT_EQ(std::string(model.GetMaterial(2)->GetTextureName()),
                  BaseDirectory() + "tex\\hull.bmp");
        ExpectVector(model.GetMaterial(2)->GetAmbient(), 0.5f, 0.5f, 0.5f);
    }
};

TEST_F(ModelFileTest, FileBuiltFromTheChunkTablesLoadsEveryChunk) {
    ASSERT_EQ(Load(FullModel()), 1);
    ExpectFullModel(m_model);
    // The model's own boxes were loaded, not recalculated.
    ASSERT_EQ(m_model.GetBoxCount(), 2u);
    EXPECT_EQ(m_model.GetBoxes()[1].fRadius, 6.0f);
    EXPECT_TRUE(m_capture.Lines().empty());
}

TEST_F(ModelFileTest, SavedModelReloadsTheSameWithRelativeTextureNames) {
    ASSERT_EQ(Load(FullModel()), 1);
    ASSERT_EQ(m_model.SaveModel(Path("copy.vmm").c_str()), 1);

    // Version chunk, then the material chunk with its name relative to the model's directory.
    std::vector<std::uint8_t> saved = m_dir.ReadFile("copy.vmm");
    ASSERT_GT(saved.size(), 16u + 8 + 80 + 128);
    EXPECT_STREQ(reinterpret_cast<const char*>(saved.data() + 16 + 8 + 80), "tex\\hull.bmp");

    C3DModel reloaded;
    ASSERT_EQ(reloaded.LoadModel(Path("copy.vmm").c_str()), 1);
    ExpectFullModel(reloaded);
    EXPECT_EQ(reloaded.GetBoxCount(), 2u);
}

TEST_F(ModelFileTest, ModelBuiltInMemorySavesTheChunkTableBytes) {
    C3DModelFrame* hull = NewFrame("hull", Triangle(2, 4));
    hull->SetMaterialIndex(0);
    std::vector<DBOX_KEYFRAME> keys = BoxKeysFor(0, 0);
    ASSERT_EQ(hull->SetBBoxKeyframes(1, keys.data(), 0, 0), 1);
    ASSERT_EQ(m_model.AddFrame(hull), 1);
    CMaterial* paint = NewAccounted<CMaterial>();
    paint->SetTextureName((BaseDirectory() + "art\\hull.bmp").c_str());
    ASSERT_EQ(m_model.AddMaterial(paint), 0u);
    m_model.CalculateBoundingBox();
    ASSERT_EQ(m_model.SaveModel(Path("built.vmm").c_str()), 1);

    const float radius = std::sqrt(2.0f * 2.0f + 4.0f * 4.0f) * 0.5f;
    ByteBuilder expected = FileStart();
    MaterialChunk(expected, {1, 1, 1, 1}, {1, 1, 1, 1}, "art\\hull.bmp", 0);
    // The material chunk helper writes power 8, handle 0x1234; a new material has 0 and 0.
    std::vector<std::uint8_t> bytes = expected.Bytes();
    std::fill(bytes.end() - 4 - 128 - 12, bytes.end() - 4 - 128 - 4, 0);
    expected = ByteBuilder().Raw(bytes);
    AnimationChunk(expected, 0, 0, 0, {});
    FrameChunk(expected, "hull", Triangle(2, 4), {0, 1, 2}, 0);
    ParentChunk(expected, 0, kNone);
    BoxKeysChunk(expected, 0, 0, 0, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, radius}});
    TransformChunk(expected, Identity());
    ModelBoxesChunk(expected, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, radius}});
    EXPECT_EQ(m_dir.ReadFile("built.vmm"), expected.Bytes());
}

TEST_F(ModelFileTest, ConvertedFacesAreSavedAsThirtyTwoBitIndices) {
    std::vector<Vertex> quad = Triangle(1, 1);
    quad.push_back(Vertex{1, 1, 0, 0, 0, 1, 1, 1});
    C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
    SetMesh(*frame, "quad", quad, {0, 1, 2, 1, 3, 2});
    m_model.AddFrame(frame);
    ASSERT_EQ(m_model.ConvertIndices(nullptr), 1);
    ASSERT_EQ(frame->HasShortIndices(), 1);
    ASSERT_EQ(m_model.SaveModel(Path("quad.vmm").c_str()), 1);

    C3DModel reloaded;
    ASSERT_EQ(reloaded.LoadModel(Path("quad.vmm").c_str()), 1);
    C3DModelFrame& loaded = *reloaded.GetFrame(0);
    ASSERT_EQ(loaded.GetFaceCount(), 2u);
    EXPECT_EQ(loaded.HasShortIndices(), 0);
    const auto* faces = static_cast<const DWORD*>(loaded.GetFaceList());
    EXPECT_EQ(std::vector<DWORD>(faces, faces + 6), (std::vector<DWORD>{0, 1, 2, 1, 3, 2}));
}

TEST_F(ModelFileTest, ChunkNamingAFrameNotYetLoadedFails) {
    ByteBuilder b = FileStart();
    for (int i = 0; i < 3; ++i) {
        FrameChunk(b, "f" + std::to_string(i), Triangle(1, 1), {0, 1, 2}, 0);
    }
    PosKeysChunk(b, 5, 0, 0, {{0, 0.0f, {0, 0, 0}}});
    EXPECT_EQ(Load(b), 0);
    EXPECT_EQ(m_model.GetFrameCount(), 0u);
    EXPECT_EQ(m_capture.Lines(),
              std::vector<std::string>{
                  "C3DModel::LoadFrame() Failed to get frame for pos keyframe (5)\n"});
}

// Files that name what does not exist, or whose counts cannot be true, fail the chunk.
TEST_F(ModelFileTest, ImpossibleChunksAreRefused) {
    struct Case {
        const char* name;
        ByteBuilder bytes;
        std::string message;
    };
    auto withHull = [] {
        ByteBuilder b = FileStart();
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        return b;
    };
    std::vector<Case> cases;
    {
        ByteBuilder b = FileStart();
        AttachmentListChunk(b, std::vector<std::uint32_t>(17, 0));
        cases.push_back(
            {"17 attachments", b, "C3DModel::LoadModel() Invalid attachment count 17!\n"});
    }
    {
        ByteBuilder b = FileStart();
        MaterialChunk(b, {1, 1, 1, 1}, {1, 1, 1, 1}, "", 64);
        cases.push_back({"slot 64", b, "C3DModel::LoadModel() Unable to set material 64!\n"});
    }
    {
        ByteBuilder b = FileStart();
        MaterialChunk(b, {1, 1, 1, 1}, {1, 1, 1, 1}, "", kNone);
        cases.push_back({"slot none", b, "C3DModel::LoadModel() Unable to set material -1!\n"});
    }
    {
        ByteBuilder b = withHull();
        ParentChunk(b, 0, 1);
        cases.push_back(
            {"parent not loaded", b, "C3DModel::LoadModel() Invalid parent index 1 for frame 0\n"});
    }
    {
        ByteBuilder b = withHull();
        ParentChunk(b, 0, 0);
        cases.push_back(
            {"own parent", b, "C3DModel::LoadModel() Invalid parent index 0 for frame 0\n"});
    }
    {
        ByteBuilder b = FileStart();
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 3}, 0);
        cases.push_back(
            {"face index", b, "C3DModelFrame::LoadFrame() Face index beyond the 3 vertices!\n"});
    }
    {
        ByteBuilder b = FileStart();
        Tag(b, 0x1010, 68 + 32 * 3 + 12).Chars("hull", 32).U32(4000000);
        b.Fill(0, 32 * 3 + 12 + 28);
        cases.push_back({"vertices beyond file", b,
                         "C3DModelFrame::LoadFrame() Failed to read vertices. Error="});
    }
    {
        // The data is in the file, but the chunk's own length cannot hold it.
        ByteBuilder b = FileStart();
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        std::vector<std::uint8_t> bytes = b.Bytes();
        bytes[16 + 4] = 68 + 32 * 3; // room for the vertices, not the face
        ByteBuilder shortened;
        shortened.Raw(bytes);
        cases.push_back({"faces beyond chunk", shortened,
                         "C3DModelFrame::LoadFrame() Failed to read faces. Error="});
    }
    {
        ByteBuilder b = withHull();
        KeyHeader(b, 0x1060, 24, 0, 1000, 0, 0).Fill(0, 24);
        cases.push_back({"rotation keys beyond file", b,
                         "C3DModel::LoadModel() Failed to read rotation keys for frame 0\n"});
    }
    {
        ByteBuilder b = FileStart();
        AnimationChunk(b, 5, 2, 0, {1.0f});
        cases.push_back(
            {"reversed range", b, "C3DModel::SetKeyframes() Invalid keyframe range 5..2\n"});
    }
    {
        ByteBuilder b = FileStart();
        Tag(b, 0x10B0, 4).U32(0x10000000);
        cases.push_back({"model boxes beyond file", b,
                         "C3DModel::LoadModel() Failed to read 268435456 bbox items! Error="});
    }
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_capture.Clear();
        EXPECT_EQ(Load(c.bytes), 0);
        EXPECT_EQ(m_model.GetFrameCount(), 0u);
        EXPECT_TRUE(m_capture.Contains(c.message)) << m_capture.Text();
    }
}

TEST_F(ModelFileTest, MaterialIndexBeyondTheSlotsMeansNoMaterialAndNoAnimationsNoList) {
    ByteBuilder b = FileStart();
    AnimationChunk(b, 2, 4, 0, {});
    FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 200);
    ASSERT_EQ(Load(b), 1);
    EXPECT_EQ(m_model.GetFrame(0)->GetMaterialIndex(), 200u);
    EXPECT_EQ(m_model.GetMaterial(200), nullptr);
    EXPECT_EQ(m_model.GetAnimationCount(), 0u);
    EXPECT_EQ(m_model.GetAnimations(), nullptr);
}

TEST_F(ModelFileTest, EveryAllocationFailureEmptiesTheModelWithoutLeaks) {
    const ByteBuilder bytes = FullModel();
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_TRUE(
        m_capture.Contains("C3DModel::LoadModel() Failed to create new CMaterial object!\n"));

    int failures = 0;
    for (DWORD n = 1; n < 200; ++n) {
        CMemory::FailAllocationAfter(n);
        int result = Load(bytes);
        CMemory::FailAllocationAfter(0);
        if (result == 1) {
            break;
        }
        ++failures;
        EXPECT_EQ(m_model.GetFrameCount(), 0u);
        EXPECT_EQ(m_model.GetMaterial(2), nullptr);
    }
    EXPECT_GT(failures, 10);
    ExpectFullModel(m_model);
}

TEST_F(ModelFileTest, SaveStopsAtTheFirstRefusedChunk) {
    C3DModelFrame* empty = NewAccounted<C3DModelFrame>();
    empty->SetName("not a dummy");
    m_model.AddFrame(empty);
    EXPECT_EQ(m_model.SaveModel(Path("refused.vmm").c_str()), 0);
    EXPECT_EQ(
        m_capture.Lines(),
        (std::vector<std::string>{
            "C3DModelFrame::SaveFrame() Invalid number of vertices/faces for non-dummy frame!\n",
            "C3DModel::SaveModel() Unable to save frame!\n"}));

    m_capture.Clear();
    EXPECT_EQ(m_model.SaveModel(Path("missing/refused.vmm").c_str()), 0);
    EXPECT_EQ(m_capture.Lines(),
              std::vector<std::string>{"C3DModel::SaveModel() Failed to save animation chunk!\n"});
}

TEST_F(ModelFileTest, ParentLinkTheLoaderWouldRefuseIsNotSavedAndMissingFilesAreNamed) {
    C3DModelFrame* child = NewFrame("child", Triangle(1, 1));
    DPOS_KEYFRAME key = {};
    child->SetPositionKeys(1, &key, 0, 0);
    child->SetParentKeyframe(1);
    m_model.AddFrame(child);
    m_model.AddFrame(NewFrame("parent", Triangle(1, 1)));
    EXPECT_EQ(m_model.SaveModel(Path("forward.vmm").c_str()), 0);
    EXPECT_EQ(m_capture.Lines(),
              std::vector<std::string>{
                  "C3DModel::SaveModel() Parent 1 of frame 0 does not come before it!\n"});

    m_capture.Clear();
    std::string path = Path("absent.vmm");
    EXPECT_EQ(m_model.LoadModel(path.c_str()), 0);
    EXPECT_EQ(m_capture.Lines(),
              (std::vector<std::string>{"C3DModel::LoadModel() Invalid file or handle!\n",
                                        "File='" + path + "'\n"}));
}

} // namespace
