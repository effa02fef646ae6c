#pragma once

// CBaseEntity: the one class of every object in a level's world. Behaviour lives in the
// entity's behaviour module (see docs/modules.md); the engine never derives from it.
//
// The order of the virtual operations is part of the module interface: modules call entities
// through the virtual table, so new operations go at the end and none is ever reordered.

#include "engine/level_records.h"
#include "math/matrix.h"
#include "math/vector.h"
#include "platform/export.h"
#include "platform/types.h"
#include "support/linked_list.h"

class CBaseEntity;
class CFileReader;

// The behaviour module's entry points: prefix + "Create", "PerformAI", "Render", "Delete".
using ENTITY_CREATE_HOOK = int (*)(CBaseEntity* entity, CBaseEntity* creator, DWORD modelIndex,
                                   void* data, DWORD size);
using ENTITY_HOOK = int (*)(CBaseEntity* entity);

// Results of the module entries as the engine reads them.
constexpr int kEntityContinue = 0;      // go on (PerformAI, Render, Create: created)
constexpr int kEntityNothingToDraw = 1; // Render: nothing drawn, children not visited
constexpr int kEntityDeleteMe = 99;     // delete the entity; from Create: binding failed

// Bytes of an entity's persistence record in a saved game.
constexpr DWORD kEntityRecordSize = 2632;

// Levels of an entity tree a saved game may hold (a top-level entity is level 1). The ticks
// and the destructor recurse once per level, so a deeper file is refused rather than let
// run the stack out.
constexpr DWORD kMaxEntityTreeDepth = 32;

// The fewest bytes an entity takes in a saved game: its record and a child count of zero.
constexpr DWORD kSmallestEntityImage = kEntityRecordSize + 4;

class VELCORE_API CBaseEntity {
public:
    // Every field starts defined, so an entity may also be built outside the registry.
    CBaseEntity();
    // Copies share the child list contents, local data, module and hooks with the original.
    CBaseEntity(const CBaseEntity& other);
    CBaseEntity& operator=(const CBaseEntity& other);

    virtual void CalculateHierarchyMatrix(D3DMATRIX& out);
    virtual void CalculateLocalMatrix(D3DMATRIX& out);
    virtual void CalculateScale();
    // Calls the module's Delete entry, frees the local data, leaves its list, deletes every
    // child and unloads the module.
    virtual ~CBaseEntity();

    // The entity and its whole subtree as a nested record of a saved game; files are
    // platform file handles.
    virtual int Save(void* file);
    virtual int Load(void* file);
    virtual int PersistenceHelper(void* file, int save);

    virtual void SetWorldPosition(const D3DVECTOR& position);
    virtual void SetWorldPosition(D3DVECTOR* position);
    virtual D3DVECTOR GetWorldPosition();
    virtual void SetOffsetPosition(const D3DVECTOR& offset);
    virtual void SetOffsetPosition(D3DVECTOR* offset);
    virtual D3DVECTOR GetOffsetPosition();
    virtual void GetOffsetPosition(D3DVECTOR* out);
    // World position plus offset.
    virtual D3DVECTOR GetPosition();
    virtual void GetPosition(D3DVECTOR* out);

    // Append: the old rotation applies first, then m. Insert: m first, then the old one.
    virtual void SetLocalRotation(const D3DMATRIX& m);
    virtual D3DMATRIX& GetLocalRotation();
    virtual void AppendLocalRotation(const D3DMATRIX& m);
    virtual void ReplaceLocalRotation(const D3DMATRIX& m);
    virtual void InsertLocalRotation(const D3DMATRIX& m);
    virtual void SetFrameRotation(const D3DMATRIX& m);
    virtual D3DMATRIX& GetFrameRotation();
    virtual void AppendFrameRotation(const D3DMATRIX& m);
    virtual void ReplaceFrameRotation(const D3DMATRIX& m);
    virtual void InsertFrameRotation(const D3DMATRIX& m);

    // Module calls: Delete calls the entry once (99 reads as 0); Render is 1 and PerformAI 0
    // while no module is bound.
    virtual int Delete();
    virtual int Render();
    virtual int PerformAI();
    // Copies the model record, binds the module, computes the scale, places the entity and
    // returns the module's Create result (99: binding failed).
    virtual int Create(CBaseEntity* creator, DWORD modelIndex, const D3DVECTOR& position,
                       const D3DVECTOR& offset, void* data, DWORD size);
    // A zero-filled buffer for the module's per-entity state, saved with the entity.
    virtual int AllocateLocalData(DWORD size);
    virtual void DestroyLocalData();

    // Binds an entity restored from a saved game to the module of the level's model record at
    // its model index, as Create does, but calls no entry. 1 when bound; 0 (reported with
    // Create's messages) when not, and the entity is left unbound.
    int BindRestored();

    MODEL_INFO m_Model;
    DWORD m_dwID;
    DWORD m_dwModelIndex;
    D3DVECTOR m_vWorldPosition;
    D3DVECTOR m_vOffsetPosition;
    D3DVECTOR m_vScale;
    float m_fMaxScale;
    D3DMATRIX m_mLocalRotation;
    D3DMATRIX m_mFrameRotation;
    DWORD m_dwUserData0;
    DWORD m_dwUserData1;
    LONG m_nUserData2;
    CBaseEntity* m_pParent;
    CLinkedList<CBaseEntity*> m_Children;
    DWORD m_dwLocalDataSize;
    void* m_pLocalData;
    HMODULE m_hModule;
    ENTITY_HOOK m_pfnDelete;
    ENTITY_HOOK m_pfnRender;
    ENTITY_HOOK m_pfnPerformAI;
    ENTITY_CREATE_HOOK m_pfnCreate;

private:
    // Releases any module held, then loads the record's module and finds its entries.
    int BindModule(const MODEL_INFO& record);
    void ReleaseModule();
    // 1 for a top-level entity, 2 for its children and so on.
    DWORD TreeDepth() const;
    bool CanHoldChildren(CFileReader& reader, DWORD count) const;
    void LeaveOwningList();
    void DeleteChildren();
    void CopyFrom(const CBaseEntity& other);
};

// The largest component (x against y, the larger against z).
float LargestComponent(const D3DVECTOR& v);
