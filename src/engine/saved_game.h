#pragma once

// Saved games: the game state, every entity tree, the triggers, the camera and the light in
// one file (docs/formats/saved-game.md). Textures, models and tables are never saved; a load
// takes them from the level files again.

#include "platform/export.h"
#include "platform/types.h"

extern "C" {

// Writes the running game to path, replacing the file there only once the whole game is
// written and on the disk; a failed save leaves any earlier file as it was. Refused while no
// level is loaded. 1 on success, 0 on failure.
VELCORE_API int vgSaveGame(const char* path);

// Resets the level, restores the game from path and loads its level without the level's
// triggers (the saved ones stay). The restored entities are unbound; vgBindRestoredEntities
// brings them back to life. 1 on success, 0 on failure; a file that cannot be opened leaves
// the running game untouched, any other failure leaves no loaded game.
VELCORE_API int vgLoadGame(const char* path);

// Binds every entity of the registry that holds no module (whole trees, parents first) to
// the module of its level model record, calling no entry. The number bound, or -1 when any
// binding failed (those stay unbound, each reported).
VELCORE_API int vgBindRestoredEntities();

} // extern "C"

// The sections of a saved game at the file's position; 1 on success, 0 (reported) on failure.
int vgSaveLevelData(HANDLE file);
int vgLoadLevelData(HANDLE file);
