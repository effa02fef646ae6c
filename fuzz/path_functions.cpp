// Runs the path functions on arbitrary base and path strings in buffers of the contracted
// size. The input is split at its first line feed: base before it, path after it.
#include "platform/os/debug_output.h"
#include "support/path_utils.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

struct Buffer {
    char text[kPathBufferSize];

    explicit Buffer(std::string_view from) {
        std::size_t length = from.size() < sizeof text ? from.size() : sizeof text - 1;
        std::memcpy(text, from.data(), length);
        text[length] = '\0';
    }
};

// A success must leave a terminated string that fits the buffer.
void Check(int result, const Buffer& buffer) {
    if (result == 0 && strnlen(buffer.text, sizeof buffer.text) == sizeof buffer.text) {
        __builtin_trap();
    }
}

} // namespace

// Refused paths are reported on the debugger output; that is expected here, so keep it quiet.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetDebugOutputSink({[](const char*, void*) {}, nullptr});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\n');
    std::string_view base = input.substr(0, split);
    std::string_view path = split == std::string_view::npos ? "" : input.substr(split + 1);

    Buffer directory("");
    int result = MakeBaseDirectory(directory.text, Buffer(path).text);
    Check(result, directory);
    if (result == 0 && directory.text[std::strlen(directory.text) - 1] != '\\') {
        __builtin_trap(); // a base directory always ends in a separator
    }

    Buffer full(path);
    Check(MakeFullPath(Buffer(base).text, full.text), full);
    Buffer relative(path);
    Check(MakeRelativePath(Buffer(base).text, relative.text), relative);
    return 0;
}
