#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/globals.h"
#include "engine/registry.h"
#include "engine/state.h"
#include "support/machine_code.h"

// The reset throws away what a level owns, in a fixed order: the flags first, then the
// level's tables, its entities and script code, then the clocks and identifiers.
void ResetLevel() {
    g_engine.bGameLoaded = FALSE;
    g_engine.bGamePaused = TRUE;
    ReleaseLevelTables();
    DeleteAllEntities(g_entityList, nullptr);
    g_entityList.RemoveAll();
    g_missionCode.ReleaseResources();
    ResetClocks();
    g_engine.gameState.dwNextEntityId = kFirstEntityId;
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
    return 1;
}

} // extern "C"
