#include "model_fixture.h"

#include "support/path_utils.h"

#include <cmath>

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
    // attachment gun, two animations, a model transform and the model's own boxes. As saved,
    // the loader has taken the ambient colour from the diffuse, lower-cased the texture name
    // (saved relative to the model's directory), worked out the inverse durations and placed
    // the attachment on its vertices.
    static ByteBuilder FullModel(bool asSaved = false) {
        ByteBuilder b = FileStart();
        const float ambient = asSaved ? 0.5f : 0.1f;
        MaterialChunk(b, {0.5f, 0.5f, 0.5f, 1}, {ambient, ambient, ambient, 1},
                      asSaved ? "tex\\hull.bmp" : "Tex\\Hull.BMP", 2);
        AttachmentListChunk(b, {2});
        AnimationChunk(b, 0, 10, 7, {2.0f, 4.0f}, asSaved);
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
        const float third = 1.0f / 3.0f;
        AttachmentChunk(b, 2, asSaved ? Vector{third, third, 0} : Vector{5, 6, 7},
                        {0, asSaved ? -0.0f : 0.0f, 1}, 77);
        TransformChunk(b, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1});
        ModelBoxesChunk(b, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, 2},
                            {10, 1.0f, {0, 0, 0}, {12, 4, 0}, {6, 2, 0}, 6}});
        return b;
    }

    // The fields of every chunk as the tables give them, a few per record.
    void ExpectFullModel(C3DModel& model) {
        ASSERT_EQ(model.GetFrameCount(), 3u);
        C3DModelFrame& hull = *model.GetFrame(0);
        C3DModelFrame& turret = *model.GetFrame(1);
        C3DModelFrame& gun = *model.GetFrame(2);
        ASSERT_EQ(hull.GetPositionKeyframes() * hull.GetBBoxKeyframes(), 4u);
        ASSERT_EQ(model.GetAnimationCount() * model.GetAttachmentCount(), 2u);
        ASSERT_NE(model.GetMaterial(2), nullptr);
        EXPECT_EQ((std::vector<std::string>{hull.GetName(), turret.GetName(), gun.GetName(),
                                            model.GetMaterial(2)->GetTextureName()}),
                  (std::vector<std::string>{"hull", "$$$Dummy_turret", "gun",
                                            BaseDirectory() + "tex\\hull.bmp"}));
        const auto* faces = static_cast<const DWORD*>(gun.GetFaceList());
        DWORD start, final, extra;
        model.GetKeyframes(start, final, extra);
        const DPOS_KEYFRAME& key = *hull.GetPositionKeyframe(1);
        // Counts, indices, links and flags, then coordinates, times and colours.
        const auto flag = [](int value) { return static_cast<DWORD>(value); };
        EXPECT_EQ((std::vector<DWORD>{
                      hull.GetVertexCount(), hull.GetFaceCount(), faces[1], hull.GetMaterialIndex(),
                      gun.GetMaterialIndex(), hull.GetParentKeyframe(), turret.GetParentKeyframe(),
                      flag(hull.HasChildren()), flag(turret.IsDummy()), flag(gun.IsDummy()),
                      flag(gun.IsAttachment()), key.dwCarried[0], hull.GetPositionEndKeyframe(),
                      hull.GetRotationKeyframes(), hull.GetScaleKeyframes(), final, extra,
                      model.GetAnimations()[1].carried[39]}),
                  (std::vector<DWORD>{3, 1, 2, 2, kNone, kNone, 0, 1, 1, 1, 1, 0xC0FFEE, 10, 2, 1,
                                      10, 7, 0x41}));
        EXPECT_EQ((std::vector<float>{
                      hull.GetVertexList()[2].y, hull.GetVertexList()[1].tu, key.vPosition.x,
                      hull.GetBBoxKeys()[1].vMax.x, turret.GetPositionKeyframe(0)->vPosition.y,
                      model.GetAnimations()[1].fInvDuration, model.GetTransformMatrix()(3, 2),
                      model.GetMaterial(2)->GetAmbient().x}),
                  (std::vector<float>{4, 1, 10, 12, 1, 0.25f, 3, 0.5f}));
        EXPECT_EQ(model.GetMaterial(0), nullptr);
    }
};

