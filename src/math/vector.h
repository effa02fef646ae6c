#pragma once

#include "platform/export.h"

// Maths conventions, shared by every subsystem:
// - Points are row vectors: p = (x, y, z) transforms as [x y z 1] x M, so a transform keeps
//   its translation in row 3, elements (3,0), (3,1), (3,2).
// - MatrixMult(A, B) is the ordinary product B x A: B applies first, then A.
//   Example: MatrixMult(TranslateMatrix(t), RotateYMatrix(a)) rotates a point, then moves it.
// - Angles are radians. Storage is single-precision float; nothing validates its input.

// Three floats, 12 bytes, in the order x, y, z.
struct D3DVECTOR {
    float x, y, z;

    // Fields stay unset, as for any plain record.
    D3DVECTOR() = default;
    constexpr D3DVECTOR(float vx, float vy, float vz) : x(vx), y(vy), z(vz) {}
    constexpr explicit D3DVECTOR(float f) : x(f), y(f), z(f) {}

    // Index 0 is x, 1 is y, 2 is z.
    constexpr float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    constexpr const float& operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
};

static_assert(sizeof(D3DVECTOR) == 12);

VELCORE_API D3DVECTOR operator+(const D3DVECTOR& a, const D3DVECTOR& b);
VELCORE_API D3DVECTOR operator-(const D3DVECTOR& a, const D3DVECTOR& b);
VELCORE_API D3DVECTOR operator*(const D3DVECTOR& v, float s);
VELCORE_API D3DVECTOR operator*(float s, const D3DVECTOR& v);
VELCORE_API D3DVECTOR operator/(const D3DVECTOR& v, float s);

VELCORE_API float DotProduct(const D3DVECTOR& a, const D3DVECTOR& b);
VELCORE_API D3DVECTOR CrossProduct(const D3DVECTOR& a, const D3DVECTOR& b);
VELCORE_API float SquareMagnitude(const D3DVECTOR& v);
VELCORE_API float Magnitude(const D3DVECTOR& v);
// Divides by the magnitude; a zero vector gives non-finite components.
VELCORE_API D3DVECTOR Normalize(const D3DVECTOR& v);
