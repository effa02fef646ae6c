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
#include <vector>

namespace {

namespace fs = std::filesystem;

std::optional<std::string> FullPath(const char* path) {
    std::vector<char> buffer(4096);
    DWORD length =
        GetFullPathNameA(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) {
        return std::nullopt;
    }
    return std::string(buffer.data(), length);
}

std::optional<std::string> HostPathOf(const std::string& path) {
    std::string host;
    if (!platform::MapToHostPath(path.c_str(), host)) {
        return std::nullopt;
    }
    return host;
}

// The current directory as the engine names it.
std::string CurrentWindowsPath() {
    return platform::HostToWindowsPath(fs::current_path().string());
}

TEST(GetFullPathName, ResolvesComponentsSeparatorsAndDrivesTextually) {
    const struct {
        const char* path;
        const char* full;
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FullPath(c.path), c.full) << "input " << c.path;
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
}

TEST(GetFullPathName, LongInputsAndRefusals) {
    std::string longPath = "c:\\" + std::string(997, 'a');
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetFullPathNameA(longPath.c_str(), sizeof buffer, buffer, nullptr), 1001u);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));

    // Parent components may bring a long input back to something short.
    std::string climbing = "c:\\x";
    for (int i = 0; i < 5000; ++i) {
        climbing += "\\..";
    }
    EXPECT_EQ(FullPath(climbing.c_str()), "c:\\");

    // Too long, empty and missing paths are refused.
    const std::string tooLong = "c:\\" + std::string(40000, 'a');
    const std::pair<const char*, int> refused[] = {
        {tooLong.c_str(), ENAMETOOLONG}, {"", EINVAL}, {nullptr, EINVAL}};
    for (const auto& c : refused) {
        EXPECT_EQ(testkit::WithLastError(
                      [&] { return GetFullPathNameA(c.first, sizeof buffer, buffer, nullptr); }),
                  std::tuple(0u, c.second));
    }
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
    const struct {
        std::string engine, host;
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
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HostPathOf(c.engine), c.host) << c.engine;
    }
}

TEST_F(MapToHostPathTest, RefusesOtherDrivesAndOverlongPaths) {
    const std::string tooLong = "c:\\" + std::string(5000, 'a');
    const std::pair<const char*, int> refused[] = {
        {"d:\\games\\level1.vmm", ENODEV}, {tooLong.c_str(), ENAMETOOLONG}, {"", EINVAL}};
    for (const auto& c : refused) {
        std::string host;
        EXPECT_EQ(testkit::WithLastError([&] { return platform::MapToHostPath(c.first, host); }),
                  std::tuple(false, c.second))
            << c.first;
    }
}

} // namespace
