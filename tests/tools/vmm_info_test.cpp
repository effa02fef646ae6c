#include "tools_fixture.h"
#include "vmm_info.h"

#include "model/vmm_bytes.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include "engine/debug_log.h"

#include <sstream>
#include <string>
#include <tuple>

namespace {

using namespace vmm_bytes;

constexpr std::uint32_t kNone = 0xFFFFFFFF;

// One triangle (0,0,0), (2,0,0), (0,4,0) named name.
void TriangleFrame(ByteBuilder& b, const std::string& name) {
    FrameChunk(b, name, Triangle(2, 4), {0, 1, 2}, kNone);
}

TEST(VmmChunkWalkTest, AKnownChunkTakesWhatItsCountsSayWhateverItsTag) {
    ByteBuilder b = FileStart();
    TriangleFrame(b, "hull");
    b.U32(0x1005).U32(0); // read as the next tag
    std::vector<std::uint8_t> bytes = b.Bytes();
    bytes[16 + 4] += 8; // the frame declares 8 bytes more than it holds
    vmmtool::VmmChunkWalk walk = vmmtool::WalkVmmChunks(bytes);
    ASSERT_EQ(walk.chunks.size(), 3u);
    EXPECT_EQ(
        std::tuple(walk.chunks[1].length, walk.chunks[1].read, walk.chunks[2].id, walk.problem),
        std::tuple(68u + 96 + 12 + 8, 68u + 96 + 12, 0x1005u, ""));

    std::ostringstream out;
    vmmtool::PrintChunks(walk, out);
    EXPECT_NE(out.str().find("0x1010  FRAME             184 (176 read)"), std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find("0x1005  (unknown)"), std::string::npos) << out.str();
}

TEST(VmmChunkWalkTest, StopsWhereTheReadLoopStops) {
    ByteBuilder wrongId, identifierOnly, cutTag = FileStart(), hugeCount = FileStart(),
                                         skipPastEnd = FileStart();
    wrongId.U8(0x56).U8(0x4D).U8(0x4D).U8(0x1B).U32(0x1004).U32(4).U32(0x201);
    Identifier(identifierOnly);
    cutTag.U32(0x1010).U8(1);
    hugeCount.U32(0x1090).U32(16).U32(0).U32(1000).U32(0).U32(0);
    skipPastEnd.U32(0x3000).U32(1000).U32(1); // ends the file there, as the loader's skip does
    const struct {
        const ByteBuilder& bytes;
        bool isVmm;
        std::size_t chunks;
        std::uint64_t lastRead;
        std::string problem;
    } cases[] = {
        {wrongId, false, 0, 0, "not a VMM file: it does not start with the bytes 56 4D 4D 1A"},
        {identifierOnly, true, 0, 0, "no chunk after the identifier"},
        {cutTag, true, 1, 4, "tag cut short at offset 16"},
        {hugeCount, true, 2, 16, "the chunk at offset 16 runs past the end of the file"},
        {skipPastEnd, true, 2, 4, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.problem);
        vmmtool::VmmChunkWalk walk = vmmtool::WalkVmmChunks(c.bytes.Bytes());
        EXPECT_EQ(std::tuple(walk.isVmm, walk.chunks.size(), walk.problem),
                  std::tuple(c.isVmm, c.chunks, c.problem));
        if (!walk.chunks.empty()) {
            EXPECT_EQ(walk.chunks.back().read, c.lastRead);
        }
    }
}

class DescribeVmmTest : public AccountedTest {
protected:
    bool Describe(const ByteBuilder& bytes) {
        m_dir.WriteFile("model.vmm", bytes.Bytes());
        m_out.str("");
        return vmmtool::DescribeVmm(m_dir.HostPath("model.vmm"), m_out, m_error);
    }
    bool Shows(const std::string& text) const {
        return m_out.str().find(text) != std::string::npos;
    }

    testkit::ScratchDir m_dir;
    std::ostringstream m_out;
    std::string m_error;
};

TEST_F(DescribeVmmTest, ReportsTheModelTheEngineLoads) {
    ByteBuilder b = FileStart();
    b.U32(0x1020).U32(212).U32(80);
    b.F32(0.5f).F32(0.25f).F32(1).F32(1).Fill(0, 16).Fill(0, 16).Fill(0, 16);
    b.F32(8).U32(0).U32(16).Chars("tex\\hull.bmp", 128).U32(3);
    AnimationChunk(b, 0, 4, 7, {2.5f});
    TriangleFrame(b, "hull");
    ASSERT_TRUE(Describe(b)) << m_error;
    // Without boxes in the file, the engine computes them from the frames.
    for (const char* text :
         {"keyframes 0..4 (extra 7)", "  0: duration 2.5\n", "transform: identity\n",
          "  0 \"hull\": 3 vertices, 1 faces, parent none, material none, keys: position 0, "
          "rotation 0, scale 0, box 0\n",
          "  slot 3: diffuse (0.5, 0.25, 1) alpha 1", "\\tex\\hull.bmp\n", "model boxes: 5\n"}) {
        EXPECT_TRUE(Shows(text)) << text << "\nin\n" << m_out.str();
    }
}

TEST_F(DescribeVmmTest, PassesOnWhyTheEngineRefusesAFile) {
    ByteBuilder b = FileStart();
    b.U32(0x1010).U8(0);
    testkit::DebugCapture outside;
    EXPECT_FALSE(Describe(b));
    EXPECT_TRUE(Shows("stopped: tag cut short at offset 16")) << m_out.str();
    EXPECT_NE(m_error.find("the engine does not load it: Failed to read CHUNK tag Error="),
              std::string::npos)
        << m_error;
    // The engine's lines were the tool's alone; the sink before it is back.
    EXPECT_FALSE(outside.Contains("CHUNK"));
    DebugLog("after");
    EXPECT_TRUE(outside.Contains("after"));
}

} // namespace
