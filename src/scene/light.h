#pragma once

// CLight: one device light. The description lives in a D3DLIGHT2 record and reaches the
// device light object only when it has changed since it was last handed over.

#include "math/vector.h"
#include "platform/d3d/d3d.h"
#include "platform/export.h"
#include "platform/types.h"

constexpr DWORD kLightRecordId = 0x1A54474C; // "LGT" and 0x1A
constexpr DWORD kLightRecordSize = 84;

class VELCORE_API CLight {
public:
    CLight();
    virtual ~CLight();
    CLight(const CLight&) = delete;
    CLight& operator=(const CLight&) = delete;

    // A fresh description and a new light object from the host's Direct3D object.
    int Create();
    void Destroy();

    void SetPointLight(D3DVECTOR& position, float r, float g, float b);
    // The direction is stored scaled to unit length.
    void SetSpotLight(D3DVECTOR& position, D3DVECTOR& direction, float theta, float phi,
                      float attenuation1, float r, float g, float b);
    void SetDirectionalLight(D3DVECTOR& direction, float r, float g, float b);
    void SetParallelPointLight(D3DVECTOR& position, float r, float g, float b);
    // Alpha is always 1.
    void SetColour(float r, float g, float b);
    void SetPosition(D3DVECTOR& position);
    // Stored as given, not rescaled.
    void SetOrientation(D3DVECTOR& direction);
    D3DVECTOR& GetOrientation();
    void Enable(int on);
    void EnableSpecularHighlights(int on);
    D3DLIGHT2* GetLightInfo();

    // Hands a changed description to the light object.
    void SetAsCurrent();
    int AddToScene(IDirect3DViewport3* viewport);
    int DeleteFromScene(IDirect3DViewport3* viewport);

    // The 84-byte light record at the file's current position. Load creates a new light
    // object first; a record cut short leaves the description as it was.
    int Save(void* file);
    int Load(void* file);

protected:
    void Initialise();
    void Release();
    void Set();

private:
    // Type, attenuation (0, a1, 0) and falloff 1, shared by the four Set...Light forms.
    void SetShape(D3DLIGHTTYPE type, float attenuation1);
    void MarkDirty() { m_bDirty = TRUE; }

    BOOL m_bDirty;
    IDirect3DLight* m_pLight;
    D3DLIGHT2 m_Light;
};
