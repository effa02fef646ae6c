// Bounding volumes: the box tracks of frames, the model's own box track, and their lookups at
// an animation time.

#include "model/model.h"

#include "engine/debug_log.h"
#include "model/key_track.h"
#include "support/memory.h"

#include <cstdint>
#include <utility>

namespace {

constexpr DWORD kLoopingFlags = 2; // looping, nearest mode: only the clock matters here

// The box and sphere of a track at parametric time t, interpolated between two records.
DBOX_KEYFRAME LookupBox(const DBOX_KEYFRAME* boxes, DWORD count, float t) {
    DBOX_KEYFRAME box = {};
    if (count == 0) {
        return box;
    }
    KEY_SPAN<DBOX_KEYFRAME> span = FindSpan(boxes, count, t);
    if (span.to == nullptr) {
        return *span.from;
    }
    const DBOX_KEYFRAME& from = *span.from;
    const DBOX_KEYFRAME& to = *span.to;
    box.vMin = Lerp(from.vMin, to.vMin, span.f);
    box.vMax = Lerp(from.vMax, to.vMax, span.f);
    box.vCentre = Lerp(from.vCentre, to.vCentre, span.f);
    box.fRadius = from.fRadius + (to.fRadius - from.fRadius) * span.f;
    return box;
}

void SortCorners(D3DVECTOR& min, D3DVECTOR& max) {
    for (int axis = 0; axis < 3; ++axis) {
        if (min[axis] > max[axis]) {
            std::swap(min[axis], max[axis]);
        }
    }
}

void Widen(D3DVECTOR& min, D3DVECTOR& max, const D3DVECTOR& lower, const D3DVECTOR& upper) {
    for (int axis = 0; axis < 3; ++axis) {
        if (lower[axis] < min[axis]) {
            min[axis] = lower[axis];
        }
        if (upper[axis] > max[axis]) {
            max[axis] = upper[axis];
        }
    }
}

void SetSphereAroundBox(DBOX_KEYFRAME& box) {
    box.vCentre = (box.vMin + box.vMax) * 0.5f;
    box.fRadius = Magnitude(box.vMax - box.vMin) * 0.5f;
}

} // namespace

void C3DModelFrame::CalculateBoundingBox(const D3DMATRIX* parent, DWORD keyframe) {
    DBOX_KEYFRAME* box = nullptr;
    for (DWORD i = 0; i < m_Boxes.dwCount && box == nullptr; ++i) {
        if (m_Boxes.pKeys[i].dwKeyframe == keyframe) {
            box = &m_Boxes.pKeys[i];
        }
    }
    if (box == nullptr) {
        return;
    }
    EvaluateSpline(parent, box->fTime);
    if (m_dwVertexCount == 0) {
        return;
    }
    for (DWORD i = 0; i < m_dwVertexCount; ++i) {
        const D3DVERTEX& v = m_pVertices[i];
        D3DVECTOR point = TransformVector(D3DVECTOR(v.x, v.y, v.z), m_AnimationMatrix);
        if (i == 0) {
            box->vMin = point;
            box->vMax = point;
        } else {
            Widen(box->vMin, box->vMax, point, point);
        }
    }
    SetSphereAroundBox(*box);
}

void C3DModelFrame::GetBoundingBox(D3DVECTOR& min, D3DVECTOR& max, float t) {
    if (!m_bBoxesValid) {
        DebugLog("C3DModelFrame::GetBoundingBox() Bounding boxes invalid!");
        min = max = D3DVECTOR(0.0f);
        return;
    }
    DBOX_KEYFRAME box = LookupBox(m_Boxes.pKeys, m_Boxes.dwCount, t);
    min = box.vMin;
    max = box.vMax;
    SortCorners(min, max);
}

void C3DModelFrame::GetBoundingSphere(D3DVECTOR& centre, float& radius, float t) {
    if (!m_bBoxesValid) {
        DebugLog("C3DModelFrame::GetBoundingSphere() Bounding boxes invalid!");
        centre = D3DVECTOR(0.0f);
        radius = 0.0f;
        return;
    }
    DBOX_KEYFRAME box = LookupBox(m_Boxes.pKeys, m_Boxes.dwCount, t);
    centre = box.vCentre;
    radius = box.fRadius;
}

