#include "vmm_info.h"

#include "engine_messages.h"

#include "model/material.h"
#include "model/model.h"
#include "model/vmm_file.h"
#include "platform/os/path.h"

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>

namespace vmmtool {
namespace {

// Payload layout of a known chunk as its reader takes it: a fixed part, plus count items
// when the chunk holds a count (at countOffset).
struct ChunkShape {
    std::uint32_t id;
    const char* name;
    std::uint32_t fixed;
    std::uint32_t countOffset;
    std::uint32_t itemSize; // 0: no count
};

constexpr ChunkShape kShapes[] = {
    {VMM_CHUNK_VERSION, "VERSION", 4, 0, 0},
    {VMM_CHUNK_FRAME, "FRAME", kFrameChunkFixedLength, 0, 0}, // two counts: FrameReadLength
    {VMM_CHUNK_MATERIAL, "MATERIAL", kMaterialChunkLength, 0, 0},
    {VMM_CHUNK_ATTACHMENT_LIST, "ATTACHMENT_LIST", 4, 0, sizeof(DWORD)},
    {VMM_CHUNK_KEYFRAME, "KEYFRAME", 8, 0, 0},
    {VMM_CHUNK_POS_KEYFRAME, "POS_KEYFRAME", 16, 4, sizeof(DPOS_KEYFRAME)},
    {VMM_CHUNK_ROT_KEYFRAME, "ROT_KEYFRAME", 16, 4, sizeof(DROT_KEYFRAME)},
    {VMM_CHUNK_ANIMATION, "ANIMATION", 16, 0, sizeof(DANIMATION)},
    {VMM_CHUNK_SCL_KEYFRAME, "SCL_KEYFRAME", 16, 4, sizeof(DSCL_KEYFRAME)},
    {VMM_CHUNK_BOX_KEYFRAME, "BOX_KEYFRAME", 16, 4, sizeof(DBOX_KEYFRAME)},
    {VMM_CHUNK_MAT_TRANSFORM, "MAT_TRANSFORM", sizeof(D3DMATRIX), 0, 0},
    {VMM_CHUNK_BXX_KEYFRAME, "BXX_KEYFRAME", 4, 0, sizeof(DBOX_KEYFRAME)},
    {VMM_CHUNK_ATTACHMENT, "ATTACHMENT", 4 + sizeof(ATTACHMENT_POINT), 0, 0},
};

const ChunkShape* ShapeOf(std::uint32_t id) {
    for (const ChunkShape& shape : kShapes) {
        if (shape.id == id) {
            return &shape;
        }
    }
    return nullptr;
}

std::optional<std::uint32_t> U32At(const std::vector<std::uint8_t>& bytes, std::uint64_t at) {
    if (at > bytes.size() || bytes.size() - at < 4) {
        return std::nullopt;
    }
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 |
           std::uint32_t{bytes[at + 2]} << 16 | std::uint32_t{bytes[at + 3]} << 24;
}

// Name, vertex count, vertices, face count, faces, corners and material.
std::optional<std::uint64_t> FrameReadLength(const std::vector<std::uint8_t>& bytes,
                                             std::uint64_t payload) {
    constexpr std::uint64_t kVertexCountAt = kFrameNameSize;
    std::optional<std::uint32_t> vertices = U32At(bytes, payload + kVertexCountAt);
    if (!vertices) {
        return std::nullopt;
    }
    std::uint64_t vertexBytes = std::uint64_t{*vertices} * sizeof(D3DVERTEX);
    std::optional<std::uint32_t> faces = U32At(bytes, payload + kVertexCountAt + 4 + vertexBytes);
    if (!faces) {
        return std::nullopt;
    }
    return kFrameChunkFixedLength + vertexBytes + std::uint64_t{*faces} * 3 * sizeof(DWORD);
}

// Payload bytes the read loop takes for the chunk whose payload starts at payload; nothing
// when its counts lie beyond the end of the file.
std::optional<std::uint64_t> ReadLength(const std::vector<std::uint8_t>& bytes,
                                        std::uint64_t payload, const VmmChunkEntry& chunk) {
    const ChunkShape* shape = ShapeOf(chunk.id);
    std::uint64_t remaining = bytes.size() - payload;
    if (shape == nullptr || chunk.id == VMM_CHUNK_VERSION) {
        return std::min<std::uint64_t>(chunk.length, remaining);
    }
    if (chunk.id == VMM_CHUNK_FRAME) {
        return FrameReadLength(bytes, payload);
    }
    if (shape->itemSize == 0) {
        return shape->fixed;
    }
    std::optional<std::uint32_t> count = U32At(bytes, payload + shape->countOffset);
    if (!count) {
        return std::nullopt;
    }
    return shape->fixed + std::uint64_t{*count} * shape->itemSize;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    return text;
}

std::string Vector(const D3DVECTOR& v) {
    return Format("(%.4g, %.4g, %.4g)", v.x, v.y, v.z);
}

std::string IndexOrNone(DWORD index) {
    return index == kNoIndex ? "none" : std::to_string(index);
}

std::string Box(const DBOX_KEYFRAME& box) {
    return Format("keyframe %u t=%.3f: min %s max %s centre %s radius %.4g", box.dwKeyframe,
                  box.fTime, Vector(box.vMin).c_str(), Vector(box.vMax).c_str(),
                  Vector(box.vCentre).c_str(), box.fRadius);
}

void PrintAnimations(C3DModel& model, std::ostream& out) {
    DWORD start = 0;
    DWORD final = 0;
    DWORD extra = 0;
    model.GetKeyframes(start, final, extra);
    out << Format("keyframes %u..%u (extra %u)\n", start, final, extra);
    out << "animations: " << model.GetAnimationCount() << "\n";
    for (DWORD i = 0; i < model.GetAnimationCount(); ++i) {
        out << Format("  %u: duration %.4g\n", i, model.GetAnimations()[i].fDuration);
    }
}

void PrintTransform(C3DModel& model, std::ostream& out) {
    const D3DMATRIX& m = model.GetTransformMatrix();
    bool identity = true;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            identity = identity && m(r, c) == (r == c ? 1.0f : 0.0f);
        }
    }
    out << "transform:" << (identity ? " identity" : "") << "\n";
    for (int r = 0; r < 4 && !identity; ++r) {
        out << Format("  %.4g %.4g %.4g %.4g\n", m(r, 0), m(r, 1), m(r, 2), m(r, 3));
    }
}

