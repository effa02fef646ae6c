#include "model_fixture.h"

namespace {

using namespace vmm_bytes;

// The keyframe range is bounded only by the boxes a file can hold: a long range gets one box
// per keyframe, a range of 2^32 keyframes none (the boxes stay invalid).
TEST_F(ModelTest, LongKeyframeRangesLoadAndGetTheirBoxes) {
    struct Case {
        std::uint32_t final;
        DWORD boxes;
    };
    for (const Case& c : {Case{70000, 70001}, Case{0xFFFFFFFF, 0}}) {
        SCOPED_TRACE(c.final);
        ByteBuilder b = FileStart();
        AnimationChunk(b, 0, c.final, 0, {1.0f});
        FrameChunk(b, "hull", Triangle(1, 1), {0, 1, 2}, 0);
        ASSERT_EQ(Load(b), 1) << m_capture.Text();
        DWORD start, final, extra;
        m_model.GetKeyframes(start, final, extra);
        EXPECT_EQ(final, c.final);
        EXPECT_EQ(m_model.GetBoxCount(), c.boxes);
    }
}

} // namespace
