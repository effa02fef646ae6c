#pragma once

#include "platform/export.h"
#include "platform/types.h"

#include <cstdint>
#include <type_traits>

// Bounded little-endian access to an open file handle. Every read and write moves exactly
// the requested count or fails; the first failure stays set, so a sequence of reads can be
// checked once at its end. The reader knows how many bytes the file still holds, so counts
// read from a file can be checked before anything is allocated for them.
class VELCORE_API CFileReader {
public:
    // Starts at the handle's current position.
    explicit CFileReader(HANDLE file);
    // Reads size bytes that are already in memory (a whole file mapped at once), with the
    // same bounds and failures as reading them from the file.
    CFileReader(const void* data, std::uint64_t size);

    bool Read(void* buffer, DWORD count);
    bool ReadU32(DWORD& value);
    bool ReadI32(LONG& value);
    bool ReadF32(float& value);
    // Plain records (only 32-bit numbers and character arrays) are read raw.
    template <class Record> bool ReadRecord(Record& record) {
        static_assert(std::is_trivially_copyable_v<Record>);
        return Read(&record, sizeof(Record));
    }
    bool Skip(DWORD count);

    // Whether count items of itemSize bytes can still come from the file.
    bool CanHold(std::uint64_t count, std::uint64_t itemSize) const;
    // The same check, failing the reader (end-of-file error) when they cannot.
    bool Require(std::uint64_t count, std::uint64_t itemSize);
    std::uint64_t Remaining() const { return m_remaining; }
    bool Failed() const { return m_failed; }

private:
    bool Fail(DWORD error);

    HANDLE m_file;
    // Null when reading from the file.
    const BYTE* m_memory = nullptr;
    std::uint64_t m_remaining = 0;
    bool m_failed = false;
};

class VELCORE_API CFileWriter {
public:
    explicit CFileWriter(HANDLE file) : m_file(file) {}

    bool Write(const void* buffer, DWORD count);
    bool WriteU32(DWORD value);
    bool WriteI32(LONG value);
    bool WriteF32(float value);
    template <class Record> bool WriteRecord(const Record& record) {
        static_assert(std::is_trivially_copyable_v<Record>);
        return Write(&record, sizeof(Record));
    }
    // count zero bytes.
    bool WriteZeros(DWORD count);

    bool Failed() const { return m_failed; }

private:
    HANDLE m_file;
    bool m_failed = false;
};
