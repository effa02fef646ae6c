#include "tools_fixture.h"

#include <string>
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

void ExpectCorner(const vmmtool::ObjCorner& corner, std::uint32_t position, std::uint32_t texcoord,
                  std::uint32_t normal) {
    EXPECT_EQ(corner.position, position);
    EXPECT_EQ(corner.texcoord, texcoord);
    EXPECT_EQ(corner.normal, normal);
}

TEST(ObjReaderTest, ReadsVerticesAndEveryCornerForm) {
    ObjScene scene = Parsed(
        Lines({"v 1 2 3", "v -4.5 +5e1 .25 1.0", "v 0 0 0 0.5 0.5 0.5", "vt 0.25 0.75", "vt 0.5",
               "vn 0 0 1", "f 1 2 3", "f 1/1 2/2 3/1", "f 1//1 2//1 3//1", "f 3/2/1 2/1/1 1/2/1"}));
    ASSERT_EQ(scene.positions.size(), 3u);
    EXPECT_EQ(scene.positions[1].x, -4.5f);
    EXPECT_EQ(scene.positions[1].y, 50.0f);
    EXPECT_EQ(scene.positions[1].z, 0.25f);
    ASSERT_EQ(scene.texcoords.size(), 2u);
    EXPECT_EQ(scene.texcoords[0].v, 0.75f);
    EXPECT_EQ(scene.texcoords[1].v, 0.0f);
    ASSERT_EQ(scene.normals.size(), 1u);
    EXPECT_EQ(scene.normals[0].z, 1.0f);

    ASSERT_EQ(scene.faces.size(), 4u);
    ASSERT_EQ(scene.corners.size(), 12u);
    ExpectCorner(scene.corners[0], 0, kAbsent, kAbsent);
    ExpectCorner(scene.corners[5], 2, 0, kAbsent);
    ExpectCorner(scene.corners[7], 1, kAbsent, 0);
    ExpectCorner(scene.corners[9], 2, 1, 0);
    EXPECT_EQ(scene.faces[3].firstCorner, 9u);
    EXPECT_EQ(scene.faces[3].cornerCount, 3u);
    EXPECT_EQ(scene.faces[0].material, kAbsent);
}

TEST(ObjReaderTest, NegativeIndicesCountBackFromTheLastDefined) {
    ObjScene scene = Parsed(Lines({"v 0 0 0", "v 1 0 0", "v 1 1 0", "vt 0 0", "vn 0 0 1",
                                   "f -3/-1/-1 -2/-1/-1 -1/-1/-1", "v 0 1 0", "f -4 -2 -1"}));
    ASSERT_EQ(scene.faces.size(), 2u);
    ExpectCorner(scene.corners[0], 0, 0, 0);
    ExpectCorner(scene.corners[2], 2, 0, 0);
    // Resolved against the four positions defined by then.
    ExpectCorner(scene.corners[3], 0, kAbsent, kAbsent);
    ExpectCorner(scene.corners[4], 2, kAbsent, kAbsent);
    ExpectCorner(scene.corners[5], 3, kAbsent, kAbsent);
}

TEST(ObjReaderTest, PolygonsKeepAllTheirCorners) {
    ObjScene scene = Parsed(
        Lines({"v 0 0 0", "v 1 0 0", "v 2 1 0", "v 1 2 0", "v 0 1 0", "f 1 2 3 4 5", "f 1 2 3 4"}));
    ASSERT_EQ(scene.faces.size(), 2u);
    EXPECT_EQ(scene.faces[0].cornerCount, 5u);
    EXPECT_EQ(scene.faces[1].firstCorner, 5u);
    EXPECT_EQ(scene.faces[1].cornerCount, 4u);
}

