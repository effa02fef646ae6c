#include "engine/saved_game.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "engine/game_state_file.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "event/event_manager.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "support/binary_file.h"
#include "support/path_utils.h"

namespace {

int LastError() {
    return static_cast<int>(GetLastError());
}

bool SaveEntities(HANDLE file) {
    CFileWriter writer(file);
    const DWORD count = g_entityList.GetCount();
    if (!writer.WriteU32(count)) {
        DebugLog("VelEng::vgSaveLevelData() Write of count of entities failed. Last Error=%d",
                 LastError());
        return false;
    }
    LISTPOS position = g_entityList.GetHeadPosition();
    for (DWORD i = 0; i < count; ++i) {
        if (position == nullptr || !g_entityList.GetNext(position)->Save(file)) {
            DebugLog("VelEng::vgSaveLevelData() Write of entity number %d of %d failed!",
                     static_cast<int>(i), static_cast<int>(count));
            return false;
        }
    }
    return true;
}

// The active camera, or the engine camera when none is: a load always reads a camera record.
CCamera& CameraToSave() {
    CCamera* active = vgGetActiveCamera();
    return active != nullptr ? *active : g_engineCamera;
}

// A header the file cannot load back is refused before anything of the game changes.
bool ReadHeader(CFileReader& reader) {
    GAME_STATE state = g_engine.gameState;
    if (!ReadGameState(reader, state)) {
        DebugLog("VelEng::vgLoadLevelData() Load of header failed. Last Error=%d", LastError());
        return false;
    }
    if (state.dwFileId != kGameStateFileId) {
        DebugLog("VelEng::vgLoadLevelData() Invalid file id for header. (%08X)", state.dwFileId);
        return false;
    }
    if (state.dwHeaderSize != kGameStateFileSize) {
        DebugLog("VelEng::vgLoadLevelData() Invalid header size. Expected %d got %d!",
                 static_cast<int>(kGameStateFileSize), static_cast<int>(state.dwHeaderSize));
        return false;
    }
    g_engine.gameState = state;
    return true;
}

// Each top-level entity takes at least its record and a child count, so a count the rest of
// the file cannot hold is refused before anything is spawned for it.
bool LoadEntities(HANDLE file, CFileReader& reader) {
    DWORD count = 0;
    if (!reader.ReadU32(count)) {
        DebugLog("VelEng::vgLoadLevelData() Error reading count of parent entities! Last "
                 "Error=%d",
                 LastError());
        return false;
    }
    if (!reader.CanHold(count, kSmallestEntityImage)) {
        DebugLog("VelEng::vgLoadLevelData() %u entities cannot fit in the %llu bytes left!",
                 static_cast<unsigned>(count), static_cast<unsigned long long>(reader.Remaining()));
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        CBaseEntity* entity = SpawnListedEntity(nullptr);
        if (entity == nullptr) {
            DebugLog("VelEng::vgLoadLevelData() Error spawning entity number %d!",
                     static_cast<int>(i));
            return false;
        }
        if (!entity->Load(file)) {
            DebugLog("VelEng::vgLoadLevelData() Error loading entity number %d",
                     static_cast<int>(i));
            return false;
        }
    }
    return true;
}

// The camera record always goes into the engine camera, which then becomes the active one.
bool LoadCamera(HANDLE file) {
    if (!g_engineCamera.Load(file)) {
        DebugLog("VelEng::vgLoadLevelData() Error loading camera!");
        return false;
    }
    vgSetActiveCamera(&g_engineCamera);
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    HostClipDistances(nearDistance, farDistance);
    g_engineCamera.Update(g_engine.viewMatrix, nearDistance, farDistance);
    return true;
}

// Counts the entities of list and their subtrees that were bound, and whether any failed.
void BindUnbound(CLinkedList<CBaseEntity*>& list, int& bound, bool& failed) {
    list.Lock();
    for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
        CBaseEntity* entity = list.GetNext(position);
        if (entity->m_hModule == nullptr) {
            if (entity->BindRestored()) {
                ++bound;
            } else {
                failed = true;
            }
        }
        BindUnbound(entity->m_Children, bound, failed);
    }
    list.Unlock();
}

} // namespace

int vgSaveLevelData(HANDLE file) {
    g_engine.gameState.dwHeaderSize = kGameStateFileSize;
    CFileWriter writer(file);
    if (!WriteGameState(writer, g_engine.gameState)) {
        DebugLog("VelEng::vgSaveLevelData() Write of header failed. Last Error=%d", LastError());
        return 0;
    }
    if (!SaveEntities(file)) {
        return 0;
    }
    const int events = g_eventManager.Save(file);
    if (events != 0) {
        DebugLog("VelEng::vgSaveLevelData() Failed to save event list! (Error=%d)", events);
        return 0;
    }
    if (!CameraToSave().Save(file)) {
        DebugLog("VelEng::vgSaveLevelData() Failed to save camera state!");
        return 0;
    }
    if (!g_engineLight.Save(file)) {
        DebugLog("VelEng::vgSaveLevelData() Failed to save light state!");
        return 0;
    }
    return 1;
}

int vgLoadLevelData(HANDLE file) {
    CFileReader reader(file);
    if (!ReadHeader(reader) || !LoadEntities(file, reader)) {
        return 0;
    }
    const int events = g_eventManager.Load(file, 0);
    if (events != 0) {
        DebugLog("VelEng::vgLoadLevelData() Error loading events. Error=%d", events);
        return 0;
    }
    if (!LoadCamera(file)) {
        return 0;
    }
    if (!g_engineLight.Load(file)) {
        DebugLog("VelEng::vgLoadLevelData() Error loading light!");
        return 0;
    }
    return 1;
}

extern "C" {

int vgSaveGame(const char* path) {
    if (!g_engine.bGameLoaded) {
        DebugLog("VelEng::vgSaveGame() No level is loaded; nothing to save to '%s'", path);
        return 0;
    }
    HANDLE file = CreateReplacementFileA(path);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("VelEng::vgSaveGame() Failed to create/open file. Last Error=%d", LastError());
        return 0;
    }
    if (!vgSaveLevelData(file)) {
        CloseHandle(file); // throws the new file away; the old one stays
        return 0;
    }
    if (!CommitReplacementFile(file)) {
        DebugLog("VelEng::vgSaveGame() Failed to put the saved game in place of '%s'. Last "
                 "Error=%d",
                 path, LastError());
        return 0;
    }
    return 1;
}

int vgLoadGame(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("VelEng::vgLoadGame() Failed to open file. Last Error=%d", LastError());
        return 0;
    }
    ResetLevel();
    const int loaded = vgLoadLevelData(file);
    CloseHandle(file);
    if (!loaded) {
        return 0;
    }
    const char* level = g_engine.gameState.szLevelFile;
    char directory[kPathBufferSize] = "";
    MakeBaseDirectory(directory, level);
    if (!vgLoadLevelInfo(level, directory, 0)) {
        DebugLog("VelEng::vgLoadGame() Failed to load level info. Last Error=%d", LastError());
        return 0;
    }
    return 1;
}

int vgBindRestoredEntities() {
    int bound = 0;
    bool failed = false;
    BindUnbound(g_entityList, bound, failed);
    return failed ? -1 : bound;
}

} // extern "C"
