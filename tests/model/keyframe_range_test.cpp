#include "model_fixture.h"

namespace {

using namespace vmm_bytes;

// The keyframe range is bounded only by the boxes its file can hold: a long range in a file
// large enough for one box per keyframe gets them all; the same range in a small file, and a
// range of 2^32 keyframes, get none (the boxes stay invalid), so a crafted file cannot claim
// more memory than its own size.
TEST_F(ModelTest, LongKeyframeRangesLoadAndGetTheirBoxes) {
    struct Case {
        std::uint32_t final;
        std::uint32_t padding; // bytes of an unknown chunk that make the file larger
        DWORD boxes;
    };
    for (const Case& c :
         {Case{70000, 70001 * 48, 70001}, Case{70000, 0, 0}, Case{0xFFFFFFFF, 0, 0}}) {
        SCOPED_TRACE(c.final);
        ByteBuilder b = FileStart();
        AnimationChunk(b, 0, c.final, 0, {1.0f});
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        Tag(b, 0x7777, c.padding).Fill(0, c.padding);
        ASSERT_EQ(Load(b), 1) << m_capture.Text();
        DWORD start, final, extra;
        m_model.GetKeyframes(start, final, extra);
        EXPECT_EQ(final, c.final);
        EXPECT_EQ(m_model.GetBoxCount(), c.boxes);
    }
}

} // namespace
