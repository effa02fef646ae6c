#include "math/quaternion.h"
#include "math/spline.h"

#include "testkit/debug_capture.h"
#include "testkit/math_expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using testkit::ExpectMatrixNear;
using testkit::ExpectQuatNear;
using testkit::ExpectVectorNear;

constexpr float kPi = std::numbers::pi_v<float>;
const float kHalfRoot = std::sqrt(0.5f);

D3DQUAT AxisAngle(float angle, float x, float y, float z) {
    D3DQUAT q;
    AxisAngleToQuat(angle, x, y, z, &q);
    return q;
}

D3DMATRIX ToMatrix(const D3DQUAT& q) {
    D3DMATRIX m;
    EXPECT_EQ(QuatToMatrix(&q, &m), &m);
    return m;
}

D3DQUAT Negated(const D3DQUAT& q) {
    return {-q.w, -q.x, -q.y, -q.z};
}

// q and -q are the same rotation.
void ExpectSameRotation(const D3DQUAT& actual, const D3DQUAT& expected, float tolerance) {
    const float dot = actual.w * expected.w + actual.x * expected.x + actual.y * expected.y +
                      actual.z * expected.z;
    ExpectQuatNear(dot < 0.0f ? Negated(actual) : actual, expected, tolerance);
}

TEST(QuatToMatrix, AgreesWithTheAxisRotationBuildersAndEulerAngles) {
    const struct {
        D3DMATRIX (*rotate)(float);
        float x, y, z, roll, yaw, pitch;
    } axes[] = {{RotateXMatrix, 1, 0, 0, 0, 0, 0.8f},
                {RotateYMatrix, 0, 1, 0, 0, 0.8f, 0},
                {RotateZMatrix, 0, 0, 1, 0.8f, 0, 0}};
    for (const auto& a : axes) {
        SCOPED_TRACE(testing::Message() << a.x << a.y << a.z);
        ExpectMatrixNear(ToMatrix(AxisAngle(0.8f, a.x, a.y, a.z)), a.rotate(0.8f), 1e-6f);
        D3DQUAT q;
        ExpectQuatNear(*EulerToQuat(a.roll, a.yaw, a.pitch, &q), AxisAngle(0.8f, a.x, a.y, a.z),
                       1e-6f);
    }
    ExpectMatrixNear(ToMatrix({0, 0, 0, 0}), IdentityMatrix());
}

TEST(MatrixToQuat, RecoversTheRotationOnBothSidesOfZeroTrace) {
    const D3DVECTOR axis = Normalize({1.0f, 2.0f, 3.0f});
    // Angles below 120 degrees give a positive trace, larger ones do not; each diagonal
    // element leads in turn for half-turns about the axes.
    const struct {
        float angle;
        D3DVECTOR axis;
    } cases[] = {{0.5f, axis},     {2.1f, axis},     {kPi, {1, 0, 0}},
                 {kPi, {0, 1, 0}}, {kPi, {0, 0, 1}}, {2.5f, {0, -1, 0}}};
    for (const auto& c : cases) {
        const D3DQUAT q = AxisAngle(c.angle, c.axis.x, c.axis.y, c.axis.z);
        const D3DMATRIX m = ToMatrix(q);
        D3DQUAT recovered;
        MatrixToQuat(&m, &recovered);
        SCOPED_TRACE(c.angle);
        ExpectSameRotation(recovered, q, 1e-5f);
    }
}

