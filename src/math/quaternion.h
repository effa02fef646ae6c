#pragma once

#include "math/matrix.h"
#include "math/vector.h"
#include "platform/export.h"

// A rotation quaternion: four floats in the order w (real part), x, y, z, as model files
// store them. The identity rotation is (1, 0, 0, 0).
struct D3DQUAT {
    float w, x, y, z;
};

static_assert(sizeof(D3DQUAT) == 16);

// Every function writes into a record the caller supplies and returns that record's
// address, so calls nest. The messages for a zero quaternion and a zero real part go to the
// debug output as they stand, without a line end; the record then keeps its previous values.

// Rotation matrix of q (all sixteen elements); the zero quaternion gives the identity.
VELCORE_API D3DMATRIX* QuatToMatrix(const D3DQUAT* q, D3DMATRIX* out);
// With one angle non-zero, c turns about x, b about y and a about z. Normalized.
VELCORE_API D3DQUAT* EulerToQuat(float a, float b, float c, D3DQUAT* out);
// Rotation part of m. Normalized.
VELCORE_API D3DQUAT* MatrixToQuat(const D3DMATRIX* m, D3DQUAT* out);
// Scales q to unit length in place; a zero (or not-a-number) length leaves it unchanged and
// writes "3DMATRIX.CPP::NormalizeQuat() Zero quaternion supplied!".
VELCORE_API D3DQUAT* NormalizeQuat(D3DQUAT* q);
// Spherical interpolation along the shorter arc (to is negated when the two point apart);
// nearly equal quaternions blend linearly. The result is not normalized.
VELCORE_API D3DQUAT* QuatSlerp(const D3DQUAT* from, const D3DQUAT* to, float t, D3DQUAT* out);
// The axis need not be unit length; an axis shorter than 0.001 gives the identity.
VELCORE_API D3DQUAT* AxisAngleToQuat(float angle, float x, float y, float z, D3DQUAT* out);
VELCORE_API D3DQUAT* AxisAngleToQuat(float angle, const D3DVECTOR* axis, D3DQUAT* out);
// Angle and unit axis of a unit quaternion; without a defined axis it is (0, 0, 1).
VELCORE_API void QuatToAxisAngle(const D3DQUAT* q, float& angle, float& x, float& y, float& z);
// Conjugate in place: the inverse of a unit quaternion only.
VELCORE_API D3DQUAT* QuatInverse(D3DQUAT* q);
// Rotation taking the first unit direction to the second. For nearly opposite directions it
// is a half-turn about a unit axis perpendicular to the first direction.
VELCORE_API D3DQUAT* Vector2VectorQuat(float x1, float y1, float z1, float x2, float y2, float z2,
                                       D3DQUAT* out);
// Normalized Hamilton product a * b.
VELCORE_API D3DQUAT* QuatMultiply(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out);
// (a * conj(b)) / (conj(b) * conj(b)).w, normalized. A zero real part in the divisor writes
// "3DMATRIX.CPP:QuatDivide() Zero real part for division quaternion!" and out is then only
// normalized.
VELCORE_API D3DQUAT* QuatDivide(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out);
// Component-wise sum and difference, normalized.
VELCORE_API D3DQUAT* QuatAdd(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out);
VELCORE_API D3DQUAT* QuatSubtract(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out);
