// LoadImageA through bitmap handles: links once the bitmap registry (gdi_objects.cpp) is in.

#include "platform/ddraw/gdi/gdi.h"
#include "platform/os/last_error.h"

#include "testkit/bmp_builder.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

testkit::BmpImage Grey(std::int32_t width, std::int32_t height) {
    return {.width = width,
            .height = height,
            .bitCount = 8,
            .colours = std::vector<std::uint32_t>(256, 0x808080),
            .pixels = testkit::StoredRows(width, height, 8,
                                          std::vector<std::uint32_t>(width * height, 1))};
}

BITMAP Describe(HANDLE bitmap) {
    BITMAP info{};
    EXPECT_EQ(GetObjectA(bitmap, sizeof(info), &info), static_cast<int>(sizeof(info)));
    return info;
}

TEST(LoadImageHandleTest, ResourcesAndFilesBecomeBitmapHandles) {
    const auto packed = testkit::PackedDib(Grey(5, 3));
    platform::AddBitmapResource("Logo", packed.data(), packed.size());
    const HANDLE fromResource =
        LoadImageA(GetModuleHandleA(nullptr), "logo", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(fromResource, nullptr);
    const BITMAP resourceInfo = Describe(fromResource);
    EXPECT_EQ(resourceInfo.bmWidth, 5);
    EXPECT_EQ(resourceInfo.bmHeight, 3);
    EXPECT_EQ(resourceInfo.bmBitsPixel, 8);
    EXPECT_EQ(resourceInfo.bmWidthBytes, 8);
    EXPECT_EQ(DeleteObject(fromResource), TRUE);
    platform::ClearBitmapResources();

    testkit::ScratchDir scratch;
    scratch.WriteFile("logo.bmp", testkit::BmpFile(Grey(2, 2)));
    const HANDLE stretched = LoadImageA(nullptr, scratch.EnginePath("logo.bmp").c_str(),
                                        IMAGE_BITMAP, 6, 4, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
    ASSERT_NE(stretched, nullptr);
    const BITMAP fileInfo = Describe(stretched);
    EXPECT_EQ(fileInfo.bmWidth, 6);
    EXPECT_EQ(fileInfo.bmHeight, 4);
    EXPECT_EQ(DeleteObject(stretched), TRUE);
}

TEST(LoadImageHandleTest, FailuresGiveNoHandle) {
    SetLastError(0);
    EXPECT_EQ(LoadImageA(GetModuleHandleA(nullptr), "absent", IMAGE_BITMAP, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
    EXPECT_EQ(LoadImageA(nullptr, "c:\\absent\\absent.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENOENT));
}

} // namespace
