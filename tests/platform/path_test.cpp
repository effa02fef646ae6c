#include "platform/os/last_error.h"
#include "platform/os/path.h"

#include "testkit/last_error.h"
#include "testkit/scratch_dir.h"
#include "testkit/working_directory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

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
class MapToHostPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_scratch.WriteFile("Games/Level1.VMM", {1, 2, 3});
        m_scratch.WriteFile("Data/abc", {});
        m_scratch.WriteFile("Data/ABC", {});
    }

    // A path below the scratch directory as the engine names it.
    std::string Engine(const std::string& relative) const {
        return platform::HostToWindowsPath(m_scratch.Path().string()) + "\\" + relative;
    }
    std::string Host(const std::string& relative) const {
        return m_scratch.Path().string() + "/" + relative;
    }

    testkit::ScratchDir m_scratch;
};

TEST_F(MapToHostPathTest, MatchesComponentsIgnoringCasePreferringExactThenByteOrder) {
    const std::string tooLong = "c:\\" + std::string(5000, 'a');
    const struct {
        std::string engine;
        std::optional<std::string> host;
        int error = 0;
    } cases[] = {
        {Engine("Games\\Level1.VMM"), Host("Games/Level1.VMM")},
        {Engine("Games/../Games/./Level1.VMM"), Host("Games/Level1.VMM")},
        {"c:\\", "/"},
        {Engine("games\\level1.vmm"), Host("Games/Level1.VMM")},
        {Engine("GAMES\\LEVEL1.vmm"), Host("Games/Level1.VMM")},
        {Engine("games\\"), Host("Games/")},
        {Engine("data\\abc"), Host("Data/abc")},
        {Engine("data\\ABC"), Host("Data/ABC")},
        {Engine("data\\aBc"), Host("Data/ABC")},
        // Unmatched components stay as written.
        {Engine("games\\NewFile.dat"), Host("Games/NewFile.dat")},
        {Engine("NoDir\\level1.vmm"), Host("NoDir/level1.vmm")},
        // Other drives and overlong paths are refused.
        {"d:\\games\\level1.vmm", std::nullopt, ENODEV},
        {tooLong, std::nullopt, ENAMETOOLONG},
        {"", std::nullopt, EINVAL},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostPathOf(c.engine), Result(c.host, c.error)) << c.engine.substr(0, 60);
    }
}

} // namespace
