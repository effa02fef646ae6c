#include "support/machine_code.h"

#include "platform/os/file.h"
#include "support/memory.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class MachineCodeTest : public ::testing::Test {
protected:
    void TearDown() override { CMemory::FailAllocationAfter(0); }

    HANDLE Open(const std::string& name) {
        HANDLE file = CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  OPEN_EXISTING);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        return file;
    }
    HANDLE Create(const std::string& name) {
        HANDLE file = CreateFileA(m_dir.EnginePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                  CREATE_ALWAYS);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        return file;
    }
    // Loads name into code and returns Load's result.
    int LoadFrom(const std::string& name, CAbstractMachineCode& code) {
        HANDLE file = Open(name);
        int result = code.Load(file);
        CloseHandle(file);
        return result;
    }
    static Bytes Contents(const CAbstractMachineCode& code) {
        return Bytes(code.GetAMXBuffer(), code.GetAMXBuffer() + code.GetAMXBufferSize());
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
};

TEST_F(MachineCodeTest, LoadsASizePrefixedBlockAtTheCurrentPositionAndSavesItBack) {
    m_dir.WriteFile("code.bin",
                    testkit::ByteBuilder().U8(0xEE).U32(3).U8(1).U8(2).U8(3).U8(0xFF).Bytes());
    HANDLE file = Open("code.bin");
    ASSERT_EQ(SetFilePointer(file, 1, FILE_BEGIN), 1u);
    CAbstractMachineCode code;
    const DWORD base = CMemory::GetTotalMemoryAllocated();
    EXPECT_EQ(code.Load(file), 1);
    EXPECT_EQ(Contents(code), (Bytes{1, 2, 3}));
    EXPECT_EQ(SetFilePointer(file, 0, FILE_CURRENT), 8u) << "stops right after the block";
    CloseHandle(file);

    HANDLE copy = Create("copy.bin");
    ASSERT_EQ(code.Save(copy), 1);
    ASSERT_EQ(SetFilePointer(copy, 0, FILE_BEGIN), 0u);
    CAbstractMachineCode reloaded;
    EXPECT_EQ(reloaded.Load(copy), 1);
    CloseHandle(copy);
    EXPECT_EQ(Contents(reloaded), Contents(code));
    EXPECT_EQ(m_dir.ReadFile("copy.bin"), testkit::ByteBuilder().U32(3).U8(1).U8(2).U8(3).Bytes());

    // A second load replaces the first block; an empty block leaves an empty container.
    m_dir.WriteFile("b.bin", testkit::ByteBuilder().U32(1).U8(2).Bytes());
    ASSERT_EQ(LoadFrom("b.bin", code), 1);
    EXPECT_EQ(Contents(code), (Bytes{2}));
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), base + 3 + 1) << "freed; the reload holds 3";
    m_dir.WriteFile("empty.bin", testkit::ByteBuilder().U32(0).Bytes());
    EXPECT_EQ(LoadFrom("empty.bin", code), 1);
    EXPECT_EQ(code.GetAMXBuffer(), nullptr);
    EXPECT_EQ(code.GetAMXBufferSize(), 0u);
    HANDLE out = Create("out.bin");
    EXPECT_EQ(code.Save(out), 1);
    CloseHandle(out);
    EXPECT_EQ(m_dir.ReadFile("out.bin"), (Bytes{0, 0, 0, 0}));

    m_dir.WriteFile("raw.amx", Bytes{4, 5, 6, 7, 8});
    EXPECT_EQ(code.LoadRaw(m_dir.EnginePath("raw.amx").c_str()), 1);
    EXPECT_EQ(Contents(code), (Bytes{4, 5, 6, 7, 8})) << "a raw load takes the whole file";
}

