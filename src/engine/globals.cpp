#include "engine/globals.h"

#include "engine/state.h"

#include "math/matrix.h"
#include "math/matrix.h"
#include "support/machine_code.h"
#include "support/memory.h"
#include "support/timer.h"

// Construction order is definition order within this file.

CMemory g_memoryAccountant;

// Plain data, constant-initialised: ready before any constructor runs.
constinit ENGINE_STATE g_engine;

// The entity list, the event manager, the engine camera and the engine light join here, in
// that order, as their subsystems arrive.

CAbstractMachineCode g_missionCode;

CTimer g_engineTimer;

// Every matrix builder starts from this copy, so it is filled before any level code runs.
D3DMATRIX g_identityMatrix = IdentityMatrix();