TEST(QuatSlerp, EndsHalfwayAndDegenerateCases) {
    const D3DQUAT from = AxisAngle(0.2f, 0, 1, 0);
    const D3DQUAT to = AxisAngle(1.4f, 1, 1, 0);
    D3DQUAT out;
    ExpectQuatNear(*QuatSlerp(&from, &to, 0.0f, &out), from);
    // Against the negated target, t = 1 gives the target negated back.
    const D3DQUAT negatedTo = Negated(to);
    ExpectQuatNear(*QuatSlerp(&from, &negatedTo, 1.0f, &out), to);
    const D3DQUAT identity{1, 0, 0, 0};
    const D3DQUAT quarter = AxisAngle(kPi / 2, 0, 0, 1);
    ExpectQuatNear(*QuatSlerp(&identity, &quarter, 0.5f, &out), AxisAngle(kPi / 4, 0, 0, 1), 1e-6f);
    // A quaternion with itself or its negative stays put.
    const D3DQUAT q = AxisAngle(0.9f, 0.3f, -0.2f, 0.7f);
    const D3DQUAT negated = Negated(q);
    for (const float t : {0.0f, 0.5f, 1.5f}) {
        SCOPED_TRACE(t);
        ExpectQuatNear(*QuatSlerp(&q, &q, t, &out), q);
        ExpectQuatNear(*QuatSlerp(&q, &negated, t, &out), q);
    }
    // Nearly equal records blend linearly; the unequal lengths show no normalization follows.
    const D3DQUAT longer{1.0000005f, 0, 0, 0};
    EXPECT_FLOAT_EQ(QuatSlerp(&identity, &longer, 0.5f, &out)->w, 1.00000025f);
}

TEST(AxisAngle, ConversionsBothWays) {
    ExpectQuatNear(AxisAngle(kPi, 0, 2, 0), {0, 0, 1, 0}, 1e-6f);
    ExpectQuatNear(AxisAngle(1.0f, 0.0005f, 0, 0), {1, 0, 0, 0}); // squared length below 1e-6
    const D3DVECTOR zAxis(0.0f, 0.0f, 3.0f);
    D3DQUAT viaVector;
    ExpectQuatNear(*AxisAngleToQuat(0.7f, &zAxis, &viaVector), AxisAngle(0.7f, 0, 0, 3));
    float angle, x, y, z;
    const D3DQUAT identity{1, 0, 0, 0};
    QuatToAxisAngle(&identity, angle, x, y, z);
    EXPECT_EQ(angle, 0.0f);
    ExpectVectorNear({x, y, z}, {0, 0, 1});
    const D3DVECTOR axis = Normalize({1.0f, -2.0f, 2.0f});
    const D3DQUAT q = AxisAngle(1.3f, axis.x, axis.y, axis.z);
    QuatToAxisAngle(&q, angle, x, y, z);
    EXPECT_NEAR(angle, 1.3f, 1e-6f);
    ExpectVectorNear({x, y, z}, axis, 1e-6f);
}

TEST(Vector2VectorQuat, TurnsOneDirectionOntoAnotherAndOppositesAboutAUnitAxis) {
    D3DQUAT q;
    ExpectQuatNear(*Vector2VectorQuat(0, 1, 0, 0, 1, 0, &q), {1, 0, 0, 0});
    Vector2VectorQuat(1, 0, 0, 0, 1, 0, &q);
    EXPECT_EQ(q.x, 0.0f);
    EXPECT_EQ(q.y, 0.0f);
    EXPECT_FLOAT_EQ(q.z, kHalfRoot);
    EXPECT_FLOAT_EQ(q.w, kHalfRoot);
    const D3DVECTOR from = Normalize({1.0f, 2.0f, -0.5f});
    const D3DVECTOR to = Normalize({-0.3f, 0.4f, 1.0f});
    Vector2VectorQuat(from.x, from.y, from.z, to.x, to.y, to.z, &q);
    // The matrix uses column vectors, so its transpose turns row vectors the same way.
    ExpectVectorNear(TransformVector(from, MatrixTranspose(ToMatrix(q))), to, 1e-6f);
    const D3DVECTOR opposites[] = {{1, 0, 0}, {0, 0, -1}, {0.6f, 0.8f, 0}, {0.36f, 0.48f, 0.8f}};
    for (const D3DVECTOR& d : opposites) {
        Vector2VectorQuat(d.x, d.y, d.z, -d.x, -d.y, -d.z, &q);
        SCOPED_TRACE(testing::Message() << d.x << "," << d.y << "," << d.z);
        EXPECT_EQ(q.w, 0.0f);
        EXPECT_NEAR(Magnitude({q.x, q.y, q.z}), 1.0f, 1e-6f);
        ExpectVectorNear(TransformVector(d, ToMatrix(q)), {-d.x, -d.y, -d.z}, 1e-6f);
    }
}

