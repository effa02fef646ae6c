#include "math/matrix.h"
#include "math/quaternion.h"

#include "testkit/math_expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using testkit::ExpectMatrixNear;
using testkit::ExpectVectorNear;

constexpr float kPi = std::numbers::pi_v<float>;

D3DMATRIX SampleMatrix(float base) {
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) {
        m(i / 4, i % 4) = base + 0.37f * static_cast<float>(i * i % 7) - 0.5f * (i % 3);
    }
    return m;
}

// Matrices are row-major records whose named fields alias the element grid.
TEST(MatrixRecord, RowMajorLayoutWithNamedFields) {
    D3DMATRIX m = ZeroMatrix();
    m(3, 0) = 5.0f;
    m(1, 2) = 6.0f;
    EXPECT_EQ(m._41, 5.0f);
    EXPECT_EQ(m._23, 6.0f);
    EXPECT_EQ(reinterpret_cast<const float*>(&m)[3 * 4 + 0], 5.0f);
    D3DVECTOR v(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(&v[2], &v.z);
}

TEST(VectorOperations, ArithmeticProductsAndMagnitudes) {
    const D3DVECTOR a(1.0f, -2.0f, 3.0f);
    const D3DVECTOR b(0.5f, 4.0f, -1.0f);
    ExpectVectorNear(a + b, {1.5f, 2.0f, 2.0f});
    ExpectVectorNear(a - b, {0.5f, -6.0f, 4.0f});
    ExpectVectorNear(2.0f * a, {2.0f, -4.0f, 6.0f});
    ExpectVectorNear(a / 4.0f, {0.25f, -0.5f, 0.75f});
    EXPECT_EQ(DotProduct(a, b), 0.5f - 8.0f - 3.0f);
    ExpectVectorNear(CrossProduct(a, b), {2 - 12, 1.5f + 1, 4 + 1});
    EXPECT_EQ(SquareMagnitude({3.0f, 4.0f, 12.0f}), 169.0f);
    EXPECT_EQ(Magnitude({3.0f, 4.0f, 12.0f}), 13.0f);
    ExpectVectorNear(Normalize({0.0f, 3.0f, 4.0f}), {0.0f, 0.6f, 0.8f}, 1e-7f);
    // Zero has no direction: normalizing it divides by zero.
    EXPECT_FALSE(std::isfinite(Normalize({0.0f, 0.0f, 0.0f}).y));
}

TEST(MatrixBuilders, IdentityRotationTranslateAndScale) {
    ExpectMatrixNear(g_identityMatrix, IdentityMatrix());
    const auto c = static_cast<float>(std::cos(0.3f));
    const auto s = static_cast<float>(std::sin(0.3f));
    D3DMATRIX x = IdentityMatrix(), y = IdentityMatrix(), z = IdentityMatrix();
    x(1, 1) = c, x(2, 2) = c, x(1, 2) = -s, x(2, 1) = s;
    y(0, 0) = c, y(2, 2) = c, y(0, 2) = s, y(2, 0) = -s;
    z(0, 0) = c, z(1, 1) = c, z(0, 1) = -s, z(1, 0) = s;
    ExpectMatrixNear(RotateXMatrix(0.3f), x, 1e-7f);
    ExpectMatrixNear(RotateYMatrix(0.3f), y, 1e-7f);
    ExpectMatrixNear(RotateZMatrix(0.3f), z, 1e-7f);

    D3DMATRIX t = IdentityMatrix();
    t(3, 0) = 1.0f, t(3, 1) = 2.0f, t(3, 2) = 3.0f;
    ExpectMatrixNear(TranslateMatrix(1.0f, 2.0f, 3.0f), t);
    ExpectMatrixNear(TranslateMatrix(D3DVECTOR(1.0f, 2.0f, 3.0f)), t);
    D3DMATRIX scale = IdentityMatrix();
    scale(0, 0) = 2.0f, scale(1, 1) = 3.0f, scale(2, 2) = 4.0f;
    ExpectMatrixNear(ScaleMatrix(2.0f, 3.0f, 4.0f), scale);
    ExpectMatrixNear(ScaleMatrix(D3DVECTOR(2.0f, 3.0f, 4.0f)), scale);
    scale(0, 0) = scale(1, 1) = scale(2, 2) = 5.0f;
    ExpectMatrixNear(ScaleMatrix(5.0f), scale);
}

TEST(MatrixMultiplication, IsTheProductOfBThenASummedFromZeroInOrder) {
    const D3DMATRIX a = SampleMatrix(0.25f);
    const D3DMATRIX b = SampleMatrix(-1.5f);
    const D3DMATRIX product = MatrixMult(a, b);
    const D3DMATRIX transposed = MatrixTranspose(a);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k) {
                sum += b(i, k) * a(k, j);
            }
            EXPECT_EQ(product(i, j), sum);
            EXPECT_EQ(transposed(i, j), a(j, i));
        }
    }
    // The second argument applies first.
    const D3DMATRIX rotate = RotateYMatrix(0.7f);
    const D3DVECTOR p(0.5f, -1.0f, 2.0f);
    ExpectVectorNear(TransformVector(p, MatrixMult(TranslateMatrix(1.0f, 2.0f, 3.0f), rotate)),
                     TransformVector(p, rotate) + D3DVECTOR(1.0f, 2.0f, 3.0f), 1e-6f);
}

