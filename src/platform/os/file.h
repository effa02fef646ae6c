#pragma once

#include "platform/call_faults.h"
#include "platform/export.h"
#include "platform/os/handle.h"
#include "platform/types.h"

// Files over host descriptors, addressed by Windows-style paths (platform/os/path.h). Reads and
// writes move as many bytes as the file allows: a short count means end of file or an error,
// and callers compare it with what they asked for. Sharing modes are accepted and not
// enforced: the host file system has no mandatory locks.

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

// INVALID_HANDLE_VALUE on failure, with the last error set.
VELCORE_API HANDLE CreateFileA(const char* path, DWORD access, DWORD shareMode,
                               DWORD creationDisposition);

// Reads up to count bytes; *bytesRead holds how many arrived (0 at end of file).
VELCORE_API BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead);
VELCORE_API BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten);

// Moves the file pointer and returns the new position (distance 0 with FILE_CURRENT reads
// the current one); INVALID_SET_FILE_POINTER on failure.
VELCORE_API DWORD SetFilePointer(HANDLE file, LONG distance, DWORD moveMethod);

// INVALID_FILE_SIZE on failure or for files of 4 GiB and more. A file opened for reading
// alone keeps the size it had when it was opened.
VELCORE_API DWORD GetFileSize(HANDLE file);

VELCORE_API BOOL DeleteFileA(const char* path);

// Maps the whole file read-only into memory, its pages loaded at once, and stores its length
// in *size. Null, with the last error set, for a file that cannot be mapped (an empty one, or
// one that is not a regular file). The view outlives the handle; UnmapFile releases it.
VELCORE_API const void* MapFile(HANDLE file, DWORD* size);
VELCORE_API void UnmapFile(const void* view, DWORD size);

// Writes a file so that it replaces the one at path whole or not at all: the bytes go to a
// new file beside it (same directory, so the final rename never crosses file systems), and
// only CommitReplacementFile puts it in the old one's place, after the bytes reached the
// disk. Closing the handle without committing throws the new file away and leaves the old
// one as it was. INVALID_HANDLE_VALUE on failure, with the last error set.
VELCORE_API HANDLE CreateReplacementFileA(const char* path);

// Flushes the new file to the disk, renames it over the old one and flushes the directory,
// so that after a crash the path names either the complete old file or the complete new
// one. Closes a replacement file's handle in every case; FALSE (last error set) when the old
// file stays.
VELCORE_API BOOL CommitReplacementFile(HANDLE file);

namespace platform {

// Failures injected into file calls by tests. The calls are named "WriteFile", "FlushFile"
// (the flush of a replacement) and "ReplaceFile" (its rename). A code of kFaultShortWrite
// makes a write move only half its bytes and report success; any other code fails the call
// with that code as the last error.
VELCORE_API CallFaults& FileFaults();

constexpr HRESULT kFaultShortWrite = -1;

} // namespace platform
