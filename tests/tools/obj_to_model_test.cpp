#include "obj_to_model.h"
#include "tools_fixture.h"

#include "testkit/math_expect.h"

#include "math/matrix.h"
#include "math/quaternion.h"
#include "model/material.h"
#include "model/model.h"

#include <cmath>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

namespace {

using vmmtool::Diagnostic;
using vmmtool::MakeOptions;
using vmmtool::MakeSummary;
using vmmtool::MtlLibrary;
using vmmtool::ObjScene;

class ObjToModelTest : public AccountedTest {
protected:
    // Parses text and builds model from it; false (with m_error) when either step refuses.
    bool Build(const std::string& text, C3DModel& model, const MakeOptions& options = {},
               const MtlLibrary& library = {}) {
        ObjScene scene;
        if (!ParseObj(text, scene, m_error)) {
            ADD_FAILURE() << m_error.Text();
            return false;
        }
        return vmmtool::BuildModel(scene, library, "unnamed", options, model, m_summary, m_error);
    }

    Diagnostic m_error;
    MakeSummary m_summary;
};

const DWORD* Faces(C3DModelFrame& frame) {
    return static_cast<const DWORD*>(frame.GetFaceList());
}

D3DVECTOR PositionOf(C3DModelFrame& frame, DWORD index) {
    const D3DVERTEX& v = frame.GetVertexList()[index];
    return D3DVECTOR(v.x, v.y, v.z);
}

D3DVECTOR NormalOf(C3DModelFrame& frame, DWORD index) {
    const D3DVERTEX& v = frame.GetVertexList()[index];
    return D3DVECTOR(v.nx, v.ny, v.nz);
}

// The unit normal of face i as its winding gives it: (b - a) x (c - a).
D3DVECTOR WindingNormal(C3DModelFrame& frame, DWORD face) {
    const DWORD* f = Faces(frame) + 3 * face;
    D3DVECTOR a = PositionOf(frame, f[0]);
    D3DVECTOR n = CrossProduct(PositionOf(frame, f[1]) - a, PositionOf(frame, f[2]) - a);
    return n / Magnitude(n);
}

void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
    testkit::ExpectVectorNear(v, {x, y, z}, 1e-5f);
}

std::vector<std::string> FrameNames(const C3DModel& model) {
    std::vector<std::string> names;
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        names.emplace_back(model.GetFrame(i)->GetName());
    }
    return names;
}

TEST_F(ObjToModelTest, PolygonsBecomeFansWoundClockwiseWithZNegated) {
    C3DModel model;
    // A pentagon at z = 2, counter-clockwise seen from +z, with one given normal and texture
    // coordinate for every corner.
    ASSERT_TRUE(Build(Lines({"v 0 0 2", "v 2 0 2", "v 3 1 2", "v 1 3 2", "v -1 1 2", "vt 0.25 0.75",
                             "vn 0.6 0 0.8", "f 1/1/1 2/1/1 3/1/1 4/1/1 5/1/1"}),
                      model))
        << m_error.Text();
    ASSERT_EQ(model.GetFrameCount(), 1u);
    C3DModelFrame& frame = *model.GetFrame(0);
    ASSERT_EQ(frame.GetVertexCount(), 5u);
    ASSERT_EQ(frame.GetFaceCount(), 3u);
    EXPECT_EQ(m_summary.triangles, 3u);
    // Every triangle starts at the first corner and runs backwards: (1, 3, 2), (1, 4, 3), ...
    const float expectedX[3][3] = {{0, 3, 2}, {0, 1, 3}, {0, -1, 1}};
    for (DWORD face = 0; face < 3; ++face) {
        for (DWORD corner = 0; corner < 3; ++corner) {
            D3DVECTOR p = PositionOf(frame, Faces(frame)[3 * face + corner]);
            EXPECT_EQ(p.x, expectedX[face][corner]) << face << "/" << corner;
            EXPECT_EQ(p.z, -2.0f);
        }
        // Facing the viewer at +z in the file means facing -z in the engine.
        ExpectVector(WindingNormal(frame, face), 0, 0, -1);
    }
    for (DWORD i = 0; i < 5; ++i) {
        ExpectVector(NormalOf(frame, i), 0.6f, 0, -0.8f);
        EXPECT_EQ(std::pair(frame.GetVertexList()[i].tu, frame.GetVertexList()[i].tv),
                  std::pair(0.25f, 0.25f));
    }
}