TEST_F(ModelFileTest, FileBuiltFromTheChunkTablesLoadsEveryChunkAndSavesItsBytes) {
    ASSERT_EQ(Load(FullModel()), 1);
    ExpectFullModel(m_model);
    // The model's own boxes were loaded, not recalculated.
    ASSERT_EQ(m_model.GetBoxCount(), 2u);
    EXPECT_EQ(m_model.GetBoxes()[1].fRadius, 6.0f);
    EXPECT_TRUE(m_capture.Lines().empty());
    ASSERT_EQ(m_model.SaveModel(Path("copy.vmm").c_str()), 1);
    EXPECT_EQ(m_dir.ReadFile("copy.vmm"), FullModel(true).Bytes());
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
    // Indices converted to 16 bits are saved as 32-bit indices all the same.
    ASSERT_EQ(m_model.ConvertIndices(nullptr), 1);
    ASSERT_EQ(hull->HasShortIndices(), 1);
    ASSERT_EQ(m_model.SaveModel(Path("built.vmm").c_str()), 1);

    const float radius = std::sqrt(2.0f * 2.0f + 4.0f * 4.0f) * 0.5f;
    ByteBuilder expected = FileStart();
    MaterialChunk(expected, {1, 1, 1, 1}, {1, 1, 1, 1}, "art\\hull.bmp", 0, 0.0f, 0);
    AnimationChunk(expected, 0, 0, 0, {});
    FrameChunk(expected, "hull", Triangle(2, 4), {0, 1, 2}, 0);
    ParentChunk(expected, 0, kNone);
    BoxKeysChunk(expected, 0, 0, 0, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, radius}});
    TransformChunk(expected, Identity());
    ModelBoxesChunk(expected, {{0, 0.0f, {0, 0, 0}, {2, 4, 0}, {1, 2, 0}, radius}});
    EXPECT_EQ(m_dir.ReadFile("built.vmm"), expected.Bytes());

    // Without boxes computed, the model's box chunk is left out; a frame without keys gets no
    // parent chunk.
    C3DModel unboxed;
    unboxed.AddFrame(NewFrame("hull", Triangle(2, 4)));
    ASSERT_EQ(unboxed.SaveModel(Path("unboxed.vmm").c_str()), 1);
    ByteBuilder plain = FileStart();
    AnimationChunk(plain, 0, 0, 0, {});
    FrameChunk(plain, "hull", Triangle(2, 4), {0, 1, 2}, kNone);
    TransformChunk(plain, Identity());
    EXPECT_EQ(m_dir.ReadFile("unboxed.vmm"), plain.Bytes());
}

// Files that name what does not exist, or whose counts cannot be true, fail the chunk.
TEST_F(ModelFileTest, ImpossibleChunksAreRefused) {
    const std::array<float, 4> white = {1, 1, 1, 1};
    const std::vector<PosKey> oneKey = {{0, 0.0f, {0, 0, 0}}};
    const std::vector<std::uint32_t> seventeen(17, 0), beyond = {0, 1, 3};
    const struct {
        const char* name;
        bool hull; // the chunk follows a frame "hull"
        ByteBuilder chunk;
        std::string message;
    } cases[] = {
        {"17 attachments", false, Chunk(AttachmentListChunk, seventeen),
         "C3DModel::LoadModel() Invalid attachment count 17!\n"},
        {"slot 64", false, Chunk(MaterialChunk, white, white, std::string(), 64u, 8.0f, 0x1234u),
         "C3DModel::LoadModel() Unable to set material 64!\n"},
        {"slot none", false,
         Chunk(MaterialChunk, white, white, std::string(), kNone, 8.0f, 0x1234u),
         "C3DModel::LoadModel() Unable to set material -1!\n"},
        {"parent not loaded", true, Chunk(ParentChunk, 0u, 1u),
         "C3DModel::LoadModel() Invalid parent index 1 for frame 0\n"},
        {"own parent", true, Chunk(ParentChunk, 0u, 0u),
         "C3DModel::LoadModel() Invalid parent index 0 for frame 0\n"},
        {"keys for a frame not loaded", true, Chunk(PosKeysChunk, 5u, 0u, 0u, oneKey),
         "C3DModel::LoadFrame() Failed to get frame for pos keyframe (5)\n"},
        {"face index", false, Chunk(FrameChunk, std::string("hull"), Triangle(1, 1), beyond, 0u),
         "C3DModelFrame::LoadFrame() Face index beyond the 3 vertices!\n"},
        {"vertices beyond file", false,
         Chunk(Tag, 0x1010u, 68u + 32 * 3 + 12).Chars("hull", 32).U32(4000000).Fill(0, 136),
         "C3DModelFrame::LoadFrame() Failed to read vertices. Error="},
        {"rotation keys beyond file", true,
         Chunk(KeyHeader, 0x1060u, 24u, 0u, 1000u, 0u, 0u).Fill(0, 24),
         "C3DModel::LoadModel() Failed to read rotation keys for frame 0\n"},
        {"reversed range", false, Chunk(AnimationChunk, 5u, 2u, 0u, std::vector{1.0f}, false),
         "C3DModel::SetKeyframes() Invalid keyframe range 5..2\n"},
        {"model boxes beyond file", false, Chunk(Tag, 0x10B0u, 4u).U32(0x10000000),
         "C3DModel::LoadModel() Failed to read 268435456 bbox items! Error="},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_capture.Clear();
        ByteBuilder b = FileStart();
        if (c.hull) {
            FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        }
        EXPECT_EQ(Load(b.Raw(c.chunk.Bytes())), 0);
        EXPECT_EQ(m_model.GetFrameCount(), 0u);
        EXPECT_TRUE(m_capture.Contains(c.message)) << m_capture.Text();
    }
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
