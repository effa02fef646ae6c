#include "model/vmm_file.h"

#include "model_fixture.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"

#include <cstring>
#include <filesystem>

namespace {

using namespace vmm_bytes;

using VmmFileTest = ModelTest;

TEST_F(VmmFileTest, OpenChecksTheIdentifierAndStopsAfterItAndCreateLeavesNoFileOnFailure) {
    m_dir.WriteFile("good.vmm", FileStart().Bytes());
    HANDLE file = OpenVMM(Path("good.vmm").c_str());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(file, 0, FILE_CURRENT), 4u);
    CloseHandle(file);
    m_dir.WriteFile("wrong.vmm", {'V', 'M', 'M', 0x1B, 0x04, 0x10, 0, 0, 4, 0, 0, 0, 1, 2, 0, 0});
    m_dir.WriteFile("short.vmm", {'V', 'M', 'M'});
    for (const char* name : {"wrong.vmm", "short.vmm", "absent.vmm"}) {
        EXPECT_EQ(OpenVMM(Path(name).c_str()), INVALID_HANDLE_VALUE) << name;
    }
    EXPECT_EQ(CreateVMM(Path("missing/new.vmm").c_str()), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(std::filesystem::exists(m_dir.Path() / "missing"));
}

// The byte offset of the first chunk's length field: identifier 4, version chunk 12, id 4.
ByteBuilder WithFirstLength(const ByteBuilder& built, std::uint32_t length) {
    std::vector<std::uint8_t> bytes = built.Bytes();
    std::memcpy(&bytes[20], &length, sizeof length);
    return ByteBuilder().Raw(bytes);
}

TEST_F(VmmFileTest, ChunkWalkSkipsUnknownChunksAndStopsAtTheFirstFailure) {
    ByteBuilder identifierOnly, unknown = FileStart(), cutTag = FileStart(), pastEnd = FileStart(),
                                failing = FileStart();
    Identifier(identifierOnly);
    Tag(unknown, 0x1005, 3).U8(1).U8(2).U8(3);
    Tag(unknown, 0x2000, 0);
    Tag(unknown, 0x0FFF, 4).U32(0);
    FrameChunk(unknown, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    ModelBoxesChunk(unknown, {}); // known, with no boxes
    cutTag.U32(0x1010).U8(0x44);
    FrameChunk(pastEnd, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    Tag(pastEnd, 0x3000, 1000).U32(7);
    FrameChunk(failing, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    ParentChunk(failing, 5, 0xFFFFFFFF);
    FrameChunk(failing, "never read", Triangle(1, 1), {0, 1, 2}, 0);
    const struct {
        const char* name;
        ByteBuilder bytes;
        int result;
        DWORD frames;
        std::vector<std::string> messages;
    } cases[] = {
        {"identifier only", identifierOnly, 0, 0, {}},
        {"version chunk only",
         FileStart(),
         1,
         0,
         {"C3DModel::LoadModel() 1 keyframes need more boxes than the file holds; boxes left "
          "invalid"}},
        {"unknown chunks",
         unknown,
         1,
         1,
         {"Skipping unknown VMM Chunk id=1005\n", "Skipping unknown VMM Chunk id=2000\n",
          "Skipping unknown VMM Chunk id=0FFF\n"}},
        {"tag cut short", cutTag, 0, 0, {"Failed to read CHUNK tag Error="}},
        {"unknown chunk past the end", pastEnd, 1, 1, {"Skipping unknown VMM Chunk id=3000\n"}},
        {"failing chunk", failing, 0, 0, {"C3DModel::LoadModel() Failed to get frame index 5\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_capture.Clear();
        EXPECT_EQ(Load(c.bytes), c.result);
        EXPECT_EQ(m_model.GetFrameCount(), c.frames);
        EXPECT_EQ(m_capture.Lines().size(), c.messages.size()) << m_capture.Text();
        for (const std::string& message : c.messages) {
            EXPECT_TRUE(m_capture.Contains(message)) << message;
        }
    }
}

// A known chunk is read by its fields: a wrong length in its tag goes unnoticed, and the next
// chunk starts where the fields end.
TEST_F(VmmFileTest, WrongLengthsInKnownChunkTagsGoUnnoticed) {
    ByteBuilder b = FileStart();
    FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    FrameChunk(b, "gun", Triangle(2, 2), {0, 1, 2}, 0);
    for (std::uint32_t length : {0u, 68u + 32 * 3, 68u + 32 * 3 + 12 + 1000, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        ASSERT_EQ(Load(WithFirstLength(b, length)), 1) << m_capture.Text();
        ASSERT_EQ(m_model.GetFrameCount(), 2u);
        EXPECT_STREQ(m_model.GetFrame(1)->GetName(), "gun");
    }
}

} // namespace
