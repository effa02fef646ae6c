#pragma once

// Inline forms of the vector operations the engine's inner loops run per frame and per model
// frame (culling, drawing). The exported operators and functions of vector.h and matrix.h are
// built on these, so both forms give bit-identical results; internal to the library.

#include "math/matrix.h"
#include "math/vector.h"

namespace inline_ops {

inline D3DVECTOR Add(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

inline D3DVECTOR Subtract(const D3DVECTOR& a, const D3DVECTOR& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

inline float Dot(const D3DVECTOR& a, const D3DVECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

inline float TransformedComponent(const D3DVECTOR& v, const D3DMATRIX& m, int j) {
    return v.x * m(0, j) + v.y * m(1, j) + v.z * m(2, j) + m(3, j);
}

// The point v (w = 1) through m, divided by the resulting w.
inline D3DVECTOR Transform(const D3DVECTOR& v, const D3DMATRIX& m) {
    const float w = 1.0f / TransformedComponent(v, m, 3);
    return {TransformedComponent(v, m, 0) * w, TransformedComponent(v, m, 1) * w,
            TransformedComponent(v, m, 2) * w};
}

} // namespace inline_ops