TEST_F(ObjToModelTest, CornersShareAVertexOnlyWhenAllIndicesMatchAndMissingNormalsAreAveraged) {
    C3DModel model;
    // The fold: two right triangles of equal area along the y axis, one facing +z, one +x.
    ASSERT_TRUE(
        Build(Lines({"v 0 0 0", "v 1 0 0", "v 1 1 0", "v 0 1 0", "vn 0 0 1", "vn 1 0 0", "g same",
                     "f 1//1 2//1 3//1", "f 1//1 3//1 4//1", "g split", "f 1//1 2//1 3//1",
                     "f 1//2 3//2 4//2", "v -1 0 0", "v 0 0 1", "g fold", "f 1 4 5", "f 1 4 6"}),
              model))
        << m_error.Text();
    ASSERT_EQ(model.GetFrameCount(), 3u);
    EXPECT_EQ(model.GetFrame(0)->GetVertexCount(), 4u);
    EXPECT_EQ(model.GetFrame(1)->GetVertexCount(), 6u);
    EXPECT_EQ(m_summary.vertices, 14u);
    // The area-weighted mean of the faces around each position.
    C3DModelFrame& fold = *model.GetFrame(2);
    ASSERT_EQ(fold.GetVertexCount(), 4u);
    const float half = std::sqrt(0.5f);
    for (DWORD i = 0; i < 4; ++i) {
        D3DVECTOR p = PositionOf(fold, i);
        D3DVECTOR n = NormalOf(fold, i);
        if (p.x == -1.0f) {
            ExpectVector(n, 0, 0, -1);
        } else if (p.z == -1.0f) {
            ExpectVector(n, 1, 0, 0);
        } else {
            ExpectVector(n, half, 0, -half);
        }
    }
}

TEST_F(ObjToModelTest, FramesFollowObjectsAndOptionallyTheirGroups) {
    const std::string triangle = Lines({"v 0 0 0", "v 1 0 0", "v 0 1 0"});
    const std::string objects =
        triangle + Lines({"f 1 2 3", "o ship", "g hull", "f 1 2 3", "g wing", "f 1 2 3", "g hull",
                          "f 1 2 3", "o boat", "f 1 2 3"});
    // Without objects, groups are what a file is made of.
    const std::string groups =
        triangle + Lines({"g a", "f 1 2 3", "g b", "f 1 2 3", "g a", "f 1 2 3"});
    const struct {
        const std::string& text;
        bool perGroup;
        std::vector<std::string> names;
        DWORD secondFrameFaces;
    } cases[] = {
        {objects, false, {"unnamed", "ship", "boat"}, 3},
        {objects, true, {"unnamed", "ship.hull", "ship.wing", "boat"}, 2},
        {groups, false, {"a", "b"}, 1},
    };
    for (const auto& c : cases) {
        C3DModel model;
        MakeOptions options;
        options.framesPerGroup = c.perGroup;
        ASSERT_TRUE(Build(c.text, model, options)) << m_error.Text();
        EXPECT_EQ(FrameNames(model), c.names);
        EXPECT_EQ(model.GetFrame(1)->GetFaceCount(), c.secondFrameFaces);
    }
}

MtlLibrary PaintAndMetal() {
    MtlLibrary library;
    library["paint"].diffuse = {0.5f, 0.25f, 0.125f};
    library["paint"].alpha = 0.5f;
    library["paint"].specular = {1.0f, 0.5f, 0.0f};
    library["paint"].power = 16.0f;
    library["metal"].diffuse = {0.75f, 0.75f, 0.75f};
    return library;
}

TEST_F(ObjToModelTest, MaterialsSplitFramesAndTakeSlotsInOrderOfUse) {
    C3DModel model;
    ASSERT_TRUE(
        Build(Lines({"v 0 0 0", "v 1 0 0", "v 0 1 0", "g hull", "f 1 2 3", "usemtl metal",
                     "f 1 2 3", "usemtl paint", "f 1 2 3", "g fin", "f 1 2 3", "usemtl unused"}),
              model, {}, PaintAndMetal()))
        << m_error.Text();
    EXPECT_EQ(FrameNames(model),
              (std::vector<std::string>{"hull.none", "hull.metal", "hull.paint", "fin"}));
    std::vector<DWORD> slots;
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        slots.push_back(model.GetFrame(i)->GetMaterialIndex());
    }
    EXPECT_EQ(slots, (std::vector<DWORD>{kNoIndex, 0, 1, 1}));
    EXPECT_EQ(m_summary.materials, 2u);
    ASSERT_NE(model.GetMaterial(1), nullptr);
    EXPECT_EQ(model.GetMaterial(2), nullptr);
    const CMaterial& paint = *model.GetMaterial(1);
    ExpectVector(paint.GetDiffuse(), 0.5f, 0.25f, 0.125f);
    ExpectVector(paint.GetSpecular(), 1.0f, 0.5f, 0.0f);
    EXPECT_EQ(std::tuple(paint.GetAlpha(), paint.GetPower(), paint.GetTextureName()),
              std::tuple(0.5f, 16.0f, nullptr));
    ExpectVector(model.GetMaterial(0)->GetDiffuse(), 0.75f, 0.75f, 0.75f);
}

