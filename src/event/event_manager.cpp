#include "event/event_manager.h"

#include "engine/debug_log.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"
#include "support/memory.h"

#include <cerrno>
#include <cstring>

namespace {

// Nodes each of the manager's lists obtains per pool block.
constexpr DWORD kEventListBlockSize = 10;

// Live managers, class-wide.
int s_liveManagers = 0;

int LastErrorCode() {
    return static_cast<int>(GetLastError());
}

void ReleaseCreateBlock(tagGAME_TRIGGER& trigger) {
    if (trigger.pCreateBlock != nullptr) {
        CMemory::Deallocate(trigger.pCreateBlock);
        trigger.pCreateBlock = nullptr;
    }
    trigger.dwCreateBlockSize = 0;
}

void ReleaseAllTriggers(CLinkedList<tagGAME_TRIGGER>& list) {
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
        ReleaseCreateBlock(list.GetNext(position));
    }
    list.RemoveAll();
}

// Reads the create block that follows a record into a new allocation. A size the file cannot
// hold fails as an unreadable block before anything is allocated. 0, or the load code.
int ReadCreateBlock(CFileReader& reader, tagGAME_TRIGGER& trigger) {
    const DWORD size = trigger.dwCreateBlockSize;
    if (reader.Require(size, 1)) {
        trigger.pCreateBlock = CMemory::Allocate(size, 0);
        if (trigger.pCreateBlock == nullptr) {
            DebugLog("CVelEvent::Load() Error allocating memory for create block. Last Error=%d\n",
                     LastErrorCode());
            return kEventLoadNoMemory;
        }
        if (reader.Read(trigger.pCreateBlock, size)) {
            return 0;
        }
        ReleaseCreateBlock(trigger);
    }
    DebugLog("CVelEvent::Load() Error reading create block. Last Error=%d\n", LastErrorCode());
    return kEventLoadCreateBlockNotRead;
}

// A record that claims a block it does not hold cannot be written faithfully.
bool WriteCreateBlock(CFileWriter& writer, const tagGAME_TRIGGER& trigger) {
    if (trigger.pCreateBlock == nullptr) {
        SetLastError(EINVAL);
        return false;
    }
    return writer.Write(trigger.pCreateBlock, trigger.dwCreateBlockSize);
}

bool WriteQuadrantHelper(CFileWriter& writer, DWORD quadrant, DWORD count) {
    writer.WriteU32(quadrant);
    writer.WriteU32(count);
    return !writer.Failed();
}

} // namespace

CVelEvent::CTriggerList::CTriggerList() : CLinkedList(kEventListBlockSize) {}

CVelEvent::CVelEvent() : m_pending(kEventListBlockSize), m_absolute(kEventListBlockSize) {
    if (++s_liveManagers > 1) {
        DebugLog("CVelEvent::CVelEvent() Only one instance of a CVelEvent object allowed!\n");
    }
}

// The lists themselves are destroyed after this body, in reverse order of declaration:
// absolute, pending, then the quadrant lists.
CVelEvent::~CVelEvent() {
    Reset();
    --s_liveManagers;
}

int CVelEvent::GetInstanceCount() {
    return s_liveManagers;
}

CLinkedList<tagGAME_TRIGGER>* CVelEvent::GetTriggerList(DWORD quadrant) {
    if (quadrant >= kTriggerQuadrantCount) {
        DebugLog("CVelEvent::GetTriggerList() Quadrant index out of range (%d)!\n",
                 static_cast<int>(quadrant));
        return nullptr;
    }
    return &m_quadrants[quadrant];
}

int CVelEvent::StartLevel() {
    if (m_bLevelStarted) {
        return -1;
    }
    m_bLevelStarted = TRUE;
    return 0;
}

int CVelEvent::EndLevel() {
    if (!m_bLevelStarted) {
        return -1;
    }
    m_bLevelStarted = FALSE;
    return 0;
}

// The pending list goes first, so that no reference ever points at a released trigger.
DWORD CVelEvent::GetTriggerCount() {
    DWORD count = m_absolute.GetCount();
    for (CTriggerList& list : m_quadrants) {
        count += list.GetCount();
    }
    return count;
}

void CVelEvent::Reset() {
    EndLevel();
    m_pending.RemoveAll();
    for (CTriggerList& list : m_quadrants) {
        ReleaseAllTriggers(list);
    }
    ReleaseAllTriggers(m_absolute);
}

int CVelEvent::Load(HANDLE file, int keepAllInQuadrants) {
    CFileReader reader(file);
    DWORD fileId = 0;
    if (!reader.ReadU32(fileId)) {
        DebugLog("CVelEvent::Load() Error reading file id. LastError=%d\n", LastErrorCode());
        return kEventLoadFileIdNotRead;
    }
    if (fileId != kEventSectionFileId) {
        DebugLog("CVelEvent::Load() Invalid file id!\n");
        return kEventLoadWrongFileId;
    }
    Reset();
    return LoadGroups(reader, keepAllInQuadrants);
}

int CVelEvent::LoadGroups(CFileReader& reader, int keepAllInQuadrants) {
    for (;;) {
        DWORD quadrant = 0;
        DWORD count = 0;
        reader.ReadU32(quadrant);
        reader.ReadU32(count);
        if (reader.Failed()) {
            DebugLog("CVelEvent::Load() Failed to read quad helper. Last Error=%d\n",
                     LastErrorCode());
            return kEventLoadHelperNotRead;
        }
        if (quadrant == kEventSectionEnd) {
            return 0;
        }
        if (quadrant >= kTriggerQuadrantCount) {
            DebugLog("CVelEvent::Load() Invalid quadrant index from helper (%d)\n",
                     static_cast<int>(quadrant));
            return kEventLoadQuadrantOutOfRange;
        }
        // Counts are not trusted: each trigger is read, and can fail, on its own.
        for (DWORD i = 0; i < count; ++i) {
            int result = LoadTrigger(reader, m_quadrants[quadrant], keepAllInQuadrants);
            if (result != 0) {
                return result;
            }
        }
    }
}

