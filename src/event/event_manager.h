#pragma once

// CVelEvent: the level's trigger table. Proximity triggers are filed by world quadrant, timed
// triggers sit in the absolute list, and armed triggers wait in the pending list as
// references into their quadrant list. Each physics tick fires what is due and spawns its
// entity; the table travels as the event section of level files and saved games
// (docs/formats/event-section.md).
//
// The engine holds one manager (g_eventManager). Operations that fail return small negative
// codes and write one debug line each; 0 is success.

#include "event/trigger_record.h"
#include "platform/export.h"
#include "platform/types.h"
#include "support/linked_list.h"

#include <array>

class CBaseEntity;

// Quadrant lists: one per world quadrant (engine/world.h).
constexpr DWORD kTriggerQuadrantCount = 64;

// The section's first field ("VVT" and 0x1A) and the quadrant index that ends it.
constexpr DWORD kEventSectionFileId = 0x1A545656;
constexpr DWORD kEventSectionEnd = 0xFFFFFFFF;

// Load results.
constexpr int kEventLoadFileIdNotRead = -1;
constexpr int kEventLoadWrongFileId = -2;
constexpr int kEventLoadHelperNotRead = -3;
constexpr int kEventLoadQuadrantOutOfRange = -4;
constexpr int kEventLoadTriggerNotRead = -5;
constexpr int kEventLoadNoMemory = -6;
constexpr int kEventLoadCreateBlockNotRead = -7;
constexpr int kEventLoadListRefused = -8;

// Save results.
constexpr int kEventSaveFileId = -1;
constexpr int kEventSaveHelper = -2;
constexpr int kEventSaveTrigger = -3;
constexpr int kEventSaveCreateBlock = -4;
constexpr int kEventSaveTerminator = -5;

class VELCORE_API CVelEvent {
public:
    // A second live manager only draws a warning; it works like the first.
    CVelEvent();
    ~CVelEvent();
    CVelEvent(const CVelEvent&) = delete;
    CVelEvent& operator=(const CVelEvent&) = delete;

    // The quadrant's list, or null (with a message) for a quadrant of 64 or more.
    CLinkedList<tagGAME_TRIGGER>* GetTriggerList(DWORD quadrant);

    // -1 when the flag already had the requested value, else 0.
    int StartLevel();
    int EndLevel();

    // Replaces the table with the event section at the file's current position. Type-0
    // triggers go to the absolute list unless keepAllInQuadrants is non-zero. A wrong file id
    // leaves the table untouched; any later failure leaves what was read so far.
    int Load(HANDLE file, int keepAllInQuadrants);
    // Writes the quadrant lists as an event section; the absolute list is not written.
    int Save(HANDLE file);
    // Empties every list and ends the level.
    void Reset();
    // Triggers held in every list (the pending list only points into the others).
    DWORD GetTriggerCount();

    // Fires the due timed and armed triggers, then tests the triggers of entity's quadrant
    // against its position (none when entity is null). Always 0.
    int ProcessEvents(CBaseEntity* entity);

    // A separate copy of source with its own create block; null when source is null or
    // memory ran out.
    static tagGAME_TRIGGER* CloneTrigger(const tagGAME_TRIGGER* source);
    // Frees a clone and its create block and nulls the caller's pointer.
    static void DeleteTrigger(tagGAME_TRIGGER*& trigger);

    // Live managers, for the single-instance rule.
    static int GetInstanceCount();

protected:
    // Spawns the trigger's entity; the trigger itself is not changed.
    void TriggerEvent(const tagGAME_TRIGGER& trigger);
    // Removes one trigger (and its create block, and any pending reference to it) from one
    // of the manager's lists.
    void DeleteTrigger(CLinkedList<tagGAME_TRIGGER>& list, LISTPOS position);

private:
    // Lists of the manager's block size, default-constructible so 64 fit in an array.
    struct CTriggerList : CLinkedList<tagGAME_TRIGGER> {
        CTriggerList();
    };

    int LoadGroups(CFileReader& reader, int keepAllInQuadrants);
    int LoadTrigger(CFileReader& reader, CLinkedList<tagGAME_TRIGGER>& quadrantList,
                    int keepAllInQuadrants);
    int SaveGroup(CFileWriter& writer, DWORD quadrant, const CLinkedList<tagGAME_TRIGGER>& list);
    void ForgetPendingReference(const tagGAME_TRIGGER& trigger);

    void FireDueAbsoluteTriggers(float now);
    void FireDuePendingTriggers(float now);
    void ProcessQuadrant(CLinkedList<tagGAME_TRIGGER>& list, const D3DVECTOR& player, float now);
    void ProcessProximityTrigger(CLinkedList<tagGAME_TRIGGER>& list, LISTPOS position,
                                 const D3DVECTOR& player, float now);

    BOOL m_bLevelStarted = FALSE;
    std::array<CTriggerList, kTriggerQuadrantCount> m_quadrants;
    CLinkedList<tagGAME_TRIGGER*> m_pending;
    CLinkedList<tagGAME_TRIGGER> m_absolute;
};
