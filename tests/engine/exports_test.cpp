// Checks the dynamic symbol table of libvelcore.so: the plain names a host or a behaviour
// module resolves must be there, undecorated, and internals must stay hidden.

#include <gtest/gtest.h>

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The names libvelcore.so defines in its dynamic symbol table, read straight from the file:
// what a host or module can resolve, without loading a second engine into this program.
std::set<std::string> DynamicSymbols(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr)) {
        return names;
    }
    Elf64_Ehdr header;
    std::memcpy(&header, image.data(), sizeof header);
    auto section = [&](std::size_t index) {
        Elf64_Shdr shdr;
        std::memcpy(&shdr, image.data() + header.e_shoff + index * sizeof shdr, sizeof shdr);
        return shdr;
    };
    for (std::size_t i = 0; i < header.e_shnum; ++i) {
        Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM) {
            continue;
        }
        Elf64_Shdr strings = section(symbols.sh_link);
        for (std::size_t offset = 0; offset + sizeof(Elf64_Sym) <= symbols.sh_size;
             offset += sizeof(Elf64_Sym)) {
            Elf64_Sym symbol;
            std::memcpy(&symbol, image.data() + symbols.sh_offset + offset, sizeof symbol);
            bool defined = symbol.st_shndx != SHN_UNDEF;
            bool visible = ELF64_ST_VISIBILITY(symbol.st_other) == STV_DEFAULT &&
                           ELF64_ST_BIND(symbol.st_info) != STB_LOCAL;
            if (defined && visible && symbol.st_name != 0) {
                names.insert(image.data() + strings.sh_offset + symbol.st_name);
            }
        }
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
