// The sample host: a console program that drives libvelcore.so the way a game does. It hands
// the engine its globals record, enables it, runs a few timed steps reading the clocks, spawns
// entities bound to the sample drone module and follows their life cycle, shows a warning
// box, prints the memory statistics and disables the engine. The memory accountant's report
// appears when the library unloads at exit.

#include "host_options.h"
#include "sample_world.h"

#include "engine/engine.h"
#include "platform/debug_output.h"
#include "platform/message_box.h"
#include "support/memory.h"
#include "support/timer.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

bool g_echoDebugOutput = true;

void PrintDebugLine(const char* text, void*) {
    if (g_echoDebugOutput) {
        std::printf("  [debug] %s", text);
        std::fflush(stdout);
    }
}

// A console stand-in for a modal box: shows it and answers with its first button.
int ShowConsoleBox(const char* text, const char* caption, UINT style, void*) {
    std::printf("  +-- %s\n  | %s\n  +-- (answered %d)\n", caption, text,
                DefaultMessageBoxButton(style));
    return DefaultMessageBoxButton(style);
}

void Section(const char* title) {
    std::printf("\n== %s\n", title);
}

GAME_GLOBALS MakeGlobals() {
    GAME_GLOBALS globals{};
    globals.nScreenWidth = 640;
    globals.nScreenHeight = 480;
    globals.fNearPlane = 1.0f;
    globals.fFarPlane = 10000.0f;
    return globals;
}

void RunTimedSteps(const HostOptions& options) {
    CTimer timer;
    DWORD previous = timer.GetDWORDMillisecTicks();
    std::printf("  timer: %s\n", timer.IsHighResolution() ? "high resolution" : "system clock");
    for (int step = 1; step <= options.steps; ++step) {
        std::this_thread::sleep_for(std::chrono::milliseconds(options.stepMilliseconds));
        DWORD now = timer.GetDWORDMillisecTicks();
        std::printf("  step %d: timer %u ms (+%u), physics clock %u ms, render clock %u ms\n", step,
                    now, now - previous, vgGetCurrentPhysicsTime(), vgGetCurrentRenderTime());
        previous = now;
    }
}

void ShowMemoryUse() {
    // Game data goes through the accountant; show it counting and releasing.
    void* block = CMemory::Allocate(64 * 1024, 0);
    std::printf("  with a 64 KiB block: %u bytes allocated, peak %u\n",
                CMemory::GetTotalMemoryAllocated(), CMemory::GetMaxMemoryUsed());
    CMemory::Deallocate(block);
    std::printf("  after freeing it:    %u bytes allocated, peak %u\n",
                CMemory::GetTotalMemoryAllocated(), CMemory::GetMaxMemoryUsed());
    CMemory::DumpMemoryStats(1);
}

} // namespace

int main(int argc, char** argv) {
    HostOptions options;
    std::string error;
    if (!ParseHostOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "velcore_host: %s\n%s", error.c_str(), HostUsage());
        return 2;
    }
    if (options.showHelp) {
        std::printf("%s", HostUsage());
        return 0;
    }
    g_echoDebugOutput = options.showDebugOutput;
    SetDebugOutputSink({PrintDebugLine, nullptr});
    SetMessageBoxHandler({ShowConsoleBox, nullptr});

    static GAME_GLOBALS globals = MakeGlobals();
    Section("globals");
    vgSetGlobals(&globals);
    std::printf("  screen %dx%d, clip %.1f to %.1f\n", globals.nScreenWidth, globals.nScreenHeight,
                globals.fNearPlane, globals.fFarPlane);

    Section("enable");
    std::printf("  vgEnable() = %d, loaded %d, paused %d\n", vgEnable(), vgIsGameLoaded(),
                vgIsGamePaused());

    Section("timed steps");
    RunTimedSteps(options);

    Section("entities");
    SampleWorldOptions world;
    world.modulePath = options.modulePath.empty() ? SAMPLE_DRONE_MODULE : options.modulePath;
    world.drones = options.drones;
    world.steps = options.steps;
    bool worldRan = RunSampleWorld(world);

    Section("warning box");
    std::printf("  vgWarningMsg() = %d\n",
                vgWarningMsg("The sample host runs no level file yet.", MB_OK | MB_ICONWARNING));

    Section("memory");
    ShowMemoryUse();

    Section("disable");
    std::printf("  vgDisable() = %d\n", vgDisable());

    Section("unload (memory accountant report)");
    return worldRan ? 0 : 1;
}
