#include "engine/model_table.h"

#include "engine/debug_log.h"
#include "engine/element_table.h"
#include "support/path_utils.h"

namespace {

bool IsModelIndex(DWORD index, const char* function) {
    DWORD count = g_level.modelHeader.dwCount;
    if (index < count) {
        return true;
    }
    DebugLog("VelEng::%s() Model index exceeded. Requested %d only %d!", function,
             static_cast<int>(index), static_cast<int>(count));
    return false;
}

} // namespace

C3DModel* LevelModelOf(DWORD index) {
    // A level whose loading stopped after the tables has no models yet.
    if (index >= g_level.modelHeader.dwCount || g_level.pModelMap == nullptr ||
        g_level.pModelMap[index] >= g_level.dw3DModelCount) {
        return nullptr;
    }
    return g_level.pp3DModels[g_level.pModelMap[index]];
}

extern "C" {

DWORD vgGetModelCount() {
    return g_level.modelHeader.dwCount;
}

MODEL_INFO* vgGetModel(DWORD index) {
    return IsModelIndex(index, "vgGetModel") ? &g_level.pModels[index] : nullptr;
}

C3DModel* vgGet3DModel(DWORD index) {
    return IsModelIndex(index, "vgGet3DModel") ? LevelModelOf(index) : nullptr;
}

int vgLoadModelTable(const char* path) {
    char directory[kPathBufferSize];
    if (MakeBaseDirectory(directory, path) != 0) {
        DebugLog("VelEng::vgLoadModelTable() Failed to resolve '%s'", path);
        return 0;
    }
    // The map and the 3D models index the records about to be replaced.
    ReleaseLevelModels();
    return LoadElementTable(path, g_level.modelHeader, g_level.pModels, kModelTableId, directory);
}

DWORD vgGetSoundCount() {
    return g_level.soundHeader.dwCount;
}

DWORD vgGetMusicCount() {
    return g_level.musicHeader.dwCount;
}

DWORD vgGetTextureCount() {
    return g_level.textureHeader.dwCount;
}

} // extern "C"
