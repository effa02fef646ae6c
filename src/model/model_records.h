#pragma once

// The plain records of model files, read and written raw (little-endian, no padding). Every
// key record begins with its keyframe number and its parametric time (0..1); a track is
// sorted by time.

#include "math/quaternion.h"
#include "math/vector.h"
#include "platform/types.h"

#include <cstddef>

constexpr DWORD kNoIndex = 0xFFFFFFFF; // no parent frame, no material

struct DPOS_KEYFRAME {
    DWORD dwKeyframe;
    float fTime;
    D3DVECTOR vPosition;
    D3DVECTOR vInTangent;  // arriving at this key (spline mode)
    D3DVECTOR vOutTangent; // leaving this key (spline mode)
    DWORD dwCarried[3];    // not interpreted; kept and written back
    float fEaseFrom;       // ease-in share of the interval leaving this key
    float fEaseTo;         // ease-out share of the interval arriving at this key
};
static_assert(sizeof(DPOS_KEYFRAME) == 64);
static_assert(offsetof(DPOS_KEYFRAME, vPosition) == 8);
static_assert(offsetof(DPOS_KEYFRAME, vOutTangent) == 32);
static_assert(offsetof(DPOS_KEYFRAME, fEaseFrom) == 56);

struct DROT_KEYFRAME {
    DWORD dwKeyframe;
    float fTime;
    D3DQUAT qRotation; // w, x, y, z
};
static_assert(sizeof(DROT_KEYFRAME) == 24);

struct DSCL_KEYFRAME {
    DWORD dwKeyframe;
    float fTime;
    D3DVECTOR vScale;
};
static_assert(sizeof(DSCL_KEYFRAME) == 20);

// A bounding box with its bounding sphere, for a frame's box track and the model's own boxes.
struct DBOX_KEYFRAME {
    DWORD dwKeyframe;
    float fTime;
    D3DVECTOR vMin;
    D3DVECTOR vMax;
    D3DVECTOR vCentre;
    float fRadius;
};
static_assert(sizeof(DBOX_KEYFRAME) == 48);
static_assert(offsetof(DBOX_KEYFRAME, vMin) == 8);
static_assert(offsetof(DBOX_KEYFRAME, vMax) == 20);
static_assert(offsetof(DBOX_KEYFRAME, vCentre) == 32);
static_assert(offsetof(DBOX_KEYFRAME, fRadius) == 44);

// One animation of a model. Only the duration is interpreted; the rest travels unchanged.
struct DANIMATION {
    BYTE carried[40];
    float fDuration;    // length in the host's time units
    float fInvDuration; // 1 / duration, recomputed when the list is set
};
static_assert(sizeof(DANIMATION) == 48);
static_assert(offsetof(DANIMATION, fDuration) == 40);

struct ATTACHMENT_POINT {
    D3DVECTOR vPosition;
    D3DVECTOR vNormal;
    DWORD dwCarried; // not interpreted
};
static_assert(sizeof(ATTACHMENT_POINT) == 28);

// Animation flags (C3DModel::InterpolateAnimation, C3DModel::GetParametricTime). With no
// mode bit the nearest key is used; spline wins over slerp, slerp over linear.
constexpr DWORD ANIM_PLAY_ONCE = 0x01; // clamp the time instead of wrapping it
constexpr DWORD ANIM_LINEAR = 0x20;
constexpr DWORD ANIM_SLERP = 0x40; // the same result as linear
constexpr DWORD ANIM_SPLINE = 0x80;
