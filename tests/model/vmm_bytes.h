#pragma once

// VMM file images built byte by byte from the chunk tables, independently of the engine's
// writer: the identifier, then chunks of an 8-byte tag (id, payload length) and payload.

#include "testkit/bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vmm_bytes {

using testkit::ByteBuilder;

// Position, normal, texture coordinates.
using Vertex = std::array<float, 8>;
using Vector = std::array<float, 3>;

struct PosKey {
    std::uint32_t keyframe;
    float time;
    Vector position;
    Vector inTangent = {0, 0, 0};
    Vector outTangent = {0, 0, 0};
    float easeFrom = 0;
    float easeTo = 0;
};

struct BoxKey {
    std::uint32_t keyframe;
    float time;
    Vector min = {0, 0, 0};
    Vector max = {0, 0, 0};
    Vector centre = {0, 0, 0};
    float radius = 0;
};

template <std::size_t N> ByteBuilder& Floats(ByteBuilder& b, const std::array<float, N>& values) {
    for (float value : values) {
        b.F32(value);
    }
    return b;
}

inline ByteBuilder& Identifier(ByteBuilder& b) {
    return b.U8('V').U8('M').U8('M').U8(0x1A);
}

inline ByteBuilder& Tag(ByteBuilder& b, std::uint32_t id, std::uint32_t length) {
    return b.U32(id).U32(length);
}

inline ByteBuilder& VersionChunk(ByteBuilder& b) {
    return Tag(b, 0x1004, 4).U32(0x201);
}

// Identifier and version chunk, as every saved file starts.
inline ByteBuilder FileStart() {
    ByteBuilder b;
    Identifier(b);
    VersionChunk(b);
    return b;
}

inline ByteBuilder& FrameChunk(ByteBuilder& b, const std::string& name,
                               const std::vector<Vertex>& vertices,
                               const std::vector<std::uint32_t>& indices, std::uint32_t material) {
    auto v = static_cast<std::uint32_t>(vertices.size());
    auto f = static_cast<std::uint32_t>(indices.size() / 3);
    Tag(b, 0x1010, 68 + 32 * v + 12 * f).Chars(name, 32).U32(v);
    for (const Vertex& vertex : vertices) {
        Floats(b, vertex);
    }
    b.U32(f);
    for (std::uint32_t index : indices) {
        b.U32(index);
    }
    return b.Fill(0, 24).U32(material);
}

// Diffuse and ambient colours (r, g, b, a), then the texture name and the slot.
inline ByteBuilder& MaterialChunk(ByteBuilder& b, const std::array<float, 4>& diffuse,
                                  const std::array<float, 4>& ambient, const std::string& texture,
                                  std::uint32_t slot, float power = 8.0f,
                                  std::uint32_t textureHandle = 0x1234) {
    Floats(Tag(b, 0x1020, 212).U32(80), diffuse);
    Floats(b, ambient);
    b.Fill(0, 32);                           // specular, emissive
    b.F32(power).U32(textureHandle).U32(16); // ramp size 16
    return b.Chars(texture, 128).U32(slot);
}

inline ByteBuilder& ParentChunk(ByteBuilder& b, std::uint32_t frame, std::uint32_t parent) {
    return Tag(b, 0x1040, 8).U32(frame).U32(parent);
}

inline ByteBuilder& KeyHeader(ByteBuilder& b, std::uint32_t id, std::uint32_t recordSize,
                              std::uint32_t frame, std::uint32_t count, std::uint32_t start,
                              std::uint32_t end) {
    return Tag(b, id, 16 + recordSize * count).U32(frame).U32(count).U32(start).U32(end);
}

inline ByteBuilder& PosKeysChunk(ByteBuilder& b, std::uint32_t frame, std::uint32_t start,
                                 std::uint32_t end, const std::vector<PosKey>& keys) {
    KeyHeader(b, 0x1050, 64, frame, static_cast<std::uint32_t>(keys.size()), start, end);
    for (const PosKey& key : keys) {
        b.U32(key.keyframe).F32(key.time);
        Floats(b, key.position);
        Floats(b, key.inTangent);
        Floats(b, key.outTangent);
        b.U32(0xC0FFEE).U32(2).U32(3).F32(key.easeFrom).F32(key.easeTo);
    }
    return b;
}

