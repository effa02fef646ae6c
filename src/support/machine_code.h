#pragma once

#include "platform/export.h"
#include "platform/types.h"

// Compiled mission script code: an opaque block of bytes kept with the level and never
// interpreted here. In a file the block is stored as a 32-bit little-endian size followed by
// that many bytes.
class VELCORE_API CAbstractMachineCode {
public:
    CAbstractMachineCode() = default;
    ~CAbstractMachineCode();
    CAbstractMachineCode(const CAbstractMachineCode&) = delete;
    // Deep copy. A source with a size but no buffer (left so by a failed allocation) copies
    // as an empty container.
    CAbstractMachineCode& operator=(const CAbstractMachineCode& other);

    void ReleaseResources();

    // Reads a size-prefixed block at the file's current position. 1 on success, 0 on failure.
    int Load(HANDLE file);
    // Loads a whole file (at least one byte) as the block.
    int LoadRaw(const char* fileName);
    // Writes the size-prefixed block at the file's current position.
    int Save(HANDLE file) const;

    BYTE* GetAMXBuffer() const { return m_buffer; }
    DWORD GetAMXBufferSize() const { return m_size; }

private:
    int ReadWholeFile(HANDLE file, const char* fileName);

    BYTE* m_buffer = nullptr;
    DWORD m_size = 0;
};
