// Files and paths: transfers, seeks, dispositions, access modes, mapped views, interrupted
// reads, and the resolution of engine paths to full and host paths.

#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"
#include "platform/os/path.h"

#include "testkit/last_error.h"
#include "testkit/scratch_dir.h"
#include "testkit/working_directory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Sequence(std::size_t count) {
    Bytes bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return bytes;
}

class FileTest : public ::testing::Test {
protected:
    HANDLE Open(const std::string& name, DWORD access, DWORD disposition) const {
        return CreateFileA(m_scratch.EnginePath(name).c_str(), access, FILE_SHARE_READ,
                           disposition);
    }

    // Opens and expects a live handle; the test closes it.
    HANDLE MustOpen(const std::string& name, DWORD access, DWORD disposition) const {
        HANDLE file = Open(name, access, disposition);
        EXPECT_NE(file, INVALID_HANDLE_VALUE) << name << " last error " << GetLastError();
        return file;
    }

    static Bytes Read(HANDLE file, DWORD count) {
        Bytes bytes(count);
        DWORD got = 12345;
        EXPECT_TRUE(ReadFile(file, bytes.data(), count, &got));
        bytes.resize(got);
        return bytes;
    }

    static void Write(HANDLE file, const Bytes& bytes) {
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written));
        EXPECT_EQ(written, bytes.size());
    }

    static void ExpectSeekFails(HANDLE file, LONG distance, DWORD method, int error) {
        EXPECT_EQ(testkit::WithLastError([&] { return SetFilePointer(file, distance, method); }),
                  std::tuple(INVALID_SET_FILE_POINTER, error));
    }

    testkit::ScratchDir m_scratch;
};

