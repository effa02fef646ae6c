#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testkit {

// A fresh directory under the system temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    // Host path of a file inside the directory.
    std::string HostPath(const std::string& name) const;
    // The same file as the engine names it (c:\...).
    std::string EnginePath(const std::string& name) const;

    void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    std::vector<std::uint8_t> ReadFile(const std::string& name) const;

private:
    std::filesystem::path m_path;
};

} // namespace testkit
