#include "support/path_utils.h"

#include "testkit/debug_capture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

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

constexpr auto Full = MakeFullPath;
constexpr auto Rel = MakeRelativePath;

// A full path of exactly length characters: the drive root and a run of one letter.
std::string FullPathOfLength(std::size_t length) {
    return "c:\\" + std::string(length - 3, 'a');
}

// Each function against a table of inputs and exact outcomes.
TEST(PathFunctions, TableOfResolutions) {
    const struct {
        int (*function)(const char*, char*);
        std::string base, path;
        Outcome expected;
    } cases[] = {
        // The base directory is cut after the last separator and lower-cased.
        {BaseOf, "C:/Games/Lev/Level1.LEV", "-", {0, "c:\\games\\lev\\"}},
        {BaseOf, "c:\\games\\lev\\", "-", {0, "c:\\games\\lev\\"}},
        {BaseOf, "c:\\games\\..\\x.lev", "-", {0, "c:\\"}},
        // What does not fit is refused and the base is left alone.
        {BaseOf, FullPathOfLength(kPathBufferSize - 1), "-", {0, "c:\\"}},
        {BaseOf, FullPathOfLength(kPathBufferSize), "-", {-1, "-"}},
        {BaseOf, "", "-", {-1, "-"}},
        // Full paths resolve against the base.
        {Full, "c:\\games\\lev\\", "..\\tex\\a.bmp", {0, "c:\\games\\tex\\a.bmp"}},
        {Full, "c:\\games\\lev\\", "Tex/A.BMP", {0, "c:\\games\\lev\\tex\\a.bmp"}},
        {Full, "c:\\games\\lev\\", ".\\a.bmp", {0, "c:\\games\\lev\\a.bmp"}},
        {Full, "c:\\Games\\", "..\\..\\A.BMP", {0, "c:\\a.bmp"}},
        // Two characters are not yet a full path, so "c:" is appended to the base.
        {Full, "c:\\games\\", "c:", {0, "c:\\games\\c:"}},
        // Empty and drive paths stay exactly as they are, whatever the base.
        {Full, "c:\\games\\", "D:\\X.BMP", {0, "D:\\X.BMP"}},
        {Full, "", "c:Mixed", {0, "c:Mixed"}},
        {Full, "no base at all", "", {0, ""}},
        // Relative paths climb out of the base and are lower-cased.
        {Rel, "c:\\g\\lev\\", "C:\\G\\Lv2\\Map.Tex", {0, "..\\lv2\\map.tex"}},
        {Rel, "c:\\a\\b\\c\\", "c:\\a\\x\\y.bmp", {0, "..\\..\\x\\y.bmp"}},
        // Only the directory of base counts: whatever follows its last backslash is ignored.
        {Rel, "c:\\games\\level1.lev", "c:\\games\\a.bmp", {0, "a.bmp"}},
        // Shared partial names are not shared directories; the base keeps its case.
        {Rel, "c:\\g\\lev\\", "c:\\g\\levels\\a.bmp", {0, "..\\levels\\a.bmp"}},
        {Rel, "c:\\gamesx\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        {Rel, "c:\\Games\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        // Failures leave the path lower-cased.
        {Rel, "c:\\a\\b\\", "D:\\A\\X.BMP", {-1, "d:\\a\\x.bmp"}},
        {Rel, "c:\\a\\", "C:A.BMP", {-2, "c:a.bmp"}},
        {Rel, "c:games", "c:\\Games\\A.bmp", {-3, "c:\\games\\a.bmp"}},
        {Rel, "", "A.BMP", {-1, "a.bmp"}},
        {Rel, "", "", {-2, ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Resolve(c.function, c.base, c.path), c.expected) << c.base << " | " << c.path;
    }
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
        EXPECT_EQ(Resolve(Full, c.base, c.fits), (Outcome{0, c.resolved}));
        testkit::DebugCapture capture;
        EXPECT_EQ(Resolve(Full, c.base, c.fits + "x"), (Outcome{-2, c.fits + "x"}));
        EXPECT_EQ(capture.Text(), c.base + c.fits + "x\r\n");
    }
}

TEST(MakeRelativePath, RefusesResultsLongerThanBuffer) {
    // Every two-character base component becomes a three-character step up.
    std::string base = "c:\\";
    while (base.size() + 2 < static_cast<std::size_t>(kPathBufferSize)) {
        base += "a\\";
    }
    EXPECT_EQ(Resolve(Rel, base, "C:\\B\\F.BMP"), (Outcome{kRelativePathTooLong, "c:\\b\\f.bmp"}));
}

} // namespace
