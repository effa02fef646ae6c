#include "engine/entity_walk.h"

#include "entity/entity.h"

namespace {

// The innermost walk in progress; each walk links to the one it runs inside. The host drives
// the ticks from one thread.
CEntityWalk* g_innermostWalk = nullptr;

} // namespace

CEntityWalk::CEntityWalk(CLinkedList<CBaseEntity*>& list)
    : m_list(&list), m_next(nullptr), m_outer(g_innermostWalk) {
    list.Lock();
    m_next = list.GetHeadPosition();
    g_innermostWalk = this;
}

CEntityWalk::~CEntityWalk() {
    g_innermostWalk = m_outer;
    if (!m_listGone) {
        m_list->Unlock();
    }
}

CBaseEntity* CEntityWalk::Next() {
    if (m_listGone || m_next == nullptr) {
        m_current = nullptr;
        return nullptr;
    }
    m_currentPosition = m_next;
    m_current = m_list->GetNext(m_next);
    return m_current;
}

void CEntityWalk::RemoveCurrent() {
    if (m_listGone || m_currentPosition == nullptr) {
        return;
    }
    LISTPOS position = m_currentPosition;
    NodeRemoving(*m_list, position);
    m_list->RemoveAt(position);
}

void CEntityWalk::NodeRemoving(CLinkedList<CBaseEntity*>& list, LISTPOS position) {
    for (CEntityWalk* walk = g_innermostWalk; walk != nullptr; walk = walk->m_outer) {
        if (walk->m_list != &list || walk->m_listGone) {
            continue;
        }
        if (walk->m_next == position) {
            LISTPOS following = position;
            list.GetNext(following);
            walk->m_next = following;
        }
        if (walk->m_currentPosition == position) {
            walk->m_currentPosition = nullptr;
        }
    }
}

void CEntityWalk::EntityDestroying(CBaseEntity* entity) {
    for (CEntityWalk* walk = g_innermostWalk; walk != nullptr; walk = walk->m_outer) {
        if (walk->m_current == entity) {
            walk->m_current = nullptr;
        }
        // The entity's child list dies with it: the walk over it ends, and its lock (held
        // by this thread for the walk) is released before the list is destroyed.
        if (walk->m_list == &entity->m_Children && !walk->m_listGone) {
            walk->m_listGone = true;
            walk->m_list->Unlock();
        }
    }
}
