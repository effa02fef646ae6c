#include "support/binary_file.h"

#include "platform/os/file.h"
#include "platform/os/last_error.h"

#include <cerrno>
#include <cstring>

namespace {

// The last errors for a count that runs past the end of the file and for a short write.
constexpr DWORD kErrorEndOfFile = ENODATA;
constexpr DWORD kErrorShortWrite = ENOSPC;

constexpr BYTE kNoBytes = 0;

} // namespace

CFileReader::CFileReader(HANDLE file) : m_file(file) {
    DWORD size = GetFileSize(file);
    DWORD position = SetFilePointer(file, 0, FILE_CURRENT);
    if (size == INVALID_FILE_SIZE || position == INVALID_SET_FILE_POINTER || position > size) {
        m_failed = true;
        return;
    }
    m_remaining = size - position;
}

// An empty block may come as a null pointer; the reader still needs one to know its source.
CFileReader::CFileReader(const void* data, std::uint64_t size)
    : m_file(INVALID_HANDLE_VALUE),
      m_memory(data != nullptr ? static_cast<const BYTE*>(data) : &kNoBytes), m_remaining(size) {}

bool CFileReader::Fail(DWORD error) {
    if (error != 0) {
        SetLastError(error);
    }
    m_failed = true;
    return false;
}

bool CFileReader::Read(void* buffer, DWORD count) {
    if (m_failed) {
        return false;
    }
    if (count > m_remaining) {
        return Fail(kErrorEndOfFile);
    }
    if (m_memory != nullptr) {
        // A zero count may come with a null buffer.
        if (count != 0) {
            std::memcpy(buffer, m_memory, count);
        }
        m_memory += count;
        m_remaining -= count;
        return true;
    }
    DWORD done = 0;
    if (!ReadFile(m_file, buffer, count, &done)) {
        return Fail(0);
    }
    if (done != count) {
        return Fail(kErrorEndOfFile);
    }
    m_remaining -= count;
    return true;
}

bool CFileReader::ReadU32(DWORD& value) {
    unsigned char bytes[4];
    if (!Read(bytes, 4)) {
        return false;
    }
    value = DWORD{bytes[0]} | DWORD{bytes[1]} << 8 | DWORD{bytes[2]} << 16 | DWORD{bytes[3]} << 24;
    return true;
}

bool CFileReader::ReadI32(LONG& value) {
    DWORD bits = 0;
    if (!ReadU32(bits)) {
        return false;
    }
    value = static_cast<LONG>(bits);
    return true;
}

bool CFileReader::ReadF32(float& value) {
    DWORD bits = 0;
    if (!ReadU32(bits)) {
        return false;
    }
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool CFileReader::Skip(DWORD count) {
    if (m_failed) {
        return false;
    }
    if (count > m_remaining) {
        return Fail(kErrorEndOfFile);
    }
    if (m_memory != nullptr) {
        m_memory += count;
    } else if (count != 0 && SetFilePointer(m_file, static_cast<LONG>(count), FILE_CURRENT) ==
                                 INVALID_SET_FILE_POINTER) {
        return Fail(0);
    }
    m_remaining -= count;
    return true;
}

bool CFileReader::CanHold(std::uint64_t count, std::uint64_t itemSize) const {
    if (m_failed) {
        return false;
    }
    return itemSize == 0 || count <= m_remaining / itemSize;
}

bool CFileWriter::Write(const void* buffer, DWORD count) {
    if (m_failed) {
        return false;
    }
    DWORD done = 0;
    if (!WriteFile(m_file, buffer, count, &done)) {
        m_failed = true;
        return false;
    }
    if (done != count) {
        SetLastError(kErrorShortWrite);
        m_failed = true;
        return false;
    }
    return true;
}

bool CFileWriter::WriteU32(DWORD value) {
    unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return Write(bytes, 4);
}

bool CFileWriter::WriteI32(LONG value) {
    return WriteU32(static_cast<DWORD>(value));
}

bool CFileWriter::WriteF32(float value) {
    DWORD bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return WriteU32(bits);
}

bool CFileWriter::WriteZeros(DWORD count) {
    static const unsigned char kZeros[256] = {};
    while (count > 0) {
        DWORD chunk = count < sizeof kZeros ? count : static_cast<DWORD>(sizeof kZeros);
        if (!Write(kZeros, chunk)) {
            return false;
        }
        count -= chunk;
    }
    return true;
}

bool CFileReader::Require(std::uint64_t count, std::uint64_t itemSize) {
    if (m_failed) {
        return false;
    }
    return CanHold(count, itemSize) || Fail(kErrorEndOfFile);
}
