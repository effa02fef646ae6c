#include "model/model.h"

#include "engine/debug_log.h"
#include "model/accounted.h"
#include "model/material.h"
#include "support/memory.h"

C3DModel::C3DModel()
    : m_bResetAnimation(FALSE), m_AttachmentResult{}, m_pMaterials{},
      m_bBoxesInvalid(TRUE), m_pFrames{}, m_dwFrameCount(0), m_dwAttachmentFrames{},
      m_dwAttachmentCount(0), m_dwStartKeyframe(0), m_dwFinalKeyframe(0), m_dwKeyframeExtra(0),
      m_dwAnimationCount(0), m_pAnimations(nullptr), m_Transform(g_identityMatrix),
      m_pBoxes(nullptr), m_dwBoxCount(0) {}

C3DModel::~C3DModel() {
    Deallocate();
}

void C3DModel::Deallocate() {
    while (m_dwFrameCount > 0) {
        --m_dwFrameCount;
        DeleteAccounted(m_pFrames[m_dwFrameCount]);
        m_pFrames[m_dwFrameCount] = nullptr;
    }
    m_dwAttachmentCount = 0;
    for (CMaterial*& material : m_pMaterials) {
        DeleteAccounted(material);
        material = nullptr;
    }
    CMemory::Deallocate(m_pBoxes);
    m_pBoxes = nullptr;
    m_dwBoxCount = 0;
    CMemory::Deallocate(m_pAnimations);
    m_pAnimations = nullptr;
    m_dwAnimationCount = 0;
    m_dwStartKeyframe = m_dwFinalKeyframe = m_dwKeyframeExtra = 0;
    m_Transform = g_identityMatrix;
    m_bBoxesInvalid = TRUE;
    m_bResetAnimation = FALSE;
}

int C3DModel::AddFrame(C3DModelFrame* frame) {
    if (m_dwFrameCount >= kMaxModelFrames) {
        return 0;
    }
    DWORD index = m_dwFrameCount++;
    m_pFrames[index] = frame;
    m_bBoxesInvalid = TRUE;
    if (frame->GetAttachment() != nullptr && m_dwAttachmentCount < kMaxModelAttachments) {
        m_dwAttachmentFrames[m_dwAttachmentCount++] = index;
    }
    if (C3DModelFrame* parent = ParentOf(index)) {
        parent->FlagHasChildren();
    }
    return 1;
}

C3DModelFrame* C3DModel::GetFrame(DWORD index) const {
    return index < m_dwFrameCount ? m_pFrames[index] : nullptr;
}

C3DModelFrame* C3DModel::ParentOf(DWORD frameIndex) const {
    DWORD parentIndex = m_pFrames[frameIndex]->GetParentKeyframe();
    return parentIndex != frameIndex ? GetFrame(parentIndex) : nullptr;
}

DWORD C3DModel::SetMaterial(DWORD index, CMaterial* material) {
    if (index == kNoIndex) {
        for (DWORD slot = 0; slot < kMaxModelMaterials && index == kNoIndex; ++slot) {
            if (m_pMaterials[slot] == nullptr) {
                index = slot;
            }
        }
    }
    if (index >= kMaxModelMaterials) {
        return kNoIndex;
    }
    if (m_pMaterials[index] != material) {
        DeleteAccounted(m_pMaterials[index]);
    }
    m_pMaterials[index] = material;
    return index;
}

CMaterial* C3DModel::GetMaterial(DWORD index) const {
    return index < kMaxModelMaterials ? m_pMaterials[index] : nullptr;
}

int C3DModel::SetKeyframes(DWORD start, DWORD final, DWORD extra) {
    if (final < start) {
        DebugLog("C3DModel::SetKeyframes() Invalid keyframe range %u..%u",
                 static_cast<unsigned>(start), static_cast<unsigned>(final));
        return 0;
    }
    m_dwStartKeyframe = start;
    m_dwFinalKeyframe = final;
    m_dwKeyframeExtra = extra;
    return 1;
}

void C3DModel::GetKeyframes(DWORD& start, DWORD& final, DWORD& extra) const {
    start = m_dwStartKeyframe;
    final = m_dwFinalKeyframe;
    extra = m_dwKeyframeExtra;
}

ATTACHMENT_POINT* C3DModel::GetAttachment(DWORD index) {
    if (index >= m_dwAttachmentCount) {
        return nullptr;
    }
    C3DModelFrame* frame = GetFrame(m_dwAttachmentFrames[index]);
    ATTACHMENT_POINT* point = frame != nullptr ? frame->GetAttachment() : nullptr;
    if (point == nullptr || m_dwAnimationCount != 0) {
        return point;
    }
    m_AttachmentResult = *point;
    m_AttachmentResult.vPosition = TransformVector(point->vPosition, m_Transform);
    m_AttachmentResult.vNormal = TransformVector(point->vNormal, m_Transform);
    return &m_AttachmentResult;
}

void C3DModel::SetTransformMatrix(const D3DMATRIX& matrix) {
    m_Transform = matrix;
    m_bResetAnimation = TRUE;
}

template <class Operation> void C3DModel::BakeIntoRootFrames(const Operation& bake) {
    if (m_dwFrameCount == 0) {
        return;
    }
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        if (ParentOf(i) == nullptr) {
            bake(*m_pFrames[i]);
        }
    }
    m_bBoxesInvalid = TRUE;
    m_bResetAnimation = TRUE;
    CalculateBoundingBox();
}

void C3DModel::Transform(const D3DMATRIX& matrix) {
    BakeIntoRootFrames([&matrix](C3DModelFrame& frame) { frame.Transform(matrix); });
}

void C3DModel::Translate(float dx, float dy, float dz) {
    BakeIntoRootFrames([=](C3DModelFrame& frame) { frame.Translate(dx, dy, dz); });
}

int C3DModel::ConvertIndices(unsigned short* scratch) {
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        if (!m_pFrames[i]->ConvertIndices(scratch)) {
            return 0;
        }
    }
    return 1;
}
