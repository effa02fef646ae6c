// Level loading: the input is a bundle of the level's files, each a 32-bit length and its
// bytes, in the order level.vlf, models.tbl, music.tbl, sounds.tbl, textures.tbl, events.evt,
// model.vmm, skin.bmp, written into a scratch directory; missing files stay absent. A failed
// load must leave no level behind and give back every byte it allocated; a loaded level must
// give them back at the reset.

#include "fuzzkit/host.h"
#include "fuzzkit/input_file.h"

#include "engine/engine.h"
#include "engine/level_loader.h"
#include "platform/os/path.h"
#include "support/memory.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr const char* kFileNames[] = {"level.vlf",    "models.tbl", "music.tbl", "sounds.tbl",
                                      "textures.tbl", "events.evt", "model.vmm", "skin.bmp"};

const std::filesystem::path& ScratchDirectory() {
    static const std::filesystem::path directory =
        std::filesystem::temp_directory_path() /
        ("velcore-fuzz-level-" + std::to_string(::getpid()));
    return directory;
}

void WriteBundle(const std::uint8_t* data, std::size_t size) {
    std::filesystem::remove_all(ScratchDirectory());
    std::filesystem::create_directories(ScratchDirectory());
    for (const char* name : kFileNames) {
        std::uint32_t length = 0;
        if (size < sizeof length) {
            return;
        }
        std::memcpy(&length, data, sizeof length);
        data += sizeof length;
        size -= sizeof length;
        length = static_cast<std::uint32_t>(std::min<std::size_t>(length, size));
        std::ofstream(ScratchDirectory() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(data), length);
        data += length;
        size -= length;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), fuzzkit::SetUpSoftwareHost(), true);
    (void)initialised;

    WriteBundle(data, size);
    const std::string level =
        platform::HostToWindowsPath((ScratchDirectory() / "level.vlf").string());
    const std::string directory = platform::HostToWindowsPath(ScratchDirectory().string() + "/");
    ResetLevel();
    const DWORD before = CMemory::GetTotalMemoryAllocated();
    if (!vgLoadLevelInfo(level.c_str(), directory.c_str(), 1) &&
        (vgIsGameLoaded() || vgGetModelCount() != 0 || vgGetTextureCount() != 0 ||
         CMemory::GetTotalMemoryAllocated() != before)) {
        std::abort();
    }
    ResetLevel();
    if (CMemory::GetTotalMemoryAllocated() != before) {
        std::abort();
    }
    return 0;
}
