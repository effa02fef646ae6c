#include "fuzzkit/input_file.h"

#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/path.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace fuzzkit {
namespace {

const std::string& HostPath() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("velcore-fuzz-" + std::to_string(::getpid()) + ".bin"))
                                        .string();
    return path;
}

} // namespace

InputFile::InputFile(const std::uint8_t* data, std::size_t size) {
    if (FILE* out = std::fopen(HostPath().c_str(), "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    m_handle = CreateFileA(EnginePath().c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

InputFile::~InputFile() {
    if (m_handle != INVALID_HANDLE_VALUE) {
        CloseHandle(m_handle);
    }
}

const std::string& InputFile::EnginePath() const {
    static const std::string path = platform::HostToWindowsPath(HostPath());
    return path;
}

void SilenceDebugOutput() {
    SetDebugOutputSink({[](const char*, void*) {}, nullptr});
}

} // namespace fuzzkit
