#pragma once

// A walk over one entity list that survives deletions made while it is under way. The ticks
// walk a list under its lock and call behaviour modules for each entity; a module may delete
// any entity, including the one being processed, the one the walk goes to next, or an
// ancestor whose child list is being walked. Every walk in progress is registered (on the
// stack, without allocating), and the registry tells it when a node of its list is removed or
// an entity is destroyed, so the walk never follows a stale position.

#include "engine/registry.h"
#include "entity/entity.h"
#include "support/linked_list.h"

class CEntityWalk {
public:
    // Takes the list's lock for the walk.
    explicit CEntityWalk(CLinkedList<CBaseEntity*>& list);
    ~CEntityWalk();
    CEntityWalk(const CEntityWalk&) = delete;
    CEntityWalk& operator=(const CEntityWalk&) = delete;

    // The next entity, or null at the end of the list or when the list's owner was destroyed.
    CBaseEntity* Next();
    // Whether the entity Next returned is still alive.
    bool CurrentAlive() const { return m_current != nullptr; }
    // Takes the current entity's node out of the list (the entity itself stays).
    void RemoveCurrent();

    // Called before a node is removed from list, and when an entity starts being destroyed.
    static void NodeRemoving(CLinkedList<CBaseEntity*>& list, LISTPOS position);
    static void EntityDestroying(CBaseEntity* entity);

private:
    CLinkedList<CBaseEntity*>* m_list;
    LISTPOS m_next;
    LISTPOS m_currentPosition = nullptr;
    CBaseEntity* m_current = nullptr;
    bool m_listGone = false;
    CEntityWalk* m_outer;
};

// Walks the list asking `hook(entity)` (a tick's call into the entity's module) for each
// entity's answer. An entity the call itself deleted is passed over; kEntityDeleteMe takes the
// entity out of the list and deletes it; any other answer goes to `onAnswer(entity, answer)`.
template <class Hook, class OnAnswer>
void WalkEntityAnswers(CLinkedList<CBaseEntity*>& list, Hook hook, OnAnswer onAnswer) {
    CEntityWalk walk(list);
    while (CBaseEntity* entity = walk.Next()) {
        const int answer = hook(entity);
        if (!walk.CurrentAlive()) {
            continue;
        }
        if (answer == kEntityDeleteMe) {
            walk.RemoveCurrent();
            vgDeleteEntity(entity);
        } else {
            onAnswer(entity, answer);
        }
    }
}
