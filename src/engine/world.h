#pragma once

// The level's cubic world: its size and bounds, the 4 x 4 x 4 grid of quadrants that the
// event system files proximity triggers by, and random unit vectors from the level's float
// table.

#include "math/vector.h"
#include "platform/export.h"
#include "platform/types.h"

extern "C" {

// Sets the world edge length, the bounds -size/2 and +size/2 and the quadrant factor
// 4 / size. A size that is not a positive finite number, or so small that the factor
// overflows, is refused with a message and leaves the world as it was.
VELCORE_API void vgInitialiseWorldSize(float size);

// The point's quadrant qx + 4 qy + 16 qz, 0 to 63; 0 (with a message) for a point on the top
// z bound, whose slice is 4.
VELCORE_API DWORD vgGetQuadrant(const D3DVECTOR* point);

// A unit vector in the positive octant from three draws of the level's float table (z, then
// y, then x).
VELCORE_API void vgRandomUnitVector(D3DVECTOR* out);

} // extern "C"

// The slice, 0 to 3 (4 on the top bound), of one coordinate. With the level's wrap flag 1 a
// coordinate outside the world is first moved by whole world sizes to where the world
// repeats. A coordinate still outside, or not a number at all, is reported and gives 0.
DWORD vgQuadrantFromAxis(float value);

// The draws (x, y, z) normalised; draws without length (all three 0), which have no
// direction, give (0, 0, 1) instead of non-numbers.
D3DVECTOR UnitVectorFromDraws(float x, float y, float z);