TEST(QuatArithmetic, MultiplyDivideAddAndSubtractNormalize) {
    const D3DQUAT i{0, 1, 0, 0}, j{0, 0, 1, 0}, one{1, 0, 0, 0}, longer{2, 0, 0, 0}, k{0, 0, 0, 1};
    D3DQUAT out;
    ExpectQuatNear(*QuatMultiply(&i, &j, &out), {0, 0, 0, 1}); // i * j = k
    ExpectQuatNear(*QuatMultiply(&j, &i, &out), {0, 0, 0, -1});
    ExpectQuatNear(*QuatMultiply(&longer, &longer, &out), {1, 0, 0, 0});
    ExpectQuatNear(*QuatAdd(&one, &k, &out), {kHalfRoot, 0, 0, kHalfRoot}, 1e-7f);
    ExpectQuatNear(*QuatSubtract(&one, &k, &out), {kHalfRoot, 0, 0, -kHalfRoot}, 1e-7f);

    const D3DQUAT a = AxisAngle(1.0f, 0, 1, 0);
    const D3DQUAT b = AxisAngle(0.4f, 1, 0, 1);
    D3DQUAT conjugate = b, expected;
    EXPECT_EQ(QuatInverse(&conjugate), &conjugate); // negates the vector part only
    ExpectQuatNear(conjugate, {b.w, -b.x, -b.y, -b.z});
    QuatMultiply(&a, &conjugate, &expected);
    ExpectSameRotation(*QuatDivide(&a, &b, &out), expected, 1e-6f);

    testkit::DebugCapture capture;
    QuatSubtract(&one, &one, &out);
    ExpectQuatNear(out, {0, 0, 0, 0});
    // A quarter turn about x: its conjugate squared is a half-turn, with a zero real part.
    const D3DQUAT quarterTurn{kHalfRoot, kHalfRoot, 0.0f, 0.0f};
    out = {2.0f, 0.0f, 0.0f, 0.0f};
    QuatDivide(&a, &quarterTurn, &out);
    ExpectQuatNear(out, {1.0f, 0.0f, 0.0f, 0.0f});
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{
                  "3DMATRIX.CPP::NormalizeQuat() Zero quaternion supplied!",
                  "3DMATRIX.CPP:QuatDivide() Zero real part for division quaternion!"}));
}

TEST(BSplines, CubicAndQuadraticWeights) {
    const D3DVECTOR p0(0, 0, 0), p1(8, 0, 16), p2(8, 8, 0), p3(16, 8, -8);
    ExpectVectorNear(CubicBSpline(p0, p1, p2, p3, 0.0f), p0);
    ExpectVectorNear(CubicBSpline(p0, p1, p2, p3, 1.0f), p3);
    ExpectVectorNear(CubicBSpline(p0, p1, p2, p3, 0.5f), {8, 4, 5}); // (1, 3, 3, 1) / 8
    const D3DVECTOR q0(0, 4, 8), q1(8, 0, 4), q2(16, 8, -4);
    ExpectVectorNear(QuadraticBSpline(q0, q1, q2, 0.0f), (q0 + q1) * 0.5f);
    ExpectVectorNear(QuadraticBSpline(q0, q1, q2, 1.0f), (q1 + q2) * 0.5f);
    ExpectVectorNear(QuadraticBSpline(q0, q1, q2, 0.5f), q0 * 0.125f + q1 * 0.75f + q2 * 0.125f);
}

} // namespace
