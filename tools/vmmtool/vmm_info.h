#pragma once

// "vmmtool info": what a VMM file holds, chunk by chunk and as the engine loads it.

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

class C3DModel;

namespace vmmtool {

struct VmmChunkEntry {
    std::uint64_t offset = 0; // of the tag
    std::uint32_t id = 0;
    std::uint32_t length = 0; // payload length the tag declares
    std::uint64_t read = 0;   // payload bytes the read loop takes
};

struct VmmChunkWalk {
    bool isVmm = false;
    std::vector<VmmChunkEntry> chunks;
    // Empty when the walk ended cleanly at the end of the file after a chunk; otherwise why
    // it stopped.
    std::string problem;
};

// Walks a file image the way the engine's read loop does: version and unknown chunks are
// skipped by their declared length (at most to the end of the file); known chunks take what
// their own counts say, which differs from the declared length when the tag is wrong. The
// walk stops at a tag cut short or a chunk that runs past the end of the file.
VmmChunkWalk WalkVmmChunks(const std::vector<std::uint8_t>& bytes);

// "FRAME", "MATERIAL", ...; null for an unknown id.
const char* VmmChunkName(std::uint32_t id);

void PrintChunks(const VmmChunkWalk& walk, std::ostream& out);
// Frames, materials, animations, keyframe range, transform, attachments and boxes.
void PrintModel(C3DModel& model, std::ostream& out);

// The whole report: chunks, then the model as C3DModel::LoadModel reads it. False with error
// when the file cannot be read or the engine refuses it (the chunks are printed first).
bool DescribeVmm(const std::filesystem::path& path, std::ostream& out, std::string& error);

} // namespace vmmtool
