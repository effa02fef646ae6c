#include "engine/globals.h"
#include "engine_fixture.h"
#include "entity/entity.h"
#include "platform/os/file.h"
#include "platform/os/path.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "small_level.h"
#include "testkit/saved_game_bytes.h"
#include "testkit/working_directory.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

using namespace table_bytes;
using testkit::ByteBuilder;

namespace {

// Every test runs the small level, started by a relative path, on a frozen clock.
class SavedGameTest : public EngineTest {
protected:
    void TearDown() override {
        platform::FileFaults().ClearFailures();
        EngineTest::TearDown();
    }
    void StartLevel(const std::vector<TimedTrigger>& triggers) {
        WriteSmallLevel(m_dir, platform::HostToWindowsPath(PHYSICSMODULE), triggers);
        testkit::WorkingDirectory inside(m_dir.Path());
        ASSERT_EQ(vgNewGame("level.vlf"), 1) << m_log.Text();
        vgPauseGame(0);
    }
    // One physics tick after `milliseconds`, and the camera update of a render tick.
    void Play(DWORD milliseconds) {
        TickAfter(milliseconds);
        vgGetActiveCamera()->Update(g_engine.viewMatrix, m_host.Globals().fNearPlane,
                                    m_host.Globals().fFarPlane);
    }
    int Save(const char* name = "game.sav") { return vgSaveGame(m_dir.EnginePath(name).c_str()); }
    int Load(const char* name = "game.sav") { return vgLoadGame(m_dir.EnginePath(name).c_str()); }
};

int Counter(CBaseEntity* entity) {
    return *static_cast<int*>(entity->m_pLocalData);
}

TEST_F(SavedGameTest, SaveOfASmallLevelMatchesTheRecordTables) {
    EXPECT_EQ(Save(), 0);
    EXPECT_TRUE(m_log.Contains("VelEng::vgSaveGame() No level is loaded"));
    StartLevel({});
    CBaseEntity* entity = vgSpawnParentEntity();
    ASSERT_EQ(entity->AllocateLocalData(3), 1);
    std::memcpy(entity->m_pLocalData, "abc", 3);
    vgSpawnChildEntity(entity);
    ASSERT_EQ(Save(), 1) << m_log.Text();

    GAME_STATE header = InitialGameState();
    header.dwHeaderSize = 324;
    header.dwNextEntityId = 502;
    header.fQuadrantFactor = 1.0f / 512.0f;
    header.fWorldMin = -1024.0f;
    header.fWorldMax = 1024.0f;
    header.fWorldSize = 2048.0f;
    std::strcpy(header.szLevelFile, m_dir.EnginePath("level.vlf").c_str()); // a full path
    ByteBuilder expected;
    expected.Raw(testkit::GameStateImage(header, 0)).U32(1);
    EntityImage(expected, {500, {'a', 'b', 'c'}, 1});
    EntityImage(expected, {501, {}, 0}).U32(0x1A545656).U32(0xFFFFFFFF).U32(0); // no triggers
    auto bytes = m_dir.ReadFile("game.sav");
    ASSERT_EQ(bytes.size(), expected.Size() + 340 + 84);
    EXPECT_EQ(testkit::FieldAt<std::uint32_t>(bytes, expected.Size()), 0x1A4D4143u);
    EXPECT_EQ(testkit::FieldAt<std::uint32_t>(bytes, expected.Size() + 340), 0x1A54474Cu);
    bytes.resize(expected.Size());
    EXPECT_EQ(bytes, expected.Bytes());
}

TEST_F(SavedGameTest, PlayingOnThenLoadingRestoresTheWorldAsSaved) {
    StartLevel({{700, 0, 0.5f}, {701, 0, 1000.0f}});
    Play(1000);
    CBaseEntity* fired = vgFindEntity(700);
    ASSERT_NE(fired, nullptr);
    fired->SetWorldPosition(D3DVECTOR(5, 6, 7));
    vgSpawnChildEntity(fired)->AllocateLocalData(sizeof(int));
    vgSpawnParentEntity()->m_dwModelIndex = 5; // names no model record
    D3DVECTOR east(1.0f, 0.0f, 0.0f);
    g_engineLight.SetDirectionalLight(east, 0.5f, 0.25f, 1.0f);
    ASSERT_EQ(Save(), 1) << m_log.Text();
    const DWORD nextId = g_engine.gameState.dwNextEntityId;
    const int counter = Counter(fired);

    Play(2000);
    fired->SetWorldPosition(D3DVECTOR(0.0f));
    g_engineLight.SetDirectionalLight(east, 1.0f, 1.0f, 1.0f);
    testkit::WorkingDirectory elsewhere(std::filesystem::temp_directory_path());
    ASSERT_EQ(Load(), 1) << m_log.Text();
    EXPECT_EQ(vgIsGameLoaded() + vgIsGamePaused(), 2);
    // Saved again, the game gives the same bytes (clocks, entities, the trigger 701 still
    // waiting) but for the identifier counter: each restored entity drew an identifier when it
    // was spawned.
    ASSERT_EQ(Save("again.sav"), 1);
    auto again = m_dir.ReadFile("again.sav");
    std::memcpy(again.data() + 8, &nextId, 4);
    EXPECT_EQ(again, m_dir.ReadFile("game.sav"));

    // Brought back to life without a second Create: the module counts on from the restored
    // local data. The entity without a model record stays unbound.
    m_log.Clear();
    EXPECT_EQ(vgBindRestoredEntities(), -1);
    EXPECT_EQ(m_log.Text(), "CBaseEntity::Create() Invalid model index! (5)\n");
    EXPECT_EQ(vgFindEntity(nextId - 1)->m_hModule, nullptr);
    CBaseEntity* restored = vgFindEntity(700);
    vgPauseGame(0);
    Play(20);
    EXPECT_EQ(Counter(restored), counter + 1);
    EXPECT_EQ(vgSpawnParentEntity()->m_dwID, nextId + 3);
}

TEST_F(SavedGameTest, FilesThatCannotLoadAreRefusedWithTheirMessage) {
    StartLevel({});
    vgSetActiveCamera(nullptr); // the engine camera is saved instead
    ASSERT_EQ(Save(), 1);
    const auto saved = m_dir.ReadFile("game.sav");
    const auto patched = [&](std::size_t offset, std::vector<std::uint8_t> bytes) {
        auto image = saved;
        std::copy(bytes.begin(), bytes.end(), image.begin() + offset);
        return image;
    };
    ByteBuilder deep = ByteBuilder().Raw({saved.begin(), saved.begin() + 324}).U32(1);
    for (std::uint32_t level = 1; level <= 33; ++level) {
        EntityImage(deep, {500, {}, level < 33 ? 1u : 0u});
    }
    ByteBuilder wide = ByteBuilder().Raw({saved.begin(), saved.begin() + 324}).U32(1);
    const struct {
        std::vector<std::uint8_t> image;
        const char* message;
    } cases[] = {
        {patched(0, {0x57, 0x53, 0x46, 0x1A}), "Invalid file id for header. (1A465357)\n"},
        {patched(4, {64, 1, 0, 0}), "Invalid header size. Expected 324 got 320!\n"},
        {{saved.begin(), saved.begin() + 100}, "vgLoadLevelData() Load of header failed."},
        {patched(324, {0, 0, 1, 0}), "65536 entities cannot fit in the 436 bytes left!\n"},
        {deep.Bytes(), "CBaseEntity::Load() Entity tree deeper than 32 levels refused!\n"},
        {EntityImage(wide, {500, {}, 2}).Bytes(), "2 children cannot fit"},
        {patched(64, std::vector<std::uint8_t>(256, 'a')), "Failed to load level info."},
    };
    for (const auto& c : cases) {
        m_dir.WriteFile("bad.sav", c.image);
        m_log.Clear();
        EXPECT_EQ(Load("bad.sav"), 0);
        EXPECT_TRUE(m_log.Contains(c.message)) << c.message << "\n" << m_log.Text();
        EXPECT_EQ(vgIsGameLoaded(), 0);
        EXPECT_EQ(vgGetActiveCamera(), &g_engineCamera);
    }
    // A file that is not there leaves the running game alone.
    ASSERT_EQ(Load(), 1) << m_log.Text();
    vgSpawnParentEntity();
    EXPECT_EQ(Load("missing.sav"), 0);
    EXPECT_TRUE(m_log.Contains("VelEng::vgLoadGame() Failed to open file. Last Error=2\n"));
    EXPECT_EQ(vgIsGameLoaded() + vgGetEntityList()->GetCount(), 2u);
}

// A save failing at any write, short write, flush or rename leaves the previous file, and no
// other, in the directory.
TEST_F(SavedGameTest, SavesFailingAtEveryPointLeaveThePreviousSaveIntact) {
    StartLevel({{701, 0, 1000.0f}});
    ASSERT_EQ(Save(), 1);
    const auto previous = m_dir.ReadFile("game.sav");
    vgSpawnChildEntity(vgSpawnParentEntity())->AllocateLocalData(16);
    const auto countFiles = [&] {
        return std::distance(std::filesystem::directory_iterator(m_dir.Path()), {});
    };
    const auto files = countFiles();
    const std::pair<const char*, HRESULT> faults[] = {{"WriteFile", EIO},
                                                      {"WriteFile", platform::kFaultShortWrite},
                                                      {"FlushFile", EIO},
                                                      {"ReplaceFile", ENOSPC}};
    for (const auto& [call, code] : faults) {
        std::size_t point = 1;
        for (; point < 10000; ++point) {
            platform::FileFaults().FailCall(call, code, point);
            const int saved = Save();
            platform::FileFaults().ClearFailures();
            if (saved) {
                break;
            }
            ASSERT_EQ(m_dir.ReadFile("game.sav"), previous) << call << " " << point;
            ASSERT_EQ(countFiles(), files) << call << " " << point;
        }
        EXPECT_GT(point, 1u) << call;
        m_dir.WriteFile("game.sav", previous);
    }
    EXPECT_EQ(Load(), 1);
}

TEST_F(SavedGameTest, AllocationFailureAtEveryPointOfALoadFailsCleanly) {
    StartLevel({{701, 0, 1000.0f}});
    vgSpawnChildEntity(vgSpawnParentEntity())->AllocateLocalData(8);
    ASSERT_EQ(Save(), 1);
    auto image = m_dir.ReadFile("game.sav");
    std::memset(image.data() + 320, 0xEE, 4); // a camera pointer is never taken from a file
    m_dir.WriteFile("game.sav", image);
    ResetLevel();
    const DWORD empty = CMemory::GetTotalMemoryAllocated();
    DWORD allocation = 1;
    for (; allocation < 10000; ++allocation) {
        CMemory::FailAllocationAfter(allocation);
        const int loaded = Load();
        CMemory::FailAllocationAfter(0);
        if (loaded) {
            break;
        }
        EXPECT_EQ(vgIsGameLoaded(), 0);
        ASSERT_EQ(vgGetActiveCamera(), &g_engineCamera);
        ResetLevel();
        ASSERT_EQ(CMemory::GetTotalMemoryAllocated(), empty) << "allocation " << allocation;
    }
    EXPECT_GT(allocation, 4u);
    EXPECT_EQ(vgBindRestoredEntities(), 2);
    EXPECT_EQ(vgBindRestoredEntities(), 0) << "bound entities are left alone";
}

} // namespace
