#pragma once

#include "math/vector.h"
#include "platform/export.h"

#include <cstddef>

// A plane: the points p with DotProduct(p, normal) == distance. The biased distance lies
// 0.0001 beyond it and bounds the band in which a point still counts as on the plane.
struct D3DPLANE {
    D3DVECTOR normal;
    float biasedDistance;
    float distance;
};

static_assert(sizeof(D3DPLANE) == 20);
static_assert(offsetof(D3DPLANE, biasedDistance) == 12);
static_assert(offsetof(D3DPLANE, distance) == 16);

// Where a point lies relative to a plane.
enum D3DCLIPCODE {
    CLIPCODE_FRONT = 1, // dot product >= biased distance: on the side the normal points to
    CLIPCODE_BACK = 2,  // dot product < distance
    CLIPCODE_ON = 3,    // distance <= dot product < biased distance
};

// A view frame is three world-space axes, passed in the order z (view direction), y (up),
// x (right); view coordinates (x, y, z) run along right, up and the view direction. The axes
// are expected to be unit length and mutually perpendicular; nothing normalizes them.

// v.x * xAxis + v.y * yAxis + v.z * zAxis.
VELCORE_API D3DVECTOR RotateViewToWorldVector(const D3DVECTOR* v, const D3DVECTOR* zAxis,
                                              const D3DVECTOR* yAxis, const D3DVECTOR* xAxis);
// The view coordinates of world point p for a frame placed at origin.
VELCORE_API D3DVECTOR PointFromWorldToView(const D3DVECTOR* p, const D3DVECTOR* origin,
                                           const D3DVECTOR* zAxis, const D3DVECTOR* yAxis,
                                           const D3DVECTOR* xAxis);
// The world-space plane with view-space normal n through world point q.
VELCORE_API void SetWorldspaceClipPlane(const D3DVECTOR* n, D3DPLANE* plane, const D3DVECTOR* q,
                                        const D3DVECTOR* zAxis, const D3DVECTOR* yAxis,
                                        const D3DVECTOR* xAxis);
// Writes the four side planes of a frustum (left, right, bottom, top) into planes[0..3], all
// through origin with normals pointing into the volume. With k = (2 / a) b, the normals lean
// from the view direction by atan(k / c) across and by atan(k / d) up and down.
VELCORE_API void SetUpClippingFrustum(D3DPLANE* planes, float a, float b, float c, float d,
                                      const D3DVECTOR* origin, const D3DVECTOR* zAxis,
                                      const D3DVECTOR* yAxis, const D3DVECTOR* xAxis);
VELCORE_API D3DCLIPCODE ClipPointTest(const D3DPLANE* plane, const D3DVECTOR* p);
// (DotProduct(n1, D), DotProduct(n2, D), DotProduct(n3, D)) with D the three distances: the
// common point when the normals are the unit x, y and z axes.
VELCORE_API D3DVECTOR PlaneIntersection(const D3DPLANE* p1, const D3DPLANE* p2, const D3DPLANE* p3);
