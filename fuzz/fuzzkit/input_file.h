#pragma once

#include "platform/types.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzzkit {

// The engine's readers take file handles: each input is written to one scratch file per
// process and opened for reading.
class InputFile {
public:
    InputFile(const std::uint8_t* data, std::size_t size);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    HANDLE Handle() const { return m_handle; }
    // The file as the engine names it (c:\...).
    const std::string& EnginePath() const;

private:
    HANDLE m_handle;
};

// Silences the debug output for the whole run: readers log every refusal.
void SilenceDebugOutput();

} // namespace fuzzkit
