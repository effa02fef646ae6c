#pragma once

// Element tables: a 16-byte header and an array of fixed-size records (models, music, sounds,
// textures), loaded the same way for every record type. Also the level's table state, which
// the level reset releases.

#include "engine/level_records.h"
#include "platform/types.h"

#include <array>
#include <cstddef>

class CFileReader;
class C3DModel;
class CTexture;

// A NUL-terminated path inside a record.
struct PATH_FIELD {
    std::size_t offset;
    std::size_t size;
};

// What distinguishes one element table from another: its id and the path fields of its
// record.
template <class Record> struct ElementTableTraits;

template <> struct ElementTableTraits<MODEL_INFO> {
    static constexpr DWORD kTableId = kModelTableId;
    static constexpr std::array<PATH_FIELD, 4> kPathFields = {{
        {offsetof(MODEL_INFO, szModelFile), sizeof MODEL_INFO::szModelFile},
        {offsetof(MODEL_INFO, szModulePath), sizeof MODEL_INFO::szModulePath},
        {offsetof(MODEL_INFO, szSecondPath), sizeof MODEL_INFO::szSecondPath},
        {offsetof(MODEL_INFO, szFurtherPath), sizeof MODEL_INFO::szFurtherPath},
    }};
};

template <> struct ElementTableTraits<MUSIC_INFO> {
    static constexpr DWORD kTableId = kMusicTableId;
    static constexpr std::array<PATH_FIELD, 2> kPathFields = {{
        {offsetof(MUSIC_INFO, szFirstFile), sizeof MUSIC_INFO::szFirstFile},
        {offsetof(MUSIC_INFO, szSecondFile), sizeof MUSIC_INFO::szSecondFile},
    }};
};

template <> struct ElementTableTraits<SOUND_INFO> {
    static constexpr DWORD kTableId = kSoundTableId;
    static constexpr std::array<PATH_FIELD, 1> kPathFields = {{
        {offsetof(SOUND_INFO, szSoundFile), sizeof SOUND_INFO::szSoundFile},
    }};
};

template <> struct ElementTableTraits<TEXTURE_INFO> {
    static constexpr DWORD kTableId = kTextureTableId;
    static constexpr std::array<PATH_FIELD, 1> kPathFields = {{
        {offsetof(TEXTURE_INFO, szTextureFile), sizeof TEXTURE_INFO::szTextureFile},
    }};
};

// The level info record is no table, but its six paths are converted like the records'.
template <> struct ElementTableTraits<LEVEL_INFO> {
    static constexpr std::array<PATH_FIELD, 6> kPathFields = {{
        {offsetof(LEVEL_INFO, szFirstPath), kLevelPathSize},
        {offsetof(LEVEL_INFO, szSoundTable), kLevelPathSize},
        {offsetof(LEVEL_INFO, szModelTable), kLevelPathSize},
        {offsetof(LEVEL_INFO, szMusicTable), kLevelPathSize},
        {offsetof(LEVEL_INFO, szTextureTable), kLevelPathSize},
        {offsetof(LEVEL_INFO, szEventTable), kLevelPathSize},
    }};
};

// Reads count raw records. 1 when all arrived; otherwise 0 with "ReadElements() Error
// reading! Error=%d" and the last error. Serves every record read raw from a level file:
// the element records, ELEMENT_TABLE_HEADER and LEVEL_INFO.
template <class Record> int ReadElements(CFileReader& reader, Record* destination, DWORD count);

// Loads the table file at path: frees the old array (once the file is open), reads the
// header, checks its id against expectedId, reads header.dwCount records into a new array
// from CMemory and makes their paths full against directory. Returns 1, or 0 with a message
// and header.dwCount 0 (array then null, or left as it was when the file did not open). A
// count whose records the rest of the file cannot hold is refused before anything is
// allocated.
template <class Record>
int LoadElementTable(const char* path, ELEMENT_TABLE_HEADER& header, Record*& array,
                     DWORD expectedId, const char* directory);

enum PATH_DIRECTION {
    PATH_MAKE_RELATIVE = 0,
    PATH_MAKE_FULL = 1,
};

// Converts every path field of the record against directory (MakeFullPath or
// MakeRelativePath). Every path field ends up NUL-terminated: one that fills its whole field
// loses its last character. A result that does not fit its field, and a path too long for
// the path functions' buffers, leave the field as it was.
template <class Record>
void ConvertRecordPaths(Record& record, const char* directory, PATH_DIRECTION direction);

// Everything a loaded level keeps of its level info file and tables. The headers hold the
// four record counts; every array is null while its count is 0.
struct LEVEL_TABLES {
    LEVEL_INFO info = {};
    ELEMENT_TABLE_HEADER modelHeader = {};
    ELEMENT_TABLE_HEADER musicHeader = {};
    ELEMENT_TABLE_HEADER soundHeader = {};
    ELEMENT_TABLE_HEADER textureHeader = {};
    MODEL_INFO* pModels = nullptr;
    MUSIC_INFO* pMusic = nullptr;
    SOUND_INFO* pSounds = nullptr;
    TEXTURE_INFO* pTextures = nullptr;
    // One slot per model record, filled by model loading; a record that shares another's
    // model file leaves its slot null. Each model is created with NewAccounted and destroyed by
    // ReleaseLevelTables.
    C3DModel** pp3DModels = nullptr;
    DWORD dw3DModelCount = 0;
    // For each model record, the slot of the 3D model it uses.
    DWORD* pModelMap = nullptr;
    // One texture per texture record, filled by texture loading; null until it exists.
    CTexture** ppTextureObjects = nullptr;
    DWORD dwTextureObjectCount = 0;
    // NUL-terminated mission text, or null.
    char* pszMissionText = nullptr;
};

extern LEVEL_TABLES g_level;

// Frees the tables, the model map and the mission text, destroys the loaded 3D models and
// frees the slot arrays, zeroes every count and fills the level info record with zeros.
void ReleaseLevelTables();
