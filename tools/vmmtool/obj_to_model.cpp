#include "obj_to_model.h"

#include "engine_messages.h"

#include "math/quaternion.h"
#include "math/vector.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/os/path.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <tuple>
#include <unordered_map>

namespace vmmtool {
namespace {

// The first step that cannot be done ends a build; BuildModel turns this into its error.
struct BuildFailure {
    std::string message;
    std::size_t line = 0; // the OBJ line at fault, 0 for none
};

[[noreturn]] void Fail(std::string message, std::size_t line = 0) {
    throw BuildFailure{std::move(message), line};
}

struct AccountedDeleter {
    template <class T> void operator()(T* object) const { DeleteAccounted(object); }
};
template <class T> using AccountedPtr = std::unique_ptr<T, AccountedDeleter>;

template <class T> AccountedPtr<T> MakeAccounted() {
    AccountedPtr<T> object(NewAccounted<T>());
    if (object == nullptr) {
        Fail("out of memory");
    }
    return object;
}

// The faces that become one frame: one object (or group) with one material.
struct FramePlan {
    std::uint32_t object = 0;
    std::uint32_t group = 0;
    std::uint32_t material = kAbsent;
    std::vector<std::uint32_t> faces;
    std::string name;
};

bool FramesFollowGroups(const ObjScene& scene, const MakeOptions& options) {
    return options.framesPerGroup || !scene.hasObjectStatements;
}

std::string JoinNames(const std::string& first, const std::string& second) {
    return first.empty() || second.empty() ? first + second : first + "." + second;
}

// Frame names: the object's and/or group's, with the material's added when that object or
// group is split by material.
void NamePlans(std::vector<FramePlan>& plans, const ObjScene& scene, const std::string& unnamed) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> splits;
    for (const FramePlan& plan : plans) {
        ++splits[{plan.object, plan.group}];
    }
    for (FramePlan& plan : plans) {
        std::string base = JoinNames(scene.objects[plan.object], scene.groups[plan.group]);
        if (base.empty()) {
            base = unnamed;
        }
        bool split = splits[{plan.object, plan.group}] > 1;
        std::string material =
            plan.material == kAbsent ? "none" : scene.materials[plan.material].name;
        plan.name = split ? base + "." + material : base;
    }
}

std::vector<FramePlan> PlanFrames(const ObjScene& scene, const MakeOptions& options,
                                  const std::string& unnamed) {
    bool byGroup = FramesFollowGroups(scene, options);
    std::vector<FramePlan> plans;
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, std::size_t> index;
    for (std::uint32_t f = 0; f < scene.faces.size(); ++f) {
        const ObjFace& face = scene.faces[f];
        std::uint32_t group = byGroup ? face.group : 0;
        auto [entry, added] = index.try_emplace({face.object, group, face.material}, plans.size());
        if (added) {
            if (plans.size() == kMaxModelFrames) {
                Fail("more than " + std::to_string(kMaxModelFrames) +
                     " frames (objects or groups times materials)");
            }
            plans.push_back({face.object, group, face.material, {}, {}});
        }
        plans[entry->second].faces.push_back(f);
    }
    NamePlans(plans, scene, unnamed);
    return plans;
}

D3DVECTOR ToEngine(const Float3& v) {
    return D3DVECTOR(v.x, v.y, -v.z);
}

using Triangle = std::array<ObjCorner, 3>;

// Fans of the polygons, wound clockwise for the engine.
std::vector<Triangle> Triangulate(const ObjScene& scene, const std::vector<std::uint32_t>& faces) {
    std::vector<Triangle> triangles;
    for (std::uint32_t f : faces) {
        const ObjCorner* corners = &scene.corners[scene.faces[f].firstCorner];
        for (std::uint32_t i = 1; i + 1 < scene.faces[f].cornerCount; ++i) {
            triangles.push_back({corners[0], corners[i + 1], corners[i]});
        }
    }
    return triangles;
}

struct CornerHash {
    std::size_t operator()(const ObjCorner& c) const {
        std::uint64_t h = c.position;
        h = h * 0x9E3779B97F4A7C15ull ^ c.texcoord;
        h = h * 0x9E3779B97F4A7C15ull ^ c.normal;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

struct CornerEqual {
    bool operator()(const ObjCorner& a, const ObjCorner& b) const {
        return a.position == b.position && a.texcoord == b.texcoord && a.normal == b.normal;
    }
};

struct FrameMesh {
    std::vector<D3DVERTEX> vertices;
    std::vector<DWORD> indices;
};

class MeshBuilder {
public:
    explicit MeshBuilder(const ObjScene& scene) : m_scene(scene) {}

    FrameMesh Build(const std::vector<Triangle>& triangles) {
        AccumulateSmoothNormals(triangles);
        for (const Triangle& triangle : triangles) {
            for (const ObjCorner& corner : triangle) {
                m_mesh.indices.push_back(VertexOf(corner));
            }
        }
        return std::move(m_mesh);
    }

private:
    D3DVECTOR Position(const ObjCorner& corner) const {
        return ToEngine(m_scene.positions[corner.position]);
    }

    // Corners without a normal get the area-weighted mean of the normals of the triangles
    // around their position.
    void AccumulateSmoothNormals(const std::vector<Triangle>& triangles) {
        for (const Triangle& t : triangles) {
            if (t[0].normal != kAbsent && t[1].normal != kAbsent && t[2].normal != kAbsent) {
                continue;
            }
            D3DVECTOR a = Position(t[0]);
            D3DVECTOR areaNormal = CrossProduct(Position(t[1]) - a, Position(t[2]) - a);
            for (const ObjCorner& corner : t) {
                if (corner.normal == kAbsent) {
                    auto [entry, added] = m_smooth.try_emplace(corner.position, 0.0f);
                    entry->second = entry->second + areaNormal;
                }
            }
        }
    }

    D3DVECTOR Normal(const ObjCorner& corner) const {
        if (corner.normal != kAbsent) {
            return ToEngine(m_scene.normals[corner.normal]);
        }
        D3DVECTOR sum = m_smooth.at(corner.position);
        float length = Magnitude(sum);
        // A point with no area around it has no direction of its own; up keeps lighting finite.
        return length > 0.0f ? sum / length : D3DVECTOR(0.0f, 1.0f, 0.0f);
    }

    DWORD VertexOf(const ObjCorner& corner) {
        auto [entry, added] =
            m_vertexIndex.try_emplace(corner, static_cast<DWORD>(m_mesh.vertices.size()));
        if (added) {
            if (m_mesh.vertices.size() == kMaxFrameVertices) {
                Fail("more than " + std::to_string(kMaxFrameVertices) +
                     " vertices, the most the engine's 16-bit indices reach; split it into "
                     "groups");
            }
            D3DVECTOR p = Position(corner);
            D3DVECTOR n = Normal(corner);
            Float2 uv = corner.texcoord != kAbsent ? m_scene.texcoords[corner.texcoord] : Float2{};
            m_mesh.vertices.push_back({p.x, p.y, p.z, n.x, n.y, n.z, uv.u, 1.0f - uv.v});
        }
        return entry->second;
    }

    const ObjScene& m_scene;
    FrameMesh m_mesh;
    std::unordered_map<std::uint32_t, D3DVECTOR> m_smooth;
    std::unordered_map<ObjCorner, DWORD, CornerHash, CornerEqual> m_vertexIndex;
};

// The keyframe range every frame's box keys (and spin keys) cover: 0..final.
struct KeyframeTrack {
    DWORD final = 0;
    bool spin = false;

    float TimeOf(DWORD keyframe) const {
        return final == 0 ? 0.0f : static_cast<float>(keyframe) / static_cast<float>(final);
    }

    std::vector<DBOX_KEYFRAME> BoxKeys() const {
        std::vector<DBOX_KEYFRAME> keys(final + 1);
        for (DWORD k = 0; k <= final; ++k) {
            keys[k] = DBOX_KEYFRAME{};
            keys[k].dwKeyframe = k;
            keys[k].fTime = TimeOf(k);
        }
        return keys;
    }

    // One turn about y: key k at k/final of a full turn.
    std::vector<DROT_KEYFRAME> SpinKeys() const {
        std::vector<DROT_KEYFRAME> keys(final + 1);
        for (DWORD k = 0; k <= final; ++k) {
            keys[k].dwKeyframe = k;
            keys[k].fTime = TimeOf(k);
            AxisAngleToQuat(2.0f * std::numbers::pi_v<float> * TimeOf(k), 0.0f, 1.0f, 0.0f,
                            &keys[k].qRotation);
        }
        return keys;
    }
};

void AddFrame(C3DModel& model, const FramePlan& plan, const FrameMesh& mesh, DWORD material,
              const KeyframeTrack& track) {
    AccountedPtr<C3DModelFrame> frame = MakeAccounted<C3DModelFrame>();
    frame->SetName(plan.name.c_str());
    std::vector<DBOX_KEYFRAME> boxes = track.BoxKeys();
    std::vector<DROT_KEYFRAME> spin = track.spin ? track.SpinKeys() : std::vector<DROT_KEYFRAME>{};
    bool stored =
        frame->SetVertices(mesh.vertices.data(), static_cast<DWORD>(mesh.vertices.size())) &&
        frame->SetFaces(mesh.indices.data(), static_cast<DWORD>(mesh.indices.size() / 3)) &&
        frame->SetBBoxKeyframes(static_cast<DWORD>(boxes.size()), boxes.data(), 0, track.final) &&
        frame->SetRotationKeys(static_cast<DWORD>(spin.size()), spin.data(), 0, track.final);
    if (!stored) {
        Fail("frame '" + plan.name + "' could not be stored (out of memory)");
    }
    frame->SetMaterialIndex(material);
    if (!model.AddFrame(frame.get())) {
        Fail("more than " + std::to_string(kMaxModelFrames) + " frames");
    }
    frame.release();
}

// The texture name as the engine keeps it: a full Windows-style path.
std::string EngineTextureName(const std::string& hostPath, const std::string& materialName) {
    std::filesystem::path full = std::filesystem::absolute(hostPath).lexically_normal();
    std::string name = platform::HostToWindowsPath(full.string());
    if (name.size() > kMaterialTextureNameLimit) {
        Fail("the texture path of material '" + materialName + "' has " +
             std::to_string(name.size()) + " characters; at most " +
             std::to_string(kMaterialTextureNameLimit) + " are kept: " + name);
    }
    return name;
}

void AddMaterial(C3DModel& model, const std::string& name, const MtlMaterial& source) {
    AccountedPtr<CMaterial> material = MakeAccounted<CMaterial>();
    material->SetDiffuse(D3DVECTOR(source.diffuse.x, source.diffuse.y, source.diffuse.z));
    material->SetAlpha(source.alpha);
    material->SetAmbient(D3DVECTOR(source.ambient.x, source.ambient.y, source.ambient.z));
    material->SetSpecular(D3DVECTOR(source.specular.x, source.specular.y, source.specular.z));
    material->SetPower(source.power);
    if (!source.diffuseTexture.empty()) {
        material->SetTextureName(EngineTextureName(source.diffuseTexture, name).c_str());
    }
    if (model.AddMaterial(material.get()) == kNoIndex) {
        Fail("more than " + std::to_string(kMaxModelMaterials) + " materials");
    }
    material.release();
}

// Material slots in order of first use by a frame; scene material index -> slot.
std::map<std::uint32_t, DWORD> AddMaterials(C3DModel& model, const ObjScene& scene,
                                            const MtlLibrary& library,
                                            const std::vector<FramePlan>& plans) {
    std::map<std::uint32_t, DWORD> slots;
    for (const FramePlan& plan : plans) {
        if (plan.material == kAbsent || slots.count(plan.material) != 0) {
            continue;
        }
        const NamedLine& use = scene.materials[plan.material];
        auto found = library.find(use.name);
        if (found == library.end()) {
            Fail("material '" + use.name + "' is not defined by any mtllib file", use.line);
        }
        AddMaterial(model, use.name, found->second);
        slots[plan.material] = static_cast<DWORD>(slots.size());
    }
    return slots;
}

void Animate(C3DModel& model, const KeyframeTrack& track, const MakeOptions& options) {
    model.SetKeyframes(0, track.final, 0);
    if (track.spin) {
        DANIMATION spin = {};
        spin.fDuration = options.spinSeconds;
        if (!model.SetAnimations(1, &spin)) {
            Fail("out of memory");
        }
    }
}

void Build(const ObjScene& scene, const MtlLibrary& library, const std::string& unnamed,
           const MakeOptions& options, C3DModel& model, MakeSummary& summary) {
    if (scene.faces.empty()) {
        Fail("no faces to convert");
    }
    std::vector<FramePlan> plans = PlanFrames(scene, options, unnamed);
    std::map<std::uint32_t, DWORD> slots = AddMaterials(model, scene, library, plans);
    KeyframeTrack track{options.spinSeconds > 0.0f ? kSpinKeyframes : 0,
                        options.spinSeconds > 0.0f};
    Animate(model, track, options);
    for (const FramePlan& plan : plans) {
        FrameMesh mesh;
        try {
            mesh = MeshBuilder(scene).Build(Triangulate(scene, plan.faces));
        } catch (const BuildFailure& failure) {
            Fail("frame '" + plan.name + "': " + failure.message, failure.line);
        }
        DWORD material = plan.material == kAbsent ? kNoIndex : slots.at(plan.material);
        AddFrame(model, plan, mesh, material, track);
        summary.vertices += mesh.vertices.size();
        summary.triangles += mesh.indices.size() / 3;
    }
    model.CalculateBoundingBox();
    summary.frames = plans.size();
    summary.materials = slots.size();
}

// Reads one library into library, its texture names made relative to the current directory.
// reference is where the OBJ file names it.
bool ReadLibrary(const std::filesystem::path& path, const Diagnostic& reference,
                 MtlLibrary& library, Diagnostic& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = reference;
        error.message = "cannot open material library '" + path.string() + "'";
        return false;
    }
    MtlLibrary own;
    if (!ReadMtl(in, path.string(), own, error)) {
        return false;
    }
    for (auto& [name, material] : own) {
        std::string& texture = material.diffuseTexture;
        if (!texture.empty()) {
            // Libraries written on Windows separate directories with backslashes.
            std::replace(texture.begin(), texture.end(), '\\', '/');
            texture = (path.parent_path() / texture).string();
        }
        library[name] = material;
    }
    return true;
}

bool ReadLibraries(const ObjScene& scene, const std::filesystem::path& objPath, MtlLibrary& library,
                   Diagnostic& error) {
    for (const NamedLine& name : scene.libraries) {
        Diagnostic reference{objPath.string(), name.line, {}};
        if (!ReadLibrary(objPath.parent_path() / name.name, reference, library, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

bool SaveVmm(C3DModel& model, const std::filesystem::path& vmmPath, Diagnostic& error) {
    std::filesystem::path full = std::filesystem::absolute(vmmPath);
    EngineMessages messages;
    if (model.SaveModel(platform::HostToWindowsPath(full.string()).c_str())) {
        return true;
    }
    std::error_code ignored;
    std::filesystem::remove(full, ignored);
    error = {vmmPath.string(), 0, "cannot be written: " + messages.Text()};
    return false;
}

bool BuildModel(const ObjScene& scene, const MtlLibrary& library, const std::string& unnamed,
                const MakeOptions& options, C3DModel& model, MakeSummary& summary,
                Diagnostic& error) {
    model.Reset();
    summary = MakeSummary{};
    EngineMessages messages;
    try {
        Build(scene, library, unnamed, options, model, summary);
        return true;
    } catch (const BuildFailure& failure) {
        model.Reset();
        std::string engine = messages.Text();
        error.line = failure.line;
        error.message = failure.message + (engine.empty() ? "" : " (" + engine + ")");
        return false;
    }
}

bool ConvertObj(const std::filesystem::path& objPath, const MakeOptions& options, C3DModel& model,
                MakeSummary& summary, Diagnostic& error) {
    std::ifstream in(objPath, std::ios::binary);
    if (!in) {
        error = {objPath.string(), 0, "cannot be opened"};
        return false;
    }
    ObjScene scene;
    MtlLibrary library;
    if (!ReadObj(in, objPath.string(), scene, error) ||
        !ReadLibraries(scene, objPath, library, error)) {
        return false;
    }
    error.file = objPath.string();
    if (!BuildModel(scene, library, objPath.stem().string(), options, model, summary, error)) {
        return false;
    }
    for (const Diagnostic& warning : scene.warnings) {
        summary.warnings.push_back(warning.Text());
    }
    return true;
}

bool MakeVmm(const std::filesystem::path& objPath, const std::filesystem::path& vmmPath,
             const MakeOptions& options, MakeSummary& summary, Diagnostic& error) {
    C3DModel model;
    return ConvertObj(objPath, options, model, summary, error) && SaveVmm(model, vmmPath, error);
}

} // namespace vmmtool
