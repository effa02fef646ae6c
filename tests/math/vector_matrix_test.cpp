#include "math/matrix.h"
#include "math/quaternion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectVectorNear(const D3DVECTOR& actual, const D3DVECTOR& expected, float tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void ExpectMatrixEq(const D3DMATRIX& actual, const D3DMATRIX& expected) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(actual(r, c), expected(r, c)) << "element (" << r << "," << c << ")";
        }
    }
}

void ExpectMatrixNear(const D3DMATRIX& actual, const D3DMATRIX& expected, float tolerance) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual(r, c), expected(r, c), tolerance) << "(" << r << "," << c << ")";
        }
    }
}

D3DMATRIX SampleMatrix(float base) {
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) {
        m(i / 4, i % 4) = base + 0.37f * static_cast<float>(i * i % 7) - 0.5f * (i % 3);
    }
    return m;
}

TEST(VectorRecord, LayoutAndComponentAccess) {
    EXPECT_EQ(sizeof(D3DVECTOR), 12u);
    D3DVECTOR v(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(&v[0], &v.x);
    EXPECT_EQ(&v[1], &v.y);
    EXPECT_EQ(&v[2], &v.z);
    v[1] = 7.0f;
    EXPECT_EQ(v.y, 7.0f);
    const D3DVECTOR same(4.5f);
    EXPECT_EQ(same.x, 4.5f);
    EXPECT_EQ(same.y, 4.5f);
    EXPECT_EQ(same.z, 4.5f);
}

TEST(VectorOperations, ArithmeticIsComponentWise) {
    const D3DVECTOR a(1.0f, -2.0f, 3.0f);
    const D3DVECTOR b(0.5f, 4.0f, -1.0f);
    ExpectVectorNear(a + b, {1.5f, 2.0f, 2.0f}, 0.0f);
    ExpectVectorNear(a - b, {0.5f, -6.0f, 4.0f}, 0.0f);
    ExpectVectorNear(a * 2.0f, {2.0f, -4.0f, 6.0f}, 0.0f);
    ExpectVectorNear(2.0f * a, {2.0f, -4.0f, 6.0f}, 0.0f);
    ExpectVectorNear(a / 4.0f, {0.25f, -0.5f, 0.75f}, 0.0f);
}

TEST(VectorOperations, ProductsAndMagnitudes) {
    const D3DVECTOR a(1.0f, 2.0f, 3.0f);
    const D3DVECTOR b(4.0f, -5.0f, 6.0f);
    EXPECT_EQ(DotProduct(a, b), 4.0f - 10.0f + 18.0f);
    ExpectVectorNear(CrossProduct({1, 0, 0}, {0, 1, 0}), {0, 0, 1}, 0.0f);
    ExpectVectorNear(CrossProduct(a, b), {2 * 6 - 3 * -5, 3 * 4 - 1 * 6, 1 * -5 - 2 * 4}, 0.0f);
    EXPECT_EQ(SquareMagnitude({3.0f, 4.0f, 12.0f}), 169.0f);
    EXPECT_EQ(Magnitude({3.0f, 4.0f, 12.0f}), 13.0f);
    ExpectVectorNear(Normalize({0.0f, 3.0f, 4.0f}), {0.0f, 0.6f, 0.8f}, 1e-7f);
}

TEST(VectorOperations, NormalizingZeroGivesNonFiniteComponents) {
    const D3DVECTOR n = Normalize({0.0f, 0.0f, 0.0f});
    EXPECT_FALSE(std::isfinite(n.x));
    EXPECT_FALSE(std::isfinite(n.y));
    EXPECT_FALSE(std::isfinite(n.z));
}

TEST(MatrixRecord, RowMajorLayoutWithNamedFields) {
    EXPECT_EQ(sizeof(D3DMATRIX), 64u);
    D3DMATRIX m = ZeroMatrix();
    m(3, 0) = 5.0f;
    m(1, 2) = 6.0f;
    EXPECT_EQ(m._41, 5.0f);
    EXPECT_EQ(m._23, 6.0f);
    EXPECT_EQ(reinterpret_cast<const float*>(&m)[3 * 4 + 0], 5.0f);
}

TEST(MatrixBuilders, ZeroIdentityAndLibraryIdentity) {
    const D3DMATRIX zero = ZeroMatrix();
    const D3DMATRIX identity = IdentityMatrix();
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(zero(r, c), 0.0f);
            EXPECT_EQ(identity(r, c), r == c ? 1.0f : 0.0f);
        }
    }
    ExpectMatrixEq(g_identityMatrix, identity);
}

