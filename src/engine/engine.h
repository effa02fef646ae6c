#pragma once

// The engine's exported interface: the host's globals record, the engine's game state, the
// clocks, the active camera, message boxes and the engine lifecycle.

#include "engine/level_loader.h"
#include "engine/lifecycle.h"
#include "engine/model_table.h"
#include "engine/physics.h"
#include "engine/registry.h"
#include "engine/saved_game.h"
#include "engine/world.h"
#include "math/matrix.h"
#include "platform/export.h"
#include "platform/types.h"

class IDirectDraw4;
class IDirect3D3;
class IDirect3DDevice3;
class CCamera;

// The host's record. The host owns it and hands the engine a pointer with vgSetGlobals; the
// engine reads these fields and writes only bMouseClicked. The host keeps it current.
struct GAME_GLOBALS {
    IDirectDraw4* pDirectDraw;
    IDirect3D3* pDirect3D;
    IDirect3DDevice3* pDevice;
    // Changed by the host whenever the device may have lost its material and texture
    // settings, so that the engine sets them again.
    DWORD dwDeviceGeneration;
    LONG nScreenWidth;
    LONG nScreenHeight;
    LONG nMouseX;
    LONG nMouseY;
    // A click is waiting; whatever takes it clears it.
    BOOL bMouseClicked;
    float fNearPlane;
    float fFarPlane;
};

constexpr DWORD kGameStateFileId = 0x1A465356; // "VSF" and 0x1A
constexpr DWORD kGameStateFileSize = 324;
constexpr DWORD kFirstEntityId = 500;
constexpr int kLevelFileNameSize = 256;

// The engine's clocks, identifier counter, world size, level and active camera. Saved games
// begin with its 324-byte file image (engine/game_state_file.h); the camera pointer never
// travels through a file.
struct GAME_STATE {
    DWORD dwFileId;
    DWORD dwHeaderSize;
    DWORD dwNextEntityId;
    DWORD dwRenderTime;
    float fRenderTime;
    DWORD dwDeltaRenderTime;
    float fDeltaRenderTime;
    DWORD dwPhysicsTime;
    float fPhysicsTime;
    DWORD dwDeltaPhysicsTime;
    float fDeltaPhysicsTime;
    DWORD dwReserved;
    float fQuadrantFactor;
    float fWorldMin;
    float fWorldMax;
    float fWorldSize;
    char szLevelFile[kLevelFileNameSize];
    CCamera* pActiveCamera;
};

// One step of the shared impulse and warp tables for behaviour modules.
struct PROPULSION {
    float fLevel;
    float fFactor;
};

extern "C" {

VELCORE_API extern const PROPULSION propImpulseTable[10];
VELCORE_API extern const PROPULSION propWarpTable[10];

VELCORE_API void vgSetGlobals(GAME_GLOBALS* globals);
VELCORE_API GAME_GLOBALS* vgGetGlobals();
VELCORE_API BOOL vgIsGameLoaded();
VELCORE_API BOOL vgIsGamePaused();

VELCORE_API DWORD vgGetCurrentRenderTime();
VELCORE_API float vgGetCurrentRenderFTime();
VELCORE_API DWORD vgGetDeltaRenderTime();
VELCORE_API float vgGetDeltaRenderFTime();
VELCORE_API DWORD vgGetCurrentPhysicsTime();
VELCORE_API float vgGetCurrentPhysicsFTime();
VELCORE_API DWORD vgGetDeltaPhysicsTime();
VELCORE_API float vgGetDeltaPhysicsFTime();

VELCORE_API CCamera* vgGetActiveCamera();
VELCORE_API void vgSetActiveCamera(CCamera* camera);
// The view matrix while a level is loaded, else null.
VELCORE_API D3DMATRIX* vgGetActiveViewMatrix();

// Modal boxes captioned "Quellion Error!" (OK button) and "Quellion Warning!" (the caller's
// style); both return the button chosen.
VELCORE_API int vgErrorMsg(const char* text);
VELCORE_API int vgWarningMsg(const char* text, UINT style);

} // extern "C"
