#include "entity/entity.h"

#include "engine/debug_log.h"
#include "engine/registry.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"

#include <cstddef>
#include <cstring>

namespace {

// The fixed part of an entity in a saved game, written and read in one piece.
struct ENTITY_RECORD {
    DWORD dwRecordSize;
    MODEL_INFO model;
    DWORD dwID;
    D3DMATRIX mLocalRotation;
    DWORD dwUserData0;
    DWORD dwUserData1;
    LONG nUserData2;
    D3DVECTOR vScale;
    DWORD dwModelIndex;
    DWORD dwLocalDataSize;
    D3DVECTOR vOffsetPosition;
    D3DMATRIX mFrameRotation;
    D3DVECTOR vWorldPosition;
    float fMaxScale;
};

static_assert(sizeof(ENTITY_RECORD) == kEntityRecordSize);
static_assert(offsetof(ENTITY_RECORD, model) == 4);
static_assert(offsetof(ENTITY_RECORD, dwID) == 2440);
static_assert(offsetof(ENTITY_RECORD, mLocalRotation) == 2444);
static_assert(offsetof(ENTITY_RECORD, dwUserData0) == 2508);
static_assert(offsetof(ENTITY_RECORD, dwUserData1) == 2512);
static_assert(offsetof(ENTITY_RECORD, nUserData2) == 2516);
static_assert(offsetof(ENTITY_RECORD, vScale) == 2520);
static_assert(offsetof(ENTITY_RECORD, dwModelIndex) == 2532);
static_assert(offsetof(ENTITY_RECORD, dwLocalDataSize) == 2536);
static_assert(offsetof(ENTITY_RECORD, vOffsetPosition) == 2540);
static_assert(offsetof(ENTITY_RECORD, mFrameRotation) == 2552);
static_assert(offsetof(ENTITY_RECORD, vWorldPosition) == 2616);
static_assert(offsetof(ENTITY_RECORD, fMaxScale) == 2628);

int LastError() {
    return static_cast<int>(GetLastError());
}

} // namespace

int CBaseEntity::Save(void* file) {
    if (!PersistenceHelper(file, 1)) {
        return 0;
    }
    CFileWriter writer(file);
    if (m_dwLocalDataSize != 0 && !writer.Write(m_pLocalData, m_dwLocalDataSize)) {
        DebugLog("CBaseEntity::Save() Error writing local buffer to file. Last Error=%d",
                 LastError());
        return 0;
    }
    DWORD count = m_Children.GetCount();
    if (!writer.WriteU32(count)) {
        DebugLog("CBaseEntity::Save() Error writing count of child entities to file. Last "
                 "Error=%d",
                 LastError());
        return 0;
    }
    for (DWORD i = 0; i < count; ++i) {
        LISTPOS position = m_Children.FindIndex(i);
        if (position == nullptr || !m_Children.GetAt(position)->Save(file)) {
            DebugLog("CBaseEntity::Save() Error writing child number %d. Last Error=%d",
                     static_cast<int>(i), LastError());
            return 0;
        }
    }
    return 1;
}

int CBaseEntity::Load(void* file) {
    if (!PersistenceHelper(file, 0)) {
        return 0;
    }
    CFileReader reader(file);
    if (m_dwLocalDataSize != 0) {
        // A size the file cannot hold is a cut-short file: refused before allocating for it.
        if (!reader.Require(m_dwLocalDataSize, 1)) {
            DebugLog("CBaseEntity::Load() Error reading local buffer from file. Last Error=%d",
                     LastError());
            return 0;
        }
        if (!AllocateLocalData(m_dwLocalDataSize)) {
            DebugLog("CBaseEntity::Load() Failed to allocate local buffer!");
            return 0;
        }
        if (!reader.Read(m_pLocalData, m_dwLocalDataSize)) {
            DebugLog("CBaseEntity::Load() Error reading local buffer from file. Last Error=%d",
                     LastError());
            return 0;
        }
    }
    DWORD count = 0;
    if (!reader.ReadU32(count)) {
        DebugLog("CBaseEntity::Load() Error reading count of child entities from file. Last "
                 "Error=%d",
                 LastError());
        return 0;
    }
    if (!CanHoldChildren(reader, count)) {
        return 0;
    }
    for (DWORD i = 0; i < count; ++i) {
        CBaseEntity* child = SpawnListedEntity(this);
        if (child == nullptr) {
            DebugLog("CBaseEntity::Load() Error spawning child number %d. Last Error=%d",
                     static_cast<int>(i), LastError());
            return 0;
        }
        if (!child->Load(file)) {
            DebugLog("CBaseEntity::Load() Error loading child number %d!", static_cast<int>(i));
            return 0;
        }
    }
    return 1;
}

