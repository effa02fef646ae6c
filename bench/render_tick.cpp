// One render tick over 1 000 entities of a 12-frame model, every frame in view, drawn on a
// device that accepts every call and does nothing: the engine's own cost per entity (walk,
// Render entry, matrices, culling, material and texture caching, the calls themselves). The
// tick must not allocate: the accountant's figures and the program's operator new are
// checked around the timed ticks.

#include "benchkit/idle_level.h"
#include "benchkit/tick_loop.h"
#include "benchkit/timings.h"
#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/render.h"
#include "entity/entity.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/d3d/d3d.h"
#include "scene/texture.h"
#include "support/memory.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr int kEntities = 1000;
constexpr DWORD kFramesPerModel = 12;

// Accepts every call; the calls the render tick makes cost a virtual call each.
class NullDevice final : public IDirect3DDevice3 {
public:
    DWORD AddRef() override { return 1; }
    DWORD Release() override { return 1; }
    HRESULT BeginScene() override { return D3D_OK; }
    HRESULT EndScene() override { return D3D_OK; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return D3D_OK; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetLightState(D3DLIGHTSTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return D3D_OK; }
    HRESULT SetTexture(DWORD, IDirect3DTexture2*) override { return D3D_OK; }
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE, DWORD, const void*, DWORD, const WORD*, DWORD,
                                 DWORD) override {
        return D3D_OK;
    }
    HRESULT GetCaps(D3DDEVICEDESC*, D3DDEVICEDESC*) override { return D3D_OK; }
    HRESULT EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK, void*) override { return D3D_OK; }
    HRESULT SetCurrentViewport(IDirect3DViewport3*) override { return D3D_OK; }
    HRESULT GetCurrentViewport(IDirect3DViewport3** viewport) override {
        *viewport = nullptr;
        return D3DERR_NOCURRENTVIEWPORT;
    }
};

// A unit cube of 12 triangles around centre.
C3DModelFrame* CubeFrame(const D3DVECTOR& centre, DWORD material) {
    D3DVERTEX corners[8];
    for (int i = 0; i < 8; ++i) {
        corners[i] = {centre.x + ((i & 1) ? 0.5f : -0.5f),
                      centre.y + ((i & 2) ? 0.5f : -0.5f),
                      centre.z + ((i & 4) ? 0.5f : -0.5f),
                      0.0f,
                      0.0f,
                      -1.0f,
                      0.0f,
                      0.0f};
    }
    static const DWORD faces[36] = {0, 1, 3, 0, 3, 2, 4, 6, 7, 4, 7, 5, 0, 4, 5, 0, 5, 1,
                                    2, 3, 7, 2, 7, 6, 0, 2, 6, 0, 6, 4, 1, 5, 7, 1, 7, 3};
    C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
    frame->SetVertices(corners, 8);
    frame->SetFaces(faces, 12);
    frame->SetMaterialIndex(material);
    const DBOX_KEYFRAME box{}; // one box, keyframe 0 at time 0
    frame->SetBBoxKeyframes(1, &box, 0, 0);
    return frame;
}

// Twelve cubes in a grid: the first six with one material, the rest with another, both
// showing texture 0 (an empty texture object: binding it is all the tick does with it).
void InstallGridModel() {
    C3DModel* model = NewAccounted<C3DModel>();
    for (int m = 0; m < 2; ++m) {
        CMaterial* material = NewAccounted<CMaterial>();
        material->SetTextureIndex(0);
        model->AddMaterial(material);
    }
    for (DWORD i = 0; i < kFramesPerModel; ++i) {
        model->AddFrame(CubeFrame(
            D3DVECTOR(static_cast<float>(i % 4) - 1.5f, static_cast<float>(i / 4) - 1.0f, 0.0f),
            i < kFramesPerModel / 2 ? 0 : 1));
    }
    model->ConvertIndices(nullptr);
    model->CalculateBoundingBox();
    g_level.pp3DModels = static_cast<C3DModel**>(CMemory::Allocate(sizeof(C3DModel*), 0));
    g_level.pp3DModels[0] = model;
    g_level.dw3DModelCount = 1;
    g_level.pModelMap = static_cast<DWORD*>(CMemory::Allocate(sizeof(DWORD), 0));
    g_level.pModelMap[0] = 0;
    g_level.ppTextureObjects = static_cast<CTexture**>(CMemory::Allocate(sizeof(CTexture*), 0));
    g_level.ppTextureObjects[0] = NewAccounted<CTexture>();
    g_level.dwTextureObjectCount = 1;
    g_level.textureHeader.dwCount = 1;
}

void BM_RenderTick(benchmark::State& state) {
    NullDevice device;
    GAME_GLOBALS globals{};
    globals.pDevice = &device;
    globals.nScreenWidth = 640;
    globals.nScreenHeight = 480;
    globals.fNearPlane = 1.0f;
    globals.fFarPlane = 1000.0f;
    vgSetGlobals(&globals);
    vgEnable();
    benchkit::LoadIdleModel();
    InstallGridModel();
    for (int i = 0; i < kEntities; ++i) {
        CBaseEntity* entity = benchkit::CreateIdle(nullptr);
        entity->m_vWorldPosition =
            D3DVECTOR(static_cast<float>(i % 10) - 4.5f, static_cast<float>(i / 10 % 10) - 4.5f,
                      40.0f + static_cast<float>(i / 100));
        entity->m_vScale = D3DVECTOR(1.0f);
    }
    vgPauseGame(0);
    vgGameRenderTick();
    benchkit::RunTicks(state, kEntities, [] { vgGameRenderTick(); });
    vgDisable();
    vgSetGlobals(nullptr);
}

BENCHMARK(BM_RenderTick)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        std::printf("render tick: %.1f ns per entity of %u frames, all in view (target: under "
                    "300)\n",
                    timings.PerItem("BM_RenderTick"), kFramesPerModel);
    });
}