TEST(MatrixBuilders, RotationLayouts) {
    const float angle = 0.3f;
    const auto c = static_cast<float>(std::cos(0.3f));
    const auto s = static_cast<float>(std::sin(0.3f));
    D3DMATRIX x = IdentityMatrix();
    x(1, 1) = c, x(2, 2) = c, x(1, 2) = -s, x(2, 1) = s;
    D3DMATRIX y = IdentityMatrix();
    y(0, 0) = c, y(2, 2) = c, y(0, 2) = s, y(2, 0) = -s;
    D3DMATRIX z = IdentityMatrix();
    z(0, 0) = c, z(1, 1) = c, z(0, 1) = -s, z(1, 0) = s;
    ExpectMatrixNear(RotateXMatrix(angle), x, 1e-7f);
    ExpectMatrixNear(RotateYMatrix(angle), y, 1e-7f);
    ExpectMatrixNear(RotateZMatrix(angle), z, 1e-7f);
}

TEST(MatrixBuilders, TranslateAndScaleForms) {
    D3DMATRIX t = IdentityMatrix();
    t(3, 0) = 1.0f, t(3, 1) = 2.0f, t(3, 2) = 3.0f;
    ExpectMatrixEq(TranslateMatrix(1.0f, 2.0f, 3.0f), t);
    ExpectMatrixEq(TranslateMatrix(D3DVECTOR(1.0f, 2.0f, 3.0f)), t);

    D3DMATRIX s = IdentityMatrix();
    s(0, 0) = 2.0f, s(1, 1) = 3.0f, s(2, 2) = 4.0f;
    ExpectMatrixEq(ScaleMatrix(2.0f, 3.0f, 4.0f), s);
    ExpectMatrixEq(ScaleMatrix(D3DVECTOR(2.0f, 3.0f, 4.0f)), s);
    const D3DMATRIX uniform = ScaleMatrix(5.0f);
    EXPECT_EQ(uniform(0, 0), 5.0f);
    EXPECT_EQ(uniform(1, 1), 5.0f);
    EXPECT_EQ(uniform(2, 2), 5.0f);
    EXPECT_EQ(uniform(3, 3), 1.0f);
}

TEST(MatrixMultiplication, IsTheProductOfBThenASummedFromZeroInOrder) {
    const D3DMATRIX a = SampleMatrix(0.25f);
    const D3DMATRIX b = SampleMatrix(-1.5f);
    const D3DMATRIX product = MatrixMult(a, b);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += b(i, k) * a(k, j);
            }
            EXPECT_EQ(product(i, j), sum);
        }
    }
}

TEST(MatrixMultiplication, SecondArgumentAppliesFirst) {
    const D3DMATRIX rotate = RotateYMatrix(0.7f);
    const D3DMATRIX translate = TranslateMatrix(1.0f, 2.0f, 3.0f);
    const D3DVECTOR p(0.5f, -1.0f, 2.0f);
    const D3DVECTOR composed = TransformVector(p, MatrixMult(translate, rotate));
    ExpectVectorNear(composed, TransformVector(p, rotate) + D3DVECTOR(1.0f, 2.0f, 3.0f), 1e-6f);
}

TEST(TransformVector, TranslatesAndDividesByTheFourthComponent) {
    ExpectVectorNear(TransformVector({1, 2, 3}, TranslateMatrix(10, 0, 0)), {11, 2, 3}, 0.0f);
    D3DMATRIX halving = IdentityMatrix();
    halving(3, 3) = 2.0f;
    ExpectVectorNear(TransformVector({4, 6, 8}, halving), {2, 3, 4}, 0.0f);
}

