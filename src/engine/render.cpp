#include "engine/render.h"

#include "engine/debug_log.h"
#include "engine/element_table.h"
#include "engine/engine.h"
#include "engine/entity_walk.h"
#include "engine/globals.h"
#include "engine/lifecycle.h"
#include "engine/model_table.h"
#include "engine/state.h"
#include "entity/entity.h"
#include "math/inline_ops.h"
#include "model/material.h"
#include "model/model.h"
#include "model/model_frame.h"
#include "platform/d3d/d3d.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/texture.h"

#include <algorithm>
#include <cmath>

namespace {

// What the tick last made current on the device. Pointers are compared, never followed, but
// they must be forgotten before the objects they name can be freed and their addresses reused.
struct CURRENT_DEVICE_OBJECTS {
    DWORD dwDeviceGeneration = 0;
    CMaterial* pMaterial = nullptr;
    CTexture* pTexture = nullptr;
};

CURRENT_DEVICE_OBJECTS g_current;

constexpr DWORD kTextureAdditiveFlags = kTextureWhiteTransparent | kTextureBlackTransparent;

IDirect3DDevice3* Device() {
    GAME_GLOBALS* globals = vgGetGlobals();
    return globals != nullptr ? globals->pDevice : nullptr;
}

unsigned ResultCode(HRESULT result) {
    return static_cast<unsigned>(result);
}

HRESULT SetMaterialIfChanged(IDirect3DDevice3* device, CMaterial* material) {
    if (material == g_current.pMaterial) {
        return 0;
    }
    HRESULT result = material->SetAsCurrent(device);
    // A material the device refused is set again with the next frame that uses it.
    g_current.pMaterial = FAILED(result) ? nullptr : material;
    return result;
}

void SetBlending(IDirect3DDevice3* device, bool additive) {
    device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, additive ? 1 : 0);
    device->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRENDERSTATE_DESTBLEND, additive ? D3DBLEND_ONE : D3DBLEND_ZERO);
}

HRESULT SetTextureStages(IDirect3DDevice3* device, DWORD stage) {
    device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(stage, D3DTSS_MINFILTER, D3DTFN_LINEAR);
    return device->SetTextureStageState(stage, D3DTSS_MAGFILTER, D3DTFG_LINEAR);
}

HRESULT SetTextureIfChanged(IDirect3DDevice3* device, CTexture* texture) {
    if (texture == g_current.pTexture) {
        return 0;
    }
    g_current.pTexture = nullptr;
    HRESULT result = texture->SetAsCurrent(device);
    if (FAILED(result)) {
        return result;
    }
    SetBlending(device, (texture->GetFlags() & kTextureAdditiveFlags) != 0);
    result = SetTextureStages(device, texture->GetTextureStage());
    if (!FAILED(result)) {
        g_current.pTexture = texture;
    }
    return result;
}

// The index-th texture object of the level, or null when the table has no such record or
// its texture was not loaded.
CTexture* LevelTextureOf(DWORD index) {
    if (index >= g_level.textureHeader.dwCount || index >= g_level.dwTextureObjectCount ||
        g_level.ppTextureObjects == nullptr) {
        return nullptr;
    }
    return g_level.ppTextureObjects[index];
}

// Material first; the texture comes from the entity's model record, else from the material.
void SetFrameAppearance(IDirect3DDevice3* device, CMaterial* material, DWORD textureIndex) {
    if (material != nullptr) {
        HRESULT result = SetMaterialIfChanged(device, material);
        if (FAILED(result)) {
            DebugLog("VelEng::vgRenderEntity() Failed to set material! Error=%08X",
                     ResultCode(result));
        } else if (textureIndex == kNoTextureOverride) {
            textureIndex = material->GetTextureIndex();
        }
    }
    CTexture* texture = LevelTextureOf(textureIndex);
    if (texture == nullptr) {
        device->SetRenderState(D3DRENDERSTATE_TEXTUREHANDLE, 0);
        g_current.pTexture = nullptr;
        return;
    }
    HRESULT result = SetTextureIfChanged(device, texture);
    if (FAILED(result)) {
        DebugLog("VelEng::vgRenderEntity() Failed to set texture %d. Error=%08X",
                 static_cast<int>(textureIndex), ResultCode(result));
    }
}

// The world matrix already carries the entity's scale, so the sphere's centre is transformed
// unscaled; its radius grows by the largest stretch the scale can give.
float LargestScale(const D3DVECTOR& scale) {
    return std::max({std::fabs(scale.x), std::fabs(scale.y), std::fabs(scale.z)});
}

// What culling needs of an entity, worked out once for all its frames.
struct ENTITY_PLACEMENT {
    const D3DMATRIX& world;
    D3DVECTOR sphereOffset;
    float radiusScale;
};

bool IsFrameVisible(C3DModelFrame& frame, const ENTITY_PLACEMENT& placement) {
    D3DVECTOR centre;
    float radius = 0.0f;
    frame.GetBoundingSphere(centre, radius, 0.0f);
    centre = inline_ops::Add(centre, placement.sphereOffset);
    D3DVECTOR worldCentre = inline_ops::Transform(centre, placement.world);
    return vgGetActiveCamera()->IsBoundingSphereVisible(&worldCentre,
                                                        radius * placement.radiusScale) != 0;
}

void DrawFrame(IDirect3DDevice3* device, C3DModelFrame& frame) {
    HRESULT result = device->DrawIndexedPrimitive(
        D3DPT_TRIANGLELIST, D3DFVF_VERTEX, frame.GetVertexList(), frame.GetVertexCount(),
        static_cast<const WORD*>(frame.GetFaceList()), frame.GetFaceCount() * 3,
        D3DDP_DONOTUPDATEEXTENTS);
    if (FAILED(result)) {
        DebugLog("VelEng::vgRenderEntity() DrawIndexedPrimitive failed. Error=%08X",
                 ResultCode(result));
    }
}

