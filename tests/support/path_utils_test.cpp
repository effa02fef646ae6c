#include "support/path_utils.h"

#include "platform/os/file.h"
#include "platform/os/path.h"

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

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// A full path of exactly length characters: the drive root and a run of one letter.
std::string FullPathOfLength(std::size_t length) {
    return "c:\\" + std::string(length - 3, 'a');
}

std::string CurrentWindowsPath() {
    return platform::HostToWindowsPath(std::filesystem::current_path().string());
}

TEST(MakeBaseDirectory, CutsAfterLastSeparatorAndLowerCases) {
    EXPECT_EQ(BaseOf("c:\\Games\\Level1.LEV"), (Outcome{0, "c:\\games\\"}));
    EXPECT_EQ(BaseOf("C:/Games/Lev/Level1.LEV"), (Outcome{0, "c:\\games\\lev\\"}));
    EXPECT_EQ(BaseOf("c:\\games\\lev\\"), (Outcome{0, "c:\\games\\lev\\"}));
    EXPECT_EQ(BaseOf("c:\\games\\..\\x.lev"), (Outcome{0, "c:\\"}));
    EXPECT_EQ(BaseOf("c:\\"), (Outcome{0, "c:\\"}));
}

TEST(MakeBaseDirectory, RelativeFileUsesCurrentDirectory) {
    testkit::ScratchDir scratch;
    testkit::WorkingDirectory cwd(scratch.Path());
    EXPECT_EQ(BaseOf("Lev\\Level1.LEV"), (Outcome{0, Lower(CurrentWindowsPath()) + "\\lev\\"}));
}

TEST(MakeBaseDirectory, RefusesWhatDoesNotFitAndLeavesBaseAlone) {
    std::string longest = FullPathOfLength(kPathBufferSize - 1);
    EXPECT_EQ(BaseOf(longest), (Outcome{0, "c:\\"}));
    EXPECT_EQ(BaseOf(FullPathOfLength(kPathBufferSize)), (Outcome{-1, "untouched"}));
    EXPECT_EQ(BaseOf(FullPathOfLength(1000)), (Outcome{-1, "untouched"}));
    EXPECT_EQ(BaseOf(""), (Outcome{-1, "untouched"}));
}

TEST(MakeFullPath, ResolvesAgainstBase) {
    EXPECT_EQ(Full("c:\\games\\lev\\", "..\\tex\\a.bmp"), (Outcome{0, "c:\\games\\tex\\a.bmp"}));
    EXPECT_EQ(Full("c:\\games\\lev\\", "Tex/A.BMP"), (Outcome{0, "c:\\games\\lev\\tex\\a.bmp"}));
    EXPECT_EQ(Full("c:\\games\\lev\\", ".\\a.bmp"), (Outcome{0, "c:\\games\\lev\\a.bmp"}));
    EXPECT_EQ(Full("c:\\Games\\", "..\\..\\A.BMP"), (Outcome{0, "c:\\a.bmp"}));
    // Two characters are not yet a full path, so "c:" is appended to the base.
    EXPECT_EQ(Full("c:\\games\\", "c:"), (Outcome{0, "c:\\games\\c:"}));
}

TEST(MakeFullPath, LeavesEmptyAndDrivePathsExactlyAsTheyAre) {
    for (const std::string base : {"c:\\games\\", "", "no base at all"}) {
        EXPECT_EQ(Full(base, "D:\\X.BMP"), (Outcome{0, "D:\\X.BMP"}));
        EXPECT_EQ(Full(base, "c:Mixed"), (Outcome{0, "c:Mixed"}));
        EXPECT_EQ(Full(base, ""), (Outcome{0, ""}));
    }
}

TEST(MakeFullPath, EmptyBaseUsesCurrentDirectory) {
    testkit::ScratchDir scratch;
    testkit::WorkingDirectory cwd(scratch.Path());
    EXPECT_EQ(Full("", "Tex\\A.BMP"), (Outcome{0, Lower(CurrentWindowsPath()) + "\\tex\\a.bmp"}));
}

TEST(MakeFullPath, RefusesFullPathsOfResolutionLimit) {
    const std::string base = "c:\\";
    std::string fits(kFullPathLimit - 1 - base.size(), 'a');
    EXPECT_EQ(Full(base, fits), (Outcome{0, base + fits}));

    std::string tooLong = fits + "b";
    testkit::DebugCapture capture;
    EXPECT_EQ(Full(base, tooLong), (Outcome{-2, tooLong}));
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{base + tooLong + "\r\n"});
}

TEST(MakeFullPath, RefusesConcatenationsLongerThanBuffer) {
    // Parent components would bring these back to a short path, but the joined text itself
    // must fit in the working buffer.
    const std::string base = "c:\\" + std::string(100, 'b') + "\\";
    std::string climb;
    while (base.size() + climb.size() + 3 <= static_cast<std::size_t>(kPathBufferSize) - 1) {
        climb += "..\\";
    }
    std::string name(kPathBufferSize - 1 - base.size() - climb.size(), 'x');
    std::string fits = climb + name;
    ASSERT_EQ(base.size() + fits.size(), static_cast<std::size_t>(kPathBufferSize) - 1);
    EXPECT_EQ(Full(base, fits), (Outcome{0, "c:\\" + name}));

    std::string tooLong = fits + "x";
    testkit::DebugCapture capture;
    EXPECT_EQ(Full(base, tooLong), (Outcome{-2, tooLong}));
    EXPECT_EQ(capture.Text(), base + tooLong + "\r\n");
}