TEST(TransformVector, ProjectionDividesByDepthTerm) {
    const D3DMATRIX projection = ProjectionMatrix(1.0f, 100.0f, kPi / 2);
    const D3DVECTOR p(2.0f, 1.0f, 10.0f);
    // h3 = z * sin(fov/2) because (3,3) is 0.
    const float h3 = p.z * projection(2, 3);
    ExpectVectorNear(TransformVector(p, projection),
                     {p.x * projection(0, 0) / h3, p.y * projection(1, 1) / h3,
                      (p.z * projection(2, 2) + projection(3, 2)) / h3},
                     1e-6f);
}

TEST(TransformNormal, UsesTheInverseTranspose) {
    const D3DVECTOR n = TransformNormal({1.0f, 1.0f, 0.0f}, ScaleMatrix(2.0f, 1.0f, 1.0f));
    ExpectVectorNear(n, {0.5f, 1.0f, 0.0f}, 1e-6f);
}

TEST(ProjectionMatrix, ElementsAndZeroCorner) {
    const float fov = 1.2f;
    const D3DMATRIX m = ProjectionMatrix(2.0f, 50.0f, fov);
    const auto c = static_cast<float>(std::cos(fov * 0.5));
    const auto s = static_cast<float>(std::sin(fov * 0.5));
    const float q = s / (1.0f - 2.0f / 50.0f);
    EXPECT_EQ(m(0, 0), c);
    EXPECT_EQ(m(1, 1), c);
    EXPECT_EQ(m(2, 2), q);
    EXPECT_EQ(m(3, 2), -q * 2.0f);
    EXPECT_EQ(m(2, 3), s);
    EXPECT_EQ(m(3, 3), 0.0f);
    EXPECT_EQ(m(0, 1), 0.0f);
    EXPECT_EQ(m(3, 0), 0.0f);
}

TEST(ViewMatrix, LooksAlongTheViewDirection) {
    const D3DVECTOR from(0.0f, 0.0f, -10.0f);
    const D3DMATRIX view = ViewMatrix(from, {0, 0, 0}, {0, 1, 0}, 0.0f);
    ExpectVectorNear(TransformVector({0, 0, 0}, view), {0, 0, 10}, 0.0f);
    ExpectVectorNear(TransformVector({1, 2, -10}, view), {1, 2, 0}, 0.0f);
    ExpectVectorNear(TransformVector(from, view), {0, 0, 0}, 0.0f);
}

TEST(ViewMatrix, RollTurnsAboutTheViewAxisOnlyWhenNonZero) {
    const D3DVECTOR from(3.0f, 1.0f, -4.0f);
    const D3DVECTOR at(0.5f, 0.0f, 2.0f);
    const D3DMATRIX unrolled = ViewMatrix(from, at, {0, 1, 0}, 0.0f);
    ExpectMatrixEq(ViewMatrix(from, at, {0, 1, 0}, -0.0f), unrolled);
    const D3DMATRIX rolled = ViewMatrix(from, at, {0, 1, 0}, 0.4f);
    ExpectMatrixEq(rolled, MatrixMult(RotateZMatrix(-0.4f), unrolled));
    // A point straight ahead stays on the axis however the view rolls.
    const D3DVECTOR ahead = TransformVector(at, rolled);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
}

TEST(MatrixTranspose, SwapsRowsAndColumns) {
    const D3DMATRIX m = SampleMatrix(1.0f);
    const D3DMATRIX t = MatrixTranspose(m);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(t(r, c), m(c, r));
        }
    }
}

TEST(VectorAngles, YawQuadrantsAreExact) {
    EXPECT_EQ(GetVectorYaw({0, 0, 1}), 0.0f);
    EXPECT_EQ(GetVectorYaw({1, 0, 0}), kPi / 2);
    EXPECT_EQ(GetVectorYaw({0, 0, -1}), kPi);
    EXPECT_EQ(GetVectorYaw({-1, 0, 0}), static_cast<float>(1.5 * std::numbers::pi));
    EXPECT_EQ(GetVectorYaw({0, 5, 0}), 0.0f);
    EXPECT_FLOAT_EQ(GetVectorYaw({-1, 0, 1}), -kPi / 4);
    EXPECT_FLOAT_EQ(GetVectorYaw({1, 0, -1}), 3 * kPi / 4);
}

