#include "math/plane.h"

#include "testkit/math_expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using testkit::ExpectVectorNear;

// A right-handed frame turned a quarter about y: the view looks along world +x.
struct TurnedFrame {
    D3DVECTOR z{1, 0, 0};
    D3DVECTOR y{0, 1, 0};
    D3DVECTOR x{0, 0, -1};
};

struct IdentityFrame {
    D3DVECTOR z{0, 0, 1};
    D3DVECTOR y{0, 1, 0};
    D3DVECTOR x{1, 0, 0};
};

TEST(ViewFrame, RotatesViewToWorldAndMeasuresPointsAlongEachAxis) {
    const TurnedFrame f;
    const D3DVECTOR forward(0, 0, 1);
    ExpectVectorNear(RotateViewToWorldVector(&forward, &f.z, &f.y, &f.x), f.z, 0.0f);
    const D3DVECTOR v(2, 3, 4);
    ExpectVectorNear(RotateViewToWorldVector(&v, &f.z, &f.y, &f.x), f.x * 2 + f.y * 3 + f.z * 4,
                     0.0f);
    const D3DVECTOR origin(5, -1, 2);
    ExpectVectorNear(PointFromWorldToView(&origin, &origin, &f.z, &f.y, &f.x), {0, 0, 0}, 0.0f);
    const D3DVECTOR ahead = origin + f.z * 5;
    ExpectVectorNear(PointFromWorldToView(&ahead, &origin, &f.z, &f.y, &f.x), {0, 0, 5}, 0.0f);
    const D3DVECTOR p = origin + f.x * 1.5f + f.y * -2 + f.z * 3;
    ExpectVectorNear(PointFromWorldToView(&p, &origin, &f.z, &f.y, &f.x), {1.5f, -2, 3}, 0.0f);
}

TEST(ClipPlane, WorldspacePlaneThroughAPointWithAThinOnPlaneBand) {
    const TurnedFrame f;
    const D3DVECTOR viewNormal(0, 0, 1);
    const D3DVECTOR q(7, 0, 0);
    D3DPLANE plane;
    SetWorldspaceClipPlane(&viewNormal, &plane, &q, &f.z, &f.y, &f.x);
    ExpectVectorNear(plane.normal, f.z, 0.0f);
    EXPECT_EQ(plane.distance, 7.0f);
    EXPECT_EQ(plane.biasedDistance, 7.0f + 0.0001f);

    // The point test has a thin on-plane band.
    const IdentityFrame g;
    const D3DVECTOR q10(0, 0, 10);
    SetWorldspaceClipPlane(&viewNormal, &plane, &q10, &g.z, &g.y, &g.x);
    const D3DVECTOR on(0, 0, 10), front(0, 0, 10.001f), back(0, 0, 9.9f);
    const D3DVECTOR atBias(3, 4, plane.biasedDistance);
    EXPECT_EQ(ClipPointTest(&plane, &on), CLIPCODE_ON);
    EXPECT_EQ(ClipPointTest(&plane, &front), CLIPCODE_FRONT);
    EXPECT_EQ(ClipPointTest(&plane, &back), CLIPCODE_BACK);
    EXPECT_EQ(ClipPointTest(&plane, &atBias), CLIPCODE_FRONT);
}

TEST(ClippingFrustum, SquareViewGivesPlanesAt45Degrees) {
    const IdentityFrame f;
    const D3DVECTOR origin(0, 0, 0);
    D3DPLANE planes[4];
    SetUpClippingFrustum(planes, 2.0f, 1.0f, 1.0f, 1.0f, &origin, &f.z, &f.y, &f.x);
    const float h = std::sqrt(0.5f);
    ExpectVectorNear(planes[0].normal, {h, 0, h}, 1e-7f);
    ExpectVectorNear(planes[1].normal, {-h, 0, h}, 1e-7f);
    ExpectVectorNear(planes[2].normal, {0, h, h}, 1e-7f);
    ExpectVectorNear(planes[3].normal, {0, -h, h}, 1e-7f);
    for (const D3DPLANE& plane : planes) {
        EXPECT_EQ(plane.distance, 0.0f);
    }
}

TEST(ClippingFrustum, VisiblePointsAreInFrontOfEverySidePlane) {
    const TurnedFrame f;
    const D3DVECTOR eye(1, 2, 3);
    D3DPLANE planes[4];
    // A 640 x 480 screen as the camera passes it: a = 2, b = the larger half, c, d the halves.
    SetUpClippingFrustum(planes, 2.0f, 320.0f, 320.0f, 240.0f, &eye, &f.z, &f.y, &f.x);
    const D3DVECTOR ahead = eye + f.z * 10;
    const D3DVECTOR behind = eye - f.z * 10;
    const D3DVECTOR farRight = eye + f.z * 10 + f.x * 20;
    for (const D3DPLANE& plane : planes) {
        EXPECT_EQ(ClipPointTest(&plane, &ahead), CLIPCODE_FRONT);
        EXPECT_EQ(ClipPointTest(&plane, &behind), CLIPCODE_BACK);
    }
    EXPECT_EQ(ClipPointTest(&planes[0], &farRight), CLIPCODE_FRONT);
    EXPECT_EQ(ClipPointTest(&planes[1], &farRight), CLIPCODE_BACK);
}

TEST(PlaneIntersection, AxisPlanesMeetAtTheirDistances) {
    const D3DPLANE px{{1, 0, 0}, 1.0001f, 1.0f};
    const D3DPLANE py{{0, 1, 0}, 2.0001f, 2.0f};
    const D3DPLANE pz{{0, 0, 1}, 3.0001f, 3.0f};
    ExpectVectorNear(PlaneIntersection(&px, &py, &pz), {1, 2, 3}, 0.0f);
}

} // namespace
