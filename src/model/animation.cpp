// Keyframe animation: the animation clock of a model, the evaluation of a frame's tracks in
// the four modes, and the model-level pass over the frame hierarchy.

#include "model/model.h"

#include "engine/debug_log.h"
#include "math/quaternion.h"
#include "model/key_track.h"
#include "support/memory.h"

#include <cmath>
#include <cstring>

namespace {

// What a frame's tracks give at one time.
struct FRAME_POSE {
    D3DQUAT rotation;
    D3DVECTOR position;
    D3DVECTOR scale;
};

// Defaults of empty tracks; the zero quaternion stands for the identity rotation.
constexpr D3DQUAT kNoRotation = {0.0f, 0.0f, 0.0f, 0.0f};
constexpr D3DVECTOR kNoPosition(0.0f);
constexpr D3DVECTOR kUnitScale(1.0f);

D3DVECTOR ValueOf(const DPOS_KEYFRAME& key) {
    return key.vPosition;
}
D3DVECTOR ValueOf(const DSCL_KEYFRAME& key) {
    return key.vScale;
}
D3DQUAT ValueOf(const DROT_KEYFRAME& key) {
    return key.qRotation;
}

D3DVECTOR Blend(const D3DVECTOR& from, const D3DVECTOR& to, float f) {
    return Lerp(from, to, f);
}

D3DQUAT Blend(const D3DQUAT& from, const D3DQUAT& to, float f) {
    D3DQUAT result;
    QuatSlerp(&from, &to, f, &result);
    return result;
}

template <class Key, class Value>
Value LinearValue(const KEY_TRACK<Key>& track, float t, const Value& empty) {
    if (track.dwCount == 0) {
        return empty;
    }
    KEY_SPAN<Key> span = FindSpan(track.pKeys, track.dwCount, t);
    return span.to == nullptr ? ValueOf(*span.from)
                              : Blend(ValueOf(*span.from), ValueOf(*span.to), span.f);
}

template <class Key, class Value>
Value NearestValue(const KEY_TRACK<Key>& track, float t, const Value& empty) {
    return track.dwCount == 0 ? empty : ValueOf(*FindNearest(track.pKeys, track.dwCount, t));
}

// A Hermite curve between the key at or before t and the next, shaped by the first key's
// outgoing and the second key's incoming tangent and eased by their ease values.
D3DVECTOR SplinePosition(const KEY_TRACK<DPOS_KEYFRAME>& track, float t) {
    if (track.dwCount == 0) {
        return kNoPosition;
    }
    const DPOS_KEYFRAME* current = track.pKeys;
    const DPOS_KEYFRAME* last = track.pKeys + track.dwCount - 1;
    if (track.dwCount == 1 || t <= 0.0f) {
        return current->vPosition;
    }
    if (t >= 1.0f) {
        return last->vPosition;
    }
    while (current != last && current[1].fTime < t) {
        ++current;
    }
    if (current == last) {
        return current->vPosition;
    }
    const DPOS_KEYFRAME& next = current[1];
    float u = (t - current->fTime) / (next.fTime - current->fTime);
    u = C3DModelFrame::Ease(u, current->fEaseFrom, next.fEaseTo);
    float u2 = u * u;
    float u3 = u2 * u;
    float h1 = 2.0f * u3 - 3.0f * u2 + 1.0f;
    float h2 = 1.0f - h1;
    float h3 = u3 - 2.0f * u2 + u;
    float h4 = u3 - u2;
    return current->vPosition * h1 + next.vPosition * h2 + current->vOutTangent * h3 +
           next.vInTangent * h4;
}

// A running time above the duration wraps into (0, duration] in one step, so a huge or
// infinite time cannot keep a loop busy.
float WrapIntoDuration(float time, float duration) {
    float remainder = std::fmod(time, duration);
    return remainder > 0.0f ? remainder : duration;
}

bool IsUsableDuration(float duration) {
    return duration > 0.0f && std::isfinite(duration);
}

} // namespace

float C3DModelFrame::Ease(float u, float easeFrom, float easeTo) {
    float sum = easeFrom + easeTo;
    if (sum == 0.0f) {
        return u;
    }
    if (sum > 1.0f) {
        easeFrom /= sum;
        easeTo /= sum;
    }
    float k = 1.0f / (2.0f - easeFrom - easeTo);
    if (u < easeFrom) {
        return k / easeFrom * u * u;
    }
    if (u < 1.0f - easeTo) {
        return k * (2.0f * u - easeFrom);
    }
    // The curve is 1 at u = 1. Without an ease-out share only u = 1 gets here, and the
    // formula would compute infinity times 0 for it.
    float rest = 1.0f - u;
    if (rest <= 0.0f) {
        return 1.0f;
    }
    return 1.0f - k / easeTo * rest * rest;
}

