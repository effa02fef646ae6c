#include "entity/entity.h"

#include "engine/debug_log.h"
#include "engine/entity_walk.h"
#include "engine/model_table.h"
#include "engine/registry.h"
#include "model/model.h"
#include "platform/os/module.h"
#include "support/memory.h"

#include <cstring>

namespace {

constexpr DWORD kChildListBlockSize = 10;

} // namespace

float LargestComponent(const D3DVECTOR& v) {
    float larger = v.x > v.y ? v.x : v.y;
    return larger > v.z ? larger : v.z;
}

CBaseEntity::CBaseEntity()
    : m_Model{}, m_dwID(vgGetNextEntityID()), m_dwModelIndex(0), m_vWorldPosition(0.0f),
      m_vOffsetPosition(0.0f), m_vScale(0.0f), m_fMaxScale(0.0f),
      m_mLocalRotation(g_identityMatrix), m_mFrameRotation(g_identityMatrix), m_dwUserData0(0),
      m_dwUserData1(0), m_nUserData2(-1), m_pParent(nullptr), m_Children(kChildListBlockSize),
      m_dwLocalDataSize(0), m_pLocalData(nullptr), m_hModule(nullptr), m_pfnDelete(nullptr),
      m_pfnRender(nullptr), m_pfnPerformAI(nullptr), m_pfnCreate(nullptr) {}

// A child list, a local data buffer and a module reference each have one owner, so a copy
// gets its own: an empty child list, a copy of the local data and another reference on the
// module. Sharing them would free each twice when both entities are deleted.
CBaseEntity::CBaseEntity(const CBaseEntity& other)
    : m_Children(kChildListBlockSize), m_dwLocalDataSize(0), m_pLocalData(nullptr),
      m_hModule(nullptr) {
    CopyFrom(other);
}

CBaseEntity& CBaseEntity::operator=(const CBaseEntity& other) {
    if (this != &other) {
        DestroyLocalData();
        if (m_hModule != nullptr) {
            FreeLibrary(m_hModule);
            m_hModule = nullptr;
        }
        CopyFrom(other);
    }
    return *this;
}

void CBaseEntity::CopyFrom(const CBaseEntity& other) {
    m_Model = other.m_Model;
    m_dwID = other.m_dwID;
    m_dwModelIndex = other.m_dwModelIndex;
    m_vWorldPosition = other.m_vWorldPosition;
    m_vOffsetPosition = other.m_vOffsetPosition;
    m_vScale = other.m_vScale;
    m_fMaxScale = other.m_fMaxScale;
    m_mLocalRotation = other.m_mLocalRotation;
    m_mFrameRotation = other.m_mFrameRotation;
    m_dwUserData0 = other.m_dwUserData0;
    m_dwUserData1 = other.m_dwUserData1;
    m_nUserData2 = other.m_nUserData2;
    m_pParent = other.m_pParent;
    if (other.m_pLocalData != nullptr && AllocateLocalData(other.m_dwLocalDataSize)) {
        std::memcpy(m_pLocalData, other.m_pLocalData, other.m_dwLocalDataSize);
    }
    m_hModule = other.m_hModule != nullptr ? LoadLibraryA(m_Model.szModulePath) : nullptr;
    bool bound = m_hModule != nullptr;
    m_pfnDelete = bound ? other.m_pfnDelete : nullptr;
    m_pfnRender = bound ? other.m_pfnRender : nullptr;
    m_pfnPerformAI = bound ? other.m_pfnPerformAI : nullptr;
    m_pfnCreate = bound ? other.m_pfnCreate : nullptr;
}

CBaseEntity::~CBaseEntity() {
    CEntityWalk::EntityDestroying(this);
    Delete();
    DestroyLocalData();
    LeaveOwningList();
    DeleteChildren();
    ReleaseModule();
}

void CBaseEntity::LeaveOwningList() {
    CLinkedList<CBaseEntity*>& list =
        m_pParent != nullptr ? m_pParent->m_Children : *vgGetEntityList();
    list.Lock();
    LISTPOS position = list.Find(this);
    if (position != nullptr) {
        CEntityWalk::NodeRemoving(list, position);
        list.RemoveAt(position);
    } else if (m_pParent != nullptr) {
        DebugLog("CBaseEntity::~CBaseEntity() Unable to find a child in parent list!");
    } else {
        DebugLog("CBaseEntity::~CBaseEntity() Unable to find parent object in entity list!");
    }
    list.Unlock();
}

