// Saving and loading a game of 10 000 entities: 1 000 trees of depth 3 (a root, three
// children, two grandchildren under each child), each entity with 64 bytes of local data.
// The save (vgSaveGame: a new file, flushed and renamed into place) is measured against
// writing the same bytes with one plain call to a file replaced the same way; the load of
// the game's data (vgLoadLevelData, after the reset) against reading the file whole. Target:
// each at most twice its baseline.

#include "engine/engine.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTrees = 1000;
constexpr int kChildren = 3;
constexpr int kGrandchildren = 2;
constexpr DWORD kLocalDataSize = 64;

CBaseEntity* WithLocalData(CBaseEntity* entity) {
    entity->AllocateLocalData(kLocalDataSize);
    return entity;
}

void SpawnForest() {
    for (int t = 0; t < kTrees; ++t) {
        CBaseEntity* root = WithLocalData(vgSpawnParentEntity());
        for (int c = 0; c < kChildren; ++c) {
            CBaseEntity* child = WithLocalData(vgSpawnChildEntity(root));
            for (int g = 0; g < kGrandchildren; ++g) {
                WithLocalData(vgSpawnChildEntity(child));
            }
        }
    }
}

const std::string& SavePath() {
    static const std::string path =
        platform::HostToWindowsPath((std::filesystem::temp_directory_path() /
                                     ("velcore-bench-" + std::to_string(::getpid()) + ".sav"))
                                        .string());
    return path;
}

std::vector<char> SavedBytes() {
    HANDLE file = CreateFileA(SavePath().c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    std::vector<char> bytes(GetFileSize(file));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read);
    CloseHandle(file);
    return bytes;
}

// A running game with the forest; a save needs a loaded level, which this game only claims.
void StartForest() {
    ResetLevel();
    SpawnForest();
    g_engine.bGameLoaded = TRUE;
}

void BM_SaveGame(benchmark::State& state) {
    StartForest();
    for (auto _ : state) {
        if (!vgSaveGame(SavePath().c_str())) {
            state.SkipWithError("save failed");
            break;
        }
    }
    ResetLevel();
}

void BM_PlainWrite(benchmark::State& state) {
    StartForest();
    vgSaveGame(SavePath().c_str());
    const std::vector<char> bytes = SavedBytes();
    for (auto _ : state) {
        HANDLE file = CreateReplacementFileA(SavePath().c_str());
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
        CommitReplacementFile(file);
    }
    ResetLevel();
}

void BM_LoadGameData(benchmark::State& state) {
    StartForest();
    vgSaveGame(SavePath().c_str());
    for (auto _ : state) {
        state.PauseTiming();
        ResetLevel();
        state.ResumeTiming();
        HANDLE file = CreateFileA(SavePath().c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
        const int loaded = vgLoadLevelData(file);
        CloseHandle(file);
        if (!loaded) {
            state.SkipWithError("load failed");
            break;
        }
    }
    ResetLevel();
}

void BM_PlainRead(benchmark::State& state) {
    StartForest();
    vgSaveGame(SavePath().c_str());
    ResetLevel();
    for (auto _ : state) {
        benchmark::DoNotOptimize(SavedBytes().data());
    }
}

BENCHMARK(BM_SaveGame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadGameData)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    SetDebugOutputSink({[](const char*, void*) {}, nullptr});
    vgEnable();
    const int status = benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        benchkit::PrintRatio("save time / plain write time", timings.PerIteration("BM_SaveGame"),
                             timings.PerIteration("BM_PlainWrite"), 2.0);
        benchkit::PrintRatio("load time / plain read time", timings.PerIteration("BM_LoadGameData"),
                             timings.PerIteration("BM_PlainRead"), 2.0);
    });
    vgDisable();
    DeleteFileA(SavePath().c_str());
    return status;
}
