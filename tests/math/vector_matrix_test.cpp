#include "math/matrix.h"
#include "math/plane.h"
#include "math/quaternion.h"

#include "testkit/debug_capture.h"
#include "testkit/math_expect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

using testkit::ExpectMatrixNear;
using testkit::ExpectVectorNear;

constexpr float kPi = std::numbers::pi_v<float>;

D3DMATRIX FromRows(const float (&values)[16]) {
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i) {
        m(i / 4, i % 4) = values[i];
    }
    return m;
}

TEST(MatrixMultiplication, SumsEachRowTimesColumnInOrderAndTransformsDivideByTheFourthComponent) {
    D3DMATRIX a, b;
    for (int i = 0; i < 16; ++i) {
        a(i / 4, i % 4) = 0.25f + 0.37f * static_cast<float>(i * i % 7) - 0.5f * (i % 3);
        b(i / 4, i % 4) = -1.5f + 0.37f * static_cast<float>(i * i % 5) + 0.5f * (i % 3);
    }
    // MatrixMult(a, b) applies b first: each row of b weighs the rows of a.
    const D3DMATRIX product = MatrixMult(a, b);
    const D3DMATRIX transposed = MatrixTranspose(a);
    for (int i = 0; i < 16; ++i) {
        const int r = i / 4, c = i % 4;
        float sum = 0.0f;
        for (int k = 0; k < 4; ++k) {
            sum += b(r, k) * a(k, c);
        }
        EXPECT_EQ(product(r, c), sum);
        EXPECT_EQ(transposed(r, c), a(c, r));
    }
    D3DMATRIX halving = IdentityMatrix();
    halving(3, 3) = 2.0f;
    ExpectVectorNear(TransformVector({4, 6, 8}, halving), {2, 3, 4});
    ExpectVectorNear(TransformNormal({1.0f, 1.0f, 0.0f}, ScaleMatrix(2.0f, 1.0f, 1.0f)),
                     {0.5f, 1.0f, 0.0f}, 1e-6f);
}

TEST(ProjectionMatrix, ElementsAndZeroCorner) {
    const auto c = static_cast<float>(std::cos(1.2 * 0.5));
    const auto s = static_cast<float>(std::sin(1.2 * 0.5));
    const float q = s / (1.0f - 2.0f / 50.0f);
    ExpectMatrixNear(ProjectionMatrix(2.0f, 50.0f, 1.2f),
                     FromRows({c, 0, 0, 0, 0, c, 0, 0, 0, 0, q, s, 0, 0, -q * 2.0f, 0}));
}

TEST(ViewMatrix, LooksAlongTheViewDirectionAndRollsOnlyWhenNonZero) {
    const D3DMATRIX view = ViewMatrix({0.0f, 0.0f, -10.0f}, {0, 0, 0}, {0, 1, 0}, 0.0f);
    ExpectVectorNear(TransformVector({1, 2, -10}, view), {1, 2, 0});
    const D3DVECTOR from(3.0f, 1.0f, -4.0f);
    const D3DVECTOR at(0.5f, 0.0f, 2.0f);
    const D3DMATRIX unrolled = ViewMatrix(from, at, {0, 1, 0}, 0.0f);
    ExpectMatrixNear(ViewMatrix(from, at, {0, 1, 0}, -0.0f), unrolled);
    ExpectMatrixNear(ViewMatrix(from, at, {0, 1, 0}, 0.4f),
                     MatrixMult(RotateZMatrix(-0.4f), unrolled));
}

TEST(VectorAngles, QuadrantsAreExact) {
    // Yaw is the angle of (x, z), pitch of (z, y), roll of (x, y); a vector along the
    // remaining axis has angle 0.
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
        EXPECT_EQ(c.angle(c.threeQuarter), static_cast<float>(1.5 * std::numbers::pi));
        EXPECT_EQ(c.angle(c.across), 0.0f);
    }
    EXPECT_FLOAT_EQ(GetVectorYaw({-1, 0, 1}), -kPi / 4);
}

