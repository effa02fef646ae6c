#include "math/plane.h"

#include "math/float_math.h"

#include <initializer_list>

namespace {

// How far beyond the plane the band of points that count as on it reaches.
constexpr float kOnPlaneBand = 0.0001f;

// The two side planes whose view-space normals lean from the view direction by angle,
// one each way along the given view axis (0 = x, 1 = y).
void SetSidePlanePair(D3DPLANE* pair, int viewAxis, float angle, const D3DVECTOR* origin,
                      const D3DVECTOR* zAxis, const D3DVECTOR* yAxis, const D3DVECTOR* xAxis) {
    const float s = float_math::Sin(angle);
    const float c = float_math::Cos(angle);
    for (const float side : {s, -s}) {
        D3DVECTOR normal(0.0f, 0.0f, c);
        normal[viewAxis] = side;
        SetWorldspaceClipPlane(&normal, pair++, origin, zAxis, yAxis, xAxis);
    }
}

} // namespace

D3DVECTOR RotateViewToWorldVector(const D3DVECTOR* v, const D3DVECTOR* zAxis,
                                  const D3DVECTOR* yAxis, const D3DVECTOR* xAxis) {
    return v->x * *xAxis + v->y * *yAxis + v->z * *zAxis;
}

D3DVECTOR PointFromWorldToView(const D3DVECTOR* p, const D3DVECTOR* origin, const D3DVECTOR* zAxis,
                               const D3DVECTOR* yAxis, const D3DVECTOR* xAxis) {
    const D3DVECTOR d = *p - *origin;
    return {DotProduct(d, *xAxis), DotProduct(d, *yAxis), DotProduct(d, *zAxis)};
}

void SetWorldspaceClipPlane(const D3DVECTOR* n, D3DPLANE* plane, const D3DVECTOR* q,
                            const D3DVECTOR* zAxis, const D3DVECTOR* yAxis,
                            const D3DVECTOR* xAxis) {
    plane->normal = RotateViewToWorldVector(n, zAxis, yAxis, xAxis);
    const float distance = DotProduct(*q, plane->normal);
    plane->biasedDistance = distance + kOnPlaneBand;
    plane->distance = distance;
}

void SetUpClippingFrustum(D3DPLANE* planes, float a, float b, float c, float d,
                          const D3DVECTOR* origin, const D3DVECTOR* zAxis, const D3DVECTOR* yAxis,
                          const D3DVECTOR* xAxis) {
    const float k = (2.0f / a) * b;
    SetSidePlanePair(planes, 0, float_math::Atan(k / c), origin, zAxis, yAxis, xAxis);
    SetSidePlanePair(planes + 2, 1, float_math::Atan(k / d), origin, zAxis, yAxis, xAxis);
}

D3DCLIPCODE ClipPointTest(const D3DPLANE* plane, const D3DVECTOR* p) {
    const float s = DotProduct(*p, plane->normal);
    if (s >= plane->biasedDistance) {
        return CLIPCODE_FRONT;
    }
    if (s >= plane->distance) {
        return CLIPCODE_ON;
    }
    return CLIPCODE_BACK;
}

D3DVECTOR PlaneIntersection(const D3DPLANE* p1, const D3DPLANE* p2, const D3DPLANE* p3) {
    const D3DVECTOR distances(p1->distance, p2->distance, p3->distance);
    return {DotProduct(p1->normal, distances), DotProduct(p2->normal, distances),
            DotProduct(p3->normal, distances)};
}