// Children deeper than the limit, or more of them than the rest of the file can hold, are
// refused before any is spawned.
bool CBaseEntity::CanHoldChildren(CFileReader& reader, DWORD count) const {
    if (count == 0) {
        return true;
    }
    if (TreeDepth() >= kMaxEntityTreeDepth) {
        DebugLog("CBaseEntity::Load() Entity tree deeper than %u levels refused!",
                 static_cast<unsigned>(kMaxEntityTreeDepth));
        return false;
    }
    if (!reader.CanHold(count, kSmallestEntityImage)) {
        DebugLog("CBaseEntity::Load() %u children cannot fit in the %llu bytes left!",
                 static_cast<unsigned>(count), static_cast<unsigned long long>(reader.Remaining()));
        return false;
    }
    return true;
}

DWORD CBaseEntity::TreeDepth() const {
    DWORD depth = 1;
    for (const CBaseEntity* parent = m_pParent; parent != nullptr; parent = parent->m_pParent) {
        ++depth;
    }
    return depth;
}

int CBaseEntity::PersistenceHelper(void* file, int save) {
    ENTITY_RECORD record;
    std::memset(&record, 0, sizeof record);
    if (save) {
        record.dwRecordSize = kEntityRecordSize;
        record.model = m_Model;
        record.dwID = m_dwID;
        record.mLocalRotation = m_mLocalRotation;
        record.dwUserData0 = m_dwUserData0;
        record.dwUserData1 = m_dwUserData1;
        record.nUserData2 = m_nUserData2;
        record.vScale = m_vScale;
        record.dwModelIndex = m_dwModelIndex;
        record.dwLocalDataSize = m_dwLocalDataSize;
        record.vOffsetPosition = m_vOffsetPosition;
        record.mFrameRotation = m_mFrameRotation;
        record.vWorldPosition = m_vWorldPosition;
        record.fMaxScale = m_fMaxScale;
        CFileWriter writer(file);
        if (!writer.WriteRecord(record)) {
            DebugLog("CBaseEntity::PersistenceHelper() Save failed. Last Error=%d", LastError());
            return 0;
        }
        return 1;
    }
    CFileReader reader(file);
    if (!reader.ReadRecord(record)) {
        DebugLog("CBaseEntity::PersistenceHelper() Load failed. Last Error=%d", LastError());
        return 0;
    }
    if (record.dwRecordSize != kEntityRecordSize) {
        DebugLog("CBaseEntity::PersistenceHelper() Structure size mismatch on load. Expected %d, "
                 "got %d.",
                 static_cast<int>(kEntityRecordSize), static_cast<int>(record.dwRecordSize));
        return 0;
    }
    if (m_pLocalData != nullptr) {
        DebugLog("CBaseEntity::PersistenceHelper() Local buffer was allocated. This will cause "
                 "leaks!!");
    }
    m_Model = record.model;
    m_dwID = record.dwID;
    m_mLocalRotation = record.mLocalRotation;
    m_dwUserData0 = record.dwUserData0;
    m_dwUserData1 = record.dwUserData1;
    m_nUserData2 = record.nUserData2;
    m_vScale = record.vScale;
    m_dwModelIndex = record.dwModelIndex;
    m_dwLocalDataSize = record.dwLocalDataSize;
    m_vOffsetPosition = record.vOffsetPosition;
    m_mFrameRotation = record.mFrameRotation;
    m_vWorldPosition = record.vWorldPosition;
    m_fMaxScale = record.fMaxScale;
    return 1;
}