TEST(RotationMatrices, FromAVectorRollYawPitchAndOrientationFirstRotationFirst) {
    const D3DVECTOR v(1.0f, 2.0f, -0.5f);
    const D3DVECTOR p(0.3f, -0.7f, 1.1f);
    const D3DVECTOR rolled = TransformVector(p, RotateZMatrix(GetVectorRoll(v)));
    const D3DVECTOR yawed = TransformVector(rolled, RotateYMatrix(GetVectorYaw(v)));
    ExpectVectorNear(TransformVector(p, RotationMatrixFromVector(v)),
                     TransformVector(yawed, RotateXMatrix(GetVectorPitch(v))), 1e-6f);
    ExpectMatrixNear(RotationMatrixFromVector({0, 0, 1}), RotateXMatrix(kPi / 2));

    const D3DVECTOR a = Normalize({1.0f, 1.0f, 0.0f});
    const D3DVECTOR b = Normalize({0.0f, 1.0f, 1.0f});
    D3DQUAT upToA, forwardToB;
    D3DMATRIX first, second;
    QuatToMatrix(Vector2VectorQuat(0, 1, 0, a.x, a.y, a.z, &upToA), &first);
    QuatToMatrix(Vector2VectorQuat(0, 0, 1, b.x, b.y, b.z, &forwardToB), &second);
    ExpectVectorNear(TransformVector(p, OrientationTransform(a, b)),
                     TransformVector(TransformVector(p, first), second), 1e-6f);
    ExpectMatrixNear(OrientationTransform({0, 1, 0}, {0, 0, 1}), IdentityMatrix());
}

TEST(Geometry, FaceNormalFollowsTheWindingAndCuboidBoundsAreInclusive) {
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {2, 0, 0}, {0, 2, 0}), {0, 0, 1});
    ExpectVectorNear(CalculateFaceNormal({0, 0, 0}, {0, 2, 0}, {2, 0, 0}), {0, 0, -1});
    EXPECT_FALSE(std::isfinite(CalculateFaceNormal({1, 1, 1}, {2, 2, 2}, {3, 3, 3}).x));
    const D3DVECTOR min(-1.0f, 0.0f, 2.0f), max(1.0f, 5.0f, 3.0f);
    const struct {
        D3DVECTOR point;
        int inside;
    } cases[] = {{min, 1},
                 {max, 1},
                 {{1.0f, 2.0f, 2.0f}, 1},
                 {{1.0001f, 2.0f, 2.5f}, 0},
                 {{0.0f, -0.0001f, 2.5f}, 0},
                 {{0.0f, 1.0f, 3.0001f}, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(PointInCuboid(min, max, c.point), c.inside) << c.point.x << "," << c.point.y;
    }
}

// Bit images worked out with Crout's decomposition (implicit pivoting, later rows winning
// ties, a zero pivot replaced by 1e-20) and per-column substitution.
TEST(MatrixInverse, MatchesCroutsAlgorithmBitForBit) {
    const struct {
        const char* name;
        float in[16];
        std::uint32_t out[16];
    } cases[] = {
        {"tied merits",
         {0.3f, -0.7f, 0.9f, 0.1f, -0.2f, 0.4f, 0.6f, -0.8f, 0.5f, 0.5f, -0.1f, 0.2f, 0.7f, -0.3f,
          0.2f, 0.4f},
         {0xBFD3E2D3, 0x3F947E71, 0xBF9E0BD0, 0x40567DBF, 0x3F8777D6, 0xBED3E2D4, 0x401B70E4,
          0xC013A022, 0x400CADAD, 0xBEF325DE, 0x3FFBD4EE, 0xC01EEA1E, 0x4025DC92, 0xC0069988,
          0x403FE9C5, 0xC0769F17}},
        {"zero pivot after ties",
         {2, 2, -2, 0, 0, -1, 1, -1, 1, -2, 0, -2, -1, 0, 0, 1},
         {0x602D78EC, 0x60AD78EC, 0x80000000, 0x60AD78EC, 0xDFAD78EC, 0xE02D78EC, 0xBF000000,
          0xE02D78EC, 0x5FAD78EC, 0x602D78EC, 0xBF000000, 0x602D78EC, 0x602D78EC, 0x60AD78EC,
          0x00000000, 0x60AD78EC}},
        {"equal rows: zero pivots in columns 1 and 3, silently",
         {1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
         {0x7F800000, 0xFF800000, 0x00000000, 0xE0AD78EC, 0xFF800000, 0x7F800000, 0x00000000,
          0x60AD78EC, 0x00000000, 0x00000000, 0x3F800000, 0x00000000, 0x60AD78EC, 0xE0AD78EC,
          0x00000000, 0x00000000}},
        {"a zero first column",
         {0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 1, 1},
         {0xE0AD78EC, 0xE0AD78EC, 0xE0AD78EC, 0x60AD78EC, 0x3F800000, 0x00000000, 0x00000000,
          0x00000000, 0x00000000, 0x3F800000, 0x00000000, 0x00000000, 0x00000000, 0x00000000,
          0x3F800000, 0x00000000}},
        {"zero pivots in columns 2 and 3",
         {1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 1},
         {0x3F800000, 0xFFC00000, 0xFFC00000, 0x00000000, 0x00000000, 0x7F800000, 0xFF800000,
          0xE0AD78EC, 0x00000000, 0xFF800000, 0x7F800000, 0x60AD78EC, 0x00000000, 0x60AD78EC,
          0xE0AD78EC, 0x00000000}},
    };
    testkit::DebugCapture capture;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const D3DMATRIX inverse = MatrixInverse(FromRows(c.in));
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(inverse(i / 4, i % 4)), c.out[i]) << i;
        }
    }
    EXPECT_TRUE(capture.Lines().empty());
    // Every permutation exchanges rows in its own pattern and inverts to its transpose.
    int order[4] = {0, 1, 2, 3};
    do {
        D3DMATRIX p = ZeroMatrix();
        for (int r = 0; r < 4; ++r) {
            p(r, order[r]) = 1.0f;
        }
        ExpectMatrixNear(MatrixInverse(p), MatrixTranspose(p));
    } while (std::next_permutation(order, order + 4));
}

