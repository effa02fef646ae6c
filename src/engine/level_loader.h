#pragma once

// The level loader: the level info file, its element tables and event table, every texture
// and every distinct 3D model of the level.

#include "platform/export.h"

// Loads the level info file at `path`, making the paths it names full against `directory`;
// with loadEvents the event table goes into the event manager. On success the game is marked
// loaded and 1 returned. On failure nothing of the level stays (tables, models, textures,
// triggers, script code and mission text are released), the game is not loaded, and after
// the failing step's own message one line names the file and the cause; 0 is returned.
VELCORE_C_API int vgLoadLevelInfo(const char* path, const char* directory, int loadEvents);