TEST_F(MachineCodeTest, BrokenFilesAreRefusedWithAMessage) {
    m_dir.WriteFile("short.bin", Bytes{7, 0});
    CAbstractMachineCode code;
    EXPECT_EQ(LoadFrom("short.bin", code), 0);
    EXPECT_TRUE(
        m_capture.Contains("CAbstractMachineCode::Load() Failed to read number of bytes. Error="));
    EXPECT_EQ(code.GetAMXBufferSize(), 0u);

    // A size beyond the file fails before allocating.
    m_dir.WriteFile("huge.bin", testkit::ByteBuilder().U32(0xFFFFFFF0u).U8(1).Bytes());
    DWORD before = CMemory::GetMaxMemoryUsed();
    EXPECT_EQ(LoadFrom("huge.bin", code), 0);
    EXPECT_EQ(CMemory::GetMaxMemoryUsed(), before) << "nothing was allocated";
    EXPECT_TRUE(m_capture.Contains(
        "CAbstractMachineCode::Load() Failed to read -16 bytes for AMX. Error="));
    EXPECT_EQ(code.GetAMXBuffer(), nullptr);
    EXPECT_EQ(code.GetAMXBufferSize(), 0u);

    std::string missing = m_dir.EnginePath("missing.amx");
    EXPECT_EQ(code.LoadRaw(missing.c_str()), 0);
    EXPECT_TRUE(m_capture.Contains("CAbstractMachineCode::LoadRaw() Failed to open file '" +
                                   missing + "'. Last Error=2"));
    m_dir.WriteFile("empty.amx", Bytes{});
    std::string empty = m_dir.EnginePath("empty.amx");
    EXPECT_EQ(code.LoadRaw(empty.c_str()), 0);
    EXPECT_TRUE(m_capture.Contains("CAbstractMachineCode::LoadRaw() Failed to read size of file '" +
                                   empty + "'."));
}

TEST_F(MachineCodeTest, AllocationFailureIsReported) {
    m_dir.WriteFile("code.bin", testkit::ByteBuilder().U32(2).U8(9).U8(8).Bytes());
    CAbstractMachineCode code;
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(LoadFrom("code.bin", code), 0);
    EXPECT_TRUE(
        m_capture.Contains("CAbstractMachineCode::Load() Failed to allocate memory (2 bytes)"));
    // The container stays usable.
    EXPECT_EQ(LoadFrom("code.bin", code), 1);
    EXPECT_EQ(Contents(code), (Bytes{9, 8}));
}

TEST_F(MachineCodeTest, CopiesAreDeepAndAFailedCopyCannotBeSaved) {
    m_dir.WriteFile("code.bin", testkit::ByteBuilder().U32(4).U32(0x11223344).Bytes());
    CAbstractMachineCode source;
    ASSERT_EQ(LoadFrom("code.bin", source), 1);
    CAbstractMachineCode copy;
    copy = source;
    ASSERT_NE(copy.GetAMXBuffer(), source.GetAMXBuffer());
    EXPECT_EQ(Contents(copy), Contents(source));
    CAbstractMachineCode empty;
    copy = empty;
    EXPECT_EQ(copy.GetAMXBuffer(), nullptr);
    EXPECT_EQ(copy.GetAMXBufferSize(), 0u);

    CMemory::FailAllocationAfter(1);
    copy = source;
    EXPECT_TRUE(m_capture.Contains("CAbstractMachineCode::operator= Failed to allocate 4 bytes!"));
    EXPECT_EQ(copy.GetAMXBuffer(), nullptr);
    EXPECT_EQ(copy.GetAMXBufferSize(), 4u);
    HANDLE file = Create("out.bin");
    EXPECT_EQ(copy.Save(file), 0);
    CloseHandle(file);
    EXPECT_TRUE(m_capture.Contains(
        "CAbstractMachineCode::Save() Attempt to write NULL buffer of 4 bytes!"));

    // A handle opened for reading only refuses the write.
    HANDLE readOnly = Open("code.bin");
    EXPECT_EQ(source.Save(readOnly), 0);
    CloseHandle(readOnly);
    EXPECT_TRUE(
        m_capture.Contains("CAbstractMachineCode::Save() Failed to write number of bytes."));
}

} // namespace
