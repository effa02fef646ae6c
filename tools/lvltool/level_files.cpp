#include "level_files.h"

#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"

namespace lvltool {

LevelFileNames FileNamesFor(const std::string& levelName) {
    return {levelName + ".vlf", levelName + ".mdl", levelName + ".mus",
            levelName + ".snd", levelName + ".tex", levelName + ".evt"};
}

std::string EnginePath(const std::filesystem::path& path) {
    return platform::HostToWindowsPath(std::filesystem::absolute(path).lexically_normal().string());
}

EngineFile::EngineFile(const std::filesystem::path& path, bool write)
    : m_handle(CreateFileA(EnginePath(path).c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                           FILE_SHARE_READ, write ? CREATE_ALWAYS : OPEN_EXISTING)) {}

EngineFile::~EngineFile() {
    if (IsOpen()) {
        CloseHandle(m_handle);
    }
}

} // namespace lvltool
