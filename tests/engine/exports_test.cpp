// Checks the dynamic symbol table of libvelcore.so: the plain names a host or a behaviour
// module resolves must be there, undecorated, and internals must stay hidden.

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

class ExportsTest : public ::testing::Test {
protected:
    // Kept mapped to the end: the library's lock and accountant state live for the whole
    // process and would look leaked once its image was unmapped.
    static void SetUpTestSuite() {
        s_library = dlopen(VELCORE_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    }
    static bool Exports(const char* name) { return dlsym(s_library, name) != nullptr; }

    static void* s_library;
};

void* ExportsTest::s_library = nullptr;

TEST_F(ExportsTest, LibraryLoads) {
    ASSERT_NE(s_library, nullptr) << dlerror();
}

TEST_F(ExportsTest, EngineFunctionsHaveUndecoratedNames) {
    ASSERT_NE(s_library, nullptr);
    for (const char* name : {"vgSetGlobals",
                             "vgGetGlobals",
                             "vgIsGameLoaded",
                             "vgIsGamePaused",
                             "vgGetCurrentRenderTime",
                             "vgGetCurrentRenderFTime",
                             "vgGetDeltaRenderTime",
                             "vgGetDeltaRenderFTime",
                             "vgGetCurrentPhysicsTime",
                             "vgGetCurrentPhysicsFTime",
                             "vgGetDeltaPhysicsTime",
                             "vgGetDeltaPhysicsFTime",
                             "vgGetActiveCamera",
                             "vgSetActiveCamera",
                             "vgGetActiveViewMatrix",
                             "vgErrorMsg",
                             "vgWarningMsg",
                             "vgEnable",
                             "vgDisable",
                             "vgGetModelCount",
                             "vgGetModel",
                             "vgGet3DModel",
                             "vgGetSoundCount",
                             "vgGetMusicCount",
                             "vgGetTextureCount",
                             "vgLoadModelTable",
                             "vgInitialiseWorldSize",
                             "vgGetQuadrant",
                             "vgRandomUnitVector",
                             "vgGetEntityList",
                             "vgGetNextEntityID",
                             "vgSpawnParentEntity",
                             "vgSpawnChildEntity",
                             "vgFindEntity",
                             "vgDeleteEntity"}) {
        EXPECT_TRUE(Exports(name)) << name;
    }
}

TEST_F(ExportsTest, DataTablesAndPathFunctionsHaveUndecoratedNames) {
    ASSERT_NE(s_library, nullptr);
    for (const char* name :
         {"propImpulseTable", "propWarpTable", "MakeBaseDirectory", "MakeFullPath",
          "MakeRelativePath", "rgRandomize", "rgRandom", "rgRandomF", "rgRandomN",
          "rgGenerateTable", "rgRandomT", "rgRandomFT", "rgRandomNT"}) {
        EXPECT_TRUE(Exports(name)) << name;
    }
}

TEST_F(ExportsTest, ClassesAreExported) {
    ASSERT_NE(s_library, nullptr);
    for (const char* name : {
             "_ZN7CMemory8AllocateEjj",           // CMemory::Allocate
             "_ZN7CMemory10DeallocateEPv",        // CMemory::Deallocate
             "_ZN9CMemBlock6CreateERPS_jj",       // CMemBlock::Create
             "_ZN6CTimerC1Ev",                    // CTimer::CTimer()
             "_ZN20CAbstractMachineCode4LoadEPv", // CAbstractMachineCode::Load
             "_Z8DebugLogPKcz",                   // DebugLog
             "_ZTV11CBaseEntity",                 // CBaseEntity's vtable
             "_Z10MatrixMultRK9D3DMATRIXS1_",     // MatrixMult
         }) {
        EXPECT_TRUE(Exports(name)) << name;
    }
}

TEST_F(ExportsTest, InternalsStayHidden) {
    ASSERT_NE(s_library, nullptr);
    for (const char* name : {"g_engine", "g_missionCode", "g_engineTimer", "_Z10ResetLevelv",
                             "_Z12AdvanceClockRK12CLOCK_FIELDSj"}) {
        EXPECT_FALSE(Exports(name)) << name;
    }
}

} // namespace
