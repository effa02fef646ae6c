#pragma once

// The engine's internal state: the flags the lifecycle sets, the host record, the game state
// and the tick readings. One instance, defined with the other process-wide objects.

#include "engine/engine.h"

// The game state of an engine that has run no level.
constexpr GAME_STATE InitialGameState() {
    GAME_STATE state{};
    state.dwFileId = kGameStateFileId;
    state.dwNextEntityId = kFirstEntityId;
    state.fQuadrantFactor = 1.0f;
    return state;
}

struct ENGINE_STATE {
    BOOL bEnabled = FALSE;
    BOOL bGameLoaded = FALSE;
    BOOL bGamePaused = TRUE;
    GAME_GLOBALS* pGlobals = nullptr;
    GAME_STATE gameState = InitialGameState();
    DWORD dwLastRenderTicks = 0;
    DWORD dwLastPhysicsTicks = 0;
    // Filled by the active camera.
    D3DMATRIX viewMatrix = {};
    // The corners of the far plane, filled by the render tick from the active camera.
    D3DVECTOR farPoints[4] = {};
};

extern ENGINE_STATE g_engine;

// The fields of one of the two clocks.
struct CLOCK_FIELDS {
    DWORD& dwTime;
    float& fTime;
    DWORD& dwDeltaTime;
    float& fDeltaTime;
    DWORD& dwLastTicks;
};

CLOCK_FIELDS PhysicsClock();
CLOCK_FIELDS RenderClock();

// Advances a clock to the timer reading now. A reading below the last one (the timer went
// back) gives a step of 0. The float clocks are recomputed from the integer milliseconds, so
// they never drift.
void AdvanceClock(const CLOCK_FIELDS& clock, DWORD now);

// Advances a clock to the engine timer's current reading.
void UpdateClock(const CLOCK_FIELDS& clock);

// Zeroes both clocks and the tick readings.
void ResetClocks();
