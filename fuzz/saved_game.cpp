// Saved games: the input is a saved game, loaded with vgLoadGame beside a small level (no
// model records, no triggers; restored entities are never bound here). A header whose level
// path is empty names that level, so that inputs reach the level load. A failed load must
// leave no loaded game and no camera but the engine's; either way the reset after it must
// give back every byte.

#include "fuzzkit/host.h"
#include "fuzzkit/input_file.h"

#include "engine/engine.h"
#include "engine/globals.h"
#include "platform/os/path.h"
#include "support/memory.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kLevelPathOffset = 64;
constexpr std::size_t kLevelPathSize = 256;

const std::filesystem::path& LevelDirectory() {
    static const std::filesystem::path directory =
        std::filesystem::temp_directory_path() /
        ("velcore-fuzz-saved-level-" + std::to_string(::getpid()));
    return directory;
}

void WriteFile(const char* name, const std::vector<std::uint32_t>& words, std::size_t size) {
    std::vector<char> bytes(size, 0);
    std::memcpy(bytes.data(), words.data(), std::min(size, words.size() * 4));
    std::ofstream(LevelDirectory() / name, std::ios::binary).write(bytes.data(), size);
}

// The level info record (932 bytes: id, six 128-byte paths from offset 8, then seed, world
// size 2048 and the flags) and four empty element tables.
void WriteLevel() {
    std::filesystem::create_directories(LevelDirectory());
    std::vector<char> info(932, 0);
    const std::uint32_t id = 0x1A464C56;
    std::memcpy(info.data(), &id, 4);
    const char* paths[] = {"", "sounds.tbl", "models.tbl", "music.tbl", "textures.tbl", ""};
    for (int i = 0; i < 6; ++i) {
        std::strcpy(info.data() + 8 + 128 * i, paths[i]);
    }
    const float worldSize = 2048.0f;
    std::memcpy(info.data() + 784, &worldSize, 4);
    std::ofstream(LevelDirectory() / "level.vlf", std::ios::binary).write(info.data(), 932);
    WriteFile("models.tbl", {0x1A464C4D}, 16);
    WriteFile("music.tbl", {0x1A464C54}, 16);
    WriteFile("sounds.tbl", {0x1A464C53}, 16);
    WriteFile("textures.tbl", {0x1A464C42}, 16);
}

std::vector<std::uint8_t> WithLevelPath(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> image(data, data + size);
    if (image.size() >= kLevelPathOffset + kLevelPathSize && image[kLevelPathOffset] == 0) {
        static const std::string level =
            platform::HostToWindowsPath((LevelDirectory() / "level.vlf").string());
        std::memcpy(image.data() + kLevelPathOffset, level.c_str(),
                    std::min(level.size(), kLevelPathSize - 1));
    }
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised =
        (fuzzkit::SilenceDebugOutput(), fuzzkit::SetUpSoftwareHost(), WriteLevel(), true);
    (void)initialised;

    const std::vector<std::uint8_t> image = WithLevelPath(data, size);
    fuzzkit::InputFile input(image.data(), image.size());
    ResetLevel();
    const DWORD before = CMemory::GetTotalMemoryAllocated();
    if (!vgLoadGame(input.EnginePath().c_str()) &&
        (vgIsGameLoaded() || vgGetActiveCamera() != &g_engineCamera)) {
        std::abort();
    }
    ResetLevel();
    if (CMemory::GetTotalMemoryAllocated() != before) {
        std::abort();
    }
    return 0;
}
