#pragma once

#include "math/matrix.h"
#include "math/quaternion.h"

#include <gtest/gtest.h>

namespace testkit {

// Component-wise comparisons; a tolerance of 0 demands exact equality.
inline void ExpectVectorNear(const D3DVECTOR& actual, const D3DVECTOR& expected,
                             float tolerance = 0.0f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected,
                             float tolerance = 0.0f) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual(r, c), expected(r, c), tolerance) << "(" << r << "," << c << ")";
        }
    }
}

inline void ExpectQuatNear(const D3DQUAT& actual, const D3DQUAT& expected, float tolerance = 0.0f) {
    EXPECT_NEAR(actual.w, expected.w, tolerance);
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

} // namespace testkit
