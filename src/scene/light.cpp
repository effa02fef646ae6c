#include "scene/light.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "support/binary_file.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

D3DVECTOR Unit(const D3DVECTOR& v) {
    return v / Magnitude(v);
}

} // namespace

CLight::CLight() : m_bDirty(TRUE), m_pLight(nullptr), m_Light{} {
    Initialise();
}

CLight::~CLight() {
    Release();
}

void CLight::Initialise() {
    std::memset(&m_Light, 0, sizeof m_Light);
    m_Light.dwSize = sizeof(D3DLIGHT2);
    // The largest range a device light accepts.
    m_Light.dvRange = std::sqrt(std::numeric_limits<float>::max());
    m_Light.dvFalloff = 1.0f;
    m_Light.dvAttenuation1 = 1.0f;
    m_Light.dwFlags = D3DLIGHT_ACTIVE | D3DLIGHT_NO_SPECULAR;
    m_pLight = nullptr;
    m_bDirty = TRUE;
}

void CLight::Release() {
    if (m_pLight != nullptr) {
        m_pLight->Release();
        m_pLight = nullptr;
    }
}

int CLight::Create() {
    Release();
    Initialise();
    GAME_GLOBALS* globals = vgGetGlobals();
    IDirect3D3* direct3D = globals != nullptr ? globals->pDirect3D : nullptr;
    if (direct3D == nullptr) {
        DebugLog("CLight::Create() Failed to create light! Error=%08X",
                 static_cast<unsigned>(DDERR_INVALIDPARAMS));
        return 0;
    }
    HRESULT result = direct3D->CreateLight(&m_pLight, nullptr);
    if (FAILED(result)) {
        m_pLight = nullptr;
        DebugLog("CLight::Create() Failed to create light! Error=%08X",
                 static_cast<unsigned>(result));
        return 0;
    }
    return 1;
}

void CLight::Destroy() {
    Release();
}

void CLight::SetShape(D3DLIGHTTYPE type, float attenuation1) {
    m_Light.dltType = type;
    m_Light.dvAttenuation0 = 0.0f;
    m_Light.dvAttenuation1 = attenuation1;
    m_Light.dvAttenuation2 = 0.0f;
    m_Light.dvFalloff = 1.0f;
}

void CLight::SetPointLight(D3DVECTOR& position, float r, float g, float b) {
    m_Light.dvPosition = position;
    SetShape(D3DLIGHT_POINT, 1.0f);
    SetColour(r, g, b);
}

void CLight::SetSpotLight(D3DVECTOR& position, D3DVECTOR& direction, float theta, float phi,
                          float attenuation1, float r, float g, float b) {
    m_Light.dvPosition = position;
    m_Light.dvDirection = Unit(direction);
    m_Light.dvTheta = theta;
    m_Light.dvPhi = phi;
    SetShape(D3DLIGHT_SPOT, attenuation1);
    SetColour(r, g, b);
}

void CLight::SetDirectionalLight(D3DVECTOR& direction, float r, float g, float b) {
    m_Light.dvDirection = Unit(direction);
    SetShape(D3DLIGHT_DIRECTIONAL, 1.0f);
    SetColour(r, g, b);
}

void CLight::SetParallelPointLight(D3DVECTOR& position, float r, float g, float b) {
    m_Light.dvPosition = position;
    SetShape(D3DLIGHT_PARALLELPOINT, 1.0f);
    SetColour(r, g, b);
}

void CLight::SetColour(float r, float g, float b) {
    m_Light.dcvColor = {r, g, b, 1.0f};
    MarkDirty();
}

void CLight::SetPosition(D3DVECTOR& position) {
    m_Light.dvPosition = position;
    MarkDirty();
}

void CLight::SetOrientation(D3DVECTOR& direction) {
    m_Light.dvDirection = direction;
    MarkDirty();
}

D3DVECTOR& CLight::GetOrientation() {
    return m_Light.dvDirection;
}

void CLight::Enable(int on) {
    m_Light.dwFlags =
        on ? (m_Light.dwFlags | D3DLIGHT_ACTIVE) : (m_Light.dwFlags & ~D3DLIGHT_ACTIVE);
    MarkDirty();
}

void CLight::EnableSpecularHighlights(int on) {
    m_Light.dwFlags =
        on ? (m_Light.dwFlags & ~D3DLIGHT_NO_SPECULAR) : (m_Light.dwFlags | D3DLIGHT_NO_SPECULAR);
    MarkDirty();
}

D3DLIGHT2* CLight::GetLightInfo() {
    return &m_Light;
}

void CLight::Set() {
    if (m_pLight == nullptr) {
        DebugLog("CLight::Set() NULL light interface!!");
        return;
    }
    HRESULT result = m_pLight->SetLight(&m_Light);
    if (FAILED(result)) {
        DebugLog("CLight::Set() Failed to set light! Error=%08X", static_cast<unsigned>(result));
    }
}

void CLight::SetAsCurrent() {
    if (m_bDirty) {
        Set();
        m_bDirty = FALSE;
    }
}

int CLight::AddToScene(IDirect3DViewport3* viewport) {
    if (m_pLight == nullptr) {
        DebugLog("CLight::AddToScene() Light has not been created!");
        return 0;
    }
    SetAsCurrent();
    HRESULT result = viewport->AddLight(m_pLight);
    if (FAILED(result)) {
        DebugLog("CLight::AddToScene() Failed to add light! Error=%08X",
                 static_cast<unsigned>(result));
        return 0;
    }
    return 1;
}

int CLight::DeleteFromScene(IDirect3DViewport3* viewport) {
    if (m_pLight == nullptr) {
        DebugLog("CLight::DeleteFromScene() Light has not been created!");
        return 0;
    }
    HRESULT result = viewport->DeleteLight(m_pLight);
    if (FAILED(result)) {
        DebugLog("CLight::DeleteFromScene() Failed to delete light! Error=%08X",
                 static_cast<unsigned>(result));
        return 0;
    }
    return 1;
}

int CLight::Save(void* file) {
    CFileWriter writer(file);
    if (!writer.WriteU32(kLightRecordId)) {
        DebugLog("CLight::Save() Failed to save Light id!");
        return 0;
    }
    if (!writer.WriteRecord(m_Light)) {
        DebugLog("CLight::Save() Failed to write Light data!");
        return 0;
    }
    return 1;
}

int CLight::Load(void* file) {
    Create();
    CFileReader reader(file);
    DWORD id = 0;
    if (!reader.ReadU32(id)) {
        DebugLog("CLight::Load() Failed to read Light id!");
        return 0;
    }
    if (id != kLightRecordId) {
        DebugLog("CLight::Load() Failed to verify Light id!");
        return 0;
    }
    // Read into a scratch record so that a record cut short leaves the description whole.
    D3DLIGHT2 loaded;
    if (!reader.ReadRecord(loaded)) {
        DebugLog("CLight::Load() Failed to read Light data!");
        return 0;
    }
    m_Light = loaded;
    MarkDirty();
    return 1;
}
