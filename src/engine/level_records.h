#pragma once

// The fixed-layout records of a level: the level info record and the element-table header
// and records. All are read and written raw, byte for byte, little-endian. Bytes the engine
// does not interpret are kept in reserved arrays so that a record copied or saved keeps them.

#include "math/vector.h"
#include "platform/types.h"

#include <cstddef>
#include <type_traits>

constexpr DWORD kLevelInfoMagic = 0x1A464C56;    // "VLF" and 0x1A
constexpr DWORD kModelTableId = 0x1A464C4D;      // "MLF" and 0x1A
constexpr DWORD kMusicTableId = 0x1A464C54;      // "TLF" and 0x1A
constexpr DWORD kSoundTableId = 0x1A464C53;      // "SLF" and 0x1A
constexpr DWORD kTextureTableId = 0x1A464C42;    // "BLF" and 0x1A
constexpr DWORD kNoTextureOverride = 0xFFFFFFFF; // MODEL_INFO::dwTextureOverride: none

constexpr int kLevelPathSize = 128;

// The start of a level info file.
struct LEVEL_INFO {
    DWORD dwMagic;
    DWORD dwReserved0;
    // Made full at load; not otherwise used by the engine.
    char szFirstPath[kLevelPathSize];
    char szSoundTable[kLevelPathSize];
    char szModelTable[kLevelPathSize];
    char szMusicTable[kLevelPathSize];
    char szTextureTable[kLevelPathSize];
    char szEventTable[kLevelPathSize];
    DWORD dwReserved1;
    // Seed for the level's random generator.
    float fSeed;
    // Edge length of the cubic world.
    float fWorldSize;
    // Exactly 1: coordinates outside the world wrap around it.
    DWORD dwWrap;
    // Bytes to pass over after this record.
    DWORD dwSkip;
    // Non-zero: a script code block follows.
    DWORD dwHasCode;
    // Bytes of mission text after the code (0: none).
    DWORD dwTextLength;
    BYTE reserved[128];
};

// The 16 bytes in front of every element table.
struct ELEMENT_TABLE_HEADER {
    DWORD dwTableId;
    DWORD dwReserved0;
    // Number of records that follow.
    DWORD dwCount;
    DWORD dwReserved1;
};

// One of the sixteen items of a model record; the engine reads none of it.
struct MODEL_ITEM {
    DWORD dwReserved0;
    D3DVECTOR vFirst;
    D3DVECTOR vSecond;
    BYTE reserved[28];
};

// One kind of entity: its names, files, behaviour module, scale and the vectors the engine
// reads. Every entity keeps its own copy.
struct MODEL_INFO {
    char szTypeName[32];
    // The model file; made full at load.
    char szModelFile[128];
    // Prefix of the behaviour module's entry-point names.
    char szPrefix[32];
    // The behaviour module library; made full at load.
    char szModulePath[136];
    // Made full at load; not otherwise used by the engine.
    char szSecondPath[128];
    // Index of the texture every frame uses, or kNoTextureOverride.
    DWORD dwTextureOverride;
    MODEL_ITEM items[16];
    BYTE reserved0[4];
    BOOL bUniformScale;
    float fUniformScale;
    D3DVECTOR vScale;
    BYTE reserved1[4];
    // Camera up vector while an entity of this model owns the camera.
    D3DVECTOR vCameraUp;
    BYTE reserved2[12];
    // Added to every frame's bounding-sphere centre.
    D3DVECTOR vSphereOffset;
    BYTE reserved3[368];
    // Made full at load; not otherwise used by the engine. The layout bounds this path only
    // by the end of the record, so the field runs to it.
    char szFurtherPath[648];
};

struct TEXTURE_INFO {
    BYTE reserved[32];
    // The texture file, made full at load; also the name that materials are bound by.
    char szTextureFile[140];
    DWORD dwMipMapCount;
    DWORD dwTextureStage;
    // 1 or 2 select the texture's transparency flag 1 or 2; other values neither.
    DWORD dwKind;
    // Non-zero: the texture asks for 32-bit formats (load flag 4).
    DWORD dwPrefer32Bit;
};

