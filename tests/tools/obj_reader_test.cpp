#include "tools_fixture.h"

#include <string>
#include <tuple>
#include <vector>

namespace {

using vmmtool::Diagnostic;
using vmmtool::kAbsent;
using vmmtool::MtlLibrary;
using vmmtool::ObjScene;

ObjScene Parsed(const std::string& text) {
    ObjScene scene;
    Diagnostic error;
    EXPECT_TRUE(ParseObj(text, scene, error)) << error.Text();
    return scene;
}

// The error of text that must be refused.
Diagnostic Refused(const std::string& text) {
    ObjScene scene;
    Diagnostic error;
    EXPECT_FALSE(ParseObj(text, scene, error)) << "accepted:\n" << text;
    return error;
}

// Every corner's (position, texcoord, normal) and every face's (first corner, corner count).
using Triple = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;
std::vector<Triple> Corners(const ObjScene& scene) {
    std::vector<Triple> corners;
    for (const vmmtool::ObjCorner& c : scene.corners) {
        corners.emplace_back(c.position, c.texcoord, c.normal);
    }
    return corners;
}

TEST(ObjReaderTest, ReadsVerticesAndEveryCornerFormInPolygonsOfAnySize) {
    ObjScene scene = Parsed(Lines({"v 1 2 3", "v -4.5 +5e1 .25 1.0", "v 0 0 0 0.5 0.5 0.5",
                                   "vt 0.25 0.75", "vt 0.5", "vn 0 0 1", "f 1 2 3", "f 1/1 2/2 3/1",
                                   "f 1//1 2//1 3//1", "f 3/2/1 2/1/1 1/2/1 2 3",
                                   "f -3/-2/-1 -2/-1/-1 -1/-1/-1", "v 0 1 0", "f -4 -2 -1"}));
    ASSERT_EQ(scene.positions.size(), 4u);
    EXPECT_EQ(std::tuple(scene.positions[1].x, scene.positions[1].y, scene.positions[1].z),
              std::tuple(-4.5f, 50.0f, 0.25f));
    ASSERT_EQ(scene.texcoords.size(), 2u);
    EXPECT_EQ(std::pair(scene.texcoords[0].v, scene.texcoords[1].v), std::pair(0.75f, 0.0f));
    ASSERT_EQ(scene.normals.size(), 1u);
    EXPECT_EQ(scene.normals[0].z, 1.0f);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> faces;
    for (const vmmtool::ObjFace& f : scene.faces) {
        faces.emplace_back(f.firstCorner, f.cornerCount);
    }
    EXPECT_EQ(faces, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{
                         {0, 3}, {3, 3}, {6, 3}, {9, 5}, {14, 3}, {17, 3}}));
    const std::vector<Triple> corners = Corners(scene);
    EXPECT_EQ(corners[0], Triple(0, kAbsent, kAbsent));
    EXPECT_EQ(corners[5], Triple(2, 0, kAbsent));
    EXPECT_EQ(corners[7], Triple(1, kAbsent, 0));
    EXPECT_EQ(corners[9], Triple(2, 1, 0));
    // Negative indices count back from the last defined when the face is read.
    EXPECT_EQ(std::vector(corners.begin() + 14, corners.end()),
              (std::vector<Triple>{{0, 0, 0},
                                   {1, 1, 0},
                                   {2, 1, 0},
                                   {0, kAbsent, kAbsent},
                                   {2, kAbsent, kAbsent},
                                   {3, kAbsent, kAbsent}}));
    EXPECT_EQ(scene.faces[0].material, kAbsent);
}

