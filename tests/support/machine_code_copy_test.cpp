#include "support/machine_code.h"

#include "platform/os/file.h"
#include "support/memory.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

namespace {

TEST(MachineCodeCopyTest, CopyOfAContainerWithoutItsBufferIsEmpty) {
    testkit::ScratchDir dir;
    testkit::DebugCapture capture;
    dir.WriteFile("code.bin", testkit::ByteBuilder().U32(4).U32(0x11223344).Bytes());
    HANDLE file = CreateFileA(dir.EnginePath("code.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CAbstractMachineCode sizedWithoutBuffer;
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(sizedWithoutBuffer.Load(file), 0);
    CMemory::FailAllocationAfter(0);
    CloseHandle(file);
    ASSERT_EQ(sizedWithoutBuffer.GetAMXBuffer(), nullptr);
    ASSERT_EQ(sizedWithoutBuffer.GetAMXBufferSize(), 4u);

    CAbstractMachineCode copy;
    copy = sizedWithoutBuffer;
    EXPECT_EQ(copy.GetAMXBuffer(), nullptr);
    EXPECT_EQ(copy.GetAMXBufferSize(), 0u);
}

} // namespace
