#pragma once

#include "math/vector.h"
#include "platform/export.h"

// Cubic curve with Bernstein weights: p0 at t = 0, p3 at t = 1.
VELCORE_API D3DVECTOR CubicBSpline(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2,
                                   const D3DVECTOR& p3, float t);
// Uniform quadratic B-spline: the midpoint of p0 and p1 at t = 0, of p1 and p2 at t = 1.
VELCORE_API D3DVECTOR QuadraticBSpline(const D3DVECTOR& p0, const D3DVECTOR& p1,
                                       const D3DVECTOR& p2, float t);