// Frames without faces (dummies) have nothing to draw, and frames whose indices did not fit
// in 16 bits cannot be drawn by the device.
bool IsDrawable(C3DModelFrame& frame) {
    return frame.GetFaceCount() != 0 && frame.HasShortIndices();
}

void DrawModel(IDirect3DDevice3* device, C3DModel& model, CBaseEntity& entity,
               const D3DMATRIX& world) {
    const ENTITY_PLACEMENT placement{world, entity.m_Model.vSphereOffset,
                                     LargestScale(entity.m_vScale)};
    bool worldSet = false;
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        C3DModelFrame* frame = model.GetFrame(i);
        if (frame == nullptr || !IsDrawable(*frame) || !IsFrameVisible(*frame, placement)) {
            continue;
        }
        if (!worldSet) {
            worldSet = true;
            HRESULT result = device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
            if (FAILED(result)) {
                DebugLog("VelEng::vgRenderEntity() Failed to set world transformation! "
                         "Error=%08X",
                         ResultCode(result));
            }
        }
        SetFrameAppearance(device, model.GetMaterial(frame->GetMaterialIndex()),
                           entity.m_Model.dwTextureOverride);
        DrawFrame(device, *frame);
    }
}

// Calls Render on every entity of the list and acts on its answer. parentMatrix() gives the
// matrix to draw an entity under; it is asked only when an entity is drawn.
template <class ParentMatrix>
void RenderList(CLinkedList<CBaseEntity*>& list, ParentMatrix parentMatrix,
                const char* unexpectedResultMessage) {
    WalkEntityAnswers(
        list, [](CBaseEntity* entity) { return entity->Render(); },
        [&](CBaseEntity* entity, int answer) {
            if (answer == kEntityContinue) {
                vgRenderEntity(entity, parentMatrix());
            } else if (answer != kEntityNothingToDraw) {
                DebugLog(unexpectedResultMessage, entity->m_Model.szTypeName, answer);
            }
        });
}

void ForgetOnNewDeviceGeneration() {
    GAME_GLOBALS* globals = vgGetGlobals();
    if (globals != nullptr && globals->dwDeviceGeneration != g_current.dwDeviceGeneration) {
        g_current.dwDeviceGeneration = globals->dwDeviceGeneration;
        ForgetCurrentMaterialAndTexture();
    }
}

void UpdateView(IDirect3DDevice3* device) {
    if (vgGetActiveCamera() == nullptr) {
        DebugLog("VelEng::vgGameTick() No active camera assigned!!");
        ResetCamera();
    }
    CCamera* camera = vgGetActiveCamera();
    float nearDistance = 0.0f;
    float farDistance = 0.0f;
    HostClipDistances(nearDistance, farDistance);
    camera->Update(g_engine.viewMatrix, nearDistance, farDistance);
    camera->GetFarPoints(g_engine.farPoints);
    HRESULT result = device->SetTransform(D3DTRANSFORMSTATE_VIEW, &g_engine.viewMatrix);
    if (FAILED(result)) {
        DebugLog("VelEng::vgGameTick() Failed to set view transformation. Error=%08X",
                 ResultCode(result));
    }
    g_engineLight.SetOrientation(camera->GetOrientation());
    g_engineLight.SetAsCurrent();
}

} // namespace

void ForgetCurrentMaterialAndTexture() {
    g_current.pMaterial = nullptr;
    g_current.pTexture = nullptr;
}

void vgRenderEntities() {
    RenderList(
        g_entityList, []() -> const D3DMATRIX& { return g_identityMatrix; },
        "VelEng::vgRenderEntities() Entity '%s' returned %d from render function.");
}

void vgRenderEntity(CBaseEntity* entity, const D3DMATRIX& parent) {
    D3DMATRIX local;
    D3DMATRIX hierarchy;
    entity->CalculateLocalMatrix(local);
    entity->CalculateHierarchyMatrix(hierarchy);
    // An entity whose record has no loaded model draws nothing but still passes its
    // transform on to its children.
    if (C3DModel* model = LevelModelOf(entity->m_dwModelIndex)) {
        DrawModel(Device(), *model, *entity, MatrixMult(parent, MatrixMult(hierarchy, local)));
    }
    if (entity->m_Children.GetCount() == 0) {
        return;
    }
    // Children inherit the parent's hierarchy transform but not its local one.
    bool childParentReady = false;
    D3DMATRIX childParent;
    auto childParentMatrix = [&]() -> const D3DMATRIX& {
        if (!childParentReady) {
            childParentReady = true;
            D3DMATRIX again;
            entity->CalculateHierarchyMatrix(again);
            childParent = MatrixMult(parent, again);
        }
        return childParent;
    };
    RenderList(entity->m_Children, childParentMatrix,
               "VelEng::vgRenderEntity() Entity '%s' returned %d from render function.");
}

extern "C" int vgGameRenderTick() {
    if (g_engine.bGamePaused || !g_engine.bEnabled) {
        return 1;
    }
    ForgetOnNewDeviceGeneration();
    UpdateClock(RenderClock());
    IDirect3DDevice3* device = Device();
    if (device == nullptr) {
        DebugLog("VelEng::vgGameRenderTick() No device to draw with!");
        return 1;
    }
    UpdateView(device);
    vgRenderEntities();
    return 1;
}