TEST(MakeRelativePath, ClimbsOutOfBaseAndLowerCases) {
    EXPECT_EQ(Relative("c:\\games\\lev\\", "C:\\Games\\Level2\\Map.Tex"),
              (Outcome{0, "..\\level2\\map.tex"}));
    EXPECT_EQ(Relative("c:\\games\\", "c:\\games\\tex\\a.bmp"), (Outcome{0, "tex\\a.bmp"}));
    EXPECT_EQ(Relative("c:\\games\\", "c:\\games\\a.bmp"), (Outcome{0, "a.bmp"}));
    EXPECT_EQ(Relative("c:\\a\\b\\c\\", "c:\\a\\x\\y.bmp"), (Outcome{0, "..\\..\\x\\y.bmp"}));
    EXPECT_EQ(Relative("c:\\a\\b\\", "c:\\a.bmp"), (Outcome{0, "..\\..\\a.bmp"}));
    // Only the directory of base counts: whatever follows its last backslash is ignored.
    EXPECT_EQ(Relative("c:\\games\\level1.lev", "c:\\games\\a.bmp"), (Outcome{0, "a.bmp"}));
}

TEST(MakeRelativePath, SharedPartialNamesAreNotSharedDirectories) {
    EXPECT_EQ(Relative("c:\\games\\lev\\", "c:\\games\\levels\\a.bmp"),
              (Outcome{0, "..\\levels\\a.bmp"}));
    EXPECT_EQ(Relative("c:\\gamesx\\", "c:\\games\\a.bmp"), (Outcome{0, "..\\games\\a.bmp"}));
    EXPECT_EQ(Relative("c:\\ab\\cd\\", "c:\\abc\\a.bmp"), (Outcome{0, "..\\..\\abc\\a.bmp"}));
}

TEST(MakeRelativePath, BaseIsComparedWithItsCase) {
    EXPECT_EQ(Relative("c:\\Games\\", "c:\\games\\a.bmp"), (Outcome{0, "..\\games\\a.bmp"}));
}

TEST(MakeRelativePath, FailuresLeavePathLowerCased) {
    EXPECT_EQ(Relative("c:\\a\\b\\", "D:\\A\\X.BMP"), (Outcome{-1, "d:\\a\\x.bmp"}));
    EXPECT_EQ(Relative("c:\\a\\", "C:A.BMP"), (Outcome{-2, "c:a.bmp"}));
    EXPECT_EQ(Relative("c:games", "c:\\Games\\A.bmp"), (Outcome{-3, "c:\\games\\a.bmp"}));
    EXPECT_EQ(Relative("", "A.BMP"), (Outcome{-1, "a.bmp"}));
    EXPECT_EQ(Relative("", ""), (Outcome{-2, ""}));
}

TEST(MakeRelativePath, RefusesResultsLongerThanBuffer) {
    // Every two-character base component becomes a three-character step up.
    std::string base = "c:\\";
    while (base.size() + 2 < static_cast<std::size_t>(kPathBufferSize)) {
        base += "a\\";
    }
    EXPECT_EQ(Relative(base, "C:\\B\\F.BMP"), (Outcome{kRelativePathTooLong, "c:\\b\\f.bmp"}));

    std::string shorter = "c:\\";
    for (int i = 0; i < 80; ++i) {
        shorter += "a\\";
    }
    Outcome outcome = Relative(shorter, "c:\\b\\f.bmp");
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.path.size(), 80 * 3 + 7u);
}

TEST(PathFunctions, RelativeThenFullGivesBackThePath) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"c:\\games\\lev\\", "c:\\games\\level2\\map.tex"},
        {"c:\\gamesx\\", "c:\\games\\a.bmp"},
        {"c:\\a\\b\\c\\", "c:\\a\\b\\c\\d\\e\\f.bmp"},
        {"c:\\a\\b\\c\\", "c:\\x.bmp"},
        {"c:\\", "c:\\games\\a.bmp"},
    };
    for (const auto& [base, path] : cases) {
        Outcome relative = Relative(base, path);
        ASSERT_EQ(relative.result, 0) << base << " " << path;
        EXPECT_EQ(Full(base, relative.path), (Outcome{0, path})) << "via " << relative.path;
    }
}

// A level directory with mixed-case names on disk, named in lower case by the engine.
TEST(PathFunctions, ResolvedNamesOpenFilesOnDisk) {
    testkit::ScratchDir scratch;
    scratch.WriteFile("Games/Lev/Level1.LEV", {1});
    scratch.WriteFile("Games/Tex/A.BMP", {7, 8, 9});

    PathBuffer base("");
    ASSERT_EQ(MakeBaseDirectory(base.Data(), scratch.EnginePath("Games/Lev/Level1.LEV").c_str()),
              0);
    EXPECT_EQ(base.Text(), Lower(scratch.EnginePath("Games/Lev/")));

    PathBuffer texture("..\\Tex\\A.BMP");
    ASSERT_EQ(MakeFullPath(base.Data(), texture.Data()), 0);
    EXPECT_EQ(texture.Text(), Lower(scratch.EnginePath("Games/Tex/A.BMP")));

    HANDLE file = CreateFileA(texture.Data(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file), 3u);
    EXPECT_TRUE(CloseHandle(file));

    ASSERT_EQ(MakeRelativePath(base.Data(), texture.Data()), 0);
    EXPECT_EQ(texture.Text(), "..\\tex\\a.bmp");
}

} // namespace