void CBaseEntity::DeleteChildren() {
    DeleteAllEntities(m_Children, "CBaseEntity::~CBaseEntity() NULL child head in list!");
}

void CBaseEntity::SetWorldPosition(const D3DVECTOR& position) {
    m_vWorldPosition = position;
}

void CBaseEntity::SetWorldPosition(D3DVECTOR* position) {
    m_vWorldPosition = *position;
}

D3DVECTOR CBaseEntity::GetWorldPosition() {
    return m_vWorldPosition;
}

void CBaseEntity::SetOffsetPosition(const D3DVECTOR& offset) {
    m_vOffsetPosition = offset;
}

void CBaseEntity::SetOffsetPosition(D3DVECTOR* offset) {
    m_vOffsetPosition = *offset;
}

D3DVECTOR CBaseEntity::GetOffsetPosition() {
    return m_vOffsetPosition;
}

void CBaseEntity::GetOffsetPosition(D3DVECTOR* out) {
    *out = m_vOffsetPosition;
}

D3DVECTOR CBaseEntity::GetPosition() {
    return m_vWorldPosition + m_vOffsetPosition;
}

void CBaseEntity::GetPosition(D3DVECTOR* out) {
    *out = m_vWorldPosition + m_vOffsetPosition;
}

void CBaseEntity::SetLocalRotation(const D3DMATRIX& m) {
    m_mLocalRotation = m;
}

D3DMATRIX& CBaseEntity::GetLocalRotation() {
    return m_mLocalRotation;
}

void CBaseEntity::AppendLocalRotation(const D3DMATRIX& m) {
    m_mLocalRotation = MatrixMult(m, m_mLocalRotation);
}

void CBaseEntity::ReplaceLocalRotation(const D3DMATRIX& m) {
    m_mLocalRotation = m;
}

void CBaseEntity::InsertLocalRotation(const D3DMATRIX& m) {
    m_mLocalRotation = MatrixMult(m_mLocalRotation, m);
}

void CBaseEntity::SetFrameRotation(const D3DMATRIX& m) {
    m_mFrameRotation = m;
}

D3DMATRIX& CBaseEntity::GetFrameRotation() {
    return m_mFrameRotation;
}

void CBaseEntity::AppendFrameRotation(const D3DMATRIX& m) {
    m_mFrameRotation = MatrixMult(m, m_mFrameRotation);
}

void CBaseEntity::ReplaceFrameRotation(const D3DMATRIX& m) {
    m_mFrameRotation = m;
}

void CBaseEntity::InsertFrameRotation(const D3DMATRIX& m) {
    m_mFrameRotation = MatrixMult(m_mFrameRotation, m);
}

void CBaseEntity::CalculateLocalMatrix(D3DMATRIX& out) {
    out = MatrixMult(TranslateMatrix(m_vOffsetPosition),
                     MatrixMult(ScaleMatrix(m_vScale), m_mLocalRotation));
}

void CBaseEntity::CalculateHierarchyMatrix(D3DMATRIX& out) {
    const D3DVECTOR& anchor =
        m_pParent != nullptr ? m_pParent->m_vOffsetPosition : m_vWorldPosition;
    out = MatrixMult(TranslateMatrix(anchor), m_mFrameRotation);
}

// The scale follows the extent of the 3D model's bounding box (animation 0 at time 0); a
// record without a loaded 3D model keeps the scale it has.
void CBaseEntity::CalculateScale() {
    C3DModel* model = vgGet3DModel(m_dwModelIndex);
    if (model == nullptr) {
        DebugLog("CBaseEntity::CalculateScale() Failed to obtain 3D model index %u",
                 m_dwModelIndex);
    } else {
        D3DVECTOR min;
        D3DVECTOR max;
        model->GetBoundingBox(0, 0.0f, min, max);
        D3DVECTOR extent = max - min;
        if (m_Model.bUniformScale) {
            m_vScale = extent * m_Model.fUniformScale;
        } else {
            m_vScale = D3DVECTOR(extent.x * m_Model.vScale.x, extent.y * m_Model.vScale.y,
                                 extent.z * m_Model.vScale.z);
        }
    }
    m_fMaxScale = LargestComponent(m_vScale);
}