int CVelEvent::LoadTrigger(CFileReader& reader, CLinkedList<tagGAME_TRIGGER>& quadrantList,
                           int keepAllInQuadrants) {
    tagGAME_TRIGGER trigger;
    if (!ReadTriggerRecord(reader, trigger)) {
        DebugLog("CVelEvent::Load() Failed to read a trigger. Last Error=%d\n", LastErrorCode());
        return kEventLoadTriggerNotRead;
    }
    if (trigger.dwCreateBlockSize != 0) {
        int result = ReadCreateBlock(reader, trigger);
        if (result != 0) {
            return result;
        }
    }
    trigger.bPending = FALSE;
    trigger.fFireTime = trigger.fDelay;

    const bool absolute = keepAllInQuadrants == 0 && trigger.dwType == kTriggerAbsolute;
    CLinkedList<tagGAME_TRIGGER>& list = absolute ? m_absolute : quadrantList;
    if (list.AddTail(trigger)) {
        return 0;
    }
    ReleaseCreateBlock(trigger);
    DebugLog(absolute ? "CVelEvent::Load() Error appending abs trigger!\n"
                      : "CVelEvent::Load() Error appending trigger to quadrant list!\n");
    return kEventLoadListRefused;
}

int CVelEvent::Save(HANDLE file) {
    CFileWriter writer(file);
    if (!writer.WriteU32(kEventSectionFileId)) {
        DebugLog("CVelEvent::Save() Error writing file id. LastError=%d\n", LastErrorCode());
        return kEventSaveFileId;
    }
    for (DWORD quadrant = 0; quadrant < kTriggerQuadrantCount; ++quadrant) {
        if (m_quadrants[quadrant].GetCount() != 0) {
            int result = SaveGroup(writer, quadrant, m_quadrants[quadrant]);
            if (result != 0) {
                return result;
            }
        }
    }
    // Timed triggers still to fire follow as one more group, so that a saved game keeps them;
    // a load files them back in the absolute list whatever the group's quadrant.
    if (m_absolute.GetCount() != 0) {
        int result = SaveGroup(writer, 0, m_absolute);
        if (result != 0) {
            return result;
        }
    }
    if (!WriteQuadrantHelper(writer, kEventSectionEnd, 0)) {
        DebugLog("CVelEvent::Save() Failed to write terminating quad helper. Last Error=%d\n",
                 LastErrorCode());
        return kEventSaveTerminator;
    }
    return 0;
}

int CVelEvent::SaveGroup(CFileWriter& writer, DWORD quadrant,
                         const CLinkedList<tagGAME_TRIGGER>& list) {
    const DWORD count = list.GetCount();
    if (!WriteQuadrantHelper(writer, quadrant, count)) {
        DebugLog("CVelEvent::Save() Failed to write quad helper. Last Error=%d\n", LastErrorCode());
        return kEventSaveHelper;
    }
    for (DWORD index = 0; index < count; ++index) {
        const tagGAME_TRIGGER& trigger = list.GetAt(list.FindIndex(index));
        if (!WriteTriggerRecord(writer, trigger)) {
            DebugLog("CVelEvent::Save() Failed to write a trigger. Last Error=%d\n",
                     LastErrorCode());
            return kEventSaveTrigger;
        }
        if (trigger.dwCreateBlockSize != 0 && !WriteCreateBlock(writer, trigger)) {
            DebugLog("CVelEvent::Save() Error writing create block. Last Error=%d\n",
                     LastErrorCode());
            return kEventSaveCreateBlock;
        }
    }
    return 0;
}

void CVelEvent::ForgetPendingReference(const tagGAME_TRIGGER& trigger) {
    // Searched whatever bPending says: the flag is open to the host, the reference is not.
    if (m_pending.GetCount() == 0) {
        return;
    }
    LISTPOS reference = m_pending.Find(const_cast<tagGAME_TRIGGER*>(&trigger));
    if (reference != nullptr) {
        m_pending.RemoveAt(reference);
    }
}

void CVelEvent::DeleteTrigger(CLinkedList<tagGAME_TRIGGER>& list, LISTPOS position) {
    tagGAME_TRIGGER& trigger = list.GetAt(position);
    ForgetPendingReference(trigger);
    ReleaseCreateBlock(trigger);
    list.RemoveAt(position);
}

tagGAME_TRIGGER* CVelEvent::CloneTrigger(const tagGAME_TRIGGER* source) {
    if (source == nullptr) {
        return nullptr;
    }
    auto* clone = static_cast<tagGAME_TRIGGER*>(CMemory::Allocate(sizeof(tagGAME_TRIGGER), 0));
    if (clone == nullptr) {
        return nullptr;
    }
    *clone = *source;
    clone->pCreateBlock = nullptr; // never shared with the source
    if (source->pCreateBlock != nullptr && source->dwCreateBlockSize != 0) {
        clone->pCreateBlock = CMemory::Allocate(source->dwCreateBlockSize, 0);
        if (clone->pCreateBlock == nullptr) {
            DeleteTrigger(clone);
            return nullptr;
        }
        std::memcpy(clone->pCreateBlock, source->pCreateBlock, source->dwCreateBlockSize);
    }
    return clone;
}

void CVelEvent::DeleteTrigger(tagGAME_TRIGGER*& trigger) {
    if (trigger == nullptr) {
        return;
    }
    ReleaseCreateBlock(*trigger);
    CMemory::Deallocate(trigger);
    trigger = nullptr;
}
