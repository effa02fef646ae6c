#include "math/spline.h"

D3DVECTOR CubicBSpline(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2,
                       const D3DVECTOR& p3, float t) {
    const float u = 1.0f - t;
    return p0 * (u * u * u) + (p1 * t * 3.0f) * (u * u) + (p2 * u * 3.0f) * (t * t) +
           p3 * (t * t * t);
}

D3DVECTOR QuadraticBSpline(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2, float t) {
    const float u = 1.0f - t;
    return 0.5f * (p0 * (u * u) + p1 * (2.0f * (t - t * t) + 1.0f) + p2 * (t * t));
}
