// Element tables: arbitrary bytes loaded as each of the four table types, made full and
// then relative again. A failed load must count nothing and hold no array; a loaded table's
// path fields must all stay terminated inside their fields.

#include "fuzzkit/input_file.h"

#include "engine/element_table.h"
#include "support/memory.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLevelDirectory = "c:\\games\\level\\";

template <class Record> void CheckPathsTerminated(const Record& record) {
    const auto* bytes = reinterpret_cast<const char*>(&record);
    for (const PATH_FIELD& field : ElementTableTraits<Record>::kPathFields) {
        if (std::memchr(bytes + field.offset, '\0', field.size) == nullptr) {
            std::abort();
        }
    }
}

template <class Record> void LoadAs(const char* path) {
    ELEMENT_TABLE_HEADER header = {};
    Record* array = nullptr;
    if (LoadElementTable(path, header, array, ElementTableTraits<Record>::kTableId,
                         kLevelDirectory) != 1) {
        if (header.dwCount != 0 || array != nullptr) {
            std::abort();
        }
        return;
    }
    for (DWORD i = 0; i < header.dwCount; ++i) {
        CheckPathsTerminated(array[i]);
        ConvertRecordPaths(array[i], kLevelDirectory, PATH_MAKE_RELATIVE);
        CheckPathsTerminated(array[i]);
    }
    CMemory::Deallocate(array);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    fuzzkit::InputFile input(data, size);
    const char* path = input.EnginePath().c_str();
    LoadAs<MODEL_INFO>(path);
    LoadAs<MUSIC_INFO>(path);
    LoadAs<SOUND_INFO>(path);
    LoadAs<TEXTURE_INFO>(path);
    return 0;
}
