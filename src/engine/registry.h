#pragma once

// The entity registry: top-level entities in the engine's entity list, children in their
// parent's child list, identifiers from the game state's counter.

#include "platform/export.h"
#include "platform/types.h"
#include "support/linked_list.h"

class CBaseEntity;

extern "C" {

VELCORE_API CLinkedList<CBaseEntity*>* vgGetEntityList();
// The counter's value (never below 500), which then moves on by one.
VELCORE_API DWORD vgGetNextEntityID();
// A new, empty top-level entity appended to the entity list; null when memory ran out.
VELCORE_API CBaseEntity* vgSpawnParentEntity();
// A new, empty child appended to parent's child list; parent must be a live entity.
VELCORE_API CBaseEntity* vgSpawnChildEntity(CBaseEntity* parent);
// The first entity with this identifier among the top-level entities, then among their
// direct children; grandchildren are never searched.
VELCORE_API CBaseEntity* vgFindEntity(DWORD id);
// Destroys the entity with its whole subtree; null does nothing.
VELCORE_API void vgDeleteEntity(CBaseEntity* entity);

} // extern "C"

// Allocates zero-filled storage and constructs an entity in it; null (with a message) when
// memory ran out.
CBaseEntity* vgSpawnEntity();

// Deletes every entity of the list, head first, under the list's lock. Each entity's
// destructor takes it out of the list; a node that stays (a null entry, or an entity whose
// parent pointer no longer names this list's owner) is removed here, so the loop always ends.
// nullHeadMessage, when given, is logged for each null entry.
void DeleteAllEntities(CLinkedList<CBaseEntity*>& list, const char* nullHeadMessage);

// Spawns a child of parent, or a top-level entity when parent is null, as the exported
// spawners do; but an entity its list had no room for is deleted again and null returned, so
// that a loader never leaves an entity outside the registry.
CBaseEntity* SpawnListedEntity(CBaseEntity* parent);
