#include "math/vector.h"

#include "math/inline_ops.h"

#include <cmath>

D3DVECTOR operator+(const D3DVECTOR& a, const D3DVECTOR& b) {
    return inline_ops::Add(a, b);
}

D3DVECTOR operator-(const D3DVECTOR& a, const D3DVECTOR& b) {
    return inline_ops::Subtract(a, b);
}

D3DVECTOR operator*(const D3DVECTOR& v, float s) {
    return {v.x * s, v.y * s, v.z * s};
}

D3DVECTOR operator*(float s, const D3DVECTOR& v) {
    return v * s;
}

D3DVECTOR operator/(const D3DVECTOR& v, float s) {
    return {v.x / s, v.y / s, v.z / s};
}

float DotProduct(const D3DVECTOR& a, const D3DVECTOR& b) {
    return inline_ops::Dot(a, b);
}

D3DVECTOR CrossProduct(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float SquareMagnitude(const D3DVECTOR& v) {
    return DotProduct(v, v);
}

float Magnitude(const D3DVECTOR& v) {
    return std::sqrt(SquareMagnitude(v));
}

D3DVECTOR Normalize(const D3DVECTOR& v) {
    return v / Magnitude(v);
}
