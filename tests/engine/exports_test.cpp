// Checks the dynamic symbol table of libvelcore.so: the plain names a host or a behaviour
// module resolves must be there, undecorated, and internals must stay hidden.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The names libvelcore.so defines in its dynamic symbol table, as the binary tools list them:
// what a host or module can resolve, without loading a second engine into this program.
std::set<std::string> DynamicSymbols(const char* path) {
    std::set<std::string> names;
    FILE* listing = popen(("nm -D --defined-only '" + std::string(path) + "'").c_str(), "r");
    char line[1024];
    while (listing != nullptr && std::fgets(line, sizeof line, listing) != nullptr) {
        std::istringstream fields(line);
        std::string address, kind, name;
        if (fields >> address >> kind >> name) {
            names.insert(name);
        }
    }
    if (listing != nullptr) {
        pclose(listing);
    }
    return names;
}

// What a host or a behaviour module resolves must be there, undecorated for the engine's
// functions, data tables and path functions; internals must stay hidden.
TEST(ExportsTest, EngineNamesAreExportedAndInternalsHidden) {
    const std::set<std::string> symbols = DynamicSymbols(VELCORE_SHARED_LIBRARY);
    ASSERT_GT(symbols.size(), 50u);
    std::istringstream names(
        "vgSetGlobals vgGetGlobals vgIsGameLoaded vgIsGamePaused vgGetCurrentRenderTime "
        "vgGetCurrentRenderFTime vgGetDeltaRenderTime vgGetDeltaRenderFTime "
        "vgGetCurrentPhysicsTime vgGetCurrentPhysicsFTime vgGetDeltaPhysicsTime "
        "vgGetDeltaPhysicsFTime vgGetActiveCamera vgSetActiveCamera vgGetActiveViewMatrix "
        "vgErrorMsg vgWarningMsg vgEnable vgDisable vgGetModelCount vgGetModel "
        "vgGet3DModel vgGetSoundCount vgGetMusicCount vgGetTextureCount vgLoadModelTable "
        "vgInitialiseWorldSize vgGetQuadrant vgRandomUnitVector vgGetEntityList "
        "vgGetNextEntityID vgSpawnParentEntity vgSpawnChildEntity vgFindEntity "
        "vgDeleteEntity vgNewGame vgPauseGame vgGamePhysicsTick propImpulseTable "
        "propWarpTable MakeBaseDirectory MakeFullPath MakeRelativePath CreateVMM OpenVMM "
        "rgRandomize rgRandom rgRandomF rgRandomN rgGenerateTable rgRandomT rgRandomFT "
        "rgRandomNT DDLoadBitmap DDReLoadBitmap DDCopyBitmap DDLoadPalette DDColorMatch "
        "DDSetColorKey vgLoadLevelInfo vgGameRenderTick vgSaveGame vgLoadGame "
        "vgBindRestoredEntities "
        // Classes: allocation, blocks, timer, machine code, debug log, the entity's, camera's,
        // surface's and texture's tables, events, lights, materials, models, matrices.
        "_ZN7CMemory8AllocateEjj _ZN7CMemory10DeallocateEPv _ZN9CMemBlock6CreateERPS_jj "
        "_ZN6CTimerC1Ev _ZN20CAbstractMachineCode4LoadEPv _Z8DebugLogPKcz _ZTV11CBaseEntity "
        "_ZN9CVelEvent13ProcessEventsEP11CBaseEntity _ZTV7CCamera _ZN6CLight6CreateEv "
        "_ZN9CMaterial10SetDiffuseERK9D3DVECTOR _ZN8C3DModel9LoadModelEPKc "
        "_Z10MatrixMultRK9D3DMATRIXS1_ _ZTV10CDDSurface _ZN10CDDSurface10RestoreAllEv "
        "_ZTV8CTexture _ZN8CTexture12SetAsCurrentEP16IDirect3DDevice3 "
        "_ZN7CMemory16TrackVideoMemoryEP19IDirectDrawSurface4 "
        "_ZN7CMemory18UntrackVideoMemoryEP19IDirectDrawSurface4");
    for (std::string name; names >> name;) {
        EXPECT_EQ(symbols.count(name), 1u) << name;
    }
    for (const char* name : {"g_engine", "g_missionCode", "g_engineTimer", "_Z10ResetLevelv",
                             "_Z12AdvanceClockRK12CLOCK_FIELDSj"}) {
        EXPECT_EQ(symbols.count(name), 0u) << name;
    }
}

} // namespace
