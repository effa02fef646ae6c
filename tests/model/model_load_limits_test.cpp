#include "model_fixture.h"

#include <cstring>

namespace {

using namespace vmm_bytes;

// The byte offset of the first chunk's length field: identifier 4, version chunk 12, id 4.
constexpr std::size_t kFirstLengthOffset = 20;

ByteBuilder WithFirstLength(const ByteBuilder& built, std::uint32_t length) {
    std::vector<std::uint8_t> bytes = built.Bytes();
    std::memcpy(&bytes[kFirstLengthOffset], &length, sizeof length);
    ByteBuilder patched;
    patched.Raw(bytes);
    return patched;
}

// A known chunk is read by its fields: a wrong length in its tag goes unnoticed, and the next
// chunk starts where the fields end.
TEST_F(ModelTest, WrongLengthsInKnownChunkTagsGoUnnoticed) {
    ByteBuilder b = FileStart();
    FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
    FrameChunk(b, "gun", Triangle(2, 2), {0, 1, 2}, 0);
    const std::uint32_t trueLength = 68 + 32 * 3 + 12;
    for (std::uint32_t length : {0u, 68u + 32 * 3, trueLength + 1000, 0xFFFFFFFFu}) {
        SCOPED_TRACE(length);
        ASSERT_EQ(Load(WithFirstLength(b, length)), 1) << m_capture.Text();
        ASSERT_EQ(m_model.GetFrameCount(), 2u);
        EXPECT_EQ(m_model.GetFrame(0)->GetFaceCount(), 1u);
        EXPECT_STREQ(m_model.GetFrame(1)->GetName(), "gun");
    }
}

// One 16-bit index reaches 65536 vertices; a frame with more cannot be drawn and is refused
// at load, before anything is allocated for its vertices.
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
}

TEST_F(ModelTest, IndicesBeyondSixteenBitsAreNotConverted) {
    C3DModelFrame frame;
    const DWORD indices[] = {0, 1, 70000};
    ASSERT_EQ(frame.SetFaces(indices, 1), 1);
    EXPECT_EQ(frame.ConvertIndices(nullptr), 0);
    EXPECT_TRUE(m_capture.Contains(
        "C3DModelFrame::ConvertIndices() Index 70000 does not fit in 16 bits!\n"));
    EXPECT_EQ(static_cast<const DWORD*>(frame.GetFaceList())[2], 70000u) << "the 32-bit list stays";
}

} // namespace