void PrintFrames(C3DModel& model, std::ostream& out) {
    out << "frames: " << model.GetFrameCount() << "\n";
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        C3DModelFrame& f = *model.GetFrame(i);
        out << Format("  %u \"%s\"%s: %u vertices, %u faces, parent %s, material %s, keys: "
                      "position %u, rotation %u, scale %u, box %u\n",
                      i, f.GetName(),
                      f.IsAttachment() ? " (attachment)"
                      : f.IsDummy()    ? " (dummy)"
                                       : "",
                      f.GetVertexCount(), f.GetFaceCount(),
                      IndexOrNone(f.GetParentKeyframe()).c_str(),
                      IndexOrNone(f.GetMaterialIndex()).c_str(), f.GetPositionKeyframes(),
                      f.GetRotationKeyframes(), f.GetScaleKeyframes(), f.GetBBoxKeyframes());
    }
}

void PrintMaterials(C3DModel& model, std::ostream& out) {
    int count = 0;
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        count += model.GetMaterial(slot) != nullptr ? 1 : 0;
    }
    out << "materials: " << count << "\n";
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        const CMaterial* m = model.GetMaterial(slot);
        if (m == nullptr) {
            continue;
        }
        const char* texture = m->GetTextureName();
        out << Format("  slot %u: diffuse %s alpha %.4g, ambient %s, specular %s, emissive %s, "
                      "power %.4g\n",
                      slot, Vector(m->GetDiffuse()).c_str(), m->GetAlpha(),
                      Vector(m->GetAmbient()).c_str(), Vector(m->GetSpecular()).c_str(),
                      Vector(m->GetEmissive()).c_str(), m->GetPower());
        out << "    texture " << (texture != nullptr ? texture : "none") << "\n";
    }
}

void PrintAttachments(C3DModel& model, std::ostream& out) {
    out << "attachments: " << model.GetAttachmentCount() << "\n";
    for (DWORD i = 0; i < model.GetAttachmentCount(); ++i) {
        const ATTACHMENT_POINT* point = model.GetAttachment(i);
        if (point != nullptr) {
            out << Format("  %u: position %s normal %s\n", i, Vector(point->vPosition).c_str(),
                          Vector(point->vNormal).c_str());
        }
    }
}

