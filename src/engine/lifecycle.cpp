#include "engine/lifecycle.h"

#include "engine/debug_log.h"
#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/level_loader.h"
#include "engine/registry.h"
#include "engine/render.h"
#include "engine/state.h"
#include "event/event_manager.h"
#include "platform/d3d/d3d.h"
#include "platform/os/last_error.h"
#include "platform/os/path.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "support/machine_code.h"
#include "support/path_utils.h"
#include "support/timer.h"

#include <cstdio>

namespace {

// The white directional light every level starts with, shining straight down.
void CreateEngineLight() {
    g_engineLight.Create();
    D3DVECTOR down(0.0f, -1.0f, 0.0f);
    g_engineLight.SetDirectionalLight(down, 1.0f, 1.0f, 1.0f);
    g_engineLight.EnableSpecularHighlights(1);
}

// The device's current viewport with a reference the caller releases, or null (reported).
IDirect3DViewport3* CurrentViewport() {
    GAME_GLOBALS* globals = vgGetGlobals();
    IDirect3DViewport3* viewport = nullptr;
    if (globals != nullptr && globals->pDevice != nullptr) {
        globals->pDevice->GetCurrentViewport(&viewport);
    }
    if (viewport == nullptr) {
        DebugLog("VelEng::vgPauseGame() NULL viewport!");
    }
    return viewport;
}

// Kept as a full path, so that a saved game finds its level from any working directory.
void StoreLevelPath(const char* path) {
    char* stored = g_engine.gameState.szLevelFile;
    const DWORD size = sizeof g_engine.gameState.szLevelFile;
    const DWORD length = GetFullPathNameA(path, size, stored, nullptr);
    if (length == 0 || length >= size) {
        std::snprintf(stored, size, "%s", path);
    }
}

} // namespace

void HostClipDistances(float& nearDistance, float& farDistance) {
    GAME_GLOBALS* globals = vgGetGlobals();
    nearDistance = globals != nullptr ? globals->fNearPlane : 0.0f;
    farDistance = globals != nullptr ? globals->fFarPlane : 0.0f;
}

// The reset throws away what a level owns, in a fixed order: the flags first, then the
// level's tables, its entities, triggers and script code, then the clocks and identifiers;
// last the engine camera becomes active again and the light is made anew.
void ResetLevel() {
    g_engine.bGameLoaded = FALSE;
    g_engine.bGamePaused = TRUE;
    ReleaseLevelTables();
    DeleteAllEntities(g_entityList, nullptr);
    g_entityList.RemoveAll();
    g_eventManager.Reset();
    g_missionCode.ReleaseResources();
    ResetClocks();
    g_engine.gameState.dwNextEntityId = kFirstEntityId;
    ResetCamera();
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    HostClipDistances(nearDistance, farDistance);
    vgGetActiveCamera()->Update(g_engine.viewMatrix, nearDistance, farDistance);
    CreateEngineLight();
}

void ResetCamera() {
    g_engineCamera.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    g_engineCamera.SetMode(CCamera::CAMERA_MODE_FIXED_TARGET);
    D3DVECTOR eye(0.0f, 0.0f, -1.0f);
    D3DVECTOR origin(0.0f);
    g_engineCamera.SetFirstPerson(eye);
    g_engineCamera.SetTargetPosition(origin);
    vgSetActiveCamera(&g_engineCamera);
}

extern "C" {

int vgEnable() {
    if (g_engine.bEnabled) {
        return 0;
    }
    g_engine.bEnabled = TRUE;
    ResetLevel();
    return 1;
}

int vgDisable() {
    if (!g_engine.bEnabled) {
        return 0;
    }
    g_engine.bEnabled = FALSE;
    ResetLevel();
    vgSetActiveCamera(nullptr);
    g_engineLight.Destroy();
    return 1;
}

int vgNewGame(const char* path) {
    char directory[kPathBufferSize] = "";
    MakeBaseDirectory(directory, path);
    ResetLevel();
    if (!vgLoadLevelInfo(path, directory, 1)) {
        DebugLog("VelEng::vgNewGame() Failed to load level info. Last error=%d",
                 static_cast<int>(GetLastError()));
        return 0;
    }
    StoreLevelPath(path);
    ResetCamera();
    return 1;
}

void vgPauseGame(int pause) {
    g_engine.bGamePaused = pause;
    IDirect3DViewport3* viewport = CurrentViewport();
    if (pause) {
        if (viewport != nullptr) {
            g_engineLight.DeleteFromScene(viewport);
        }
    } else {
        DWORD now = g_engineTimer.GetDWORDMillisecTicks();
        g_engine.dwLastRenderTicks = now;
        g_engine.dwLastPhysicsTicks = now;
        if (viewport != nullptr) {
            g_engineLight.AddToScene(viewport);
        }
    }
    if (viewport != nullptr) {
        viewport->Release();
    }
    ForgetCurrentMaterialAndTexture();
}

} // extern "C"
