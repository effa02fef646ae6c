#pragma once

// The engine's life cycle: enabling and disabling, starting a level and pausing it. Every
// start passes through the level reset.

#include "platform/export.h"

extern "C" {

// 1 when the call changed the state, 0 when the engine already was enabled or disabled. Both
// run the level reset; disabling also drops the active camera and the light object.
VELCORE_API int vgEnable();
VELCORE_API int vgDisable();

// Resets the level and loads the level info file; on success the game is loaded and paused.
// 1 on success, 0 on failure (the previous level is gone either way).
VELCORE_API int vgNewGame(const char* path);

// Any non-zero value pauses. Resuming re-bases both clocks, so the first tick after it
// measures only the time since this call; the light leaves or joins the device's current
// viewport.
VELCORE_API void vgPauseGame(int pause);

} // extern "C"

// Throws away the running level: the engine is left paused with no level, zeroed clocks,
// identifier 500, the engine camera active and a fresh white directional light.
void ResetLevel();

// Makes the engine camera the active one, following its owner and looking at the origin
// from (0, 0, -1).
void ResetCamera();

// The host's near and far clip distances; 0 and 0 before the host set its record.
void HostClipDistances(float& nearDistance, float& farDistance);
