#pragma once

// CMaterial: one surface material of a model. The D3DMATERIAL record is kept here and sent to
// the device-side material object only when it changed since it was last sent.

#include "math/vector.h"
#include "platform/d3d/d3d.h"
#include "platform/export.h"
#include "platform/types.h"

// Texture name buffer; names keep at most kMaterialTextureNameLimit characters.
constexpr DWORD kMaterialTextureNameSize = 128;
constexpr DWORD kMaterialTextureNameLimit = 126;
// Payload of the material chunk: record, texture name, slot index.
constexpr DWORD kMaterialChunkLength = sizeof(D3DMATERIAL) + kMaterialTextureNameSize + 4;
static_assert(kMaterialChunkLength == 212);

class CFileReader;

class VELCORE_API CMaterial {
public:
    // Defaults: diffuse and ambient white, specular and emissive black, power 0, ramp size
    // 16, no texture. The device-side object comes from the host's Direct3D object and its
    // handle from the host's device (vgGetGlobals); without them the material has neither and
    // the record is only kept.
    CMaterial();
    // Releases the device-side object.
    ~CMaterial();
    CMaterial(const CMaterial&) = delete;
    // Copies every field, the device-side object included: only one of the two may then be
    // destroyed while the other is still used.
    CMaterial& operator=(const CMaterial&) = default;

    // Sends a changed record to the device-side object: 0 when nothing changed (or there is
    // no object), else the object's result ("CMaterial::Set() Failed to set material.
    // Error=%08X" when negative; the record is then not resent until the next change).
    HRESULT Set();
    // Set(), then makes this the device's current material; returns the device's result.
    HRESULT SetAsCurrent(IDirect3DDevice3* device);
    // Ramp size 1, Set(), then makes this the viewport's background; the viewport's result.
    HRESULT SetAsBackground(IDirect3DViewport3* viewport);

    // Colour setters and getters work on r, g, b; alpha lives in the diffuse colour only.
    void SetDiffuse(const D3DVECTOR& colour);
    D3DVECTOR GetDiffuse() const;
    void SetAlpha(const float& alpha);
    float GetAlpha() const;
    void SetAmbient(const D3DVECTOR& colour);
    D3DVECTOR GetAmbient() const;
    void SetSpecular(const D3DVECTOR& colour);
    D3DVECTOR GetSpecular() const;
    void SetEmissive(const D3DVECTOR& colour);
    D3DVECTOR GetEmissive() const;
    void SetPower(const float& power);
    float GetPower() const;
    void SetRampSize(const DWORD& rampSize);
    DWORD GetRampSize() const;
    void SetTextureHandle(const DWORD& handle);
    DWORD GetTextureHandle() const;
    // Keeps the first kMaterialTextureNameLimit characters; null clears the name.
    void SetTextureName(const char* name);
    // Null when the material has no texture.
    const char* GetTextureName() const;
    // The texture's index in the level's texture table (all ones: none). Not part of the
    // device record, so it does not mark the record changed.
    void SetTextureIndex(DWORD index) { m_dwTextureIndex = index; }
    DWORD GetTextureIndex() const { return m_dwTextureIndex; }

    const D3DMATERIAL& GetRecord() const { return m_Material; }
    IDirect3DMaterial3* GetDeviceMaterial() const { return m_pD3DMaterial; }
    D3DMATERIALHANDLE GetHandle() const { return m_hMaterial; }

    // Writes the material chunk (tag, record, texture name, slot). storedTextureName, when
    // given, is written in place of the texture name (the model saver stores names relative
    // to the model file). 1, or 0 with a message.
    int SaveMaterial(HANDLE file, DWORD slot, const char* storedTextureName = nullptr) const;
    // Reads a material chunk's payload (its tag has been read) and the slot it names. The
    // ambient colour becomes the diffuse colour and the texture index none; the record is
    // sent to the device. 1, or 0 with a message (the material keeps what was read).
    int LoadMaterial(HANDLE file, DWORD* slot);
    // The same from a reader (the model loader's, over the file in memory).
    int LoadMaterial(CFileReader& reader, DWORD* slot);

private:
    void MarkDirty() { m_bDirty = TRUE; }

    DWORD m_dwTextureIndex;
    char m_szTextureName[kMaterialTextureNameSize];
    D3DMATERIAL m_Material;
    D3DMATERIALHANDLE m_hMaterial;
    IDirect3DMaterial3* m_pD3DMaterial;
    BOOL m_bDirty;
};
