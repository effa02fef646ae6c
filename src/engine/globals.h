#pragma once

// The engine's process-wide objects. They are defined together in globals.cpp, in the order
// the library constructs them at load; the memory accountant comes first so that it is
// destroyed last and its leak report at unload sees every block.

#include "support/linked_list.h"

class CMemory;
class CAbstractMachineCode;
class CTimer;
class CBaseEntity;
class CVelEvent;
class CCamera;
class CLight;

extern CMemory g_memoryAccountant;
extern CLinkedList<CBaseEntity*> g_entityList;
extern CVelEvent g_eventManager;
extern CCamera g_engineCamera;
extern CLight g_engineLight;
extern CAbstractMachineCode g_missionCode;
extern CTimer g_engineTimer;