TEST(VectorAngles, PitchAndRollUseTheirPairs) {
    // Pitch is the angle of (z, y), roll of (x, y).
    EXPECT_EQ(GetVectorPitch({0, 1, 0}), 0.0f);
    EXPECT_EQ(GetVectorPitch({0, 0, 1}), kPi / 2);
    EXPECT_EQ(GetVectorPitch({0, -1, 0}), kPi);
    EXPECT_EQ(GetVectorPitch({0, 0, -1}), static_cast<float>(1.5 * std::numbers::pi));
    EXPECT_EQ(GetVectorPitch({7, 0, 0}), 0.0f);
    EXPECT_EQ(GetVectorRoll({0, 1, 0}), 0.0f);
    EXPECT_EQ(GetVectorRoll({1, 0, 0}), kPi / 2);
    EXPECT_EQ(GetVectorRoll({0, -1, 0}), kPi);
    EXPECT_EQ(GetVectorRoll({-1, 0, 0}), static_cast<float>(1.5 * std::numbers::pi));
    EXPECT_EQ(GetVectorRoll({0, 0, 3}), 0.0f);
}

TEST(RotationMatrixFromVector, AppliesRollThenYawThenPitch) {
    const D3DVECTOR v(1.0f, 2.0f, -0.5f);
    const D3DVECTOR p(0.3f, -0.7f, 1.1f);
    const D3DVECTOR rolled = TransformVector(p, RotateZMatrix(GetVectorRoll(v)));
    const D3DVECTOR yawed = TransformVector(rolled, RotateYMatrix(GetVectorYaw(v)));
    const D3DVECTOR pitched = TransformVector(yawed, RotateXMatrix(GetVectorPitch(v)));
    ExpectVectorNear(TransformVector(p, RotationMatrixFromVector(v)), pitched, 1e-6f);
    ExpectMatrixNear(RotationMatrixFromVector({0, 0, 1}), RotateXMatrix(kPi / 2), 0.0f);
}

TEST(OrientationTransform, FirstRotationAppliesFirst) {
    const D3DVECTOR a = Normalize({1.0f, 1.0f, 0.0f});
    const D3DVECTOR b = Normalize({0.0f, 1.0f, 1.0f});
    D3DQUAT upToA;
    D3DQUAT forwardToB;
    D3DMATRIX first;
    D3DMATRIX second;
    QuatToMatrix(Vector2VectorQuat(0, 1, 0, a.x, a.y, a.z, &upToA), &first);
    QuatToMatrix(Vector2VectorQuat(0, 0, 1, b.x, b.y, b.z, &forwardToB), &second);
    const D3DVECTOR p(0.2f, 0.4f, -0.9f);
    ExpectVectorNear(TransformVector(p, OrientationTransform(a, b)),
                     TransformVector(TransformVector(p, first), second), 1e-6f);
    ExpectMatrixNear(OrientationTransform({0, 1, 0}, {0, 0, 1}), IdentityMatrix(), 0.0f);
}

TEST(CalculateFaceNormal, FollowsTheWindingAndNormalizes) {
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {2, 0, 0}, {0, 2, 0}), {0, 0, 1}, 0.0f);
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {0, 2, 0}, {2, 0, 0}), {0, 0, -1}, 0.0f);
    const D3DVECTOR degenerate = CalculateFaceNormal({1, 1, 1}, {2, 2, 2}, {3, 3, 3});
    EXPECT_FALSE(std::isfinite(degenerate.x));
}

TEST(PointInCuboid, BoundsAreInclusive) {
    const D3DVECTOR min(-1.0f, 0.0f, 2.0f);
    const D3DVECTOR max(1.0f, 5.0f, 3.0f);
    EXPECT_EQ(PointInCuboid(min, max, {0.0f, 1.0f, 2.5f}), 1);
    EXPECT_EQ(PointInCuboid(min, max, min), 1);
    EXPECT_EQ(PointInCuboid(min, max, max), 1);
    EXPECT_EQ(PointInCuboid(min, max, {1.0f, 2.0f, 2.0f}), 1);
    EXPECT_EQ(PointInCuboid(min, max, {1.0001f, 2.0f, 2.5f}), 0);
    EXPECT_EQ(PointInCuboid(min, max, {0.0f, -0.0001f, 2.5f}), 0);
    EXPECT_EQ(PointInCuboid(min, max, {0.0f, 1.0f, 3.0001f}), 0);
}

} // namespace
