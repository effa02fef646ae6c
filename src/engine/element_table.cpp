#include "engine/element_table.h"

#include "engine/debug_log.h"
#include "engine/render.h"
#include "model/accounted.h"
#include "model/model.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "scene/texture.h"
#include "support/binary_file.h"
#include "support/memory.h"
#include "support/path_utils.h"

#include <cstring>
#include <type_traits>

namespace {

template <class T> void FreeAndClear(T*& pointer) {
    if (pointer != nullptr) {
        CMemory::Deallocate(pointer);
        pointer = nullptr;
    }
}

// The path functions work on buffers of kPathBufferSize, so each field is converted in one.
void ConvertPathField(char* field, std::size_t size, const char* directory,
                      PATH_DIRECTION direction) {
    // A path that fills its field is cut, so that every consumer finds a string.
    field[size - 1] = '\0';
    std::size_t length = std::strlen(field);
    if (length >= kPathBufferSize) {
        return;
    }
    char path[kPathBufferSize];
    std::memcpy(path, field, length + 1);
    if (direction == PATH_MAKE_FULL) {
        MakeFullPath(directory, path);
    } else {
        MakeRelativePath(directory, path);
    }
    std::size_t converted = std::strlen(path);
    if (converted < size) {
        std::memcpy(field, path, converted + 1);
    }
}

// Reads the header and the records from the open file. On failure the count is 0 and the
// array null.
template <class Record>
int ReadElementTable(CFileReader& reader, ELEMENT_TABLE_HEADER& header, Record*& array,
                     DWORD expectedId) {
    if (!ReadElements(reader, &header, 1)) {
        DebugLog("VelEng::LoadElementTable() Failed to read header!");
        header.dwCount = 0;
        return 0;
    }
    if (header.dwTableId != expectedId) {
        DebugLog("VelEng::LoadElementTable() Header ID check failed. Expected %08X got %08X",
                 expectedId, header.dwTableId);
        header.dwCount = 0;
        return 0;
    }
    int count = static_cast<int>(header.dwCount);
    // Records the rest of the file cannot hold could never be read: refused before
    // allocating. Once they fit, their byte count fits in 32 bits like the file size.
    if (!reader.CanHold(header.dwCount, sizeof(Record))) {
        DebugLog("VelEng::ReadElementTable() Failed reading %d items from table!", count);
        header.dwCount = 0;
        return 0;
    }
    array = static_cast<Record*>(
        CMemory::Allocate(static_cast<DWORD>(header.dwCount * sizeof(Record)), 0));
    if (array == nullptr) {
        DebugLog("VelEng::ReadElementTable() Memory allocation failed for %d items!", count);
        header.dwCount = 0;
        return 0;
    }
    if (!ReadElements(reader, array, header.dwCount)) {
        DebugLog("VelEng::ReadElementTable() Failed reading %d items from table!", count);
        header.dwCount = 0;
        FreeAndClear(array);
        return 0;
    }
    return 1;
}

void ReleaseLevelTextures() {
    ForgetCurrentMaterialAndTexture();
    for (DWORD i = 0; g_level.ppTextureObjects != nullptr && i < g_level.dwTextureObjectCount;
         ++i) {
        DeleteAccounted(g_level.ppTextureObjects[i]);
    }
    FreeAndClear(g_level.ppTextureObjects);
}

} // namespace

template <class Record> int ReadElements(CFileReader& reader, Record* destination, DWORD count) {
    static_assert(std::is_trivially_copyable_v<Record>);
    if (!reader.Require(count, sizeof(Record)) ||
        !reader.Read(destination, static_cast<DWORD>(count * sizeof(Record)))) {
        DebugLog("ReadElements() Error reading! Error=%d\n", static_cast<int>(GetLastError()));
        return 0;
    }
    return 1;
}

template <class Record>
void ConvertRecordPaths(Record& record, const char* directory, PATH_DIRECTION direction) {
    auto* bytes = reinterpret_cast<char*>(&record);
    for (const PATH_FIELD& field : ElementTableTraits<Record>::kPathFields) {
        ConvertPathField(bytes + field.offset, field.size, directory, direction);
    }
}

template <class Record>
int LoadElementTable(const char* path, ELEMENT_TABLE_HEADER& header, Record*& array,
                     DWORD expectedId, const char* directory) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("VelEng::LoadElementTable() Failed to open '%s'", path);
        header.dwCount = 0;
        return 0;
    }
    FreeAndClear(array);
    CFileReader reader(file);
    int result = ReadElementTable(reader, header, array, expectedId);
    if (result) {
        for (DWORD i = 0; i < header.dwCount; ++i) {
            ConvertRecordPaths(array[i], directory, PATH_MAKE_FULL);
        }
    }
    CloseHandle(file);
    return result;
}

// The record types of a level file.
template int ReadElements(CFileReader&, LEVEL_INFO*, DWORD);
template void ConvertRecordPaths(LEVEL_INFO&, const char*, PATH_DIRECTION);
template int ReadElements(CFileReader&, ELEMENT_TABLE_HEADER*, DWORD);

#define VELCORE_ELEMENT_TABLE(Record)                                                              \
    template int ReadElements(CFileReader&, Record*, DWORD);                                       \
    template void ConvertRecordPaths(Record&, const char*, PATH_DIRECTION);                        \
    template int LoadElementTable(const char*, ELEMENT_TABLE_HEADER&, Record*&, DWORD, const char*);

VELCORE_ELEMENT_TABLE(MODEL_INFO)
VELCORE_ELEMENT_TABLE(MUSIC_INFO)
VELCORE_ELEMENT_TABLE(SOUND_INFO)
VELCORE_ELEMENT_TABLE(TEXTURE_INFO)

#undef VELCORE_ELEMENT_TABLE

// Each loaded model is destroyed before the slot array goes.
void ReleaseLevelModels() {
    // The render tick compares material pointers; a new model could reuse a freed address.
    ForgetCurrentMaterialAndTexture();
    FreeAndClear(g_level.pModelMap);
    for (DWORD i = 0; g_level.pp3DModels != nullptr && i < g_level.dw3DModelCount; ++i) {
        DeleteAccounted(g_level.pp3DModels[i]);
    }
    FreeAndClear(g_level.pp3DModels);
    g_level.dw3DModelCount = 0;
}

void ReleaseLevelTables() {
    g_level.info = {};
    FreeAndClear(g_level.pModels);
    FreeAndClear(g_level.pMusic);
    FreeAndClear(g_level.pTextures);
    FreeAndClear(g_level.pSounds);
    FreeAndClear(g_level.pszMissionText);
    ReleaseLevelModels();
    ReleaseLevelTextures();
    g_level.modelHeader.dwCount = 0;
    g_level.soundHeader.dwCount = 0;
    g_level.musicHeader.dwCount = 0;
    g_level.textureHeader.dwCount = 0;
    g_level.dwTextureObjectCount = 0;
}
