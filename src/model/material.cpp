#include "model/material.h"

#include "engine/debug_log.h"
#include "engine/engine.h"
#include "model/vmm_file.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"

#include <cstring>

namespace {

void SetRgb(D3DCOLORVALUE& colour, const D3DVECTOR& rgb) {
    colour.r = rgb.x;
    colour.g = rgb.y;
    colour.b = rgb.z;
}

D3DVECTOR GetRgb(const D3DCOLORVALUE& colour) {
    return D3DVECTOR(colour.r, colour.g, colour.b);
}

int LastErrorCode() {
    return static_cast<int>(GetLastError());
}

} // namespace

CMaterial::CMaterial()
    : m_dwTextureIndex(0xFFFFFFFF), m_szTextureName{}, m_Material{}, m_hMaterial(0),
      m_pD3DMaterial(nullptr), m_bDirty(TRUE) {
    m_Material.dwSize = sizeof(D3DMATERIAL);
    m_Material.dcvDiffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    m_Material.dcvAmbient = {1.0f, 1.0f, 1.0f, 1.0f};
    m_Material.dwRampSize = 16;
    GAME_GLOBALS* globals = vgGetGlobals();
    if (globals != nullptr && globals->pDirect3D != nullptr &&
        SUCCEEDED(globals->pDirect3D->CreateMaterial(&m_pD3DMaterial, nullptr))) {
        m_pD3DMaterial->SetMaterial(&m_Material);
        if (globals->pDevice != nullptr) {
            m_pD3DMaterial->GetHandle(globals->pDevice, &m_hMaterial);
        }
    } else {
        m_pD3DMaterial = nullptr;
    }
    Set();
}

CMaterial::~CMaterial() {
    if (m_pD3DMaterial != nullptr) {
        m_pD3DMaterial->Release();
    }
}

HRESULT CMaterial::Set() {
    if (!m_bDirty) {
        return D3D_OK;
    }
    m_bDirty = FALSE;
    if (m_pD3DMaterial == nullptr) {
        return D3D_OK;
    }
    HRESULT result = m_pD3DMaterial->SetMaterial(&m_Material);
    if (FAILED(result)) {
        DebugLog("CMaterial::Set() Failed to set material. Error=%08X",
                 static_cast<unsigned>(result));
    }
    return result;
}

HRESULT CMaterial::SetAsCurrent(IDirect3DDevice3* device) {
    Set();
    return device->SetLightState(D3DLIGHTSTATE_MATERIAL, m_hMaterial);
}

HRESULT CMaterial::SetAsBackground(IDirect3DViewport3* viewport) {
    m_Material.dwRampSize = 1;
    MarkDirty();
    Set();
    return viewport->SetBackground(m_hMaterial);
}

void CMaterial::SetDiffuse(const D3DVECTOR& colour) {
    SetRgb(m_Material.dcvDiffuse, colour);
    MarkDirty();
}

D3DVECTOR CMaterial::GetDiffuse() const {
    return GetRgb(m_Material.dcvDiffuse);
}

void CMaterial::SetAlpha(const float& alpha) {
    m_Material.dcvDiffuse.a = alpha;
    MarkDirty();
}

float CMaterial::GetAlpha() const {
    return m_Material.dcvDiffuse.a;
}

void CMaterial::SetAmbient(const D3DVECTOR& colour) {
    SetRgb(m_Material.dcvAmbient, colour);
    MarkDirty();
}

D3DVECTOR CMaterial::GetAmbient() const {
    return GetRgb(m_Material.dcvAmbient);
}

void CMaterial::SetSpecular(const D3DVECTOR& colour) {
    SetRgb(m_Material.dcvSpecular, colour);
    MarkDirty();
}

D3DVECTOR CMaterial::GetSpecular() const {
    return GetRgb(m_Material.dcvSpecular);
}

void CMaterial::SetEmissive(const D3DVECTOR& colour) {
    SetRgb(m_Material.dcvEmissive, colour);
    MarkDirty();
}

D3DVECTOR CMaterial::GetEmissive() const {
    return GetRgb(m_Material.dcvEmissive);
}

void CMaterial::SetPower(const float& power) {
    m_Material.dvPower = power;
    MarkDirty();
}

float CMaterial::GetPower() const {
    return m_Material.dvPower;
}

void CMaterial::SetRampSize(const DWORD& rampSize) {
    m_Material.dwRampSize = rampSize;
    MarkDirty();
}

DWORD CMaterial::GetRampSize() const {
    return m_Material.dwRampSize;
}

void CMaterial::SetTextureHandle(const DWORD& handle) {
    m_Material.hTexture = handle;
    MarkDirty();
}

DWORD CMaterial::GetTextureHandle() const {
    return m_Material.hTexture;
}

void CMaterial::SetTextureName(const char* name) {
    std::size_t length = name != nullptr ? strnlen(name, kMaterialTextureNameLimit) : 0;
    if (length != 0) {
        // memmove: the name may point into this material's own buffer.
        std::memmove(m_szTextureName, name, length);
    }
    m_szTextureName[length] = '\0';
    MarkDirty();
}

const char* CMaterial::GetTextureName() const {
    return m_szTextureName[0] != '\0' ? m_szTextureName : nullptr;
}

int CMaterial::SaveMaterial(HANDLE file, DWORD slot, const char* storedTextureName) const {
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        DebugLog("CMaterial::SaveMaterial() Invalid file handle supplied!");
        return 0;
    }
    char name[kMaterialTextureNameSize] = {};
    const char* source = storedTextureName != nullptr ? storedTextureName : m_szTextureName;
    std::memcpy(name, source, strnlen(source, kMaterialTextureNameLimit));

    CFileWriter writer(file);
    if (!writer.WriteU32(VMM_CHUNK_MATERIAL) || !writer.WriteU32(kMaterialChunkLength)) {
        DebugLog("CMaterial::SaveMaterial() Failed to write chunk tag. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (!writer.WriteRecord(m_Material)) {
        DebugLog("CMaterial::SaveMaterial() Failed to write material. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (!writer.Write(name, kMaterialTextureNameSize)) {
        DebugLog("CMaterial::SaveMaterial() Failed to write texture name. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (!writer.WriteU32(slot)) {
        DebugLog("CMaterial::SaveMaterial() Failed to write material index. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    return 1;
}

int CMaterial::LoadMaterial(HANDLE file, DWORD* slot) {
    if (file == INVALID_HANDLE_VALUE || file == nullptr) {
        DebugLog("CMaterial::LoadMaterial() Invalid file handle supplied!");
        return 0;
    }
    CFileReader reader(file);
    return LoadMaterial(reader, slot);
}

int CMaterial::LoadMaterial(CFileReader& reader, DWORD* slot) {
    if (!reader.ReadRecord(m_Material)) {
        DebugLog("CMaterial::LoadMaterial() Failed to read material. Error=%d!\n", LastErrorCode());
        return 0;
    }
    bool nameRead = reader.Read(m_szTextureName, kMaterialTextureNameSize);
    // A name that fills the whole field (or arrived in part) is cut to the longest name a
    // material keeps.
    m_szTextureName[kMaterialTextureNameLimit] = '\0';
    if (!nameRead) {
        DebugLog("CMaterial::LoadMaterial() Failed to read texture name. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    if (!reader.ReadU32(*slot)) {
        DebugLog("CMaterial::LoadMaterial() Failed to read material index. Error=%d!\n",
                 LastErrorCode());
        return 0;
    }
    m_Material.dcvAmbient = m_Material.dcvDiffuse;
    m_dwTextureIndex = 0xFFFFFFFF;
    MarkDirty();
    Set();
    return 1;
}
