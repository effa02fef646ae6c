#pragma once

// The level description: the text an author writes, read into what the level's files will
// hold. Every file it names is taken relative to the description's directory; the files the
// description pulls in whole (mission text, create blocks) are read while it is parsed, so
// their errors name the line that asked for them.

#include "obj_reader.h"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace lvltool {

using vmmtool::Diagnostic;

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

constexpr std::uint32_t kNone = 0xFFFFFFFF;

struct ModelEntry {
    std::size_t line = 0;
    std::filesystem::path file; // VMM, or OBJ to convert
    std::string typeName;
    std::filesystem::path module; // empty: none
    std::string prefix;
    std::uint32_t textureOverride = kNone;
    bool uniformScale = true;
    float scale = 1.0f;
    Vec3 axisScale{1.0f, 1.0f, 1.0f};
    Vec3 cameraUp{0.0f, 1.0f, 0.0f};
    Vec3 sphereOffset;
};

// Texture kinds as the texture record stores them.
constexpr std::uint32_t kOpaque = 0;
constexpr std::uint32_t kWhiteTransparent = 1;
constexpr std::uint32_t kBlackTransparent = 2;

struct TextureEntry {
    std::size_t line = 0;
    std::filesystem::path file;
    std::uint32_t mipMaps = 0;
    std::uint32_t stage = 0;
    std::uint32_t kind = kOpaque;
    bool prefer32Bit = false;
};

// A sound has one file, a music record one or two.
struct FileEntry {
    std::size_t line = 0;
    std::vector<std::filesystem::path> files;
};

struct TriggerEntry {
    std::size_t line = 0;
    std::uint32_t type = 0;
    std::uint32_t entityId = 0;
    std::uint32_t model = kNone;
    Vec3 position;
    Vec3 offset;
    bool repeat = false;
    bool useRadius = false;
    float radius = 0.0f;
    float delay = 0.0f;
    std::vector<std::uint8_t> createBlock;
    std::uint32_t quadrant = 0; // filled by the builder from the position
};

struct LevelDescription {
    std::filesystem::path source; // the description file, for messages
    float worldSize = 0.0f;
    bool wrap = false;
    float seed = 0.0f;
    bool hasText = false;
    std::string missionText;
    std::filesystem::path codeFile; // empty: no script code
    std::vector<ModelEntry> models;
    std::vector<TextureEntry> textures;
    std::vector<FileEntry> sounds;
    std::vector<FileEntry> music;
    std::vector<TriggerEntry> triggers;
};

// Reads a description; file names the text in messages and gives the directory its paths are
// relative to. False with error at the first refused line.
bool ReadLevelDescription(std::istream& in, const std::filesystem::path& file,
                          LevelDescription& level, Diagnostic& error);

} // namespace lvltool