void PrintBoxes(C3DModel& model, std::ostream& out) {
    out << "model boxes: " << model.GetBoxCount() << "\n";
    for (DWORD i = 0; i < model.GetBoxCount(); ++i) {
        out << "  " << Box(model.GetBoxes()[i]) << "\n";
    }
    out << "frame boxes:\n";
    for (DWORD i = 0; i < model.GetFrameCount(); ++i) {
        C3DModelFrame& frame = *model.GetFrame(i);
        out << Format("  frame %u \"%s\": %u\n", i, frame.GetName(), frame.GetBBoxKeyframes());
        for (DWORD k = 0; k < frame.GetBBoxKeyframes(); ++k) {
            out << "    " << Box(frame.GetBBoxKeys()[k]) << "\n";
        }
    }
}

} // namespace

const char* VmmChunkName(std::uint32_t id) {
    const ChunkShape* shape = ShapeOf(id);
    return shape != nullptr ? shape->name : nullptr;
}

VmmChunkWalk WalkVmmChunks(const std::vector<std::uint8_t>& bytes) {
    VmmChunkWalk walk;
    walk.isVmm = U32At(bytes, 0) == kVmmFileId;
    if (!walk.isVmm) {
        walk.problem = "not a VMM file: it does not start with the bytes 56 4D 4D 1A";
        return walk;
    }
    constexpr std::uint64_t kTagLength = sizeof(VMM_CHUNK_TAG);
    for (std::uint64_t at = 4; at < bytes.size();) {
        if (bytes.size() - at < kTagLength) {
            walk.problem =
                Format("tag cut short at offset %llu", static_cast<unsigned long long>(at));
            return walk;
        }
        VmmChunkEntry chunk{at, *U32At(bytes, at), *U32At(bytes, at + 4), 0};
        std::uint64_t payload = at + kTagLength;
        std::optional<std::uint64_t> read = ReadLength(bytes, payload, chunk);
        bool fits = read && *read <= bytes.size() - payload;
        chunk.read = fits ? *read : bytes.size() - payload;
        walk.chunks.push_back(chunk);
        if (!fits) {
            walk.problem = Format("the chunk at offset %llu runs past the end of the file",
                                  static_cast<unsigned long long>(at));
            return walk;
        }
        at = payload + chunk.read;
    }
    if (walk.chunks.empty()) {
        walk.problem = "no chunk after the identifier";
    }
    return walk;
}

void PrintChunks(const VmmChunkWalk& walk, std::ostream& out) {
    out << "chunks: " << walk.chunks.size() << "\n";
    out << "  offset    id      name              length\n";
    for (const VmmChunkEntry& chunk : walk.chunks) {
        const char* name = VmmChunkName(chunk.id);
        out << Format("  %-8llu  0x%04X  %-16s  %u", static_cast<unsigned long long>(chunk.offset),
                      chunk.id, name != nullptr ? name : "(unknown)", chunk.length);
        if (chunk.read != chunk.length) {
            out << Format(" (%llu read)", static_cast<unsigned long long>(chunk.read));
        }
        out << "\n";
    }
    if (!walk.problem.empty()) {
        out << "  stopped: " << walk.problem << "\n";
    }
}

void PrintModel(C3DModel& model, std::ostream& out) {
    PrintAnimations(model, out);
    PrintTransform(model, out);
    PrintFrames(model, out);
    PrintMaterials(model, out);
    PrintAttachments(model, out);
    PrintBoxes(model, out);
}

bool DescribeVmm(const std::filesystem::path& path, std::ostream& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path.string() + ": cannot be opened";
        return false;
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    out << path.string() << ": " << bytes.size() << " bytes\n";
    VmmChunkWalk walk = WalkVmmChunks(bytes);
    if (!walk.isVmm) {
        error = path.string() + ": " + walk.problem;
        return false;
    }
    PrintChunks(walk, out);
    C3DModel model;
    EngineMessages messages;
    std::string enginePath = platform::HostToWindowsPath(std::filesystem::absolute(path).string());
    if (!model.LoadModel(enginePath.c_str())) {
        error = path.string() + ": the engine does not load it: " + messages.Text();
        return false;
    }
    PrintModel(model, out);
    return true;
}

} // namespace vmmtool
