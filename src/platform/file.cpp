#include "platform/file.h"

#include "platform/last_error.h"
#include "platform/path.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileObject final : public platform::KernelObject {
public:
    explicit FileObject(int descriptor) : m_descriptor(descriptor) {}
    ~FileObject() override { ::close(m_descriptor); }
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int Descriptor() const { return m_descriptor; }

private:
    int m_descriptor;
};

// Records error as the last error and hands back the caller's failure value.
template <class T> T Fail(int error, T result) {
    SetLastError(static_cast<DWORD>(error));
    return result;
}

// The descriptor behind a file handle, or -1 (last error EBADF) for a stale handle or one
// that names another kind of object.
int DescriptorOf(HANDLE handle) {
    auto* file = platform::LookupHandleAs<FileObject>(handle);
    return file != nullptr ? file->Descriptor() : Fail(EBADF, -1);
}

// The size of the file behind descriptor, or -1 with the last error set.
off_t SizeOf(int descriptor) {
    struct stat info;
    return ::fstat(descriptor, &info) == 0 ? info.st_size : Fail(errno, off_t{-1});
}

// Where a move of the file pointer starts, or -1 with the last error set.
off_t SeekOrigin(int descriptor, DWORD moveMethod) {
    switch (moveMethod) {
    case FILE_BEGIN:
        return 0;
    case FILE_CURRENT: {
        off_t position = ::lseek(descriptor, 0, SEEK_CUR);
        return position >= 0 ? position : Fail(errno, off_t{-1});
    }
    case FILE_END:
        return SizeOf(descriptor);
    default:
        return Fail(EINVAL, off_t{-1});
    }
}

// Open flags for an access mask and creation disposition; false for combinations that have
// no meaning (no access at all, truncation without write access, unknown dispositions).
bool OpenFlags(DWORD access, DWORD disposition, int& flags) {
    bool read = (access & GENERIC_READ) != 0;
    bool write = (access & GENERIC_WRITE) != 0;
    if (!read && !write) {
        return Fail(EINVAL, false);
    }
    flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (disposition) {
    case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        return true;
    case CREATE_ALWAYS:
        flags |= O_CREAT | O_TRUNC;
        return true;
    case OPEN_EXISTING:
        return true;
    case OPEN_ALWAYS:
        flags |= O_CREAT;
        return true;
    case TRUNCATE_EXISTING:
        flags |= O_TRUNC;
        return write || Fail(EINVAL, false);
    default:
        return Fail(EINVAL, false);
    }
}

// Repeats a read or write until count bytes moved, end of file, or an error; interrupted
// calls are retried so that a signal never shortens a transfer.
template <class Step> BOOL Transfer(HANDLE handle, DWORD count, DWORD* moved, Step step) {
    DWORD done = 0;
    if (moved != nullptr) {
        *moved = 0;
    }
    int descriptor = DescriptorOf(handle);
    if (descriptor < 0) {
        return FALSE;
    }
    BOOL ok = TRUE;
    while (done < count) {
        ssize_t result = step(descriptor, done, count - done);
        if (result < 0 && errno == EINTR) {
            continue;
        }
        if (result < 0) {
            ok = Fail(errno, FALSE);
            break;
        }
        if (result == 0) {
            break;
        }
        done += static_cast<DWORD>(result);
    }
    if (moved != nullptr) {
        *moved = done;
    }
    return ok;
}

} // namespace

HANDLE CreateFileA(const char* path, DWORD access, DWORD /*shareMode*/, DWORD creationDisposition) {
    int flags = 0;
    std::string hostPath;
    if (!OpenFlags(access, creationDisposition, flags) ||
        !platform::MapToHostPath(path, hostPath)) {
        return INVALID_HANDLE_VALUE;
    }
    int descriptor;
    do {
        descriptor = ::open(hostPath.c_str(), flags, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return Fail(errno, INVALID_HANDLE_VALUE);
    }
    // Directories open for reading on the host but are not files to the engine.
    struct stat info;
    int error = ::fstat(descriptor, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    if (error != 0) {
        ::close(descriptor);
        return Fail(error, INVALID_HANDLE_VALUE);
    }
    return platform::RegisterHandle(std::make_unique<FileObject>(descriptor));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead) {
    auto* bytes = static_cast<char*>(buffer);
    return Transfer(file, count, bytesRead, [bytes](int descriptor, DWORD offset, DWORD left) {
        return ::read(descriptor, bytes + offset, left);
    });
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten) {
    auto* bytes = static_cast<const char*>(buffer);
    return Transfer(file, count, bytesWritten, [bytes](int descriptor, DWORD offset, DWORD left) {
        return ::write(descriptor, bytes + offset, left);
    });
}

DWORD SetFilePointer(HANDLE file, LONG distance, DWORD moveMethod) {
    int descriptor = DescriptorOf(file);
    if (descriptor < 0) {
        return INVALID_SET_FILE_POINTER;
    }
    off_t origin = SeekOrigin(descriptor, moveMethod);
    if (origin < 0) {
        return INVALID_SET_FILE_POINTER;
    }
    // Checked before moving, so a refused seek leaves the position where it was.
    off_t target = origin + distance;
    if (target < 0 || target >= static_cast<off_t>(INVALID_SET_FILE_POINTER)) {
        return Fail(target < 0 ? EINVAL : EOVERFLOW, INVALID_SET_FILE_POINTER);
    }
    if (::lseek(descriptor, target, SEEK_SET) < 0) {
        return Fail(errno, INVALID_SET_FILE_POINTER);
    }
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file) {
    int descriptor = DescriptorOf(file);
    off_t size = descriptor < 0 ? -1 : SizeOf(descriptor);
    if (size < 0) {
        return INVALID_FILE_SIZE;
    }
    if (size >= static_cast<off_t>(INVALID_FILE_SIZE)) {
        return Fail(EOVERFLOW, INVALID_FILE_SIZE);
    }
    return static_cast<DWORD>(size);
}

BOOL DeleteFileA(const char* path) {
    std::string hostPath;
    if (!platform::MapToHostPath(path, hostPath)) {
        return FALSE;
    }
    return ::unlink(hostPath.c_str()) == 0 ? TRUE : Fail(errno, FALSE);
}
