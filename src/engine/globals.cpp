#include "engine/globals.h"

#include "engine/element_table.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "event/event_manager.h"
#include "math/matrix.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "support/machine_code.h"
#include "support/memory.h"
#include "support/timer.h"

// Construction order is definition order within this file.

CMemory g_memoryAccountant;

// Plain data, constant-initialised: ready before any constructor runs.
constinit ENGINE_STATE g_engine;
constinit LEVEL_TABLES g_level;

// The top-level entities; each entity keeps its children in its own list.
CLinkedList<CBaseEntity*> g_entityList(20);

// The level's trigger table.
CVelEvent g_eventManager;

// The engine's own camera, active after every reset, and the level's one light.
CCamera g_engineCamera;
CLight g_engineLight;

CAbstractMachineCode g_missionCode;

CTimer g_engineTimer;

// Every matrix builder starts from this copy, so it is filled before any level code runs.
D3DMATRIX g_identityMatrix = IdentityMatrix();
