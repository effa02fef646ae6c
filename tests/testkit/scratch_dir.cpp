#include "testkit/scratch_dir.h"

#include "platform/os/path.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace testkit {

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    m_path = std::filesystem::temp_directory_path() /
             ("velcore-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(m_path);
    std::filesystem::create_directories(m_path);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ScratchDir::HostPath(const std::string& name) const {
    return (m_path / name).string();
}

std::string ScratchDir::EnginePath(const std::string& name) const {
    return platform::HostToWindowsPath(HostPath(name));
}

void ScratchDir::WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    std::filesystem::create_directories((m_path / name).parent_path());
    std::ofstream out(m_path / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + HostPath(name));
    }
}

std::vector<std::uint8_t> ScratchDir::ReadFile(const std::string& name) const {
    std::ifstream in(m_path / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace testkit
