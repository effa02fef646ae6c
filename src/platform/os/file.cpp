#include "platform/os/file.h"

#include "platform/os/last_error.h"
#include "platform/os/path.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

// Records error as the last error and hands back the caller's failure value.
template <class T> T Fail(int error, T result) {
    SetLastError(static_cast<DWORD>(error));
    return result;
}

// The size of the file behind descriptor, or -1 with the last error set.
off_t SizeOf(int descriptor) {
    struct stat info;
    return ::fstat(descriptor, &info) == 0 ? info.st_size : Fail(errno, off_t{-1});
}

// A file with its own position. Reads of a regular file go through a read-ahead buffer, so
// that the many small field reads of the engine's file formats cost a memory copy instead of
// a system call, and every transfer names its offset (pread/pwrite), so the descriptor's own
// offset never matters. Other files (pipes, devices) are read and written as streams.
class FileObject : public platform::KernelObject {
public:
    // fixedSize, when not negative, is the size of a file opened for reading alone, taken
    // once: the engine asks for it before each record it reads, and it must not cost a
    // system call each time. Such files do not change while the engine reads them.
    FileObject(int descriptor, bool seekable, off_t fixedSize = -1)
        : m_descriptor(descriptor), m_seekable(seekable), m_fixedSize(fixedSize) {}
    ~FileObject() override { ::close(m_descriptor); }
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int Descriptor() const { return m_descriptor; }
    // The size in bytes, or -1 with the last error set.
    off_t Size() {
        if (m_fixedSize >= 0) {
            return m_fixedSize;
        }
        return Settle() ? SizeOf(m_descriptor) : -1;
    }
    off_t Position() const { return m_position; }
    void MoveTo(off_t position) { m_position = position; }

    // Writes that a derived file holds back reach the descriptor; every operation but a
    // write settles first, so it sees the file as written.
    virtual bool Settle() { return true; }

    // Moves up to count bytes from the current position into destination; done says how many
    // arrived (fewer only at the end of the file or on an error).
    bool Read(char* destination, DWORD count, DWORD& done) {
        done = 0;
        if (!Settle()) {
            return false;
        }
        done = TakeBuffered(destination, count);
        while (done < count) {
            DWORD left = count - done;
            if (left < kBufferSize && m_seekable) {
                if (!Refill()) {
                    return false;
                }
                DWORD taken = TakeBuffered(destination + done, left);
                if (taken == 0) {
                    return true; // end of file
                }
                done += taken;
                continue;
            }
            // Large transfers go straight to the caller.
            ssize_t result = Retry([&] { return RawRead(destination + done, left); });
            if (result <= 0) {
                return result == 0 || Fail(errno, false);
            }
            done += static_cast<DWORD>(result);
            m_position += result;
        }
        return true;
    }

    virtual bool Write(const char* source, DWORD count, DWORD& done) {
        ForgetReadAhead();
        std::size_t written = 0;
        const bool ok = WriteAll(source, count, written);
        done = static_cast<DWORD>(written);
        return ok;
    }

protected:
    // The buffered bytes may no longer be the file's.
    void ForgetReadAhead() { m_bufferLength = 0; }

    // Writes count bytes at the current position and moves past them; done says how many
    // arrived (fewer only when the file takes no more). False, with the last error set, on
    // an error.
    bool WriteAll(const char* source, std::size_t count, std::size_t& done) {
        done = 0;
        while (done < count) {
            ssize_t result = Retry([&] { return RawWrite(source + done, count - done); });
            if (result < 0) {
                return Fail(errno, false);
            }
            if (result == 0) {
                return true;
            }
            done += static_cast<std::size_t>(result);
            m_position += result;
        }
        return true;
    }

private:
    static constexpr DWORD kBufferSize = 64 * 1024;

    // Repeats a transfer that a signal interrupted, so that a signal never shortens it.
    template <class Call> static ssize_t Retry(Call call) {
        ssize_t result;
        do {
            result = call();
        } while (result < 0 && errno == EINTR);
        return result;
    }

    ssize_t RawRead(char* destination, std::size_t count) {
        return m_seekable ? ::pread(m_descriptor, destination, count, m_position)
                          : ::read(m_descriptor, destination, count);
    }
    ssize_t RawWrite(const char* source, std::size_t count) {
        return m_seekable ? ::pwrite(m_descriptor, source, count, m_position)
                          : ::write(m_descriptor, source, count);
    }

