// Wavefront OBJ and MTL text: arbitrary bytes read as an OBJ file and as an MTL library, then
// built into a model. A scene that reads must only hold indices inside its own arrays; a
// model that builds must keep the engine's limits (frames, 16-bit vertex indices, faces
// naming their own vertices).

#include "fuzzkit/input_file.h"
#include "obj_reader.h"
#include "obj_to_model.h"

#include "model/model.h"

#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using vmmtool::kAbsent;

bool InRange(std::uint32_t index, std::size_t size, bool mayBeAbsent) {
    return (mayBeAbsent && index == kAbsent) || index < size;
}

bool SceneIsConsistent(const vmmtool::ObjScene& scene) {
    for (const vmmtool::ObjCorner& c : scene.corners) {
        if (!InRange(c.position, scene.positions.size(), false) ||
            !InRange(c.texcoord, scene.texcoords.size(), true) ||
            !InRange(c.normal, scene.normals.size(), true)) {
            return false;
        }
    }
    for (const vmmtool::ObjFace& f : scene.faces) {
        if (f.cornerCount < 3 || f.firstCorner > scene.corners.size() ||
            scene.corners.size() - f.firstCorner < f.cornerCount ||
            !InRange(f.object, scene.objects.size(), false) ||
            !InRange(f.group, scene.groups.size(), false) ||
            !InRange(f.material, scene.materials.size(), true)) {
            return false;
        }
    }
    return true;
}

bool ModelKeepsTheLimits(C3DModel& model) {
    if (model.GetFrameCount() > kMaxModelFrames) {
        return false;
    }
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        C3DModelFrame& frame = *model.GetFrame(i);
        const auto* faces = static_cast<const DWORD*>(frame.GetFaceList());
        if (frame.GetVertexCount() > vmmtool::kMaxFrameVertices) {
            return false;
        }
        for (DWORD k = 0; k < 3 * frame.GetFaceCount(); ++k) {
            if (faces[k] >= frame.GetVertexCount()) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = (fuzzkit::SilenceDebugOutput(), true);
    (void)initialised;

    const std::string text(reinterpret_cast<const char*>(data), size);
    std::istringstream objText(text);
    vmmtool::ObjScene scene;
    vmmtool::Diagnostic error;
    bool read = vmmtool::ReadObj(objText, "input.obj", scene, error);
    if (read && !SceneIsConsistent(scene)) {
        std::abort();
    }
    std::istringstream mtlText(text);
    vmmtool::MtlLibrary library;
    vmmtool::ReadMtl(mtlText, "input.mtl", library, error);
    if (!read) {
        return 0;
    }
    for (float spin : {0.0f, 1.0f}) {
        vmmtool::MakeOptions options;
        options.framesPerGroup = spin > 0.0f;
        options.spinSeconds = spin;
        C3DModel model;
        vmmtool::MakeSummary summary;
        if (vmmtool::BuildModel(scene, library, "input", options, model, summary, error) &&
            !ModelKeepsTheLimits(model)) {
            std::abort();
        }
    }
    return 0;
}
