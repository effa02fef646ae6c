#include "support/path_utils.h"

#include "platform/os/path.h"

#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"
#include "testkit/working_directory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int result;
    std::string path;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << outcome.result << " \"" << outcome.path << '"';
}

// MakeBaseDirectory with the file first, as the others take their base.
int BaseOf(const char* file, char* base) {
    return MakeBaseDirectory(base, file);
}

// Runs a path function on a caller's buffer of the contracted size holding path, with a guard
// zone behind it that must stay as it was.
Outcome Resolve(int (*function)(const char*, char*), const std::string& base,
                const std::string& path) {
    std::array<char, kPathBufferSize + 64> buffer;
    buffer.fill('#');
    EXPECT_LT(path.size(), static_cast<std::size_t>(kPathBufferSize));
    std::memcpy(buffer.data(), path.c_str(), path.size() + 1);
    const int result = function(base.c_str(), buffer.data());
    EXPECT_TRUE(std::all_of(buffer.begin() + kPathBufferSize, buffer.end(), [](char c) {
        return c == '#';
    })) << "written past the buffer";
    return {result, buffer.data()};
}

using testkit::Lower;

// A full path of exactly length characters: the drive root and a run of one letter.
std::string FullPathOfLength(std::size_t length) {
    return "c:\\" + std::string(length - 3, 'a');
}

std::string CurrentWindowsPath() {
    return platform::HostToWindowsPath(std::filesystem::current_path().string());
}

// Each function against a table of inputs and exact outcomes.
TEST(PathFunctions, TableOfResolutions) {
    const struct {
        int (*function)(const char*, char*);
        std::string base, path;
        Outcome expected;
    } cases[] = {
        // The base directory is cut after the last separator and lower-cased.
        {BaseOf, "c:\\Games\\Level1.LEV", "untouched", {0, "c:\\games\\"}},
        {BaseOf, "C:/Games/Lev/Level1.LEV", "untouched", {0, "c:\\games\\lev\\"}},
        {BaseOf, "c:\\games\\lev\\", "untouched", {0, "c:\\games\\lev\\"}},
        {BaseOf, "c:\\games\\..\\x.lev", "untouched", {0, "c:\\"}},
        {BaseOf, "c:\\", "untouched", {0, "c:\\"}},
        // What does not fit is refused and the base is left alone.
        {BaseOf, FullPathOfLength(kPathBufferSize - 1), "untouched", {0, "c:\\"}},
        {BaseOf, FullPathOfLength(kPathBufferSize), "untouched", {-1, "untouched"}},
        {BaseOf, "", "untouched", {-1, "untouched"}},
        // Full paths resolve against the base.
        {MakeFullPath, "c:\\games\\lev\\", "..\\tex\\a.bmp", {0, "c:\\games\\tex\\a.bmp"}},
        {MakeFullPath, "c:\\games\\lev\\", "Tex/A.BMP", {0, "c:\\games\\lev\\tex\\a.bmp"}},
        {MakeFullPath, "c:\\games\\lev\\", ".\\a.bmp", {0, "c:\\games\\lev\\a.bmp"}},
        {MakeFullPath, "c:\\Games\\", "..\\..\\A.BMP", {0, "c:\\a.bmp"}},
        // Two characters are not yet a full path, so "c:" is appended to the base.
        {MakeFullPath, "c:\\games\\", "c:", {0, "c:\\games\\c:"}},
        // Empty and drive paths stay exactly as they are, whatever the base.
        {MakeFullPath, "c:\\games\\", "D:\\X.BMP", {0, "D:\\X.BMP"}},
        {MakeFullPath, "", "c:Mixed", {0, "c:Mixed"}},
        {MakeFullPath, "no base at all", "", {0, ""}},
        // Relative paths climb out of the base and are lower-cased.
        {MakeRelativePath,
         "c:\\games\\lev\\",
         "C:\\Games\\Level2\\Map.Tex",
         {0, "..\\level2\\map.tex"}},
        {MakeRelativePath, "c:\\a\\b\\c\\", "c:\\a\\x\\y.bmp", {0, "..\\..\\x\\y.bmp"}},
        // Only the directory of base counts: whatever follows its last backslash is ignored.
        {MakeRelativePath, "c:\\games\\level1.lev", "c:\\games\\a.bmp", {0, "a.bmp"}},
        // Shared partial names are not shared directories; the base keeps its case.
        {MakeRelativePath,
         "c:\\games\\lev\\",
         "c:\\games\\levels\\a.bmp",
         {0, "..\\levels\\a.bmp"}},
        {MakeRelativePath, "c:\\gamesx\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        {MakeRelativePath, "c:\\Games\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        // Failures leave the path lower-cased.
        {MakeRelativePath, "c:\\a\\b\\", "D:\\A\\X.BMP", {-1, "d:\\a\\x.bmp"}},
        {MakeRelativePath, "c:\\a\\", "C:A.BMP", {-2, "c:a.bmp"}},
        {MakeRelativePath, "c:games", "c:\\Games\\A.bmp", {-3, "c:\\games\\a.bmp"}},
        {MakeRelativePath, "", "A.BMP", {-1, "a.bmp"}},
        {MakeRelativePath, "", "", {-2, ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolve(c.function, c.base, c.path), c.expected) << c.base << " | " << c.path;
    }
}

TEST(PathFunctions, RelativeFilesResolveAgainstTheCurrentDirectory) {
    testkit::ScratchDir scratch;
    testkit::WorkingDirectory cwd(scratch.Path());
    const std::string current = Lower(CurrentWindowsPath());
    EXPECT_EQ(Resolve(BaseOf, "Lev\\Level1.LEV", "untouched"), (Outcome{0, current + "\\lev\\"}));
    EXPECT_EQ(Resolve(MakeFullPath, "", "Tex\\A.BMP"), (Outcome{0, current + "\\tex\\a.bmp"}));
}

TEST(MakeFullPath, RefusesResultsBeyondTheResolutionLimitOrTheBuffer) {
    // Parent components would bring the second case back to a short path, but the joined
    // text itself must fit in the working buffer.
    const std::string longBase = "c:\\" + std::string(100, 'b') + "\\";
    std::string climb;
    while (longBase.size() + climb.size() + 3 <= static_cast<std::size_t>(kPathBufferSize) - 1) {
        climb += "..\\";
    }
    const std::string name(kPathBufferSize - 1 - longBase.size() - climb.size(), 'x');
    const std::string limit(kFullPathLimit - 4, 'a');
    const struct {
        std::string base, fits, resolved;
    } cases[] = {{"c:\\", limit, "c:\\" + limit}, {longBase, climb + name, "c:\\" + name}};
    for (const auto& c : cases) {
        EXPECT_EQ(Resolve(MakeFullPath, c.base, c.fits), (Outcome{0, c.resolved}));
        testkit::DebugCapture capture;
        EXPECT_EQ(Resolve(MakeFullPath, c.base, c.fits + "x"), (Outcome{-2, c.fits + "x"}));
        EXPECT_EQ(capture.Text(), c.base + c.fits + "x\r\n");
    }
}

TEST(MakeRelativePath, RefusesResultsLongerThanBuffer) {
    // Every two-character base component becomes a three-character step up.
    std::string base = "c:\\";
    while (base.size() + 2 < static_cast<std::size_t>(kPathBufferSize)) {
        base += "a\\";
    }
    EXPECT_EQ(Resolve(MakeRelativePath, base, "C:\\B\\F.BMP"),
              (Outcome{kRelativePathTooLong, "c:\\b\\f.bmp"}));
}

} // namespace
