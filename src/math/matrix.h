#pragma once

#include "math/vector.h"
#include "platform/export.h"

// Sixteen floats, row-major: element (r, c) is the float at index r*4+c. See math/vector.h
// for the row-vector convention and the order of MatrixMult.
struct D3DMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };

    constexpr float& operator()(int row, int column) { return m[row][column]; }
    constexpr const float& operator()(int row, int column) const { return m[row][column]; }
};

static_assert(sizeof(D3DMATRIX) == 64);

// The library-wide identity, filled from IdentityMatrix() when the library loads. Every
// builder below starts from a copy of it.
extern VELCORE_API D3DMATRIX g_identityMatrix;

VELCORE_API D3DMATRIX ZeroMatrix();
VELCORE_API D3DMATRIX IdentityMatrix();

// Perspective projection; (2,3) holds sin(fov/2) and (3,3) stays 0.
VELCORE_API D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fov);
// Camera at `from` looking at `at`; a non-zero roll turns the view by -roll about its axis.
VELCORE_API D3DMATRIX ViewMatrix(const D3DVECTOR& from, const D3DVECTOR& at,
                                 const D3DVECTOR& worldUp, float roll);

VELCORE_API D3DMATRIX RotateXMatrix(float angle);
VELCORE_API D3DMATRIX RotateYMatrix(float angle);
VELCORE_API D3DMATRIX RotateZMatrix(float angle);
VELCORE_API D3DMATRIX TranslateMatrix(float dx, float dy, float dz);
VELCORE_API D3DMATRIX TranslateMatrix(const D3DVECTOR& v);
VELCORE_API D3DMATRIX ScaleMatrix(float s);
VELCORE_API D3DMATRIX ScaleMatrix(float sx, float sy, float sz);
VELCORE_API D3DMATRIX ScaleMatrix(const D3DVECTOR& v);

// B x A: with row vectors, B applies first and A second. Each element sums its four products
// in order, starting from the first.
VELCORE_API D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b);
// [v 1] x M divided by its fourth component (no test for zero).
VELCORE_API D3DVECTOR TransformVector(const D3DVECTOR& v, const D3DMATRIX& m);
// Transforms a normal by the transposed inverse of M.
VELCORE_API D3DVECTOR TransformNormal(const D3DVECTOR& n, const D3DMATRIX& m);
// LU decomposition with implicit partial pivoting. A matrix with an all-zero row writes
// "3DMatrix::ludcmp() singular matrix found!" to the debug output; the result is then
// meaningless.
VELCORE_API D3DMATRIX MatrixInverse(const D3DMATRIX& m);
VELCORE_API D3DMATRIX MatrixTranspose(const D3DMATRIX& m);

// Angles in (-pi/2, 3pi/2], measured from the second axis of the pair towards the first:
// yaw from (x, z), pitch from (z, y), roll from (x, y). A zero pair gives 0.
VELCORE_API float GetVectorYaw(const D3DVECTOR& v);
VELCORE_API float GetVectorPitch(const D3DVECTOR& v);
VELCORE_API float GetVectorRoll(const D3DVECTOR& v);

// Rz(roll) x Ry(yaw) x Rx(pitch) from the angles of v: roll applies first, pitch last.
VELCORE_API D3DMATRIX RotationMatrixFromVector(const D3DVECTOR& v);
// The rotation taking +y to a, followed by the rotation taking +z to b.
VELCORE_API D3DMATRIX OrientationTransform(const D3DVECTOR& a, const D3DVECTOR& b);

// Normalize(CrossProduct(p1 - p0, p2 - p1)).
VELCORE_API D3DVECTOR CalculateFaceNormal(const D3DVECTOR& p0, const D3DVECTOR& p1,
                                          const D3DVECTOR& p2);
// 1 when min <= p <= max on every axis (faces count as inside), else 0.
VELCORE_API int PointInCuboid(const D3DVECTOR& min, const D3DVECTOR& max, const D3DVECTOR& p);
