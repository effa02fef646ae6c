#include "engine/game_state_file.h"

#include "platform/os/file.h"
#include "support/binary_file.h"
#include "testkit/saved_game_bytes.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

GAME_STATE SampleState() {
    GAME_STATE state{};
    state.dwFileId = 0x1A465356;
    state.dwHeaderSize = 324;
    state.dwNextEntityId = 612;
    state.dwRenderTime = 12000;
    state.fRenderTime = 12.0f;
    state.dwDeltaRenderTime = 16;
    state.fDeltaRenderTime = 0.016f;
    state.dwPhysicsTime = 12345;
    state.fPhysicsTime = 12.345f;
    state.dwDeltaPhysicsTime = 20;
    state.fDeltaPhysicsTime = 0.02f;
    state.dwReserved = 0xDEADBEEF;
    state.fQuadrantFactor = 0.25f;
    state.fWorldMin = -128.0f;
    state.fWorldMax = 128.0f;
    state.fWorldSize = 256.0f;
    std::strcpy(state.szLevelFile, "c:\\games\\lev\\level1.vlf");
    return state;
}

constexpr auto ExpectedImage = &testkit::GameStateImage;

class GameStateFileTest : public ::testing::Test {
protected:
    HANDLE Open(const char* name, DWORD disposition) {
        m_file = CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                             disposition);
        return m_file;
    }
    void TearDown() override { CloseHandle(m_file); }

    testkit::ScratchDir m_dir;
    HANDLE m_file = nullptr;
};

// The 324-byte image holds no pointer: the camera's place is written as zero and never read.
TEST_F(GameStateFileTest, ImageIsTheRecordTableWithoutThePointer) {
    GAME_STATE state = SampleState();
    state.pActiveCamera = reinterpret_cast<CCamera*>(0x123456789ABCull);
    CFileWriter writer(Open("state.bin", CREATE_ALWAYS));
    ASSERT_TRUE(WriteGameState(writer, state));
    std::vector<std::uint8_t> image = m_dir.ReadFile("state.bin");
    EXPECT_EQ(image, ExpectedImage(state, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(image.begin(), image.begin() + 4),
              (std::vector<std::uint8_t>{0x56, 0x53, 0x46, 0x1A}));

    CloseHandle(m_file);
    m_dir.WriteFile("read.bin", ExpectedImage(SampleState(), 0xCAFEF00D));
    GAME_STATE read{};
    read.pActiveCamera = state.pActiveCamera;
    CFileReader reader(Open("read.bin", OPEN_EXISTING));
    ASSERT_TRUE(ReadGameState(reader, read));
    EXPECT_EQ(std::memcmp(&read, &state, sizeof read), 0);
    EXPECT_EQ(reader.Remaining(), 0u);
}

} // namespace
