#include "math/matrix.h"

#include "math/float4.h"
#include "math/float_math.h"
#include "math/inline_ops.h"
#include "math/quaternion.h"

namespace {

constexpr int kOrder = 4;

// Single-precision pi, the value the angle helpers add and subtract.
constexpr float kPi = 3.1415927f;

D3DMATRIX RotationMatrix(int axis0, int axis1, float angle) {
    const float c = float_math::Cos(angle);
    const float s = float_math::Sin(angle);
    D3DMATRIX result = g_identityMatrix;
    result(axis0, axis0) = c;
    result(axis1, axis1) = c;
    result(axis0, axis1) = -s;
    result(axis1, axis0) = s;
    return result;
}

// Angle of the pair (a, b), measured from the +b axis towards the +a axis, in (-pi/2, 3pi/2].
float PairAngle(float a, float b) {
    const float r = float_math::Sqrt(a * a + b * b);
    if (r == 0.0f) {
        return 0.0f;
    }
    if (b > 0.0f) {
        const float t = float_math::Acos(b / r);
        return a >= 0.0f ? t : -t;
    }
    const float t = float_math::Acos(-b / r);
    return a >= 0.0f ? kPi - t : t + kPi;
}

// One row of a matrix product: the weights times the rows of the right-hand factor, summed
// from the first product on in the order k = 0, 1, 2, 3 with the four columns side by side.
// (Starting from a zero would only turn a sum of negative zeros into +0, at the cost of one
// more addition on the critical path.)
lanes::Float4 ProductRow(lanes::Float4 weights, const lanes::Float4 (&rows)[kOrder]) {
    return lanes::Broadcast<0>(weights) * rows[0] + lanes::Broadcast<1>(weights) * rows[1] +
           lanes::Broadcast<2>(weights) * rows[2] + lanes::Broadcast<3>(weights) * rows[3];
}

} // namespace

D3DMATRIX ZeroMatrix() {
    D3DMATRIX result;
    for (auto& row : result.m) {
        for (float& element : row) {
            element = 0.0f;
        }
    }
    return result;
}

D3DMATRIX IdentityMatrix() {
    D3DMATRIX result = ZeroMatrix();
    for (int i = 0; i < kOrder; ++i) {
        result(i, i) = 1.0f;
    }
    return result;
}

D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fov) {
    const double halfAngle = fov * 0.5;
    const float c = float_math::Cos(halfAngle);
    const float s = float_math::Sin(halfAngle);
    const float q = s / (1.0f - nearPlane / farPlane);
    D3DMATRIX result = ZeroMatrix();
    result(0, 0) = c;
    result(1, 1) = c;
    result(2, 2) = q;
    result(3, 2) = -q * nearPlane;
    result(2, 3) = s;
    return result;
}

D3DMATRIX ViewMatrix(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& worldUp,
                     float roll) {
    const D3DVECTOR viewDir = Normalize(at - from);
    D3DVECTOR right = CrossProduct(worldUp, viewDir);
    // Up comes from the right vector before it is normalized.
    D3DVECTOR up = CrossProduct(viewDir, right);
    right = Normalize(right);
    up = Normalize(up);

    D3DMATRIX view = g_identityMatrix;
    const D3DVECTOR* const columns[] = {&right, &up, &viewDir};
    for (int c = 0; c < 3; ++c) {
        for (int r = 0; r < 3; ++r) {
            view(r, c) = (*columns[c])[r];
        }
        view(3, c) = -DotProduct(*columns[c], from);
    }
    if (roll != 0.0f) {
        view = MatrixMult(RotateZMatrix(-roll), view);
    }
    return view;
}

D3DMATRIX RotateXMatrix(float angle) {
    return RotationMatrix(1, 2, angle);
}

D3DMATRIX RotateYMatrix(float angle) {
    return RotationMatrix(2, 0, angle);
}

D3DMATRIX RotateZMatrix(float angle) {
    return RotationMatrix(0, 1, angle);
}