TEST(MatrixInverse, ZeroRowsReportASingularMatrixOnce) {
    testkit::DebugCapture capture;
    // Two zero rows: the decomposition stops at the first.
    MatrixInverse(FromRows({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    const D3DMATRIX inverse = MatrixInverse(ZeroMatrix());
    EXPECT_EQ(capture.Lines(),
              std::vector<std::string>(2, "3DMatrix::ludcmp() singular matrix found!\n"));
    // The substitution still ran on the undecomposed matrix: division by its zero diagonal.
    EXPECT_FALSE(std::isfinite(inverse(0, 0)));
}

// A right-handed frame turned a quarter about y: the view looks along world +x.
struct TurnedFrame {
    D3DVECTOR z{1, 0, 0}, y{0, 1, 0}, x{0, 0, -1};
};

TEST(ClipPlane, WorldspacePlaneThroughAPointWithAThinOnPlaneBand) {
    const TurnedFrame f;
    const D3DVECTOR v(2, 3, 4), origin(5, -1, 2);
    ExpectVectorNear(RotateViewToWorldVector(&v, &f.z, &f.y, &f.x), f.x * 2 + f.y * 3 + f.z * 4);
    const D3DVECTOR p = origin + f.x * 1.5f + f.y * -2 + f.z * 3;
    ExpectVectorNear(PointFromWorldToView(&p, &origin, &f.z, &f.y, &f.x), {1.5f, -2, 3});

    const D3DVECTOR viewNormal(0, 0, 1), q(7, 0, 0);
    D3DPLANE plane;
    SetWorldspaceClipPlane(&viewNormal, &plane, &q, &f.z, &f.y, &f.x);
    ExpectVectorNear(plane.normal, f.z);
    EXPECT_EQ(plane.distance, 7.0f);
    EXPECT_EQ(plane.biasedDistance, 7.0f + 0.0001f);
    const D3DVECTOR on(7, 0, 0), front(7.001f, 0, 0), back(6.9f, 0, 0);
    const D3DVECTOR atBias(plane.biasedDistance, 3, 4);
    EXPECT_EQ(ClipPointTest(&plane, &on), CLIPCODE_ON);
    EXPECT_EQ(ClipPointTest(&plane, &front), CLIPCODE_FRONT);
    EXPECT_EQ(ClipPointTest(&plane, &back), CLIPCODE_BACK);
    EXPECT_EQ(ClipPointTest(&plane, &atBias), CLIPCODE_FRONT);
}

TEST(PlaneIntersection, AxisPlanesMeetAtTheirDistances) {
    const D3DPLANE px{{1, 0, 0}, 1.0001f, 1.0f};
    const D3DPLANE py{{0, 1, 0}, 2.0001f, 2.0f};
    const D3DPLANE pz{{0, 0, 1}, 3.0001f, 3.0f};
    ExpectVectorNear(PlaneIntersection(&px, &py, &pz), {1, 2, 3});
}

} // namespace