TEST(ObjReaderTest, RefusesMalformedStatementsAndIndicesWithTheirLine) {
    std::string polygon = "f";
    for (std::size_t i = 0; i <= vmmtool::kMaxPolygonCorners; ++i) {
        polygon += " 1";
    }
    struct Case {
        std::string line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"v 1 2", "v needs 3 to 7 numbers, not 2"},
        {"v 1 2 3q", "'3q' is not a number"},
        {"v 1e999 0 0", "'1e999' is not a finite number"},
        {"v nan 0 0", "'nan' is not a finite number"},
        {"vn 0 0 1 0", "vn needs 3 numbers, not 4"},
        {"vt", "vt needs 1 to 3 numbers, not 0"},
        {"f 1 2", "f needs at least 3 corners, not 2"},
        {"f 1/1/1/1 2 3", "face corner '1/1/1/1' has more than 3 parts"},
        {"f /1 2 3", "face corner '/1' has no position index"},
        {"o", "o needs a name"},
        {"usemtl", "usemtl needs a material name"},
        {"mtllib", "mtllib needs a file name"},
        {"v " + std::string(vmmtool::kMaxLineLength, '1'), "line longer than 65536 characters"},
        {polygon, "f has 1025 corners; at most 1024 are read"},
        // Indices reach only what is defined so far: 3 positions, 1 texture coordinate.
        {"f 1 2 4", "position index 4 is out of range: 3 defined so far"},
        {"f -4 2 3", "position index -4 is out of range: 3 defined so far"},
        {"f 0 1 2", "position index 0: indices start at 1"},
        {"f 1/2 2/1 3/1", "texture coordinate index 2 is out of range: 1 defined so far"},
        {"f 1//1 2//1 3//1", "normal index 1 is out of range: 0 defined so far"},
        {"f 1 2 99999999999999999999", "'99999999999999999999' is not an index"},
        {"f 1 2 3.0", "'3.0' is not an index"},
    };
    for (const Case& c : cases) {
        Diagnostic error =
            Refused(Lines({"# header", "v 0 0 0", "v 1 0 0", "v 1 1 0", "vt 0 0", c.line}));
        EXPECT_EQ(error.Text(), "test.obj:6: " + c.message);
    }
}

TEST(ObjReaderTest, CountsLinesAcrossCommentsContinuationsAndLineEnds) {
    ObjScene scene = Parsed("# a comment\r\nv 1 2 \\\r\n   3 # trailing note\r\n\r\nv 4 5 6");
    ASSERT_EQ(scene.positions.size(), 2u);
    EXPECT_EQ(scene.positions[0].z, 3.0f);
    EXPECT_EQ(scene.positions[1].z, 6.0f);

    // The continued statement starts on line 2; the bad one after it is on line 4.
    Diagnostic error = Refused("# a comment\nv 1 2 \\\n 3\nv 1 2 q\n");
    EXPECT_EQ(error.Text(), "test.obj:4: 'q' is not a number");
}

TEST(ObjReaderTest, FacesRememberTheirObjectGroupAndMaterial) {
    ObjScene scene = Parsed(
        Lines({"mtllib a.mtl b.mtl", "mtllib a.mtl", "v 0 0 0", "v 1 0 0", "v 0 1 0", "f 1 2 3",
               "o ship", "g hull", "usemtl paint", "f 1 2 3", "g wing left", "usemtl metal",
               "f 1 2 3", "g hull", "usemtl paint", "f 1 2 3", "o boat", "f 1 2 3"}));
    EXPECT_TRUE(scene.hasObjectStatements);
    EXPECT_EQ(scene.objects, (std::vector<std::string>{"", "ship", "boat"}));
    EXPECT_EQ(scene.groups, (std::vector<std::string>{"", "hull", "wing left"}));
    ASSERT_EQ(scene.materials.size() * scene.libraries.size(), 4u);
    EXPECT_EQ(std::tuple(scene.materials[0].name, scene.materials[0].line, scene.materials[1].name,
                         scene.libraries[1].name, scene.libraries[1].line),
              std::tuple("paint", 9u, "metal", "b.mtl", 1u));

    // A group named again continues; a new object starts in the unnamed group, and the
    // material stays in force across both.
    std::vector<Triple> faces;
    for (const vmmtool::ObjFace& f : scene.faces) {
        faces.emplace_back(f.object, f.group, f.material);
    }
    EXPECT_EQ(faces,
              (std::vector<Triple>{{0, 0, kAbsent}, {1, 1, 0}, {1, 2, 1}, {1, 1, 0}, {2, 0, 0}}));
}