void C3DModelFrame::BuildAnimationMatrix(const D3DQUAT& rotation, const D3DVECTOR& position,
                                         const D3DVECTOR& scale, const D3DMATRIX* parent) {
    QuatToMatrix(&rotation, &m_AnimationMatrix);
    m_AnimationMatrix = MatrixMult(m_AnimationMatrix, ScaleMatrix(scale));
    m_AnimationMatrix = MatrixMult(TranslateMatrix(position), m_AnimationMatrix);
    if (parent != nullptr) {
        m_AnimationMatrix = MatrixMult(*parent, m_AnimationMatrix);
    }
}

void C3DModelFrame::EvaluateSpline(const D3DMATRIX* parent, float t) {
    BuildAnimationMatrix(LinearValue(m_Rotation, t, kNoRotation), SplinePosition(m_Position, t),
                         LinearValue(m_Scale, t, kUnitScale), parent);
    m_fLastTime = -1.0f;
}

void C3DModelFrame::InterpolateAnimation(const D3DMATRIX* parent, float t, DWORD flags) {
    if ((m_bDummy && !m_bHasChildren) || t == m_fLastTime) {
        return;
    }
    FRAME_POSE pose;
    if (flags & ANIM_SPLINE) {
        pose = {LinearValue(m_Rotation, t, kNoRotation), SplinePosition(m_Position, t),
                LinearValue(m_Scale, t, kUnitScale)};
    } else if (flags & (ANIM_SLERP | ANIM_LINEAR)) {
        pose = {LinearValue(m_Rotation, t, kNoRotation), LinearValue(m_Position, t, kNoPosition),
                LinearValue(m_Scale, t, kUnitScale)};
    } else {
        pose = {NearestValue(m_Rotation, t, kNoRotation), NearestValue(m_Position, t, kNoPosition),
                NearestValue(m_Scale, t, kUnitScale)};
    }
    BuildAnimationMatrix(pose.rotation, pose.position, pose.scale, parent);
    m_fLastTime = t;
}

int C3DModel::SetAnimations(DWORD count, const DANIMATION* animations) {
    if (m_pAnimations != nullptr) {
        CMemory::Deallocate(m_pAnimations);
        m_pAnimations = nullptr;
    }
    m_dwAnimationCount = 0;
    if (count == 0) {
        return 1;
    }
    std::uint64_t bytes = std::uint64_t{count} * sizeof(DANIMATION);
    void* list = bytes <= 0xFFFFFFFFu ? CMemory::Allocate(static_cast<DWORD>(bytes), 0) : nullptr;
    if (list == nullptr) {
        DebugLog("C3DModel::SetAnimations() Failed to allocate mem for %d items",
                 static_cast<int>(count));
        return 0;
    }
    std::memcpy(list, animations, static_cast<std::size_t>(bytes));
    m_pAnimations = static_cast<DANIMATION*>(list);
    for (DWORD i = 0; i < count; ++i) {
        DANIMATION& animation = m_pAnimations[i];
        animation.fInvDuration =
            IsUsableDuration(animation.fDuration) ? 1.0f / animation.fDuration : 0.0f;
    }
    m_dwAnimationCount = count;
    return 1;
}

float C3DModel::GetParametricTime(DWORD anim, float& time, DWORD flags) {
    if (m_dwAnimationCount == 0) {
        return 0.0f;
    }
    if (anim >= m_dwAnimationCount) {
        DebugLog("C3DModel::GetParametricTime() Invalid animation index (%d %d max)",
                 static_cast<int>(anim), static_cast<int>(m_dwAnimationCount));
        return 0.0f;
    }
    const DANIMATION& animation = m_pAnimations[anim];
    // Checked at every call: the host may change a duration in the list.
    float duration = animation.fDuration;
    if (!IsUsableDuration(duration)) {
        return 0.0f;
    }
    if (flags & ANIM_PLAY_ONCE) {
        if (time < 0.0f) {
            time = 0.0f;
        } else if (time > duration) {
            time = duration;
        }
    } else if (time > duration) {
        time = WrapIntoDuration(time, duration);
    }
    return time * animation.fInvDuration;
}

void C3DModel::InterpolateAnimation(int useHierarchy, DWORD anim, float& time, DWORD flags) {
    float t = GetParametricTime(anim, time, flags);
    bool done[kMaxModelFrames] = {};
    for (DWORD i = 0; i < m_dwFrameCount; ++i) {
        const D3DMATRIX* parentMatrix = nullptr;
        if (useHierarchy) {
            DWORD parentIndex = m_pFrames[i]->GetParentKeyframe();
            C3DModelFrame* parent = ParentOf(i);
            if (parent == nullptr) {
                parentMatrix = &m_Transform;
            } else {
                if (!done[parentIndex]) {
                    DebugLog("C3DModel::InterpolateAnimation() Hierarchy item %d is dependant "
                             "upon %d",
                             static_cast<int>(i), static_cast<int>(parentIndex));
                }
                parentMatrix = parent->GetAnimationMatrix();
            }
        }
        if (m_bResetAnimation) {
            m_pFrames[i]->ResetAnimationFlag();
        }
        m_pFrames[i]->InterpolateAnimation(parentMatrix, t, flags);
        done[i] = true;
    }
    m_bResetAnimation = FALSE;
}
