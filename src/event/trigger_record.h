#pragma once

// The trigger record: what entity to create (model, spawn position, create block) and when
// (at a physics time, or when the player comes near a point). Its file image is 80 bytes of
// little-endian 32-bit fields; in memory the create block is a real pointer, so the record
// goes through files field by field (docs/formats/event-section.md).

#include "math/vector.h"
#include "platform/types.h"

#include <cstddef>

class CFileReader;
class CFileWriter;

// dwType values.
constexpr DWORD kTriggerAbsolute = 0;         // fires at a physics time, may repeat
constexpr DWORD kTriggerProximityDelayed = 1; // armed near the player, fires after fDelay
constexpr DWORD kTriggerProximity = 2;        // as 1, but fires at once when fDelay is 0.0
constexpr DWORD kTriggerProximityAlt = 3;     // behaves exactly as 2

struct tagGAME_TRIGGER {
    DWORD dwType;
    DWORD dwEntityId; // 0: the spawned entity keeps the identifier the registry gave it
    D3DVECTOR vPosition;
    D3DVECTOR vSpawnOffset; // added to vPosition for the spawned entity's world position
    DWORD dwReserved0;      // carried unchanged, never interpreted
    BOOL bRepeat;
    BOOL bPending; // run-time: armed, referenced from the pending list
    BOOL bUseRadius;
    BOOL bExpired; // run-time: fired and not repeating; removed on the next quadrant walk
    DWORD dwModelIndex;
    DWORD dwReserved1; // carried unchanged, never interpreted
    float fRadius;
    float fDelay;    // seconds
    float fFireTime; // run-time: physics time in seconds at or after which it fires
    DWORD dwCreateBlockSize;
    void* pCreateBlock; // dwCreateBlockSize bytes owned by the trigger, or null
};

// The 32-bit fields keep their file offsets in memory; only the pointer differs in width.
static_assert(offsetof(tagGAME_TRIGGER, vPosition) == 8);
static_assert(offsetof(tagGAME_TRIGGER, vSpawnOffset) == 20);
static_assert(offsetof(tagGAME_TRIGGER, dwReserved0) == 32);
static_assert(offsetof(tagGAME_TRIGGER, bPending) == 40);
static_assert(offsetof(tagGAME_TRIGGER, dwModelIndex) == 52);
static_assert(offsetof(tagGAME_TRIGGER, fRadius) == 60);
static_assert(offsetof(tagGAME_TRIGGER, fFireTime) == 68);
static_assert(offsetof(tagGAME_TRIGGER, dwCreateBlockSize) == 72);
static_assert(offsetof(tagGAME_TRIGGER, pCreateBlock) >= 76);

// Bytes of a trigger record in a file.
constexpr DWORD kTriggerImageSize = 80;

// Writes the record's 80-byte image in one transfer. The create block pointer is written as
// zero: a pointer means nothing in a file.
bool WriteTriggerRecord(CFileWriter& writer, const tagGAME_TRIGGER& trigger);

// Reads an 80-byte image in one transfer. The pointer field of the file is ignored and
// pCreateBlock set to null; the caller attaches the create block that follows the record.
// On failure trigger is left as it was.
bool ReadTriggerRecord(CFileReader& reader, tagGAME_TRIGGER& trigger);