TEST(TransformVector, DividesByTheFourthComponentAndNormalsUseTheInverseTranspose) {
    ExpectVectorNear(TransformVector({1, 2, 3}, TranslateMatrix(10, 0, 0)), {11, 2, 3});
    D3DMATRIX halving = IdentityMatrix();
    halving(3, 3) = 2.0f;
    ExpectVectorNear(TransformVector({4, 6, 8}, halving), {2, 3, 4});
    const D3DMATRIX projection = ProjectionMatrix(1.0f, 100.0f, kPi / 2);
    const D3DVECTOR p(2.0f, 1.0f, 10.0f);
    // h3 = z * sin(fov/2) because (3,3) is 0.
    const float h3 = p.z * projection(2, 3);
    ExpectVectorNear(TransformVector(p, projection),
                     {p.x * projection(0, 0) / h3, p.y * projection(1, 1) / h3,
                      (p.z * projection(2, 2) + projection(3, 2)) / h3},
                     1e-6f);
    ExpectVectorNear(TransformNormal({1.0f, 1.0f, 0.0f}, ScaleMatrix(2.0f, 1.0f, 1.0f)),
                     {0.5f, 1.0f, 0.0f}, 1e-6f);
}

TEST(ProjectionMatrix, ElementsAndZeroCorner) {
    const float fov = 1.2f;
    const D3DMATRIX m = ProjectionMatrix(2.0f, 50.0f, fov);
    const auto c = static_cast<float>(std::cos(fov * 0.5));
    const auto s = static_cast<float>(std::sin(fov * 0.5));
    const float q = s / (1.0f - 2.0f / 50.0f);
    D3DMATRIX expected = ZeroMatrix();
    expected(0, 0) = c, expected(1, 1) = c, expected(2, 2) = q;
    expected(3, 2) = -q * 2.0f, expected(2, 3) = s;
    ExpectMatrixNear(m, expected);
}

TEST(ViewMatrix, LooksAlongTheViewDirectionAndRollsOnlyWhenNonZero) {
    const D3DMATRIX view = ViewMatrix({0.0f, 0.0f, -10.0f}, {0, 0, 0}, {0, 1, 0}, 0.0f);
    ExpectVectorNear(TransformVector({0, 0, 0}, view), {0, 0, 10});
    ExpectVectorNear(TransformVector({1, 2, -10}, view), {1, 2, 0});

    const D3DVECTOR from(3.0f, 1.0f, -4.0f);
    const D3DVECTOR at(0.5f, 0.0f, 2.0f);
    const D3DMATRIX unrolled = ViewMatrix(from, at, {0, 1, 0}, 0.0f);
    ExpectMatrixNear(ViewMatrix(from, at, {0, 1, 0}, -0.0f), unrolled);
    const D3DMATRIX rolled = ViewMatrix(from, at, {0, 1, 0}, 0.4f);
    ExpectMatrixNear(rolled, MatrixMult(RotateZMatrix(-0.4f), unrolled));
    // A point straight ahead stays on the axis however the view rolls.
    const D3DVECTOR ahead = TransformVector(at, rolled);
    EXPECT_NEAR(ahead.x, 0.0f, 1e-5f);
    EXPECT_NEAR(ahead.y, 0.0f, 1e-5f);
}