// Reads are served from a read-ahead buffer; seeks from each origin, writes through the same
// handle and transfers larger than the buffer must all see the file as it is.
TEST_F(FileTest, ReadsWritesAndSeeksSeeTheFileAsItIs) {
    const Bytes data = Sequence(200000);
    HANDLE file = MustOpen("big.bin", GENERIC_READ | GENERIC_WRITE, CREATE_NEW);
    EXPECT_EQ(GetFileSize(file), 0u);
    Write(file, data);
    EXPECT_EQ(m_scratch.ReadFile("big.bin"), data);
    ASSERT_EQ(SetFilePointer(file, 0, FILE_BEGIN), 0u);
    EXPECT_EQ(Read(file, 3), Bytes(data.begin(), data.begin() + 3));
    EXPECT_EQ(Read(file, 100000), Bytes(data.begin() + 3, data.begin() + 100003));
    EXPECT_EQ(SetFilePointer(file, -9, FILE_CURRENT), 99994u);
    EXPECT_EQ(Read(file, 1), Bytes{data[99994]});
    ASSERT_EQ(SetFilePointer(file, 10, FILE_BEGIN), 10u);
    EXPECT_EQ(Read(file, 2), Bytes(data.begin() + 10, data.begin() + 12));
    // Overwrite bytes the buffer already holds, then read them back.
    ASSERT_EQ(SetFilePointer(file, -2, FILE_CURRENT), 10u);
    Write(file, Bytes{0xAA, 0xBB});
    ASSERT_EQ(SetFilePointer(file, 9, FILE_BEGIN), 9u);
    EXPECT_EQ(Read(file, 4), (Bytes{data[9], 0xAA, 0xBB, data[12]}));
    EXPECT_EQ(SetFilePointer(file, -4, FILE_END), 199996u);
    EXPECT_EQ(Read(file, 100), Bytes(data.end() - 4, data.end())) << "short at the end";
    EXPECT_EQ(Read(file, 16), Bytes());
    DWORD read = 7;
    EXPECT_TRUE(ReadFile(file, nullptr, 0, &read));
    EXPECT_EQ(read, 0u);
    EXPECT_EQ(SetFilePointer(file, 10, FILE_END), 200010u);
    EXPECT_EQ(Read(file, 1), Bytes());

    // Refused seeks leave the position alone; writing past the end grows the file.
    ASSERT_EQ(SetFilePointer(file, 15, FILE_BEGIN), 15u);
    const std::pair<LONG, DWORD> refused[] = {
        {-16, FILE_CURRENT}, {-1, FILE_BEGIN}, {-200001, FILE_END}, {0, 7}};
    for (const auto& [distance, method] : refused) {
        ExpectSeekFails(file, distance, method, EINVAL);
    }
    EXPECT_EQ(SetFilePointer(file, 0, FILE_CURRENT), 15u);
    EXPECT_EQ(SetFilePointer(file, 200050, FILE_BEGIN), 200050u);
    Write(file, Sequence(1));
    EXPECT_EQ(GetFileSize(file), 200051u);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, FilesOfFourGibibytesHaveNoSize) {
    m_scratch.WriteFile("huge.bin", {});
    std::error_code error;
    fs::resize_file(m_scratch.HostPath("huge.bin"), std::uintmax_t{5} << 30, error);
    if (error) {
        GTEST_SKIP() << "no sparse files here: " << error.message();
    }
    HANDLE file = MustOpen("huge.bin", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(testkit::WithLastError([&] { return GetFileSize(file); }),
              std::tuple(INVALID_FILE_SIZE, EOVERFLOW));
    ExpectSeekFails(file, 0, FILE_END, EOVERFLOW);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(FileTest, CreationDispositions) {
    m_scratch.WriteFile("a.bin", Sequence(8));
    fs::create_directory(m_scratch.HostPath("dir"));
    const struct {
        const char* name;
        DWORD access, disposition;
        int error;
    } refused[] = {
        {"a.bin", GENERIC_WRITE, CREATE_NEW, EEXIST},
        {"missing.bin", GENERIC_READ, OPEN_EXISTING, ENOENT},
        {"missing.bin", GENERIC_WRITE, TRUNCATE_EXISTING, ENOENT},
        {"dir", GENERIC_READ, OPEN_EXISTING, EISDIR},
        // Meaningless modes.
        {"a.bin", 0, OPEN_EXISTING, EINVAL},
        {"a.bin", GENERIC_READ, TRUNCATE_EXISTING, EINVAL},
        {"a.bin", GENERIC_READ, 0, EINVAL},
        {"a.bin", GENERIC_READ, 6, EINVAL},
    };
    for (const auto& c : refused) {
        EXPECT_EQ(testkit::WithLastError([&] { return Open(c.name, c.access, c.disposition); }),
                  std::tuple(INVALID_HANDLE_VALUE, c.error))
            << c.name;
    }
    EXPECT_EQ(m_scratch.ReadFile("a.bin"), Sequence(8));

    // Opened files show the size the disposition leaves; each then takes three bytes.
    const struct {
        const char* name;
        DWORD disposition;
        DWORD size;
    } opened[] = {{"a.bin", OPEN_ALWAYS, 8},
                  {"a.bin", CREATE_ALWAYS, 0},
                  {"a.bin", TRUNCATE_EXISTING, 0},
                  {"new1.bin", OPEN_ALWAYS, 0},
                  {"new2.bin", CREATE_ALWAYS, 0}};
    for (const auto& c : opened) {
        HANDLE file = MustOpen(c.name, GENERIC_READ | GENERIC_WRITE, c.disposition);
        EXPECT_EQ(GetFileSize(file), c.size) << c.name << " " << c.disposition;
        Write(file, Sequence(3));
        EXPECT_TRUE(CloseHandle(file));
    }
    EXPECT_EQ(m_scratch.ReadFile("a.bin"), Sequence(3));
}

TEST_F(FileTest, AccessModesLimitTransfersAndStaleHandlesAreRefused) {
    m_scratch.WriteFile("a.bin", Sequence(8));
    Bytes buffer(8);
    DWORD moved = 99;

    const auto read = [&](HANDLE file) { return ReadFile(file, buffer.data(), 8, &moved); };
    const auto write = [&](HANDLE file) { return WriteFile(file, buffer.data(), 8, &moved); };
    const auto refused = std::tuple(FALSE, EBADF);
    HANDLE file = MustOpen("a.bin", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(testkit::WithLastError([&] { return write(file); }), refused);
    EXPECT_EQ(moved, 0u);
    EXPECT_TRUE(CloseHandle(file));
    file = MustOpen("a.bin", GENERIC_WRITE, OPEN_EXISTING);
    moved = 99;
    EXPECT_EQ(testkit::WithLastError([&] { return read(file); }), refused);
    EXPECT_EQ(moved, 0u);
    EXPECT_TRUE(CloseHandle(file));
    // Closed and invalid handles are refused.
    for (HANDLE stale : {file, INVALID_HANDLE_VALUE}) {
        moved = 99;
        EXPECT_EQ(testkit::WithLastError([&] { return read(stale); }), refused);
        EXPECT_EQ(moved, 0u);
        EXPECT_EQ(testkit::WithLastError([&] { return write(stale); }), refused);
        ExpectSeekFails(stale, 0, FILE_BEGIN, EBADF);
        EXPECT_EQ(testkit::WithLastError([&] { return GetFileSize(stale); }),
                  std::tuple(INVALID_FILE_SIZE, EBADF));
        EXPECT_EQ(testkit::WithLastError([&] { return CloseHandle(stale); }), refused);
    }
}

TEST_F(FileTest, LowerCasePathsFindMixedCaseFilesAndOtherDrivesAreRefused) {
    const Bytes data = Sequence(5);
    m_scratch.WriteFile("Games/Level1.VMM", data);
    HANDLE file = MustOpen("games\\level1.vmm", GENERIC_READ, OPEN_EXISTING);
    EXPECT_EQ(Read(file, 5), data);
    EXPECT_TRUE(CloseHandle(file));
    // A new file goes into the existing directory under the name as written.
    file = MustOpen("games\\save1.sav", GENERIC_WRITE, CREATE_NEW);
    Write(file, data);
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(m_scratch.ReadFile("Games/save1.sav"), data);

    const std::string path = m_scratch.EnginePath("games/level1.vmm");
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(fs::exists(m_scratch.HostPath("Games/Level1.VMM")));
    EXPECT_EQ(testkit::WithLastError([&] { return DeleteFileA(path.c_str()); }),
              std::tuple(FALSE, ENOENT));
    EXPECT_EQ(testkit::WithLastError(
                  [] { return CreateFileA("d:\\games\\a.bin", GENERIC_READ, 0, OPEN_EXISTING); }),
              std::tuple(INVALID_HANDLE_VALUE, ENODEV));
    EXPECT_EQ(testkit::WithLastError([] { return DeleteFileA("d:\\games\\a.bin"); }),
              std::tuple(FALSE, ENODEV));
}

// A mapped view holds the file's bytes from its start, whatever the handle's position, and
// stays valid once the handle is closed; empty files and stale handles are not mapped.
TEST_F(FileTest, MappedViewsHoldTheWholeFileAndOutliveTheHandle) {
    const Bytes data = Sequence(7);
    m_scratch.WriteFile("data.bin", data);
    m_scratch.WriteFile("empty.bin", {});
    HANDLE file = MustOpen("data.bin", GENERIC_READ, OPEN_EXISTING);
    SetFilePointer(file, 3, FILE_BEGIN);
    DWORD size = 0;
    const void* view = MapFile(file, &size);
    CloseHandle(file);
    ASSERT_NE(view, nullptr);
    const auto* mapped = static_cast<const std::uint8_t*>(view);
    EXPECT_EQ(Bytes(mapped, mapped + size), data);
    UnmapFile(view, size);
    file = MustOpen("empty.bin", GENERIC_READ, OPEN_EXISTING);
    size = 99;
    EXPECT_EQ(testkit::WithLastError([&] { return MapFile(file, &size); }),
              std::tuple(nullptr, EINVAL));
    CloseHandle(file);
    EXPECT_EQ(MapFile(file, &size), nullptr);
    EXPECT_EQ(size, 99u);
}

using Result = std::tuple<std::optional<std::string>, int>; // and the last error

std::optional<std::string> FullPath(const char* path) {
    std::vector<char> buffer(4096);
    DWORD length =
        GetFullPathNameA(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), length);
}

Result HostPathOf(const std::string& path) {
    return testkit::WithLastError([&]() -> std::optional<std::string> {
        std::string host;
        return platform::MapToHostPath(path.c_str(), host) ? std::optional(host) : std::nullopt;
    });
}

// The current directory as the engine names it.
std::string CurrentWindowsPath() {
    return platform::HostToWindowsPath(fs::current_path().string());
}

TEST(GetFullPathName, ResolvesComponentsSeparatorsAndDrivesTextually) {
    const std::string tooLong = "c:\\" + std::string(40000, 'a');
    std::string climbing = "c:\\x"; // parent components may bring it back to something short
    for (int i = 0; i < 5000; ++i) {
        climbing += "\\..";
    }
    const struct {
        const char* path;
        std::optional<std::string> full;
        int error = 0;
    } cases[] = {
        // Current and parent components go; the parent of the root stays at the root.
        {"c:\\games\\lev\\..\\tex\\.\\a.bmp", "c:\\games\\tex\\a.bmp"},
        {"c:\\a\\b\\c\\..\\..\\d", "c:\\a\\d"},
        {"c:\\a\\b\\..", "c:\\a"},
        {"c:\\a\\..b\\.c", "c:\\a\\..b\\.c"},
        {"c:\\..\\..\\x", "c:\\x"},
        {"c:\\..", "c:\\"},
        // Forward and repeated separators; the trailing separator and letter case stay.
        {"c:/games/lev/a.vmm", "c:\\games\\lev\\a.vmm"},
        {"c:\\\\games//lev\\/a.vmm", "c:\\games\\lev\\a.vmm"},
        {"c:/games\\lev/", "c:\\games\\lev\\"},
        {"c:\\games\\lev\\..\\", "c:\\games\\"},
        {"C:\\Games\\Level1.LEV", "C:\\Games\\Level1.LEV"},
        // Without a drive a path is rooted on the host drive; other drives resolve textually.
        {"\\tmp\\a.vmm", "c:\\tmp\\a.vmm"},
        {"/", "c:\\"},
        {"d:\\x\\..\\y.bmp", "d:\\y.bmp"},
        {"D:x.bmp", "D:\\x.bmp"},
        {"e:", "e:\\"},
        {climbing.c_str(), "c:\\"},
        // Too long, empty and missing paths are refused.
        {tooLong.c_str(), std::nullopt, ENAMETOOLONG},
        {"", std::nullopt, EINVAL},
        {nullptr, std::nullopt, EINVAL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testkit::WithLastError([&] { return FullPath(c.path); }), Result(c.full, c.error))
            << "input " << (c.path == nullptr ? "null" : std::string(c.path).substr(0, 40));
    }
}

TEST(GetFullPathName, ReportsFilePartAndSizeNeededWhenTheBufferIsTooSmall) {
    const char* path = "c:\\games\\a.vmm"; // 14 characters
    char buffer[64];
    char* filePart = nullptr;
    ASSERT_EQ(GetFullPathNameA(path, sizeof buffer, buffer, &filePart), 14u);
    EXPECT_EQ(filePart, buffer + 9);
    ASSERT_EQ(GetFullPathNameA("c:\\games\\", sizeof buffer, buffer, &filePart), 9u);
    EXPECT_EQ(filePart, nullptr);
    // Too small a buffer is left alone; the answer is the size needed.
    std::memset(buffer, '#', sizeof buffer);
    filePart = buffer;
    EXPECT_EQ(GetFullPathNameA(path, 14, buffer, &filePart), 15u);
    EXPECT_EQ(filePart, nullptr);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
    EXPECT_EQ(GetFullPathNameA(path, 0, nullptr, nullptr), 15u);
    EXPECT_EQ(GetFullPathNameA(path, 15, buffer, nullptr), 14u);
    EXPECT_EQ(std::string(buffer, 16), std::string(path) + '\0' + '#');
    const std::string longPath = "c:\\" + std::string(997, 'a');
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetFullPathNameA(longPath.c_str(), sizeof buffer, buffer, nullptr), 1001u);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
}

// Relative paths against a known current directory.
class CurrentDirectoryTest : public ::testing::Test {
protected:
    testkit::ScratchDir m_scratch;
    testkit::WorkingDirectory m_cwd{m_scratch.Path()};
};

TEST_F(CurrentDirectoryTest, RelativePathsResolveAgainstCurrentDirectory) {
    const std::string cwd = CurrentWindowsPath();
    const std::string parent = cwd.substr(0, cwd.rfind('\\'));
    EXPECT_EQ(FullPath("lev\\a.vmm"), cwd + "\\lev\\a.vmm");
    EXPECT_EQ(FullPath("./lev/a.vmm"), cwd + "\\lev\\a.vmm");
    EXPECT_EQ(FullPath("..\\x.vmm"), parent + "\\x.vmm");
    EXPECT_EQ(FullPath("."), cwd);
    EXPECT_EQ(FullPath("lev\\"), cwd + "\\lev\\");
    EXPECT_EQ(FullPath("c:lev"), cwd + "\\lev");
    EXPECT_EQ(FullPath("c:"), cwd);
    // Too small a buffer for the current directory is left alone; the answer is the size needed.
    char small[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(GetCurrentDirectoryA(sizeof small, small), cwd.size() + 1);
    EXPECT_EQ(std::string(small, sizeof small), "####");
    // The host root is the drive's root, the one directory that ends in a separator.
    testkit::WorkingDirectory root("/");
    EXPECT_EQ(FullPath("games\\a.vmm"), "c:\\games\\a.vmm");
    EXPECT_EQ(FullPath("."), "c:\\");
}

// Mapping against files on disk with mixed-case names.
TEST_F(FileTest, HostPathsMatchComponentsIgnoringCasePreferringExactThenByteOrder) {
    m_scratch.WriteFile("Games/Level1.VMM", {1, 2, 3});
    m_scratch.WriteFile("Data/abc", {});
    m_scratch.WriteFile("Data/ABC", {});
    const auto engine = [this](const std::string& relative) {
        return m_scratch.EnginePath("") + relative;
    };
    const auto host = [this](const std::string& relative) { return m_scratch.HostPath(relative); };
    const std::string tooLong = "c:\\" + std::string(5000, 'a');
    const struct {
        std::string engine;
        std::optional<std::string> host;
        int error = 0;
    } cases[] = {
        {engine("Games\\Level1.VMM"), host("Games/Level1.VMM")},
        {engine("Games/../Games/./Level1.VMM"), host("Games/Level1.VMM")},
        {"c:\\", "/"},
        {engine("games\\level1.vmm"), host("Games/Level1.VMM")},
        {engine("GAMES\\LEVEL1.vmm"), host("Games/Level1.VMM")},
        {engine("games\\"), host("Games/")},
        {engine("data\\abc"), host("Data/abc")},
        {engine("data\\ABC"), host("Data/ABC")},
        {engine("data\\aBc"), host("Data/ABC")},
        // Unmatched components stay as written.
        {engine("games\\NewFile.dat"), host("Games/NewFile.dat")},
        {engine("NoDir\\level1.vmm"), host("NoDir/level1.vmm")},
        // Other drives and overlong paths are refused.
        {"d:\\games\\level1.vmm", std::nullopt, ENODEV},
        {tooLong, std::nullopt, ENAMETOOLONG},
        {"", std::nullopt, EINVAL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostPathOf(c.engine), Result(c.host, c.error)) << c.engine.substr(0, 60);
    }
}

// Data that arrives in pieces, with signals interrupting the wait, still fills a read.
class PipeTest : public FileTest {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkfifo(m_scratch.HostPath("pipe").c_str(), 0600), 0);
        struct sigaction action = {};
        action.sa_handler = [](int) { s_signals.fetch_add(1); };
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no restart: blocked calls return EINTR
        ASSERT_EQ(::sigaction(SIGUSR1, &action, &m_previous), 0);
    }
    void TearDown() override { ::sigaction(SIGUSR1, &m_previous, nullptr); }

    static inline std::atomic<int> s_signals{0};
    struct sigaction m_previous = {};
};

TEST_F(PipeTest, ReadGathersPiecesAcrossInterruptions) {
    const Bytes data = Sequence(300);
    // Opened for reading and writing, the pipe end never waits for a partner.
    int writer = ::open(m_scratch.HostPath("pipe").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    Bytes received(data.size());
    DWORD got = 0;
    BOOL ok = FALSE;
    std::thread reader([&] {
        HANDLE file = Open("pipe", GENERIC_READ, OPEN_EXISTING);
        ok = ReadFile(file, received.data(), static_cast<DWORD>(data.size()), &got);
        CloseHandle(file);
    });
    for (std::size_t offset = 0; offset < data.size(); offset += 100) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::pthread_kill(reader.native_handle(), SIGUSR1);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(::write(writer, data.data() + offset, 100), 100);
    }
    reader.join();
    ::close(writer);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, data.size());
    EXPECT_EQ(received, data);
    EXPECT_GT(s_signals.load(), 0);
}

} // namespace
