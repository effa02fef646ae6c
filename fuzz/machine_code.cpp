// Script code blocks: a size-prefixed load and a whole-file load of arbitrary bytes; a deep
// copy of whatever loaded must hold the same bytes.

#include "fuzzkit/input_file.h"

#include "platform/os/file.h"
#include "support/machine_code.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    fuzzkit::InputFile input(data, size);
    CAbstractMachineCode raw;
    if (raw.LoadRaw(input.EnginePath().c_str()) == 1 && raw.GetAMXBufferSize() != size) {
        std::abort();
    }
    CAbstractMachineCode code;
    if (code.Load(input.Handle()) != 1) {
        return 0;
    }
    CAbstractMachineCode copy;
    copy = code;
    if (copy.GetAMXBufferSize() != code.GetAMXBufferSize() ||
        (code.GetAMXBufferSize() != 0 &&
         std::memcmp(copy.GetAMXBuffer(), code.GetAMXBuffer(), code.GetAMXBufferSize()) != 0)) {
        std::abort();
    }
    return 0;
}
