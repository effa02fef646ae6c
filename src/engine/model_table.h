#pragma once

// Exported access to the running level's tables: the model records, the 3D model each uses
// and the record counts of the four tables. Before a level is loaded, and after every level
// reset, every count is 0.

#include "engine/level_records.h"
#include "platform/export.h"
#include "platform/types.h"

class C3DModel;

extern "C" {

VELCORE_API DWORD vgGetModelCount();
// The index-th model record, or null (with a message) when index is not below the count.
VELCORE_API MODEL_INFO* vgGetModel(DWORD index);
// The 3D model the index-th record uses (records naming the same model file share one), or
// null: with a message when index is not below the count, silently when the level's models
// were not loaded.
VELCORE_API C3DModel* vgGet3DModel(DWORD index);
VELCORE_API DWORD vgGetSoundCount();
// Loads a model table file into the running level, replacing its model table; the 3D models
// and the model map of the previous table are released with it. Paths in the records are
// made full against the table file's own directory. For hosts that assemble a
// level without a level info file (tools, samples). 1 on success, 0 with a message.
VELCORE_API int vgLoadModelTable(const char* path);
VELCORE_API DWORD vgGetMusicCount();
VELCORE_API DWORD vgGetTextureCount();

} // extern "C"

// The 3D model the index-th record uses, or null when there is none (index beyond the table,
// no models loaded, an empty slot); silent, for callers that look up every frame.
C3DModel* LevelModelOf(DWORD index);
