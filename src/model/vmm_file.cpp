#include "model/vmm_file.h"

#include "engine/debug_log.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"

namespace {

bool IsKnownChunk(DWORD id) {
    return id >= VMM_CHUNK_FRAME && id <= VMM_CHUNK_ATTACHMENT && id % 0x10 == 0;
}

bool WriteHeader(HANDLE file) {
    CFileWriter writer(file);
    return writer.WriteU32(kVmmFileId) && writer.WriteU32(VMM_CHUNK_VERSION) &&
           writer.WriteU32(4) && writer.WriteU32(kVmmVersion);
}

// Skips an unknown or version chunk. A payload that runs past the end of the file leaves the
// reader at the end, which ends the loop as the end of the file does.
void SkipPayload(CFileReader& reader, DWORD length) {
    DWORD available = static_cast<DWORD>(reader.Remaining());
    reader.Skip(length < available ? length : available);
}

// One chunk from its tag on; false when it fails.
bool ReadChunk(CFileReader& reader, IVmmChunkHandler& handler) {
    VMM_CHUNK_TAG tag;
    if (!reader.ReadRecord(tag)) {
        DebugLog("Failed to read CHUNK tag Error=%d\n", static_cast<int>(GetLastError()));
        return false;
    }
    if (tag.dwId == VMM_CHUNK_VERSION) {
        SkipPayload(reader, tag.dwLength);
        return true;
    }
    if (!IsKnownChunk(tag.dwId)) {
        DebugLog("Skipping unknown VMM Chunk id=%04X\n", static_cast<unsigned>(tag.dwId));
        SkipPayload(reader, tag.dwLength);
        return true;
    }
    return handler.OnChunk(reader, tag);
}

// Chunks until the end; 1 when there was at least one and all succeeded.
int ReadChunks(CFileReader& reader, IVmmChunkHandler& handler) {
    bool success = false;
    while (reader.Remaining() != 0) {
        if (!ReadChunk(reader, handler)) {
            return 0;
        }
        success = true;
    }
    return success ? 1 : 0;
}

} // namespace

HANDLE CreateVMM(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    if (file == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    if (!WriteHeader(file)) {
        CloseHandle(file);
        DeleteFileA(path);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

HANDLE OpenVMM(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return INVALID_HANDLE_VALUE;
    }
    CFileReader reader(file);
    DWORD id = 0;
    if (!reader.ReadU32(id) || id != kVmmFileId) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

int RunVmmReadLoop(HANDLE file, IVmmChunkHandler& handler) {
    // The file is mapped whole and its chunks parsed from memory: no read per field or chunk,
    // and no copy of the file besides the one into the model.
    DWORD size = 0;
    const void* view = MapFile(file, &size);
    if (view == nullptr) {
        DebugLog("Failed to read VMM file Error=%d\n", static_cast<int>(GetLastError()));
        return 0;
    }
    // A position past the end (or unknown) leaves nothing to read.
    DWORD position = SetFilePointer(file, 0, FILE_CURRENT);
    DWORD start = position < size ? position : size;
    CFileReader reader(static_cast<const BYTE*>(view) + start, size - start);
    int result = ReadChunks(reader, handler);
    UnmapFile(view, size);
    return result;
}
