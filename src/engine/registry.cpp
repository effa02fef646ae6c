#include "engine/registry.h"

#include "engine/debug_log.h"
#include "engine/entity_walk.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "support/memory.h"

#include <cstring>
#include <new>

namespace {

// The first entity of one list with this identifier, under that list's lock.
CBaseEntity* FindInList(CLinkedList<CBaseEntity*>& list, DWORD id) {
    list.Lock();
    CBaseEntity* found = nullptr;
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
        CBaseEntity* entity = list.GetNext(position);
        if (entity != nullptr && entity->m_dwID == id) {
            found = entity;
            break;
        }
    }
    list.Unlock();
    return found;
}

} // namespace

CBaseEntity* vgSpawnEntity() {
    void* storage = CMemory::Allocate(sizeof(CBaseEntity), 0);
    if (storage == nullptr) {
        DebugLog("VelEng::vgSpawnEntity() Spawn failed!");
        return nullptr;
    }
    std::memset(storage, 0, sizeof(CBaseEntity));
    return ::new (storage) CBaseEntity;
}

void DeleteAllEntities(CLinkedList<CBaseEntity*>& list, const char* nullHeadMessage) {
    list.Lock();
    while (list.GetCount() != 0) {
        LISTPOS head = list.GetHeadPosition();
        CBaseEntity* entity = list.GetAt(head);
        if (entity == nullptr && nullHeadMessage != nullptr) {
            DebugLog("%s", nullHeadMessage);
        }
        vgDeleteEntity(entity);
        if (list.GetCount() != 0 && list.GetHeadPosition() == head && list.GetAt(head) == entity) {
            CEntityWalk::NodeRemoving(list, head);
            list.RemoveAt(head);
        }
    }
    list.Unlock();
}

extern "C" {

CLinkedList<CBaseEntity*>* vgGetEntityList() {
    return &g_entityList;
}

DWORD vgGetNextEntityID() {
    DWORD& next = g_engine.gameState.dwNextEntityId;
    if (next < kFirstEntityId) {
        next = kFirstEntityId;
    }
    return next++;
}

CBaseEntity* vgSpawnParentEntity() {
    CBaseEntity* entity = vgSpawnEntity();
    if (entity != nullptr) {
        g_entityList.AddTail(entity);
    }
    return entity;
}

CBaseEntity* vgSpawnChildEntity(CBaseEntity* parent) {
    CBaseEntity* entity = vgSpawnEntity();
    if (entity != nullptr) {
        parent->m_Children.AddTail(entity);
        entity->m_pParent = parent;
    }
    return entity;
}

CBaseEntity* vgFindEntity(DWORD id) {
    CBaseEntity* found = FindInList(g_entityList, id);
    if (found != nullptr) {
        return found;
    }
    g_entityList.Lock();
    for (LISTPOS position = g_entityList.GetHeadPosition(); position != nullptr && !found;) {
        CBaseEntity* parent = g_entityList.GetNext(position);
        if (parent != nullptr && parent->m_Children.GetCount() != 0) {
            found = FindInList(parent->m_Children, id);
        }
    }
    g_entityList.Unlock();
    return found;
}

void vgDeleteEntity(CBaseEntity* entity) {
    if (entity == nullptr) {
        return;
    }
    entity->~CBaseEntity();
    CMemory::Deallocate(entity);
}

} // extern "C"

CBaseEntity* SpawnListedEntity(CBaseEntity* parent) {
    CLinkedList<CBaseEntity*>& list = parent != nullptr ? parent->m_Children : g_entityList;
    const DWORD before = list.GetCount();
    CBaseEntity* entity = parent != nullptr ? vgSpawnChildEntity(parent) : vgSpawnParentEntity();
    if (entity != nullptr && list.GetCount() == before) {
        vgDeleteEntity(entity);
        return nullptr;
    }
    return entity;
}