// Pass one for one keyframe: places every frame (parents first in index order) and recomputes
// its box key for that keyframe.
void C3DModel::CalculateFrameBoxes(DWORD keyframe, float time) {
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        C3DModelFrame* frame = m_pFrames[i];
        C3DModelFrame* parent = ParentOf(i);
        D3DMATRIX placement = parent != nullptr ? *parent->GetAnimationMatrix() : g_identityMatrix;
        if (frame->GetBBoxKeyframes() == 0) {
            frame->EvaluateSpline(&placement, time);
        }
        frame->FlagBoundingBoxValid(FALSE);
        frame->CalculateBoundingBox(&placement, keyframe);
    }
}

// Pass two for one model box: the union of the mesh frames' boxes at the box's time.
void C3DModel::MergeFrameBoxes(DBOX_KEYFRAME& box) {
    bool first = true;
    box.vMin = box.vMax = D3DVECTOR(0.0f);
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        C3DModelFrame* frame = m_pFrames[i];
        if (frame->IsDummy()) {
            continue;
        }
        frame->FlagBoundingBoxValid(TRUE);
        D3DVECTOR min;
        D3DVECTOR max;
        frame->GetBoundingBox(min, max, box.fTime);
        if (first) {
            box.vMin = min;
            box.vMax = max;
            first = false;
        } else {
            Widen(box.vMin, box.vMax, min, max);
        }
    }
    SetSphereAroundBox(box);
}

void C3DModel::CalculateBoundingBox() {
    if (m_dwFrameCount == 0) {
        return;
    }
    m_bBoxesInvalid = TRUE;
    CMemory::Deallocate(m_pBoxes);
    m_pBoxes = nullptr;
    m_dwBoxCount = 0;
    // SetKeyframes keeps the range ordered; a range of more boxes than the model computes is
    // refused like a failed allocation.
    std::uint64_t count = std::uint64_t{m_dwFinalKeyframe} - m_dwStartKeyframe + 1;
    if (count <= kMaxModelBoxes) {
        m_pBoxes = static_cast<DBOX_KEYFRAME*>(
            CMemory::Allocate(static_cast<DWORD>(count * sizeof(DBOX_KEYFRAME)), 0));
    }
    if (m_pBoxes == nullptr) {
        DebugLog("C3DModelFrame::CalculateBoundingBox() Failed to allocate mem for %d boxes",
                 static_cast<int>(count));
        return;
    }
    m_dwBoxCount = static_cast<DWORD>(count);
    float span = count == 1 ? 1.0f : static_cast<float>(m_dwFinalKeyframe - m_dwStartKeyframe);
    for (DWORD i = 0; i < m_dwBoxCount; ++i) {
        CalculateFrameBoxes(m_dwStartKeyframe + i, static_cast<float>(i) / span);
    }
    for (DWORD i = 0; i < m_dwBoxCount; ++i) {
        DBOX_KEYFRAME& box = m_pBoxes[i];
        box.dwKeyframe = m_dwStartKeyframe + i;
        box.fTime = static_cast<float>(i) / span;
        MergeFrameBoxes(box);
    }
    m_bBoxesInvalid = FALSE;
}

void C3DModel::GetBoundingBox(DWORD anim, float time, D3DVECTOR& min, D3DVECTOR& max) {
    if (m_bBoxesInvalid) {
        DebugLog("C3DModel::GetBoundingBox() Boxes invalid!");
        min = max = D3DVECTOR(0.0f);
        return;
    }
    DBOX_KEYFRAME box =
        LookupBox(m_pBoxes, m_dwBoxCount, GetParametricTime(anim, time, kLoopingFlags));
    min = TransformVector(box.vMin, m_Transform);
    max = TransformVector(box.vMax, m_Transform);
    SortCorners(min, max);
}

void C3DModel::GetBoundingSphere(DWORD anim, float time, D3DVECTOR& centre, float& radius) {
    if (m_bBoxesInvalid) {
        DebugLog("C3DModel::GetBoundingSphere() Bounding boxes invalid!");
        centre = D3DVECTOR(0.0f);
        radius = 0.0f;
        return;
    }
    DBOX_KEYFRAME box =
        LookupBox(m_pBoxes, m_dwBoxCount, GetParametricTime(anim, time, kLoopingFlags));
    centre = TransformVector(box.vCentre, m_Transform);
    radius = box.fRadius;
}
