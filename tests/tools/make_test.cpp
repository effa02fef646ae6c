#include "obj_to_model.h"
#include "tools_fixture.h"

#include "testkit/bytes.h"
#include "testkit/scratch_dir.h"

#include "model/material.h"
#include "model/model.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <tuple>

namespace {

using vmmtool::Diagnostic;
using vmmtool::MakeSummary;

std::vector<std::uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

using testkit::Lower;

// A ship in art/: a hull square with a painted texture and a metal fin, in two groups.
class MakeVmmTest : public AccountedTest {
protected:
    void SetUp() override {
        AccountedTest::SetUp();
        m_dir.WriteFile(
            "art/ship.obj",
            Text(Lines({"mtllib ship.mtl", "v 0 0 0", "v 4 0 0", "v 4 0 2", "v 0 0 2", "v 2 3 1",
                        "vt 0 0", "vt 1 0", "vt 1 1", "vt 0 1", "g hull", "usemtl paint",
                        "f 1/1 2/2 3/3 4/4", "g fin", "usemtl metal", "f 1 3 5", "l 1 5"})));
        m_dir.WriteFile("art/ship.mtl", Text(Lines({"newmtl paint", "Kd 0.5 0.25 0.75", "Ns 20",
                                                    "map_Kd textures\\Hull.bmp", "newmtl metal",
                                                    "Kd 0.8", "Ks 1 1 1"})));
        std::filesystem::create_directories(m_dir.Path() / "out");
    }

    bool Make(const vmmtool::MakeOptions& options = {}) {
        return vmmtool::MakeVmm(ObjPath(), VmmPath(), options, m_summary, m_error);
    }
    std::filesystem::path ObjPath() const { return m_dir.Path() / "art/ship.obj"; }
    std::filesystem::path VmmPath() const { return m_dir.Path() / "out/ship.vmm"; }

    testkit::ScratchDir m_dir;
    MakeSummary m_summary;
    Diagnostic m_error;
};

TEST_F(MakeVmmTest, WritesAModelTheEngineLoadsBack) {
    vmmtool::MakeOptions spin;
    spin.spinSeconds = 3.0f;
    ASSERT_TRUE(Make(spin)) << m_error.Text();
    EXPECT_EQ(std::tuple(m_summary.frames, m_summary.triangles, m_summary.materials),
              std::tuple(2u, 3u, 2u));
    EXPECT_EQ(
        m_summary.warnings,
        (std::vector<std::string>{ObjPath().string() + ":17: 'l' statements are not converted"}));

    C3DModel model;
    ASSERT_EQ(model.LoadModel(m_dir.EnginePath("out/ship.vmm").c_str()), 1);
    ASSERT_EQ(model.GetFrameCount(), 2u);
    // What the conversion makes of the scene is the conversion suite's; here: it reaches the
    // file with its frames, material slots, boxes and animation. Frames with rotation keys and
    // no position keys still write their keys.
    EXPECT_EQ(
        std::tuple(std::string(model.GetFrame(1)->GetName()), model.GetFrame(1)->GetMaterialIndex(),
                   model.GetBoxCount(), model.GetAnimationCount(),
                   model.GetAnimations()[0].fDuration, model.GetFrame(1)->GetRotationKeyframes()),
        std::tuple("fin", 1u, vmmtool::kSpinKeyframes + 1, 1u, 3.0f, vmmtool::kSpinKeyframes + 1));
    // The texture is named relative to the library, stored relative to the model and read
    // back as a full lower-case path.
    ASSERT_NE(model.GetMaterial(0)->GetTextureName(), nullptr);
    EXPECT_EQ(model.GetMaterial(0)->GetTextureName(),
              Lower(m_dir.EnginePath("art/textures/Hull.bmp")));
    EXPECT_EQ(model.GetMaterial(0)->GetPower(), 20.0f);
    EXPECT_EQ(model.GetMaterial(1)->GetTextureName(), nullptr);
}

TEST_F(MakeVmmTest, ErrorsNameTheFileAndLineAndLeaveNoOutput) {
    const std::string obj = ObjPath().string();
    const std::string mtl = (m_dir.Path() / "art/ship.mtl").string();
    struct Case {
        std::string objText;
        std::string mtlText;
        std::string error;
    };
    const std::vector<Case> cases = {
        {Lines({"mtllib ship.mtl", "v 0 0 0", "v 1 x 0"}), "", obj + ":3: 'x' is not a number"},
        {Lines({"v 0 0 0", "mtllib ship.mtl other.mtl"}), "",
         obj + ":2: cannot open material library '" + (m_dir.Path() / "art/other.mtl").string() +
             "'"},
        {Lines({"mtllib ship.mtl"}), Lines({"newmtl a", "Kd 1 1 1", "Ka 1 1"}),
         mtl + ":3: Ka needs 1 or 3 numbers, not 2"},
        {Lines({"mtllib ship.mtl", "v 0 0 0", "v 1 0 0", "v 0 1 0", "usemtl b", "f 1 2 3"}),
         Lines({"newmtl a"}), obj + ":5: material 'b' is not defined by any mtllib file"},
    };
    for (const Case& c : cases) {
        m_dir.WriteFile("art/ship.obj", Text(c.objText));
        m_dir.WriteFile("art/ship.mtl", Text(c.mtlText));
        EXPECT_FALSE(Make());
        EXPECT_EQ(m_error.Text(), c.error);
        EXPECT_FALSE(std::filesystem::exists(VmmPath()));
    }

    EXPECT_FALSE(vmmtool::MakeVmm(m_dir.Path() / "none.obj", VmmPath(), {}, m_summary, m_error));
    EXPECT_EQ(m_error.Text(), (m_dir.Path() / "none.obj").string() + ": cannot be opened");
}

TEST_F(MakeVmmTest, AFileTheEngineCannotWriteIsReportedWithItsMessage) {
    const std::filesystem::path missing = m_dir.Path() / "nowhere/ship.vmm";
    EXPECT_FALSE(vmmtool::MakeVmm(ObjPath(), missing, {}, m_summary, m_error));
    EXPECT_EQ(m_error.file, missing.string());
    EXPECT_EQ(m_error.message.rfind("cannot be written: ", 0), 0u) << m_error.message;
    EXPECT_NE(m_error.message.find("C3DModel::SaveModel() Unable to write material number 0!"),
              std::string::npos)
        << m_error.message;
    EXPECT_FALSE(std::filesystem::exists(missing));
}

} // namespace