TEST_F(ObjToModelTest, TextureNamesBecomeFullEnginePaths) {
    MtlLibrary library;
    library["painted"].diffuseTexture = "/games/textures/../art/Hull.bmp";
    library["long"].diffuseTexture = "/" + std::string(kMaterialTextureNameLimit, 'x');
    C3DModel model;
    const std::string triangle = Lines({"v 0 0 0", "v 1 0 0", "v 0 1 0"});
    ASSERT_TRUE(Build(triangle + Lines({"usemtl painted", "f 1 2 3"}), model, {}, library))
        << m_error.Text();
    EXPECT_STREQ(model.GetMaterial(0)->GetTextureName(), "c:\\games\\art\\Hull.bmp");

    EXPECT_FALSE(Build(triangle + Lines({"usemtl long", "f 1 2 3"}), model, {}, library));
    EXPECT_EQ(m_error.message.rfind("the texture path of material 'long' has 129 characters; at "
                                    "most 126 are kept",
                                    0),
              0u)
        << m_error.message;
    EXPECT_EQ(model.GetFrameCount(), 0u);
}

TEST_F(ObjToModelTest, RefusesWhatTheModelCannotHoldOrItsIndicesCannotReach) {
    const std::string triangle = Lines({"v 0 0 0", "v 1 0 0", "v 0 1 0"});
    std::string groups = triangle;
    for (DWORD g = 0; g <= kMaxModelFrames; ++g) {
        groups += "g part" + std::to_string(g) + "\nf 1 2 3\n";
    }
    // 21846 triangles of their own three positions: 65538 vertices in one frame.
    std::string big = "g big\n";
    for (int i = 0; i < 3 * 21846; ++i) {
        big += "v " + std::to_string(i) + " 0 " + std::to_string(i % 7) + "\n";
    }
    for (int t = 0; t < 3 * 21846; t += 3) {
        big += "f " + std::to_string(t + 1) + " " + std::to_string(t + 2) + " " +
               std::to_string(t + 3) + "\n";
    }
    const std::pair<std::string, std::string> cases[] = {
        {triangle + Lines({"", "usemtl missing", "f 1 2 3"}),
         "5: material 'missing' is not defined by any mtllib file"},
        {triangle, "0: no faces to convert"},
        {groups, "0: more than 256 frames (objects or groups times materials)"},
        {big, "0: frame 'big': more than 65536 vertices, the most the engine's 16-bit indices "
              "reach; split it into groups"}};
    for (const auto& [text, error] : cases) {
        C3DModel model;
        EXPECT_FALSE(Build(text, model));
        EXPECT_EQ(std::to_string(m_error.line) + ": " + m_error.message, error);
        EXPECT_EQ(model.GetFrameCount(), 0u);
    }
}

TEST_F(ObjToModelTest, SpinTurnsEveryFrameOnceOverTheKeyframeRange) {
    C3DModel model;
    MakeOptions spin;
    spin.spinSeconds = 2.0f;
    // A flat plate twice as long in x as in z, off the axis in x.
    ASSERT_TRUE(
        Build(Lines({"v 1 0 -1", "v 5 0 -1", "v 5 0 1", "v 1 0 1", "f 1 2 3 4"}), model, spin))
        << m_error.Text();
    DWORD start = 1, final = 0, extra = 1;
    model.GetKeyframes(start, final, extra);
    C3DModelFrame& frame = *model.GetFrame(0);
    const DWORD keys = vmmtool::kSpinKeyframes + 1;
    ASSERT_EQ(std::tuple(start, final + 1, model.GetAnimationCount(), frame.GetRotationKeyframes(),
                         frame.GetBBoxKeyframes(), model.GetBoxCount()),
              std::tuple(0u, keys, 1u, keys, keys, keys));
    EXPECT_EQ(model.GetAnimations()[0].fDuration, 2.0f);
    const DROT_KEYFRAME& quarter = *frame.GetRotationKeyframe(2);
    EXPECT_EQ(std::pair(quarter.dwKeyframe, quarter.fTime), std::pair(2u, 0.25f));
    D3DQUAT expected;
    AxisAngleToQuat(std::numbers::pi_v<float> / 2, 0, 1, 0, &expected);
    EXPECT_NEAR(quarter.qRotation.w, expected.w, 1e-6f);
    EXPECT_NEAR(quarter.qRotation.y, expected.y, 1e-6f);

    // Whatever the direction of the turn: a quarter turn swaps the x and z extents, half a
    // turn mirrors both, a full turn comes back.
    D3DVECTOR min, max;
    model.GetBoundingBox(0, 0.5f, min, max);
    EXPECT_NEAR(max.x - min.x, 2.0f, 1e-4f);
    EXPECT_NEAR(max.z - min.z, 4.0f, 1e-4f);
    const float boxes[][7] = {{0.0f, 1, -1, 5, 1}, {1.0f, -5, -1, -1, 1}, {2.0f, 1, -1, 5, 1}};
    for (const auto& b : boxes) {
        model.GetBoundingBox(0, b[0], min, max);
        ExpectVector(min, b[1], 0, b[2]);
        ExpectVector(max, b[3], 0, b[4]);
    }
}

} // namespace
