#pragma once

// Turning an OBJ scene and its MTL materials into a C3DModel, and the whole "make" step from
// an OBJ file to a VMM file.
//
// Conversions into the engine's conventions: the engine is left-handed with clockwise front
// faces, OBJ right-handed with counter-clockwise ones, so z is negated (positions and normals)
// and every triangle's winding is reversed; texture v is flipped (v' = 1 - v), since OBJ
// counts it upwards and the engine downwards.

#include "obj_reader.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

class C3DModel;

namespace vmmtool {

// The engine renders with 16-bit indices, so a frame may hold at most this many vertices.
constexpr std::size_t kMaxFrameVertices = 65536;
// Keyframes of the spin animation: rotation keys every 45 degrees, 0..8.
constexpr std::uint32_t kSpinKeyframes = 8;

struct MakeOptions {
    // Frames follow objects ("o"); a file without "o" lines has one frame per group ("g").
    // With this set, each group of an object becomes a frame of its own too.
    bool framesPerGroup = false;
    // Above 0: every frame turns once about the y axis over the keyframe range, and the model
    // gets one looping animation of this duration.
    float spinSeconds = 0.0f;
};

struct MakeSummary {
    std::size_t frames = 0;
    std::size_t vertices = 0;
    std::size_t triangles = 0;
    std::size_t materials = 0;
    std::vector<std::string> warnings;
};

// Fills model (which is reset first) from scene. Each frame has one material, so faces of one
// object or group with several materials are split into one frame per material. Texture names
// of library materials are used as host paths (absolute, or relative to the current
// directory). unnamed names frames whose object and group have no name. False when a limit is
// exceeded, a material is not in the library or the engine refuses a step: the model is then
// empty, and error holds the message and the OBJ line at fault (its file is left as it was).
bool BuildModel(const ObjScene& scene, const MtlLibrary& library, const std::string& unnamed,
                const MakeOptions& options, C3DModel& model, MakeSummary& summary,
                Diagnostic& error);

// Reads the OBJ file and the MTL libraries it names (relative to its directory; texture names
// are taken relative to each library's directory) and builds the model from them. False with
// error (the file, and the line for text that is refused).
bool ConvertObj(const std::filesystem::path& objPath, const MakeOptions& options, C3DModel& model,
                MakeSummary& summary, Diagnostic& error);

// Saves the model with the engine's writer; false with error, and no file left behind, when
// the engine refuses.
bool SaveVmm(C3DModel& model, const std::filesystem::path& vmmPath, Diagnostic& error);

// Reads the OBJ file and the MTL libraries it names (relative to its directory; texture names
// are taken relative to each library's directory), builds the model and saves it as a VMM
// file. False with error (the file, and the line for text that is refused); no output file is
// left then.
bool MakeVmm(const std::filesystem::path& objPath, const std::filesystem::path& vmmPath,
             const MakeOptions& options, MakeSummary& summary, Diagnostic& error);

} // namespace vmmtool
