#pragma once

// Readers for Wavefront OBJ geometry and MTL material libraries, written for untrusted text:
// every count is bounded, every index is checked against what the file has defined so far,
// and every refusal names the file and line. The readers keep the file's own conventions
// (right-handed coordinates, counter-clockwise polygons, texture v pointing up); the model
// builder converts to the engine's.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

namespace vmmtool {

// Bounds on what one file may hold; larger inputs are refused, not truncated.
constexpr std::size_t kMaxLineLength = 64 * 1024;      // after joining continuation lines
constexpr std::size_t kMaxElements = 16 * 1024 * 1024; // per kind: v, vt, vn, face corners
constexpr std::size_t kMaxPolygonCorners = 1024;

// Index value meaning "not given" (a corner without texture coordinate or normal, a face
// without material).
constexpr std::uint32_t kAbsent = 0xFFFFFFFF;

struct Float2 {
    float u = 0.0f;
    float v = 0.0f;
};

struct Float3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// A polygon corner as 0-based indices into the scene's arrays.
struct ObjCorner {
    std::uint32_t position = 0;
    std::uint32_t texcoord = kAbsent;
    std::uint32_t normal = kAbsent;
};

struct ObjFace {
    std::uint32_t firstCorner = 0;
    std::uint32_t cornerCount = 0; // 3 or more
    std::uint32_t object = 0;      // into ObjScene::objects
    std::uint32_t group = 0;       // into ObjScene::groups
    std::uint32_t material = kAbsent;
};

// A name given by the file with the line that first gave it.
struct NamedLine {
    std::string name;
    std::size_t line = 0;
};

// A refusal or a warning about a place in a file.
struct Diagnostic {
    std::string file;
    std::size_t line = 0; // 0: the file as a whole
    std::string message;

    // "file:line: message"
    std::string Text() const;
};

struct ObjScene {
    std::vector<Float3> positions;
    std::vector<Float2> texcoords;
    std::vector<Float3> normals;
    std::vector<ObjCorner> corners;
    std::vector<ObjFace> faces;
    // Entry 0 of each is the unnamed object or group that faces belong to before any "o" or
    // "g" line.
    std::vector<std::string> objects{""};
    std::vector<std::string> groups{""};
    std::vector<NamedLine> materials; // usemtl names in order of first use
    std::vector<NamedLine> libraries; // mtllib file names, relative to the OBJ file
    bool hasObjectStatements = false;
    // Statements that were skipped (one note per keyword), for the user.
    std::vector<Diagnostic> warnings;
};

struct MtlMaterial {
    Float3 diffuse{1.0f, 1.0f, 1.0f};
    Float3 ambient{1.0f, 1.0f, 1.0f};
    Float3 specular{0.0f, 0.0f, 0.0f};
    float alpha = 1.0f;
    float power = 0.0f;
    std::string diffuseTexture; // as written, relative to the MTL file; empty: none
};

// Materials by name; a name defined again replaces the earlier definition.
using MtlLibrary = std::map<std::string, MtlMaterial>;

// Reads OBJ text into scene (which starts empty). False with error at the first refused line.
bool ReadObj(std::istream& in, const std::string& fileName, ObjScene& scene, Diagnostic& error);

// Adds the materials of MTL text to library. False with error at the first refused line.
bool ReadMtl(std::istream& in, const std::string& fileName, MtlLibrary& library, Diagnostic& error);

} // namespace vmmtool