// The sound and music records name their files only; the engine loads the tables and reports
// their counts. A path whose end the layout does not fix runs to the end of its record.
struct SOUND_INFO {
    BYTE reserved[32];
    // Made full at load.
    char szSoundFile[136];
};

struct MUSIC_INFO {
    BYTE reserved[32];
    // Both made full at load.
    char szFirstFile[128];
    char szSecondFile[132];
};

static_assert(sizeof(LEVEL_INFO) == 932);
static_assert(offsetof(LEVEL_INFO, szFirstPath) == 8);
static_assert(offsetof(LEVEL_INFO, szSoundTable) == 136);
static_assert(offsetof(LEVEL_INFO, szModelTable) == 264);
static_assert(offsetof(LEVEL_INFO, szMusicTable) == 392);
static_assert(offsetof(LEVEL_INFO, szTextureTable) == 520);
static_assert(offsetof(LEVEL_INFO, szEventTable) == 648);
static_assert(offsetof(LEVEL_INFO, fSeed) == 780);
static_assert(offsetof(LEVEL_INFO, fWorldSize) == 784);
static_assert(offsetof(LEVEL_INFO, dwWrap) == 788);
static_assert(offsetof(LEVEL_INFO, dwSkip) == 792);
static_assert(offsetof(LEVEL_INFO, dwHasCode) == 796);
static_assert(offsetof(LEVEL_INFO, dwTextLength) == 800);
static_assert(offsetof(LEVEL_INFO, reserved) == 804);

static_assert(sizeof(ELEMENT_TABLE_HEADER) == 16);
static_assert(offsetof(ELEMENT_TABLE_HEADER, dwCount) == 8);

static_assert(sizeof(MODEL_ITEM) == 56);
static_assert(offsetof(MODEL_ITEM, vFirst) == 4);
static_assert(offsetof(MODEL_ITEM, vSecond) == 16);

static_assert(sizeof(MODEL_INFO) == 2436);
static_assert(offsetof(MODEL_INFO, szModelFile) == 32);
static_assert(offsetof(MODEL_INFO, szPrefix) == 160);
static_assert(offsetof(MODEL_INFO, szModulePath) == 192);
static_assert(offsetof(MODEL_INFO, szSecondPath) == 328);
static_assert(offsetof(MODEL_INFO, dwTextureOverride) == 456);
static_assert(offsetof(MODEL_INFO, items) == 460);
static_assert(offsetof(MODEL_INFO, bUniformScale) == 1360);
static_assert(offsetof(MODEL_INFO, fUniformScale) == 1364);
static_assert(offsetof(MODEL_INFO, vScale) == 1368);
static_assert(offsetof(MODEL_INFO, vCameraUp) == 1384);
static_assert(offsetof(MODEL_INFO, vSphereOffset) == 1408);
static_assert(offsetof(MODEL_INFO, szFurtherPath) == 1788);

static_assert(sizeof(TEXTURE_INFO) == 188);
static_assert(offsetof(TEXTURE_INFO, szTextureFile) == 32);
static_assert(offsetof(TEXTURE_INFO, dwMipMapCount) == 172);
static_assert(offsetof(TEXTURE_INFO, dwTextureStage) == 176);
static_assert(offsetof(TEXTURE_INFO, dwKind) == 180);
static_assert(offsetof(TEXTURE_INFO, dwPrefer32Bit) == 184);

static_assert(sizeof(SOUND_INFO) == 168);
static_assert(offsetof(SOUND_INFO, szSoundFile) == 32);

static_assert(sizeof(MUSIC_INFO) == 292);
static_assert(offsetof(MUSIC_INFO, szFirstFile) == 32);
static_assert(offsetof(MUSIC_INFO, szSecondFile) == 160);

static_assert(std::is_trivially_copyable_v<LEVEL_INFO> && std::is_trivially_copyable_v<MODEL_INFO>);