TEST(ObjReaderTest, NotesEachSkippedKeywordOnce) {
    ObjScene scene =
        Parsed(Lines({"v 0 0 0", "v 1 0 0", "s 1", "l 1 2", "l 2 1", "s off", "curv 0 1 1 2"}));
    ASSERT_EQ(scene.warnings.size(), 2u);
    EXPECT_EQ(scene.warnings[0].Text(), "test.obj:4: 'l' statements are not converted");
    EXPECT_EQ(scene.warnings[1].Text(), "test.obj:7: 'curv' statements are not converted");
    EXPECT_TRUE(scene.faces.empty());
}

MtlLibrary ParsedMtl(const std::string& text) {
    MtlLibrary library;
    Diagnostic error;
    EXPECT_TRUE(ParseMtl(text, library, error)) << error.Text();
    return library;
}

TEST(MtlReaderTest, ReadsColoursPowerAlphaAndTextureAfterItsOptions) {
    MtlLibrary library = ParsedMtl(
        Lines({"newmtl glass", "Ns 9", "newmtl hull", "Ka 0.1 0.2 0.3", "Kd 0.4 0.5 0.6", "Ks 0.7",
               "Ns 32", "d 0.5", "illum 2", "map_Kd textures/hull paint.bmp", "newmtl glass",
               "Tr 0.25", "newmtl a", "map_Kd -s 2 2 -clamp on -o 0.5 -mm 0 1 -bm 1 tex/a.bmp",
               "newmtl b", "map_Kd -s 2 b.bmp", "newmtl c", "d -halo 0.4"}));
    ASSERT_EQ(library.size(), 5u);
    const vmmtool::MtlMaterial& hull = library.at("hull");
    const vmmtool::MtlMaterial& glass = library.at("glass");
    EXPECT_EQ(std::tuple(hull.ambient.z, hull.diffuse.x, hull.diffuse.z, hull.specular.y,
                         hull.power, hull.alpha, hull.diffuseTexture),
              std::tuple(0.3f, 0.4f, 0.6f, 0.7f, 32.0f, 0.5f, "textures/hull paint.bmp"));
    // Defined again, a material starts over.
    EXPECT_EQ(std::tuple(glass.alpha, glass.diffuse.y, glass.specular.x, glass.power,
                         glass.diffuseTexture),
              std::tuple(0.75f, 1.0f, 0.0f, 0.0f, ""));
    EXPECT_EQ(std::tuple(library.at("a").diffuseTexture, library.at("b").diffuseTexture,
                         library.at("c").alpha),
              std::tuple("tex/a.bmp", "b.bmp", 0.4f));
}

TEST(MtlReaderTest, RefusesMalformedStatementsWithTheirLine) {
    struct Case {
        std::string text;
        std::string message;
    };
    const std::vector<Case> cases = {
        {Lines({"Kd 1 1 1"}), "test.mtl:1: Kd before any newmtl"},
        {Lines({"newmtl", "Kd 1 1 1"}), "test.mtl:1: newmtl needs a material name"},
        {Lines({"newmtl a", "Kd 1 1"}), "test.mtl:2: Kd needs 1 or 3 numbers, not 2"},
        {Lines({"newmtl a", "Ks spectral s.rfl"}),
         "test.mtl:2: Ks spectral colours are not supported; give r g b"},
        {Lines({"newmtl a", "", "Ns high"}), "test.mtl:3: 'high' is not a number"},
        {Lines({"newmtl a", "map_Kd -s 1 1 1"}), "test.mtl:2: map_Kd needs a file name"},
        {Lines({"newmtl a", "map_Kd -shine 1 a.bmp"}),
         "test.mtl:2: unknown texture option '-shine'"},
    };
    for (const Case& c : cases) {
        MtlLibrary library;
        Diagnostic error;
        EXPECT_FALSE(ParseMtl(c.text, library, error)) << c.text;
        EXPECT_EQ(error.Text(), c.message);
    }
}

} // namespace
