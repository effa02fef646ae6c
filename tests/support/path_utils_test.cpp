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

// A caller's buffer of the contracted size, with a guard zone behind it that must stay as it
// was.
class PathBuffer {
public:
    explicit PathBuffer(const std::string& text) {
        m_bytes.fill('#');
        EXPECT_LT(text.size(), static_cast<std::size_t>(kPathBufferSize));
        std::memcpy(m_bytes.data(), text.c_str(), text.size() + 1);
    }
    ~PathBuffer() {
        EXPECT_TRUE(std::all_of(m_bytes.begin() + kPathBufferSize, m_bytes.end(), [](char c) {
            return c == '#';
        })) << "written past the buffer";
    }
    char* Data() { return m_bytes.data(); }
    std::string Text() const { return m_bytes.data(); }

private:
    std::array<char, kPathBufferSize + 64> m_bytes;
};

struct Outcome {
    int result;
    std::string path;
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    return out << outcome.result << " \"" << outcome.path << '"';
}

Outcome Relative(const std::string& base, const std::string& path) {
    PathBuffer buffer(path);
    int result = MakeRelativePath(base.c_str(), buffer.Data());
    return {result, buffer.Text()};
}

Outcome Full(const std::string& base, const std::string& path) {
    PathBuffer buffer(path);
    int result = MakeFullPath(base.c_str(), buffer.Data());
    return {result, buffer.Text()};
}

Outcome BaseOf(const std::string& file) {
    PathBuffer buffer("untouched");
    int result = MakeBaseDirectory(buffer.Data(), file.c_str());
    return {result, buffer.Text()};
}

Outcome BaseOfFile(const std::string&, const std::string& file) {
    return BaseOf(file);
}

using testkit::Lower;

// A full path of exactly length characters: the drive root and a run of one letter.
std::string FullPathOfLength(std::size_t length) {
    return "c:\\" + std::string(length - 3, 'a');
}

std::string CurrentWindowsPath() {
    return platform::HostToWindowsPath(std::filesystem::current_path().string());
}

// Each function against a table of inputs and exact outcomes; BaseOf ignores the base.
TEST(PathFunctions, TableOfResolutions) {
    const struct {
        Outcome (*function)(const std::string&, const std::string&);
        std::string base, path;
        Outcome expected;
    } cases[] = {
        // The base directory is cut after the last separator and lower-cased.
        {BaseOfFile, "", "c:\\Games\\Level1.LEV", {0, "c:\\games\\"}},
        {BaseOfFile, "", "C:/Games/Lev/Level1.LEV", {0, "c:\\games\\lev\\"}},
        {BaseOfFile, "", "c:\\games\\lev\\", {0, "c:\\games\\lev\\"}},
        {BaseOfFile, "", "c:\\games\\..\\x.lev", {0, "c:\\"}},
        {BaseOfFile, "", "c:\\", {0, "c:\\"}},
        // What does not fit is refused and the base is left alone.
        {BaseOfFile, "", FullPathOfLength(kPathBufferSize - 1), {0, "c:\\"}},
        {BaseOfFile, "", FullPathOfLength(kPathBufferSize), {-1, "untouched"}},
        {BaseOfFile, "", "", {-1, "untouched"}},
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
        {Relative, "c:\\games\\lev\\", "C:\\Games\\Level2\\Map.Tex", {0, "..\\level2\\map.tex"}},
        {Relative, "c:\\a\\b\\c\\", "c:\\a\\x\\y.bmp", {0, "..\\..\\x\\y.bmp"}},
        // Only the directory of base counts: whatever follows its last backslash is ignored.
        {Relative, "c:\\games\\level1.lev", "c:\\games\\a.bmp", {0, "a.bmp"}},
        // Shared partial names are not shared directories; the base keeps its case.
        {Relative, "c:\\games\\lev\\", "c:\\games\\levels\\a.bmp", {0, "..\\levels\\a.bmp"}},
        {Relative, "c:\\gamesx\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        {Relative, "c:\\Games\\", "c:\\games\\a.bmp", {0, "..\\games\\a.bmp"}},
        // Failures leave the path lower-cased.
        {Relative, "c:\\a\\b\\", "D:\\A\\X.BMP", {-1, "d:\\a\\x.bmp"}},
        {Relative, "c:\\a\\", "C:A.BMP", {-2, "c:a.bmp"}},
        {Relative, "c:games", "c:\\Games\\A.bmp", {-3, "c:\\games\\a.bmp"}},
        {Relative, "", "A.BMP", {-1, "a.bmp"}},
        {Relative, "", "", {-2, ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.function(c.base, c.path), c.expected) << c.base << " | " << c.path;
    }
}

TEST(PathFunctions, RelativeFilesResolveAgainstTheCurrentDirectory) {
    testkit::ScratchDir scratch;
    testkit::WorkingDirectory cwd(scratch.Path());
    const std::string current = Lower(CurrentWindowsPath());
    EXPECT_EQ(BaseOf("Lev\\Level1.LEV"), (Outcome{0, current + "\\lev\\"}));
    EXPECT_EQ(Full("", "Tex\\A.BMP"), (Outcome{0, current + "\\tex\\a.bmp"}));
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
        EXPECT_EQ(Full(c.base, c.fits), (Outcome{0, c.resolved}));
        testkit::DebugCapture capture;
        EXPECT_EQ(Full(c.base, c.fits + "x"), (Outcome{-2, c.fits + "x"}));
        EXPECT_EQ(capture.Text(), c.base + c.fits + "x\r\n");
    }
}

TEST(MakeRelativePath, RefusesResultsLongerThanBuffer) {
    // Every two-character base component becomes a three-character step up.
    std::string base = "c:\\";
    while (base.size() + 2 < static_cast<std::size_t>(kPathBufferSize)) {
        base += "a\\";
    }
    EXPECT_EQ(Relative(base, "C:\\B\\F.BMP"), (Outcome{kRelativePathTooLong, "c:\\b\\f.bmp"}));
}

} // namespace
