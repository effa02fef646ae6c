#pragma once

#include "platform/export.h"
#include "platform/types.h"

#include <string>

// The engine keeps Windows-style paths: a drive letter and a colon, backslash separators
// (forward slashes are accepted on input). Drive c: is the host root, so c:\games\a.vmm is
// /games/a.vmm. A path that starts with a separator and has no drive is rooted on c:; other
// relative paths resolve against the current directory. Other drives never map to the host.

// Resolves path to a full path: prefixes the current directory (or drive) where needed and
// removes "." and ".." components textually, without touching the disk. ".." at the root
// stays at the root; repeated separators collapse; a trailing separator is kept; letter case
// is kept. "c:name" is relative to the current directory, "d:name" to the root of d:.
// Inputs longer than 32767 characters fail with ENAMETOOLONG, empty ones with EINVAL.
// Returns the length written (without the terminator); when the buffer is too small, the
// size needed including the terminator and the buffer is left untouched; 0 on failure (last
// error set). filePart, when not null, receives a pointer to the file-name component inside
// buffer (null when the result ends in a separator or nothing was written).
VELCORE_API DWORD GetFullPathNameA(const char* path, DWORD bufferLength, char* buffer,
                                   char** filePart);

// The host's current directory as a Windows-style path (c:\...\, no trailing separator except
// for the root). Same return convention as GetFullPathNameA.
VELCORE_API DWORD GetCurrentDirectoryA(DWORD bufferLength, char* buffer);

namespace platform {

// Maps a Windows-style path to the host path to open. When the path does not exist as
// written, each component is matched against the directory entries without regard to letter
// case (ASCII): a component that exists as written wins, otherwise the matching entry that
// sorts first byte by byte; components that match nothing (a file about to be created) stay
// as written, and so does everything after them. Returns false, with the last error set,
// when the path cannot be mapped (another drive: ENODEV; longer than the host allows:
// ENAMETOOLONG).
VELCORE_API bool MapToHostPath(const char* path, std::string& hostPath);

// The Windows-style form (c:\...) of an absolute host path, for hosts and tools that start
// from host paths.
VELCORE_API std::string HostToWindowsPath(const std::string& hostPath);

} // namespace platform