    // Copies what the buffer holds at the current position, at most count bytes.
    DWORD TakeBuffered(char* destination, DWORD count) {
        if (count == 0 || m_position < m_bufferStart ||
            m_position >= m_bufferStart + static_cast<off_t>(m_bufferLength)) {
            return 0;
        }
        std::size_t offset = static_cast<std::size_t>(m_position - m_bufferStart);
        std::size_t available = m_bufferLength - offset;
        DWORD taken = count < available ? count : static_cast<DWORD>(available);
        std::memcpy(destination, m_buffer.data() + offset, taken);
        m_position += taken;
        return taken;
    }

    bool Refill() {
        m_buffer.resize(kBufferSize);
        m_bufferStart = m_position;
        m_bufferLength = 0;
        ssize_t result = Retry([&] { return RawRead(m_buffer.data(), kBufferSize); });
        if (result < 0) {
            return Fail(errno, false);
        }
        m_bufferLength = static_cast<std::size_t>(result);
        return true;
    }

    int m_descriptor;
    bool m_seekable;
    off_t m_fixedSize;
    off_t m_position = 0;
    std::vector<char> m_buffer;
    off_t m_bufferStart = 0;
    std::size_t m_bufferLength = 0;
};

// The file behind a handle, or null (last error EBADF) for a stale handle or one that names
// another kind of object.
FileObject* FileOf(HANDLE handle) {
    auto* file = platform::LookupHandleAs<FileObject>(handle);
    return file != nullptr ? file : Fail(EBADF, static_cast<FileObject*>(nullptr));
}

// Where a move of the file pointer starts, or -1 with the last error set.
off_t SeekOrigin(FileObject& file, DWORD moveMethod) {
    switch (moveMethod) {
    case FILE_BEGIN:
        return 0;
    case FILE_CURRENT:
        return file.Position();
    case FILE_END:
        return file.Size();
    default:
        return Fail(EINVAL, off_t{-1});
    }
}

bool ReadOnly(DWORD access) {
    return (access & GENERIC_WRITE) == 0;
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

// Runs a transfer on the file behind handle and reports how many bytes moved.
template <class Step> BOOL Transfer(HANDLE handle, DWORD* moved, Step step) {
    DWORD done = 0;
    FileObject* file = FileOf(handle);
    bool ok = file != nullptr && step(*file, done);
    if (moved != nullptr) {
        *moved = done;
    }
    return ok ? TRUE : FALSE;
}

// A new file that takes the place of the file at m_target when committed; until then it
// lives under a temporary name in the same directory, and is removed when closed uncommitted.
class ReplacementFile final : public FileObject {
public:
    ReplacementFile(int descriptor, std::string temporary, std::string target)
        : FileObject(descriptor, true), m_temporary(std::move(temporary)),
          m_target(std::move(target)) {}
    ~ReplacementFile() override {
        if (!m_committed) {
            ::unlink(m_temporary.c_str());
        }
    }

    // A saved file is written in many small pieces: they are gathered here and reach the
    // descriptor in large blocks, at the latest when the file is committed. A failure to
    // write them fails the commit, so it can never pass for a complete file.
    bool Write(const char* source, DWORD count, DWORD& done) override {
        ForgetReadAhead();
        if (!m_held.empty() && Position() != m_heldStart + static_cast<off_t>(m_held.size()) &&
            !Settle()) {
            done = 0;
            return false;
        }
        if (m_held.empty()) {
            m_heldStart = Position();
        }
        m_held.insert(m_held.end(), source, source + count);
        MoveTo(Position() + count);
        done = count;
        return m_held.size() < kHeldLimit || Settle();
    }

    bool Settle() override {
        if (m_held.empty()) {
            return true;
        }
        const off_t resume = Position();
        MoveTo(m_heldStart);
        std::size_t written = 0;
        const bool ok = WriteAll(m_held.data(), m_held.size(), written);
        MoveTo(resume);
        const bool complete = written == m_held.size();
        m_held.clear();
        // A file that takes no more bytes is full.
        return ok && (complete || Fail(ENOSPC, false));
    }

    bool Commit() {
        if (!Settle() || !Flush(Descriptor()) || !Injected("ReplaceFile")) {
            return false;
        }
        if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
            return Fail(errno, false);
        }
        m_committed = true;
        // The rename is done; a directory that cannot be flushed (some file systems refuse)
        // does not undo it.
        FlushDirectory();
        return true;
    }

private:
    // False, with the injected code as the last error, when a test made the call fail.
    static bool Injected(const char* call) {
        HRESULT code = platform::FileFaults().Check(call);
        return code == 0 || Fail(code, false);
    }

    static bool Flush(int descriptor) {
        if (!Injected("FlushFile")) {
            return false;
        }
        int result;
        do {
            result = ::fsync(descriptor);
        } while (result != 0 && errno == EINTR);
        return result == 0 || Fail(errno, false);
    }

    void FlushDirectory() const {
        std::string directory = m_target.substr(0, m_target.find_last_of('/') + 1);
        int descriptor =
            ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor >= 0) {
            ::fsync(descriptor);
            ::close(descriptor);
        }
    }

    static constexpr std::size_t kHeldLimit = 1 << 20;

    std::string m_temporary;
    std::string m_target;
    bool m_committed = false;
    std::vector<char> m_held;
    off_t m_heldStart = 0;
};

