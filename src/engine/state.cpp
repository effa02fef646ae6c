#include "engine/state.h"

#include "engine/globals.h"
#include "support/timer.h"

#include <initializer_list>

CLOCK_FIELDS PhysicsClock() {
    GAME_STATE& state = g_engine.gameState;
    return {state.dwPhysicsTime, state.fPhysicsTime, state.dwDeltaPhysicsTime,
            state.fDeltaPhysicsTime, g_engine.dwLastPhysicsTicks};
}

CLOCK_FIELDS RenderClock() {
    GAME_STATE& state = g_engine.gameState;
    return {state.dwRenderTime, state.fRenderTime, state.dwDeltaRenderTime, state.fDeltaRenderTime,
            g_engine.dwLastRenderTicks};
}

namespace {

// Milliseconds to seconds, rounded once to single precision: 1500 ms is exactly 1.5 s.
float Seconds(DWORD milliseconds) {
    return static_cast<float>(milliseconds * 0.001);
}

} // namespace

void AdvanceClock(const CLOCK_FIELDS& clock, DWORD now) {
    if (now < clock.dwLastTicks) {
        clock.dwLastTicks = now;
    }
    clock.dwDeltaTime = now - clock.dwLastTicks;
    clock.fDeltaTime = Seconds(clock.dwDeltaTime);
    clock.dwTime += clock.dwDeltaTime;
    clock.fTime = Seconds(clock.dwTime);
    clock.dwLastTicks = now;
}

void UpdateClock(const CLOCK_FIELDS& clock) {
    AdvanceClock(clock, g_engineTimer.GetDWORDMillisecTicks());
}

void ResetClocks() {
    for (const CLOCK_FIELDS& clock : {PhysicsClock(), RenderClock()}) {
        clock.dwTime = 0;
        clock.fTime = 0.0f;
        clock.dwDeltaTime = 0;
        clock.fDeltaTime = 0.0f;
        clock.dwLastTicks = 0;
    }
}

extern "C" {

void vgSetGlobals(GAME_GLOBALS* globals) {
    g_engine.pGlobals = globals;
}

GAME_GLOBALS* vgGetGlobals() {
    return g_engine.pGlobals;
}

BOOL vgIsGameLoaded() {
    return g_engine.bGameLoaded;
}

BOOL vgIsGamePaused() {
    return g_engine.bGamePaused;
}

DWORD vgGetCurrentRenderTime() {
    return g_engine.gameState.dwRenderTime;
}

float vgGetCurrentRenderFTime() {
    return g_engine.gameState.fRenderTime;
}

DWORD vgGetDeltaRenderTime() {
    return g_engine.gameState.dwDeltaRenderTime;
}

float vgGetDeltaRenderFTime() {
    return g_engine.gameState.fDeltaRenderTime;
}

DWORD vgGetCurrentPhysicsTime() {
    return g_engine.gameState.dwPhysicsTime;
}

float vgGetCurrentPhysicsFTime() {
    return g_engine.gameState.fPhysicsTime;
}

DWORD vgGetDeltaPhysicsTime() {
    return g_engine.gameState.dwDeltaPhysicsTime;
}

float vgGetDeltaPhysicsFTime() {
    return g_engine.gameState.fDeltaPhysicsTime;
}

CCamera* vgGetActiveCamera() {
    return g_engine.gameState.pActiveCamera;
}

void vgSetActiveCamera(CCamera* camera) {
    g_engine.gameState.pActiveCamera = camera;
}

D3DMATRIX* vgGetActiveViewMatrix() {
    return g_engine.bGameLoaded ? &g_engine.viewMatrix : nullptr;
}

} // extern "C"
