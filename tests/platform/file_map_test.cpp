#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/last_error.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace {

HANDLE OpenForReading(const testkit::ScratchDir& dir, const std::string& name) {
    return CreateFileA(dir.EnginePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

// The view holds the file's bytes from its start, whatever the handle's position, and stays
// valid once the handle is closed.
TEST(FileMapTest, ViewHoldsTheWholeFileAndOutlivesTheHandle) {
    testkit::ScratchDir dir;
    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7};
    dir.WriteFile("data.bin", bytes);
    HANDLE file = OpenForReading(dir, "data.bin");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetFilePointer(file, 3, FILE_BEGIN);
    DWORD size = 0;
    const void* view = MapFile(file, &size);
    CloseHandle(file);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(size, bytes.size());
    const auto* mapped = static_cast<const std::uint8_t*>(view);
    EXPECT_EQ(std::vector<std::uint8_t>(mapped, mapped + size), bytes);
    UnmapFile(view, size);
}

TEST(FileMapTest, EmptyFilesAndStaleHandlesAreNotMapped) {
    testkit::ScratchDir dir;
    dir.WriteFile("empty.bin", {});
    HANDLE file = OpenForReading(dir, "empty.bin");
    DWORD size = 99;
    EXPECT_EQ(MapFile(file, &size), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(EINVAL));
    CloseHandle(file);
    EXPECT_EQ(MapFile(file, &size), nullptr);
    EXPECT_EQ(size, 99u);
}

} // namespace
