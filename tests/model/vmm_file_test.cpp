#include "model/vmm_file.h"

#include "model_fixture.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"

#include <filesystem>

namespace {

using namespace vmm_bytes;

using VmmFileTest = ModelTest;

TEST_F(VmmFileTest, CreateInMissingDirectoryLeavesNoFile) {
    EXPECT_EQ(CreateVMM(Path("missing/new.vmm").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "missing"));
    EXPECT_TRUE(std::filesystem::is_empty(m_dir.Path()));
}

TEST_F(VmmFileTest, OpenChecksTheIdentifierAndStopsAfterIt) {
    m_dir.WriteFile("good.vmm", FileStart().Bytes());
    HANDLE file = OpenVMM(Path("good.vmm").c_str());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 0, FILE_CURRENT), 4u);
    CloseHandle(file);

    ByteBuilder wrongMarker;
    wrongMarker.U8('V').U8('M').U8('M').U8(0x1B);
    VersionChunk(wrongMarker);
    m_dir.WriteFile("wrong.vmm", wrongMarker.Bytes());
    EXPECT_EQ(OpenVMM(Path("wrong.vmm").c_str()), INVALID_HANDLE_VALUE);

    m_dir.WriteFile("short.vmm", {'V', 'M', 'M'});
    EXPECT_EQ(OpenVMM(Path("short.vmm").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenVMM(Path("absent.vmm").c_str()), INVALID_HANDLE_VALUE);
}

TEST_F(VmmFileTest, IdentifierAloneFailsButAVersionChunkMakesAnEmptyModel) {
    ByteBuilder identifierOnly;
    Identifier(identifierOnly);
    EXPECT_EQ(Load(identifierOnly), 0);
    EXPECT_EQ(m_model.GetFrameCount(), 0u);

    EXPECT_EQ(Load(FileStart()), 1);
    EXPECT_EQ(m_model.GetFrameCount(), 0u);
    EXPECT_EQ(m_model.GetAnimationCount(), 0u);
    EXPECT_EQ(m_model.GetMaterial(0), nullptr);
}

TEST_F(VmmFileTest, UnknownChunksAreSkippedWithTheirId) {
    ByteBuilder bytes = FileStart();
    Tag(bytes, 0x1005, 3).U8(1).U8(2).U8(3);
    Tag(bytes, 0x2000, 0);
    Tag(bytes, 0x0FFF, 4).U32(0);
    FrameChunk(bytes, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    ASSERT_EQ(Load(bytes), 1);
    EXPECT_EQ(m_model.GetFrameCount(), 1u);
    EXPECT_EQ(m_capture.Lines(), (std::vector<std::string>{
                                     "Skipping unknown VMM Chunk id=1005\n",
                                     "Skipping unknown VMM Chunk id=2000\n",
                                     "Skipping unknown VMM Chunk id=0FFF\n",
                                 }));
}

TEST_F(VmmFileTest, ATagCutShortFailsTheLoad) {
    ByteBuilder bytes = FileStart();
    bytes.U32(0x1010).U8(0x44);
    EXPECT_EQ(Load(bytes), 0);
    ASSERT_EQ(m_capture.Lines().size(), 1u);
    EXPECT_EQ(m_capture.Lines()[0].rfind("Failed to read CHUNK tag Error=", 0), 0u);
}

TEST_F(VmmFileTest, AnUnknownChunkRunningPastTheEndEndsTheLoadThere) {
    ByteBuilder bytes = FileStart();
    FrameChunk(bytes, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    Tag(bytes, 0x3000, 1000).U32(7);
    EXPECT_EQ(Load(bytes), 1);
    EXPECT_EQ(m_model.GetFrameCount(), 1u);
}

TEST_F(VmmFileTest, AFailingChunkEndsTheLoadAndEmptiesTheModel) {
    ByteBuilder bytes = FileStart();
    FrameChunk(bytes, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    ParentChunk(bytes, 5, 0xFFFFFFFF);
    FrameChunk(bytes, "never read", Triangle(1, 1), {0, 1, 2}, 0);
    EXPECT_EQ(Load(bytes), 0);
    EXPECT_EQ(m_model.GetFrameCount(), 0u);
    EXPECT_TRUE(m_capture.Contains("C3DModel::LoadModel() Failed to get frame index 5\n"));
}

} // namespace
