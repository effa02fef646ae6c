#pragma once

// What the level's files are called and how the tool reaches them through the engine's own
// file layer.

#include "platform/types.h"

#include <filesystem>
#include <string>

namespace lvltool {

// The files a build writes into its output directory, named after the level.
struct LevelFileNames {
    std::string info;
    std::string models;
    std::string music;
    std::string sounds;
    std::string textures;
    std::string events;
};

LevelFileNames FileNamesFor(const std::string& levelName);

// The engine's name for a host path: full, Windows-style.
std::string EnginePath(const std::filesystem::path& path);

// A file handle of the engine's file layer, closed when it goes.
class EngineFile {
public:
    // Opens an existing file for reading, or creates (and empties) one for writing.
    EngineFile(const std::filesystem::path& path, bool write);
    ~EngineFile();
    EngineFile(const EngineFile&) = delete;
    EngineFile& operator=(const EngineFile&) = delete;

    bool IsOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Handle() const { return m_handle; }

private:
    HANDLE m_handle;
};

} // namespace lvltool