// Keys numbered from 0, each followed by its floats.
template <std::size_t N>
ByteBuilder& NumberedKeysChunk(ByteBuilder& b, std::uint32_t id, std::uint32_t frame,
                               const std::vector<std::array<float, N>>& keys) {
    KeyHeader(b, id, 4 + 4 * N, frame, static_cast<std::uint32_t>(keys.size()), 0, 1);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        Floats(b.U32(static_cast<std::uint32_t>(i)), keys[i]);
    }
    return b;
}

// Rotation keys: time and the quaternion w, x, y, z.
inline ByteBuilder& RotKeysChunk(ByteBuilder& b, std::uint32_t frame,
                                 const std::vector<std::array<float, 5>>& keys) {
    return NumberedKeysChunk(b, 0x1060, frame, keys);
}

// Scale keys: time and factors.
inline ByteBuilder& SclKeysChunk(ByteBuilder& b, std::uint32_t frame,
                                 const std::vector<std::array<float, 4>>& keys) {
    return NumberedKeysChunk(b, 0x1080, frame, keys);
}

inline ByteBuilder& BoxRecord(ByteBuilder& b, const BoxKey& key) {
    b.U32(key.keyframe).F32(key.time);
    Floats(b, key.min);
    Floats(b, key.max);
    Floats(b, key.centre);
    return b.F32(key.radius);
}

inline ByteBuilder& BoxKeysChunk(ByteBuilder& b, std::uint32_t frame, std::uint32_t start,
                                 std::uint32_t end, const std::vector<BoxKey>& keys) {
    KeyHeader(b, 0x1090, 48, frame, static_cast<std::uint32_t>(keys.size()), start, end);
    for (const BoxKey& key : keys) {
        BoxRecord(b, key);
    }
    return b;
}

// Animations given by their durations; the carried bytes are 0x40 + the animation's index.
// Unless asSaved, the stored inverse duration is a wrong value the loader must ignore.
inline ByteBuilder& AnimationChunk(ByteBuilder& b, std::uint32_t start, std::uint32_t final,
                                   std::uint32_t extra, const std::vector<float>& durations,
                                   bool asSaved = false) {
    auto n = static_cast<std::uint32_t>(durations.size());
    Tag(b, 0x1070, 16 + 48 * n).U32(n).U32(start).U32(final).U32(extra);
    for (std::uint32_t i = 0; i < n; ++i) {
        b.Fill(static_cast<std::uint8_t>(0x40 + i), 40).F32(durations[i]);
        b.F32(asSaved ? 1.0f / durations[i] : 99.0f);
    }
    return b;
}

inline ByteBuilder& TransformChunk(ByteBuilder& b, const std::array<float, 16>& matrix) {
    return Floats(Tag(b, 0x10A0, 64), matrix);
}

inline ByteBuilder& ModelBoxesChunk(ByteBuilder& b, const std::vector<BoxKey>& boxes) {
    Tag(b, 0x10B0, 4 + 48 * static_cast<std::uint32_t>(boxes.size()))
        .U32(static_cast<std::uint32_t>(boxes.size()));
    for (const BoxKey& box : boxes) {
        BoxRecord(b, box);
    }
    return b;
}

inline ByteBuilder& AttachmentListChunk(ByteBuilder& b, const std::vector<std::uint32_t>& frames) {
    Tag(b, 0x1030, 4 + 4 * static_cast<std::uint32_t>(frames.size()))
        .U32(static_cast<std::uint32_t>(frames.size()));
    for (std::uint32_t frame : frames) {
        b.U32(frame);
    }
    return b;
}

inline ByteBuilder& AttachmentChunk(ByteBuilder& b, std::uint32_t frame, const Vector& position,
                                    const Vector& normal, std::uint32_t carried) {
    Tag(b, 0x10C0, 32).U32(frame);
    Floats(b, position);
    Floats(b, normal);
    return b.U32(carried);
}

// One chunk on its own, from a chunk builder above and all of its arguments.
template <class Builder, class... Args> ByteBuilder Chunk(Builder build, const Args&... args) {
    ByteBuilder b;
    build(b, args...);
    return b;
}

inline std::array<float, 16> Identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

// A triangle in the z = 0 plane with corners (0,0,0), (a,0,0), (0,b,0).
inline std::vector<Vertex> Triangle(float a, float b) {
    return {Vertex{0, 0, 0, 0, 0, 1, 0, 0}, Vertex{a, 0, 0, 0, 0, 1, 1, 0},
            Vertex{0, b, 0, 0, 0, 1, 0, 1}};
}

} // namespace vmm_bytes
