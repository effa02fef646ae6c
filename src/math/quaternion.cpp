#include "math/quaternion.h"

#include "math/float_math.h"
#include "platform/os/debug_output.h"

namespace {

// Below this squared length an axis or a sine counts as zero.
constexpr double kNearZero = 1.0e-6;
// Dot products beyond these mean (nearly) equal or opposite directions.
constexpr float kNearlyParallel = 0.99999f;

D3DQUAT Scaled(const D3DQUAT& q, double s) {
    return {static_cast<float>(q.w * s), static_cast<float>(q.x * s), static_cast<float>(q.y * s),
            static_cast<float>(q.z * s)};
}

// A half-turn about a unit axis perpendicular to the direction (x, y, z), which takes that
// direction to its opposite. (-y, x, 0) is perpendicular and non-zero unless the direction
// lies along z, where (-z, 0, x) serves instead.
D3DQUAT HalfTurnAwayFrom(float x, float y, float z) {
    D3DVECTOR axis = float_math::Sqrt(x * x + y * y) < kNearZero ? D3DVECTOR(-z, 0.0f, x)
                                                                 : D3DVECTOR(-y, x, 0.0f);
    float n = SquareMagnitude(axis);
    if (n == 0.0f) {
        n = 1.0f;
    }
    axis = axis / float_math::Sqrt(n);
    return {0.0f, axis.x, axis.y, axis.z};
}

} // namespace

D3DMATRIX* QuatToMatrix(const D3DQUAT* q, D3DMATRIX* out) {
    const float w = q->w;
    const float x = q->x;
    const float y = q->y;
    const float z = q->z;
    const float x2 = x * 2.0f;
    const float y2 = y * 2.0f;
    const float z2 = z * 2.0f;
    *out = {{{1.0f - (y2 * y + z2 * z), y2 * x - z2 * w, z2 * x + y2 * w, 0.0f, //
              y2 * x + z2 * w, 1.0f - (x2 * x + z2 * z), z2 * y - x2 * w, 0.0f, //
              z2 * x - y2 * w, z2 * y + x2 * w, 1.0f - (x2 * x + y2 * y), 0.0f, //
              0.0f, 0.0f, 0.0f, 1.0f}}};
    return out;
}

D3DQUAT* EulerToQuat(float a, float b, float c, D3DQUAT* out) {
    const float ca = float_math::Cos(a * 0.5);
    const float sa = float_math::Sin(a * 0.5);
    const float cb = float_math::Cos(b * 0.5);
    const float sb = float_math::Sin(b * 0.5);
    const float cc = float_math::Cos(c * 0.5);
    const float sc = float_math::Sin(c * 0.5);
    out->w = cc * (cb * ca) + sc * (sb * sa);
    out->x = sc * (cb * ca) - cc * (sb * sa);
    out->y = cc * sb * ca + sc * cb * sa;
    out->z = cc * cb * sa - sc * sb * ca;
    return NormalizeQuat(out);
}

D3DQUAT* MatrixToQuat(const D3DMATRIX* matrix, D3DQUAT* out) {
    const D3DMATRIX& m = *matrix;
    const float trace = m(0, 0) + m(1, 1) + m(2, 2);
    if (trace > 0.0f) {
        float s = float_math::Sqrt(trace + 1.0f);
        out->w = s * 0.5f;
        s = 0.5f / s;
        out->x = (m(2, 1) - m(1, 2)) * s;
        out->y = (m(0, 2) - m(2, 0)) * s;
        out->z = (m(1, 0) - m(0, 1)) * s;
        return NormalizeQuat(out);
    }
    // Start from the largest diagonal element (axis i) and take its successors j and k.
    int i = 0;
    if (m(1, 1) > m(0, 0)) {
        i = 1;
    }
    if (m(2, 2) > m(i, i)) {
        i = 2;
    }
    constexpr int kNext[3] = {1, 2, 0};
    const int j = kNext[i];
    const int k = kNext[j];
    float s = float_math::Sqrt(m(i, i) - (m(j, j) + m(k, k)) + 1.0f);
    float axis[3];
    axis[i] = s * 0.5f;
    if (s != 0.0f) {
        s = 0.5f / s;
    }
    // Same orientation as the positive-trace branch: for i = 0 this is m(2,1) - m(1,2).
    out->w = (m(k, j) - m(j, k)) * s;
    axis[j] = (m(i, j) + m(j, i)) * s;
    axis[k] = (m(i, k) + m(k, i)) * s;
    out->x = axis[0];
    out->y = axis[1];
    out->z = axis[2];
    return NormalizeQuat(out);
}

D3DQUAT* NormalizeQuat(D3DQUAT* q) {
    const float n = q->x * q->x + q->y * q->y + q->z * q->z + q->w * q->w;
    if (!(n > 0.0f)) {
        OutputDebugStringA("3DMATRIX.CPP::NormalizeQuat() Zero quaternion supplied!");
        return q;
    }
    *q = Scaled(*q, 1.0f / float_math::Sqrt(n));
    return q;
}