D3DMATRIX TranslateMatrix(float dx, float dy, float dz) {
    D3DMATRIX result = g_identityMatrix;
    result(3, 0) = dx;
    result(3, 1) = dy;
    result(3, 2) = dz;
    return result;
}

D3DMATRIX TranslateMatrix(const D3DVECTOR& v) {
    return TranslateMatrix(v.x, v.y, v.z);
}

D3DMATRIX ScaleMatrix(float s) {
    return ScaleMatrix(s, s, s);
}

D3DMATRIX ScaleMatrix(float sx, float sy, float sz) {
    D3DMATRIX result = g_identityMatrix;
    result(0, 0) = sx;
    result(1, 1) = sy;
    result(2, 2) = sz;
    return result;
}

D3DMATRIX ScaleMatrix(const D3DVECTOR& v) {
    return ScaleMatrix(v.x, v.y, v.z);
}

D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b) {
    const lanes::Float4 rowsOfA[kOrder] = {lanes::Load(a.m[0]), lanes::Load(a.m[1]),
                                           lanes::Load(a.m[2]), lanes::Load(a.m[3])};
    D3DMATRIX result;
    lanes::Store(result.m[0], ProductRow(lanes::Load(b.m[0]), rowsOfA));
    lanes::Store(result.m[1], ProductRow(lanes::Load(b.m[1]), rowsOfA));
    lanes::Store(result.m[2], ProductRow(lanes::Load(b.m[2]), rowsOfA));
    lanes::Store(result.m[3], ProductRow(lanes::Load(b.m[3]), rowsOfA));
    return result;
}

D3DVECTOR TransformVector(const D3DVECTOR& v, const D3DMATRIX& m) {
    return inline_ops::Transform(v, m);
}

D3DVECTOR TransformNormal(const D3DVECTOR& n, const D3DMATRIX& m) {
    return TransformVector(n, MatrixTranspose(MatrixInverse(m)));
}

D3DMATRIX MatrixTranspose(const D3DMATRIX& m) {
    D3DMATRIX result;
    for (int i = 0; i < kOrder; ++i) {
        for (int j = 0; j < kOrder; ++j) {
            result(i, j) = m(j, i);
        }
    }
    return result;
}

float GetVectorYaw(const D3DVECTOR& v) {
    return PairAngle(v.x, v.z);
}

float GetVectorPitch(const D3DVECTOR& v) {
    return PairAngle(v.z, v.y);
}

float GetVectorRoll(const D3DVECTOR& v) {
    return PairAngle(v.x, v.y);
}

D3DMATRIX RotationMatrixFromVector(const D3DVECTOR& v) {
    const D3DMATRIX rz = RotateZMatrix(GetVectorRoll(v));
    const D3DMATRIX ry = RotateYMatrix(GetVectorYaw(v));
    const D3DMATRIX rx = RotateXMatrix(GetVectorPitch(v));
    return MatrixMult(MatrixMult(rx, ry), rz);
}

D3DMATRIX OrientationTransform(const D3DVECTOR& a, const D3DVECTOR& b) {
    D3DQUAT upToA;
    D3DQUAT forwardToB;
    Vector2VectorQuat(0.0f, 1.0f, 0.0f, a.x, a.y, a.z, &upToA);
    Vector2VectorQuat(0.0f, 0.0f, 1.0f, b.x, b.y, b.z, &forwardToB);
    D3DMATRIX first;
    D3DMATRIX second;
    QuatToMatrix(&upToA, &first);
    QuatToMatrix(&forwardToB, &second);
    return MatrixMult(second, first);
}

D3DVECTOR CalculateFaceNormal(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2) {
    return Normalize(CrossProduct(p1 - p0, p2 - p1));
}

int PointInCuboid(const D3DVECTOR& min, const D3DVECTOR& max, const D3DVECTOR& p) {
    for (int i = 0; i < 3; ++i) {
        if (!(min[i] <= p[i] && p[i] <= max[i])) {
            return 0;
        }
    }
    return 1;
}
