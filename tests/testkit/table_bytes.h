#pragma once

// Element-table files built byte by byte from the record layouts, independently of the
// engine's record structs.

#include "testkit/bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace table_bytes {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kModelId = 0x1A464C4D;
constexpr std::uint32_t kMusicId = 0x1A464C54;
constexpr std::uint32_t kSoundId = 0x1A464C53;
constexpr std::uint32_t kTextureId = 0x1A464C42;

inline Bytes Header(std::uint32_t id, std::uint32_t count) {
    return testkit::ByteBuilder().U32(id).U32(0xA5A5A5A5).U32(count).U32(0x5A5A5A5A).Bytes();
}

inline Bytes Table(std::uint32_t id, std::uint32_t count, const std::vector<Bytes>& records) {
    testkit::ByteBuilder table;
    table.Raw(Header(id, count));
    for (const Bytes& record : records) {
        table.Raw(record);
    }
    return table.Bytes();
}

struct ModelSample {
    std::string typeName = "fighter";
    std::string modelFile = "models\\fighter.vmm";
    std::string prefix = "Fighter";
    std::string modulePath = "ai\\fighter.so";
    std::string secondPath = "extra\\fighter.dat";
    std::uint32_t textureOverride = 0xFFFFFFFF;
    std::uint32_t uniformScale = 1;
    float scale = 2.5f;
    float axisScale[3] = {1.0f, 2.0f, 3.0f};
    float cameraUp[3] = {0.0f, 1.0f, 0.0f};
    float sphereOffset[3] = {0.5f, -0.25f, 4.0f};
    std::string furtherPath = "more\\fighter.txt";
    // Fills every byte the engine does not read, so that keeping them can be checked.
    std::uint8_t filler = 0xC3;
};

inline testkit::ByteBuilder& Vector(testkit::ByteBuilder& bytes, const float (&v)[3]) {
    return bytes.F32(v[0]).F32(v[1]).F32(v[2]);
}

// 2436 bytes: the fields at 0, 32, 160, 192, 328, 456, the sixteen 56-byte items at 460
// (vectors at item offsets 4 and 16), the scale at 1360-1379, the camera up vector at 1384,
// the sphere offset at 1408 and the further path at 1788.
inline Bytes ModelRecord(const ModelSample& m) {
    testkit::ByteBuilder bytes;
    bytes.Chars(m.typeName, 32)
        .Chars(m.modelFile, 128)
        .Chars(m.prefix, 32)
        .Chars(m.modulePath, 136)
        .Chars(m.secondPath, 128)
        .U32(m.textureOverride);
    for (int item = 0; item < 16; ++item) {
        float first[3] = {float(item), 0.5f, -1.0f};
        float second[3] = {-float(item), 8.0f, 0.125f};
        bytes.U32(0x100u + item);
        Vector(bytes, first);
        Vector(bytes, second);
        bytes.Fill(m.filler, 28);
    }
    bytes.Fill(m.filler, 4).U32(m.uniformScale).F32(m.scale);
    Vector(bytes, m.axisScale).Fill(m.filler, 4);
    Vector(bytes, m.cameraUp).Fill(m.filler, 12);
    Vector(bytes, m.sphereOffset).Fill(m.filler, 368);
    bytes.Chars(m.furtherPath, 648);
    return bytes.Bytes();
}

// 188 bytes: path at 32 (140 bytes), mip-map count, stage, kind and the 32-bit request.
inline Bytes TextureRecord(const std::string& path, std::uint32_t mipMaps, std::uint32_t stage,
                           std::uint32_t kind, std::uint32_t prefer32) {
    return testkit::ByteBuilder()
        .Fill(0x7E, 32)
        .Chars(path, 140)
        .U32(mipMaps)
        .U32(stage)
        .U32(kind)
        .U32(prefer32)
        .Bytes();
}

// 168 bytes: path at 32.
inline Bytes SoundRecord(const std::string& path) {
    return testkit::ByteBuilder().Fill(0x6D, 32).Chars(path, 136).Bytes();
}

// 292 bytes: paths at 32 and 160.
inline Bytes MusicRecord(const std::string& first, const std::string& second) {
    return testkit::ByteBuilder().Fill(0x4B, 32).Chars(first, 128).Chars(second, 132).Bytes();
}

constexpr std::uint32_t kLevelInfoId = 0x1A464C56;

// A level info file: the 932-byte record (magic, six 128-byte paths, seed, world size, wrap,
// skip, code flag and text length at 780-803), the skipped bytes, the code block (size and
// bytes) and the mission text. The length fields can be given wrong on purpose.
struct LevelSample {
    std::uint32_t magic = kLevelInfoId;
    std::vector<std::string> paths = {"intro.txt", "sounds.tbl",   "models.tbl",
                                      "music.tbl", "textures.tbl", "events.evt"};
    float seed = 3.5f;
    float worldSize = 2048.0f;
    std::uint32_t wrap = 1;
    Bytes skipped;
    bool hasCode = false;
    Bytes code;
    std::string text;
    std::int64_t skipField = -1;       // -1: the size of skipped
    std::int64_t textLengthField = -1; // -1: the length of text
};

inline Bytes LevelInfoFile(const LevelSample& level) {
    testkit::ByteBuilder bytes;
    bytes.U32(level.magic).U32(0xDEADBEEF);
    for (const std::string& path : level.paths) {
        bytes.Chars(path, 128);
    }
    bytes.U32(0xDEADBEEF).F32(level.seed).F32(level.worldSize).U32(level.wrap);
    bytes.U32(level.skipField >= 0 ? static_cast<std::uint32_t>(level.skipField)
                                   : static_cast<std::uint32_t>(level.skipped.size()));
    bytes.U32(level.hasCode ? 1 : 0);
    bytes.U32(level.textLengthField >= 0 ? static_cast<std::uint32_t>(level.textLengthField)
                                         : static_cast<std::uint32_t>(level.text.size()));
    bytes.Fill(0xEE, 128).Raw(level.skipped);
    if (level.hasCode) {
        bytes.U32(static_cast<std::uint32_t>(level.code.size())).Raw(level.code);
    }
    return bytes.Chars(level.text, level.text.size()).Bytes();
}

using testkit::Lower;

} // namespace table_bytes
