// The sample host: a console program that drives libvelcore.so the way a game does. It hands
// the engine its globals record with a software 3D device, enables the engine, reads the
// clocks over a few timed steps, spawns entities bound to the sample drone module, shows
// triggers firing, runs physics and render ticks in real time with a camera following a
// drone, loads and animates the sample model printing its bounding box, shows a warning box,
// prints the memory statistics and disables the engine. The memory accountant's report
// appears when the library unloads at exit.

#include "host_options.h"
#include "sample_events.h"
#include "sample_model.h"
#include "sample_physics.h"
#include "sample_world.h"

#include "engine/engine.h"
#include "platform/d3d/software/software_d3d.h"
#include "platform/os/debug_output.h"
#include "platform/os/message_box.h"
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

// The devices a game would create: here the software 3D device with one viewport.
struct HostDevices {
    platform::SoftwareDirect3D* direct3D = nullptr;
    platform::SoftwareDevice* device = nullptr;
    IDirect3DViewport3* viewport = nullptr;

    bool Create() {
        if (FAILED(platform::CreateSoftwareDirect3D({}, &direct3D, &device)) ||
            FAILED(direct3D->CreateViewport(&viewport, nullptr))) {
            return false;
        }
        return SUCCEEDED(device->SetCurrentViewport(viewport));
    }
    ~HostDevices() {
        for (IUnknown* object : {static_cast<IUnknown*>(viewport), static_cast<IUnknown*>(device),
                                 static_cast<IUnknown*>(direct3D)}) {
            if (object != nullptr) {
                object->Release();
            }
        }
    }
};

GAME_GLOBALS MakeGlobals(HostDevices& devices) {
    GAME_GLOBALS globals{};
    globals.pDirect3D = devices.direct3D;
    globals.pDevice = devices.device;
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
        std::printf("  step %d: timer %u ms (+%u)\n", step, now, now - previous);
        previous = now;
    }
}

void ShowMemoryUse() {
    // Game data goes through the accountant; show it counting and releasing.
    DWORD before = CMemory::GetTotalMemoryAllocated();
    void* block = CMemory::Allocate(64 * 1024, 0);
    std::printf("  with a 64 KiB block: %u bytes allocated (+%u), peak %u\n",
                CMemory::GetTotalMemoryAllocated(), CMemory::GetTotalMemoryAllocated() - before,
                CMemory::GetMaxMemoryUsed());
    CMemory::Deallocate(block);
    CMemory::DumpMemoryStats(1);
}

// Everything between enabling and disabling; false when a part could not run.
bool RunLevel(const HostOptions& options) {
    Section("timed steps");
    RunTimedSteps(options);

    Section("entities");
    std::string modulePath = options.modulePath.empty() ? SAMPLE_DRONE_MODULE : options.modulePath;
    if (!LoadSampleModels(modulePath)) {
        return false;
    }
    SpawnDrones(options.drones);

    Section("triggers");
    bool eventsRan = RunSampleEvents();

    Section("physics");
    RunSamplePhysics(options.seconds, options.ticksPerSecond);

    Section("model");
    if (!RunSampleModel(SAMPLE_MODEL)) {
        return false;
    }

    Section("warning box");
    std::printf("  vgWarningMsg() = %d\n",
                vgWarningMsg("The sample host runs no level file yet.", MB_OK | MB_ICONWARNING));

    Section("memory");
    ShowMemoryUse();
    return eventsRan;
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

    Section("globals");
    static HostDevices devices;
    if (!devices.Create()) {
        std::fprintf(stderr, "velcore_host: the software 3D device could not be created\n");
        return 1;
    }
    static GAME_GLOBALS globals = MakeGlobals(devices);
    vgSetGlobals(&globals);
    std::printf("  screen %dx%d, clip %.1f to %.1f, software 3D device\n", globals.nScreenWidth,
                globals.nScreenHeight, globals.fNearPlane, globals.fFarPlane);

    Section("enable");
    std::printf("  vgEnable() = %d, loaded %d, paused %d\n", vgEnable(), vgIsGameLoaded(),
                vgIsGamePaused());

    bool ran = RunLevel(options);

    Section("disable");
    std::printf("  vgDisable() = %d\n", vgDisable());

    Section("unload (memory accountant report)");
    return ran ? 0 : 1;
}
