// Trigger processing: once per physics tick, timed triggers fire on the physics clock, armed
// triggers fire when their delay has passed, and only the triggers of the player's quadrant
// are tested against the player, so a tick's cost does not grow with triggers elsewhere.

#include "event/event_manager.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "engine/registry.h"
#include "engine/world.h"
#include "entity/entity.h"

namespace {

bool IsProximityType(DWORD type) {
    return type == kTriggerProximityDelayed || type == kTriggerProximity ||
           type == kTriggerProximityAlt;
}

bool FiresAtOnce(const tagGAME_TRIGGER& trigger) {
    return (trigger.dwType == kTriggerProximity || trigger.dwType == kTriggerProximityAlt) &&
           trigger.fDelay == 0.0f;
}

// A distance equal to the radius qualifies.
bool Qualifies(const tagGAME_TRIGGER& trigger, const D3DVECTOR& player) {
    return !trigger.bUseRadius || Magnitude(trigger.vPosition - player) <= trigger.fRadius;
}

} // namespace

// Each list is walked under its own lock, one at a time. Every walk steps past a node before
// acting on it, so the node may be removed.
int CVelEvent::ProcessEvents(CBaseEntity* entity) {
    const float now = vgGetCurrentPhysicsFTime();
    FireDueAbsoluteTriggers(now);
    FireDuePendingTriggers(now);
    if (entity == nullptr) {
        return 0;
    }
    D3DVECTOR player;
    entity->GetPosition(&player);
    const DWORD quadrant = vgGetQuadrant(&player);
    if (quadrant >= kTriggerQuadrantCount) {
        DebugLog("CVelEvent::ProcessEvents() Quadrant index out of range (%d)!\n",
                 static_cast<int>(quadrant));
        return 0;
    }
    ProcessQuadrant(m_quadrants[quadrant], player, now);
    return 0;
}

// A repeating trigger's next time counts from this call, not from its previous firing time.
void CVelEvent::FireDueAbsoluteTriggers(float now) {
    m_absolute.Lock();
    for (LISTPOS position = m_absolute.GetHeadPosition(); position != nullptr;) {
        const LISTPOS current = position;
        tagGAME_TRIGGER& trigger = m_absolute.GetNext(position);
        if (now >= trigger.fFireTime) {
            TriggerEvent(trigger);
            if (trigger.bRepeat) {
                trigger.fFireTime = now + trigger.fDelay;
            } else {
                DeleteTrigger(m_absolute, current);
            }
        }
    }
    m_absolute.Unlock();
}

// A fired trigger leaves the pending list; a non-repeating one is marked expired and removed
// from its quadrant list by that list's next walk.
void CVelEvent::FireDuePendingTriggers(float now) {
    m_pending.Lock();
    for (LISTPOS position = m_pending.GetHeadPosition(); position != nullptr;) {
        const LISTPOS current = position;
        tagGAME_TRIGGER* trigger = m_pending.GetNext(position);
        if (now >= trigger->fFireTime) {
            TriggerEvent(*trigger);
            trigger->bPending = FALSE;
            if (!trigger->bRepeat) {
                trigger->bExpired = TRUE;
            }
            m_pending.RemoveAt(current);
        }
    }
    m_pending.Unlock();
}

void CVelEvent::ProcessQuadrant(CLinkedList<tagGAME_TRIGGER>& list, const D3DVECTOR& player,
                                float now) {
    list.Lock();
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
        const LISTPOS current = position;
        list.GetNext(position);
        ProcessProximityTrigger(list, current, player, now);
    }
    list.Unlock();
}

void CVelEvent::ProcessProximityTrigger(CLinkedList<tagGAME_TRIGGER>& list, LISTPOS position,
                                        const D3DVECTOR& player, float now) {
    tagGAME_TRIGGER& trigger = list.GetAt(position);
    if (trigger.bExpired) {
        DeleteTrigger(list, position);
        return;
    }
    if (trigger.bPending) {
        return;
    }
    if (!IsProximityType(trigger.dwType)) {
        DebugLog("CVelEvent::ProcessEvents() Unqualified trigger type %d!!\n",
                 static_cast<int>(trigger.dwType));
        return;
    }
    if (!Qualifies(trigger, player)) {
        return;
    }
    if (FiresAtOnce(trigger)) {
        TriggerEvent(trigger);
        if (!trigger.bRepeat) {
            DeleteTrigger(list, position);
        }
        return;
    }
    // Armed only once its reference is held: a trigger the pending list could not take stays
    // idle and is tested again on the next call instead of waiting forever.
    trigger.fFireTime = now + trigger.fDelay;
    if (m_pending.AddTail(&trigger)) {
        trigger.bPending = TRUE;
    }
}

// Two entities may end up sharing an identifier: the trigger's wins over the registry's.
void CVelEvent::TriggerEvent(const tagGAME_TRIGGER& trigger) {
    CBaseEntity* entity = vgSpawnParentEntity();
    if (entity == nullptr) {
        DebugLog("CVelEvent::TriggerEvent() Failed to spawn parent entity!\n");
        return;
    }
    if (trigger.dwEntityId != 0) {
        if (vgFindEntity(trigger.dwEntityId) != nullptr) {
            DebugLog("CVelEvent::TriggerEvent() Entity already exists with id %u (%08X)",
                     trigger.dwEntityId, trigger.dwEntityId);
        }
        entity->m_dwID = trigger.dwEntityId;
    }
    const D3DVECTOR position = trigger.vPosition + trigger.vSpawnOffset;
    if (entity->Create(nullptr, trigger.dwModelIndex, position, D3DVECTOR(0.0f),
                       trigger.pCreateBlock, trigger.dwCreateBlockSize) != 0) {
        DebugLog("CVelEvent::TriggerEvent() Entity create failed for model index %d\n",
                 static_cast<int>(trigger.dwModelIndex));
        vgDeleteEntity(entity);
    }
}
