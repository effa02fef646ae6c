#include "sample_physics.h"

#include "sample_world.h"

#include "engine/engine.h"
#include "engine/render.h"
#include "entity/entity.h"
#include "platform/d3d/d3d.h"
#include "scene/camera.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// The first and the last top-level entity.
void Ends(CBaseEntity*& first, CBaseEntity*& last) {
    CLinkedList<CBaseEntity*>& list = *vgGetEntityList();
    first = list.GetCount() != 0 ? *list.GetHead() : nullptr;
    last = list.GetCount() != 0 ? list.GetAt(list.FindIndex(list.GetCount() - 1)) : nullptr;
}

void PrintCamera(int second, CCamera& camera) {
    D3DVECTOR eye = camera.GetPosition();
    D3DVECTOR view = camera.GetOrientation();
    std::printf("  t=%ds physics %5u ms: camera at (%6.2f, %6.2f, %6.2f) looking (%5.2f, %5.2f, "
                "%5.2f)\n",
                second, vgGetCurrentPhysicsTime(), eye.x, eye.y, eye.z, view.x, view.y, view.z);
}

} // namespace

void RunSamplePhysics(int seconds, int ticksPerSecond) {
    CBaseEntity* rider = nullptr;
    CBaseEntity* watched = nullptr;
    Ends(rider, watched);
    if (rider == nullptr) {
        std::printf("  no entities to follow\n");
        return;
    }
    CCamera camera;
    camera.SetState(CCamera::CAMERA_STATE_FOLLOW_OWNER);
    camera.SetMode(CCamera::CAMERA_MODE_TRACK_TARGET);
    camera.SetOwner(rider->m_dwID);
    camera.SetTargetEntity(watched->m_dwID);
    vgSetActiveCamera(&camera);
    std::printf("  camera rides on %u and watches %u\n", rider->m_dwID, watched->m_dwID);

    IDirect3DDevice3* device = vgGetGlobals()->pDevice;
    auto period = std::chrono::microseconds(1000000 / ticksPerSecond);
    auto next = std::chrono::steady_clock::now();
    vgPauseGame(0);
    for (int second = 1; second <= seconds; ++second) {
        for (int tick = 0; tick < ticksPerSecond; ++tick) {
            next += period;
            std::this_thread::sleep_until(next);
            vgGamePhysicsTick();
            // The render tick updates the active camera; the drones have no models to draw.
            device->BeginScene();
            vgGameRenderTick();
            device->EndScene();
        }
        PrintCamera(second, camera);
    }
    vgPauseGame(1);
    vgSetActiveCamera(nullptr);
    PrintEntityTree();
}
