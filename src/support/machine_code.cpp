#include "support/machine_code.h"

#include "engine/debug_log.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "support/binary_file.h"
#include "support/memory.h"

#include <cstring>

CAbstractMachineCode::~CAbstractMachineCode() {
    ReleaseResources();
}

void CAbstractMachineCode::ReleaseResources() {
    if (m_buffer != nullptr) {
        CMemory::Deallocate(m_buffer);
        m_buffer = nullptr;
    }
    // A failed allocation leaves a size without a buffer; once released, no size may stay
    // to promise bytes that are not there.
    m_size = 0;
}

int CAbstractMachineCode::Load(HANDLE file) {
    ReleaseResources();
    CFileReader reader(file);
    if (!reader.ReadU32(m_size)) {
        DebugLog("CAbstractMachineCode::Load() Failed to read number of bytes. Error=%d",
                 static_cast<int>(GetLastError()));
        m_size = 0;
        return 0;
    }
    if (m_size == 0) {
        return 1;
    }
    // A size beyond the end of the file can never be read: refuse before allocating.
    if (!reader.Require(m_size, 1)) {
        DebugLog("CAbstractMachineCode::Load() Failed to read %d bytes for AMX. Error=%d",
                 static_cast<int>(m_size), static_cast<int>(GetLastError()));
        m_size = 0;
        return 0;
    }
    m_buffer = static_cast<BYTE*>(CMemory::Allocate(m_size, 0));
    if (m_buffer == nullptr) {
        DebugLog("CAbstractMachineCode::Load() Failed to allocate memory (%d bytes)",
                 static_cast<int>(m_size));
        return 0;
    }
    if (!reader.Read(m_buffer, m_size)) {
        DebugLog("CAbstractMachineCode::Load() Failed to read %d bytes for AMX. Error=%d",
                 static_cast<int>(m_size), static_cast<int>(GetLastError()));
        return 0;
    }
    return 1;
}

int CAbstractMachineCode::LoadRaw(const char* fileName) {
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("CAbstractMachineCode::LoadRaw() Failed to open file '%s'. Last Error=%d",
                 fileName, static_cast<int>(GetLastError()));
        return 0;
    }
    int result = ReadWholeFile(file, fileName);
    CloseHandle(file);
    return result;
}

int CAbstractMachineCode::ReadWholeFile(HANDLE file, const char* fileName) {
    ReleaseResources();
    DWORD size = GetFileSize(file);
    if (size == 0 || size == INVALID_FILE_SIZE) {
        DebugLog("CAbstractMachineCode::LoadRaw() Failed to read size of file '%s'. Error=%d",
                 fileName, static_cast<int>(GetLastError()));
        return 0;
    }
    m_size = size;
    m_buffer = static_cast<BYTE*>(CMemory::Allocate(m_size, 0));
    if (m_buffer == nullptr) {
        DebugLog("CAbstractMachineCode::LoadRaw() Failed to allocate memory (%d bytes)",
                 static_cast<int>(m_size));
        return 0;
    }
    CFileReader reader(file);
    if (!reader.Read(m_buffer, m_size)) {
        DebugLog("CAbstractMachineCode::LoadRaw() Failed to read %d bytes for AMX. Error=%d",
                 static_cast<int>(m_size), static_cast<int>(GetLastError()));
        return 0;
    }
    return 1;
}

int CAbstractMachineCode::Save(HANDLE file) const {
    CFileWriter writer(file);
    if (!writer.WriteU32(m_size)) {
        DebugLog("CAbstractMachineCode::Save() Failed to write number of bytes. Error=%d",
                 static_cast<int>(GetLastError()));
        return 0;
    }
    if (m_size == 0) {
        return 1;
    }
    if (m_buffer == nullptr) {
        DebugLog("CAbstractMachineCode::Save() Attempt to write NULL buffer of %d bytes!",
                 static_cast<int>(m_size));
        return 0;
    }
    if (!writer.Write(m_buffer, m_size)) {
        DebugLog("CAbstractMachineCode::Save() Failed to write %d bytes for AMX. Error=%d",
                 static_cast<int>(m_size), static_cast<int>(GetLastError()));
        return 0;
    }
    return 1;
}

CAbstractMachineCode& CAbstractMachineCode::operator=(const CAbstractMachineCode& other) {
    if (this == &other) {
        return *this;
    }
    ReleaseResources();
    // A source left with a size but no buffer by a failed allocation has no bytes to copy.
    m_size = other.m_buffer != nullptr ? other.m_size : 0;
    if (m_size == 0) {
        return *this;
    }
    m_buffer = static_cast<BYTE*>(CMemory::Allocate(m_size, 0));
    if (m_buffer == nullptr) {
        DebugLog("CAbstractMachineCode::operator= Failed to allocate %d bytes!",
                 static_cast<int>(m_size));
        return *this;
    }
    std::memcpy(m_buffer, other.m_buffer, m_size);
    return *this;
}