TEST(VectorAngles, QuadrantsAreExact) {
    // Yaw is the angle of (x, z), pitch of (z, y), roll of (x, y); a vector along the
    // remaining axis has angle 0.
    const float threeQuarters = static_cast<float>(1.5 * std::numbers::pi);
    const struct {
        float (*angle)(const D3DVECTOR&);
        D3DVECTOR zero, quarter, half, threeQuarter, across;
    } cases[] = {
        {GetVectorYaw, {0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {-1, 0, 0}, {0, 5, 0}},
        {GetVectorPitch, {0, 1, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, -1}, {7, 0, 0}},
        {GetVectorRoll, {0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}, {0, 0, 3}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.angle(c.zero), 0.0f);
        EXPECT_EQ(c.angle(c.quarter), kPi / 2);
        EXPECT_EQ(c.angle(c.half), kPi);
        EXPECT_EQ(c.angle(c.threeQuarter), threeQuarters);
        EXPECT_EQ(c.angle(c.across), 0.0f);
    }
    EXPECT_FLOAT_EQ(GetVectorYaw({-1, 0, 1}), -kPi / 4);
    EXPECT_FLOAT_EQ(GetVectorYaw({1, 0, -1}), 3 * kPi / 4);
}

TEST(RotationMatrixFromVector, AppliesRollThenYawThenPitch) {
    const D3DVECTOR v(1.0f, 2.0f, -0.5f);
    const D3DVECTOR p(0.3f, -0.7f, 1.1f);
    const D3DVECTOR rolled = TransformVector(p, RotateZMatrix(GetVectorRoll(v)));
    const D3DVECTOR yawed = TransformVector(rolled, RotateYMatrix(GetVectorYaw(v)));
    const D3DVECTOR pitched = TransformVector(yawed, RotateXMatrix(GetVectorPitch(v)));
    ExpectVectorNear(TransformVector(p, RotationMatrixFromVector(v)), pitched, 1e-6f);
    ExpectMatrixNear(RotationMatrixFromVector({0, 0, 1}), RotateXMatrix(kPi / 2));
}

TEST(OrientationTransform, FirstRotationAppliesFirst) {
    const D3DVECTOR a = Normalize({1.0f, 1.0f, 0.0f});
    const D3DVECTOR b = Normalize({0.0f, 1.0f, 1.0f});
    D3DQUAT upToA, forwardToB;
    D3DMATRIX first, second;
    QuatToMatrix(Vector2VectorQuat(0, 1, 0, a.x, a.y, a.z, &upToA), &first);
    QuatToMatrix(Vector2VectorQuat(0, 0, 1, b.x, b.y, b.z, &forwardToB), &second);
    const D3DVECTOR p(0.2f, 0.4f, -0.9f);
    ExpectVectorNear(TransformVector(p, OrientationTransform(a, b)),
                     TransformVector(TransformVector(p, first), second), 1e-6f);
    ExpectMatrixNear(OrientationTransform({0, 1, 0}, {0, 0, 1}), IdentityMatrix());
}

TEST(Geometry, FaceNormalFollowsTheWindingAndCuboidBoundsAreInclusive) {
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {2, 0, 0}, {0, 2, 0}), {0, 0, 1});
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {0, 2, 0}, {2, 0, 0}), {0, 0, -1});
    EXPECT_FALSE(std::isfinite(CalculateFaceNormal({1, 1, 1}, {2, 2, 2}, {3, 3, 3}).x));

    const D3DVECTOR min(-1.0f, 0.0f, 2.0f);
    const D3DVECTOR max(1.0f, 5.0f, 3.0f);
    const struct {
        D3DVECTOR point;
        int inside;
    } cases[] = {{{0.0f, 1.0f, 2.5f}, 1},
                 {min, 1},
                 {max, 1},
                 {{1.0f, 2.0f, 2.0f}, 1},
                 {{1.0001f, 2.0f, 2.5f}, 0},
                 {{0.0f, -0.0001f, 2.5f}, 0},
                 {{0.0f, 1.0f, 3.0001f}, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(PointInCuboid(min, max, c.point), c.inside) << c.point.x << "," << c.point.y;
    }
}

} // namespace