// Opens a new file beside target under a name no other file has.
int CreateTemporaryBeside(const std::string& target, std::string& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".new-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
        int descriptor;
        do {
            descriptor = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor >= 0 || errno != EEXIST) {
            return descriptor < 0 ? Fail(errno, -1) : descriptor;
        }
    }
    return Fail(EEXIST, -1);
}

} // namespace

platform::CallFaults& platform::FileFaults() {
    static CallFaults faults;
    return faults;
}

HANDLE CreateReplacementFileA(const char* path) {
    std::string target;
    if (!platform::MapToHostPath(path, target)) {
        return INVALID_HANDLE_VALUE;
    }
    std::string temporary;
    int descriptor = CreateTemporaryBeside(target, temporary);
    if (descriptor < 0) {
        return INVALID_HANDLE_VALUE;
    }
    return platform::RegisterHandle(
        std::make_unique<ReplacementFile>(descriptor, std::move(temporary), std::move(target)));
}

BOOL CommitReplacementFile(HANDLE file) {
    auto* replacement = platform::LookupHandleAs<ReplacementFile>(file);
    if (replacement == nullptr) {
        return FALSE;
    }
    bool committed = replacement->Commit();
    DWORD error = GetLastError();
    CloseHandle(file);
    SetLastError(error);
    return committed ? TRUE : FALSE;
}

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
    return platform::RegisterHandle(std::make_unique<FileObject>(
        descriptor, S_ISREG(info.st_mode),
        ReadOnly(access) && S_ISREG(info.st_mode) ? info.st_size : -1));
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead) {
    return Transfer(file, bytesRead, [&](FileObject& object, DWORD& done) {
        return object.Read(static_cast<char*>(buffer), count, done);
    });
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten) {
    HRESULT fault = platform::FileFaults().Check("WriteFile");
    if (fault != 0 && fault != platform::kFaultShortWrite) {
        if (bytesWritten != nullptr) {
            *bytesWritten = 0;
        }
        return Fail(fault, FALSE);
    }
    DWORD allowed = fault == platform::kFaultShortWrite ? count / 2 : count;
    return Transfer(file, bytesWritten, [&](FileObject& object, DWORD& done) {
        return object.Write(static_cast<const char*>(buffer), allowed, done);
    });
}

DWORD SetFilePointer(HANDLE file, LONG distance, DWORD moveMethod) {
    FileObject* object = FileOf(file);
    if (object == nullptr) {
        return INVALID_SET_FILE_POINTER;
    }
    off_t origin = SeekOrigin(*object, moveMethod);
    if (origin < 0) {
        return INVALID_SET_FILE_POINTER;
    }
    // Checked before moving, so a refused seek leaves the position where it was.
    off_t target = origin + distance;
    if (target < 0 || target >= static_cast<off_t>(INVALID_SET_FILE_POINTER)) {
        return Fail(target < 0 ? EINVAL : EOVERFLOW, INVALID_SET_FILE_POINTER);
    }
    object->MoveTo(target);
    return static_cast<DWORD>(target);
}

DWORD GetFileSize(HANDLE file) {
    FileObject* object = FileOf(file);
    off_t size = object == nullptr ? -1 : object->Size();
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

const void* MapFile(HANDLE file, DWORD* size) {
    DWORD length = GetFileSize(file);
    if (length == INVALID_FILE_SIZE) {
        return nullptr;
    }
    if (length == 0) {
        return Fail(EINVAL, nullptr);
    }
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE,
                        FileOf(file)->Descriptor(), 0);
    if (view == MAP_FAILED) {
        return Fail(errno, nullptr);
    }
    *size = length;
    return view;
}

void UnmapFile(const void* view, DWORD size) {
    ::munmap(const_cast<void*>(view), size);
}
