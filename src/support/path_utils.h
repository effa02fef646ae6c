#pragma once

#include "platform/export.h"

// Conversions between paths relative to a data file's directory and full paths. All work in
// place on caller-owned buffers of Windows-style paths (drive, backslashes) and produce lower
// case.
//
// Buffer contract: every buffer these functions write holds kPathBufferSize characters,
// terminator included. Results that would not fit are refused with the failure code; nothing
// is ever written past the end of a buffer of that size.
constexpr int kPathBufferSize = 256;

// MakeFullPath resolves to full paths shorter than this many characters.
constexpr int kFullPathLimit = 128;

// MakeRelativePath's code for a relative path that would not fit in kPathBufferSize.
constexpr int kRelativePathTooLong = -4;

// Writes the lower-cased directory of file's full path, ending in a backslash, into base.
// 0 on success; -1 when file cannot be resolved or its full path would not fit in
// kPathBufferSize (base unchanged).
VELCORE_C_API int MakeBaseDirectory(char* base, const char* file);

// Makes path, relative to the directory base, a full lower-case path. An empty path, or one
// longer than two characters with a drive ("x:..."), is left exactly as it is. Returns 0 on
// success; -2 when base and path together would not fit in kPathBufferSize or the full path
// would not fit in kFullPathLimit: path is then unchanged and the concatenation followed by
// "\r\n" goes to the debugger output.
VELCORE_C_API int MakeFullPath(const char* base, char* path);

// Rewrites the full path as a path relative to the directory base, which is expected in
// lower case as MakeBaseDirectory produces it (the comparison is case-sensitive). path is
// lower-cased first and stays lower-cased on every failure. Returns 0 on success; -1 when
// the drives (first two characters) differ; -2 when path has no backslash; -3 when base has
// none; kRelativePathTooLong when the relative path would not fit in kPathBufferSize.
VELCORE_C_API int MakeRelativePath(const char* base, char* path);