D3DQUAT* QuatSlerp(const D3DQUAT* from, const D3DQUAT* to, float t, D3DQUAT* out) {
    double cosom = static_cast<double>(from->x) * to->x + static_cast<double>(from->y) * to->y +
                   static_cast<double>(from->z) * to->z + static_cast<double>(from->w) * to->w;
    D3DQUAT target = *to;
    // q and -q are the same rotation: take the shorter arc.
    if (cosom < 0.0) {
        cosom = -cosom;
        target = Scaled(target, -1.0);
    }
    double scaleFrom = 1.0 - t;
    double scaleTo = t;
    // Nearly equal quaternions keep the linear blend, avoiding division by a tiny sine.
    if (1.0 - cosom > kNearZero) {
        const double omega = std::acos(cosom);
        const double sinom = std::sin(omega);
        scaleFrom = std::sin((1.0 - t) * omega) / sinom;
        scaleTo = std::sin(t * omega) / sinom;
    }
    const D3DQUAT start = *from;
    out->w = static_cast<float>(scaleFrom * start.w + scaleTo * target.w);
    out->x = static_cast<float>(scaleFrom * start.x + scaleTo * target.x);
    out->y = static_cast<float>(scaleFrom * start.y + scaleTo * target.y);
    out->z = static_cast<float>(scaleFrom * start.z + scaleTo * target.z);
    return out;
}

D3DQUAT* AxisAngleToQuat(float angle, float x, float y, float z, D3DQUAT* out) {
    const float n = x * x + y * y + z * z;
    if (n <= kNearZero) {
        *out = {1.0f, 0.0f, 0.0f, 0.0f};
        return out;
    }
    const float k = float_math::Sin(angle * 0.5) / float_math::Sqrt(n);
    out->x = x * k;
    out->y = y * k;
    out->z = z * k;
    out->w = float_math::Cos(angle * 0.5);
    return out;
}

D3DQUAT* AxisAngleToQuat(float angle, const D3DVECTOR* axis, D3DQUAT* out) {
    return AxisAngleToQuat(angle, axis->x, axis->y, axis->z, out);
}

void QuatToAxisAngle(const D3DQUAT* q, float& angle, float& x, float& y, float& z) {
    const float half = float_math::Acos(q->w);
    const float s = float_math::Sin(half);
    angle = half * 2.0f;
    if (s > kNearZero) {
        const float inverse = 1.0f / s;
        x = q->x * inverse;
        y = q->y * inverse;
        z = q->z * inverse;
    } else {
        x = 0.0f;
        y = 0.0f;
        z = 1.0f;
    }
}

D3DQUAT* QuatInverse(D3DQUAT* q) {
    q->x = -q->x;
    q->y = -q->y;
    q->z = -q->z;
    return q;
}

D3DQUAT* Vector2VectorQuat(float x1, float y1, float z1, float x2, float y2, float z2,
                           D3DQUAT* out) {
    const float d = x1 * x2 + y1 * y2 + z1 * z2;
    if (d > kNearlyParallel) {
        *out = {1.0f, 0.0f, 0.0f, 0.0f};
    } else if (d >= -kNearlyParallel) {
        const D3DVECTOR axis = CrossProduct({x1, y1, z1}, {x2, y2, z2});
        float n = SquareMagnitude(axis);
        if (n == 0.0f) {
            n = 1.0f;
        }
        const float s = float_math::Sqrt((1.0f - d) * 0.5f) / float_math::Sqrt(n);
        out->x = axis.x * s;
        out->y = axis.y * s;
        out->z = axis.z * s;
        out->w = float_math::Sqrt((1.0f + d) * 0.5f);
    } else {
        *out = HalfTurnAwayFrom(x1, y1, z1);
    }
    return out;
}

D3DQUAT* QuatMultiply(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out) {
    // Built in a local first, so out may also be a or b.
    const D3DQUAT product = {
        a->w * b->w - a->x * b->x - a->y * b->y - a->z * b->z,
        a->w * b->x + a->x * b->w + a->y * b->z - a->z * b->y,
        a->w * b->y + a->y * b->w + a->z * b->x - a->x * b->z,
        a->w * b->z + a->z * b->w + a->x * b->y - a->y * b->x,
    };
    *out = product;
    return NormalizeQuat(out);
}

D3DQUAT* QuatDivide(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out) {
    D3DQUAT conjugate = *b;
    QuatInverse(&conjugate);
    D3DQUAT numerator;
    D3DQUAT square;
    QuatMultiply(a, &conjugate, &numerator);
    QuatMultiply(&conjugate, &conjugate, &square);
    if (square.w != 0.0f) {
        const float inverse = 1.0f / square.w;
        *out = {numerator.w * inverse, numerator.x * inverse, numerator.y * inverse,
                numerator.z * inverse};
    } else {
        OutputDebugStringA("3DMATRIX.CPP:QuatDivide() Zero real part for division quaternion!");
    }
    return NormalizeQuat(out);
}

D3DQUAT* QuatAdd(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out) {
    *out = {a->w + b->w, a->x + b->x, a->y + b->y, a->z + b->z};
    return NormalizeQuat(out);
}

D3DQUAT* QuatSubtract(const D3DQUAT* a, const D3DQUAT* b, D3DQUAT* out) {
    *out = {a->w - b->w, a->x - b->x, a->y - b->y, a->z - b->z};
    return NormalizeQuat(out);
}