TEST(ObjReaderTest, RefusesIndicesOutsideWhatIsDefinedSoFar) {
    const std::string vertices = Lines({"v 0 0 0", "v 1 0 0", "v 1 1 0", "vt 0 0"});
    struct Case {
        std::string face;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"f 1 2 4", "position index 4 is out of range: 3 defined so far"},
        {"f -4 2 3", "position index -4 is out of range: 3 defined so far"},
        {"f 0 1 2", "position index 0: indices start at 1"},
        {"f 1/2 2/1 3/1", "texture coordinate index 2 is out of range: 1 defined so far"},
        {"f 1//1 2//1 3//1", "normal index 1 is out of range: 0 defined so far"},
        {"f 1 2 99999999999999999999", "'99999999999999999999' is not an index"},
        {"f 1 2 3.0", "'3.0' is not an index"},
    };
    for (const Case& c : cases) {
        Diagnostic error = Refused(vertices + "\n" + c.face + "\n");
        EXPECT_EQ(error.Text(), "test.obj:6: " + c.message) << c.face;
    }
}

TEST(ObjReaderTest, RefusesMalformedStatementsWithTheirLine) {
    struct Case {
        std::string line;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"v 1 2", "v needs 3 to 7 numbers, not 2"},
        {"v 1 x 3", "'x' is not a number"},
        {"v 1 2 3q", "'3q' is not a number"},
        {"v 1e999 0 0", "'1e999' is not a finite number"},
        {"v nan 0 0", "'nan' is not a finite number"},
        {"v inf 0 0", "'inf' is not a finite number"},
        {"vn 0 0 1 0", "vn needs 3 numbers, not 4"},
        {"vt", "vt needs 1 to 3 numbers, not 0"},
        {"f 1 2", "f needs at least 3 corners, not 2"},
        {"f 1/1/1/1 2 3", "face corner '1/1/1/1' has more than 3 parts"},
        {"f /1 2 3", "face corner '/1' has no position index"},
        {"o", "o needs a name"},
        {"usemtl", "usemtl needs a material name"},
        {"mtllib", "mtllib needs a file name"},
    };
    for (const Case& c : cases) {
        Diagnostic error = Refused(Lines({"# header", "v 0 0 0", "v 1 0 0", "v 0 1 0", c.line}));
        EXPECT_EQ(error.file, "test.obj");
        EXPECT_EQ(error.line, 5u) << c.line;
        EXPECT_EQ(error.message, c.message) << c.line;
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

TEST(ObjReaderTest, RefusesLinesAndPolygonsBeyondTheBounds) {
    Diagnostic error = Refused("v 0 0 0\nv " + std::string(vmmtool::kMaxLineLength, '1') + "\n");
    EXPECT_EQ(error.Text(), "test.obj:2: line longer than 65536 characters");

    std::string polygon = "f";
    for (std::size_t i = 0; i <= vmmtool::kMaxPolygonCorners; ++i) {
        polygon += " 1";
    }
    error = Refused("v 0 0 0\n" + polygon + "\n");
    EXPECT_EQ(error.Text(), "test.obj:2: f has 1025 corners; at most 1024 are read");
}

TEST(ObjReaderTest, FacesRememberTheirObjectGroupAndMaterial) {
    ObjScene scene = Parsed(
        Lines({"mtllib a.mtl b.mtl", "mtllib a.mtl", "v 0 0 0", "v 1 0 0", "v 0 1 0", "f 1 2 3",
               "o ship", "g hull", "usemtl paint", "f 1 2 3", "g wing left", "usemtl metal",
               "f 1 2 3", "g hull", "usemtl paint", "f 1 2 3", "o boat", "f 1 2 3"}));
    EXPECT_TRUE(scene.hasObjectStatements);
    EXPECT_EQ(scene.objects, (std::vector<std::string>{"", "ship", "boat"}));
    EXPECT_EQ(scene.groups, (std::vector<std::string>{"", "hull", "wing left"}));
    ASSERT_EQ(scene.materials.size(), 2u);
    EXPECT_EQ(scene.materials[0].name, "paint");
    EXPECT_EQ(scene.materials[0].line, 9u);
    EXPECT_EQ(scene.materials[1].name, "metal");
    ASSERT_EQ(scene.libraries.size(), 2u);
    EXPECT_EQ(scene.libraries[1].name, "b.mtl");
    EXPECT_EQ(scene.libraries[1].line, 1u);

    ASSERT_EQ(scene.faces.size(), 5u);
    struct Expected {
        std::uint32_t object, group, material;
    };
    // A group named again continues; a new object starts in the unnamed group, and the
    // material stays in force across both.
    const Expected expected[] = {{0, 0, kAbsent}, {1, 1, 0}, {1, 2, 1}, {1, 1, 0}, {2, 0, 0}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(scene.faces[i].object, expected[i].object) << i;
        EXPECT_EQ(scene.faces[i].group, expected[i].group) << i;
        EXPECT_EQ(scene.faces[i].material, expected[i].material) << i;
    }
}

TEST(ObjReaderTest, NotesEachSkippedKeywordOnce) {
    ObjScene scene =
        Parsed(Lines({"v 0 0 0", "v 1 0 0", "s 1", "l 1 2", "l 2 1", "s off", "curv 0 1 1 2"}));
    ASSERT_EQ(scene.warnings.size(), 2u);
    EXPECT_EQ(scene.warnings[0].Text(), "test.obj:4: 'l' statements are not converted");
    EXPECT_EQ(scene.warnings[1].Text(), "test.obj:7: 'curv' statements are not converted");
    EXPECT_TRUE(scene.faces.empty());
}

TEST(ObjReaderTest, ReadingStartsFromAnEmptyScene) {
    ObjScene scene = Parsed(Lines({"v 0 0 0", "o a"}));
    Diagnostic error;
    ASSERT_TRUE(ParseObj("v 1 1 1\n", scene, error));
    EXPECT_EQ(scene.positions.size(), 1u);
    EXPECT_FALSE(scene.hasObjectStatements);
    EXPECT_EQ(scene.objects.size(), 1u);
}

MtlLibrary ParsedMtl(const std::string& text) {
    MtlLibrary library;
    Diagnostic error;
    EXPECT_TRUE(ParseMtl(text, library, error)) << error.Text();
    return library;
}

TEST(MtlReaderTest, ReadsColoursPowerAlphaAndTexture) {
    MtlLibrary library = ParsedMtl(Lines(
        {"# two materials", "newmtl hull", "Ka 0.1 0.2 0.3", "Kd 0.4 0.5 0.6", "Ks 0.7", "Ns 32",
         "d 0.5", "illum 2", "map_Kd textures/hull paint.bmp", "newmtl glass", "Tr 0.25"}));
    ASSERT_EQ(library.size(), 2u);
    const vmmtool::MtlMaterial& hull = library.at("hull");
    EXPECT_EQ(hull.ambient.z, 0.3f);
    EXPECT_EQ(hull.diffuse.x, 0.4f);
    EXPECT_EQ(hull.diffuse.z, 0.6f);
    EXPECT_EQ(hull.specular.y, 0.7f);
    EXPECT_EQ(hull.power, 32.0f);
    EXPECT_EQ(hull.alpha, 0.5f);
    EXPECT_EQ(hull.diffuseTexture, "textures/hull paint.bmp");

    const vmmtool::MtlMaterial& glass = library.at("glass");
    EXPECT_EQ(glass.alpha, 0.75f);
    EXPECT_EQ(glass.diffuse.y, 1.0f);
    EXPECT_EQ(glass.specular.x, 0.0f);
    EXPECT_TRUE(glass.diffuseTexture.empty());
}

TEST(MtlReaderTest, TextureOptionsComeBeforeTheFileName) {
    MtlLibrary library =
        ParsedMtl(Lines({"newmtl a", "map_Kd -s 2 2 -clamp on -o 0.5 -mm 0 1 -bm 1 tex/a.bmp",
                         "newmtl b", "map_Kd -s 2 b.bmp", "newmtl c", "d -halo 0.4"}));
    EXPECT_EQ(library.at("a").diffuseTexture, "tex/a.bmp");
    EXPECT_EQ(library.at("b").diffuseTexture, "b.bmp");
    EXPECT_EQ(library.at("c").alpha, 0.4f);
}

TEST(MtlReaderTest, AMaterialDefinedAgainReplacesTheEarlierOne) {
    MtlLibrary library;
    Diagnostic error;
    ASSERT_TRUE(ParseMtl(Lines({"newmtl a", "Kd 0.5 0.5 0.5", "Ns 9"}), library, error));
    ASSERT_TRUE(ParseMtl(Lines({"newmtl a", "Kd 0.25 0.25 0.25"}), library, error));
    EXPECT_EQ(library.at("a").diffuse.x, 0.25f);
    EXPECT_EQ(library.at("a").power, 0.0f);
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
