#pragma once

// The VMM model file container: a 32-bit identifier followed by a flat sequence of chunks,
// each introduced by an 8-byte tag (id, payload length). docs/formats/vmm.md describes every
// chunk and the order the saver writes them in.

#include "platform/export.h"
#include "platform/types.h"

class CFileReader;

constexpr DWORD kVmmFileId = 0x1A4D4D56; // "VMM" and 0x1A
constexpr DWORD kVmmVersion = 0x00000201;

enum VMM_CHUNK_ID : DWORD {
    VMM_CHUNK_VERSION = 0x1004,
    VMM_CHUNK_FRAME = 0x1010,
    VMM_CHUNK_MATERIAL = 0x1020,
    VMM_CHUNK_ATTACHMENT_LIST = 0x1030,
    VMM_CHUNK_KEYFRAME = 0x1040,
    VMM_CHUNK_POS_KEYFRAME = 0x1050,
    VMM_CHUNK_ROT_KEYFRAME = 0x1060,
    VMM_CHUNK_ANIMATION = 0x1070,
    VMM_CHUNK_SCL_KEYFRAME = 0x1080,
    VMM_CHUNK_BOX_KEYFRAME = 0x1090,
    VMM_CHUNK_MAT_TRANSFORM = 0x10A0,
    VMM_CHUNK_BXX_KEYFRAME = 0x10B0,
    VMM_CHUNK_ATTACHMENT = 0x10C0,
};

struct VMM_CHUNK_TAG {
    DWORD dwId;
    DWORD dwLength; // payload bytes after the tag
};
static_assert(sizeof(VMM_CHUNK_TAG) == 8);

// Creates (or replaces) the file and writes the identifier and the version chunk. Returns a
// handle open for reading and writing, or INVALID_HANDLE_VALUE; a file that could not be
// written completely is deleted again. Closing is the caller's job.
VELCORE_C_API HANDLE CreateVMM(const char* path);

// Opens an existing file for reading and checks its identifier. Returns a handle positioned
// just after the identifier, or INVALID_HANDLE_VALUE (nothing left open).
VELCORE_C_API HANDLE OpenVMM(const char* path);

// Receives the known chunks of a read loop. The handler reads the payload from the reader,
// which stands just after the tag, and returns whether every step succeeded. The payload
// length serves only to skip chunks: a handler reads what the fields announce, checking every
// count against what the file still holds (CFileReader::Require) before allocating for it, and
// the next chunk starts where it stopped.
class IVmmChunkHandler {
public:
    virtual bool OnChunk(CFileReader& reader, const VMM_CHUNK_TAG& tag) = 0;

protected:
    ~IVmmChunkHandler() = default;
};

// Maps the file whole into memory, then reads chunks from its current position until its end
// or the first chunk that fails. A file that cannot be mapped (only regular files can) fails
// with "Failed to read VMM file Error=%d". Unknown ids are skipped with "Skipping unknown VMM Chunk
// id=%04X", the version chunk silently; both count as success, and a skip that runs past the end of
// the file ends the loop there. A tag cut short fails with "Failed to read CHUNK tag Error=%d".
// Returns 1 when the loop ended at the end of the file after a successful chunk, else 0 (so a
// file with no chunk at all fails).
int RunVmmReadLoop(HANDLE file, IVmmChunkHandler& handler);
