#include "support/machine_code.h"

#include "platform/os/file.h"
#include "support/memory.h"
#include "testkit/bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using testkit::ByteBuilder;

class MachineCodeTest : public ::testing::Test {
protected:
    void TearDown() override { CMemory::FailAllocationAfter(0); }

    // Runs Load or Save on a handle of the named file (Save creates it).
    int Load(CAbstractMachineCode& code, const Bytes& bytes, DWORD offset = 0) {
        m_dir.WriteFile("in.bin", bytes);
        HANDLE file = CreateFileA(m_dir.EnginePath("in.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  OPEN_EXISTING);
        SetFilePointer(file, offset, FILE_BEGIN);
        int result = code.Load(file);
        m_position = SetFilePointer(file, 0, FILE_CURRENT);
        CloseHandle(file);
        return result;
    }
    int Save(const CAbstractMachineCode& code, DWORD access = GENERIC_READ | GENERIC_WRITE) {
        HANDLE file = CreateFileA(m_dir.EnginePath("out.bin").c_str(), access, 0, CREATE_ALWAYS);
        int result = code.Save(file);
        CloseHandle(file);
        return result;
    }
    static Bytes Contents(const CAbstractMachineCode& code) {
        return Bytes(code.GetAMXBuffer(), code.GetAMXBuffer() + code.GetAMXBufferSize());
    }

    testkit::ScratchDir m_dir;
    testkit::DebugCapture m_capture;
    DWORD m_position = 0;
};

TEST_F(MachineCodeTest, LoadsASizePrefixedBlockAtTheCurrentPositionAndSavesIt) {
    CAbstractMachineCode code;
    const DWORD base = CMemory::GetTotalMemoryAllocated();
    EXPECT_EQ(Load(code, ByteBuilder().U8(0xEE).U32(3).U8(1).U8(2).U8(3).U8(0xFF).Bytes(), 1), 1);
    EXPECT_EQ(m_position, 8u) << "stops right after the block";
    ASSERT_EQ(Save(code), 1);
    EXPECT_EQ(m_dir.ReadFile("out.bin"), ByteBuilder().U32(3).U8(1).U8(2).U8(3).Bytes());
    ASSERT_EQ(Load(code, ByteBuilder().U32(1).U8(2).Bytes()), 1);
    EXPECT_EQ(Contents(code), (Bytes{2}));
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), base + 1) << "a second load frees the first";
    EXPECT_EQ(Load(code, ByteBuilder().U32(0).Bytes()), 1);
    EXPECT_EQ(code.GetAMXBuffer(), nullptr);
    EXPECT_EQ(Save(code), 1);
    EXPECT_EQ(m_dir.ReadFile("out.bin"), (Bytes{0, 0, 0, 0}));
    m_dir.WriteFile("raw.amx", Bytes{4, 5, 6, 7, 8});
    EXPECT_EQ(code.LoadRaw(m_dir.EnginePath("raw.amx").c_str()), 1);
    EXPECT_EQ(Contents(code), (Bytes{4, 5, 6, 7, 8})) << "a raw load takes the whole file";
}

TEST_F(MachineCodeTest, BrokenFilesAreRefusedWithAMessageBeforeAllocating) {
    const std::string missing = m_dir.EnginePath("missing.amx"), empty = m_dir.EnginePath("e");
    m_dir.WriteFile("e", Bytes{});
    const struct {
        Bytes bytes; // loaded from a handle, or a raw load of the named file when empty
        std::string raw, message;
    } cases[] = {
        {{7, 0}, "", "Load() Failed to read number of bytes. Error="},
        {ByteBuilder().U32(0xFFFFFFF0u).U8(1).Bytes(), "",
         "Load() Failed to read -16 bytes for AMX. Error="},
        {{}, missing, "LoadRaw() Failed to open file '" + missing + "'. Last Error=2"},
        {{}, empty, "LoadRaw() Failed to read size of file '" + empty + "'."},
    };
    for (const auto& c : cases) {
        CAbstractMachineCode code;
        const DWORD peak = CMemory::GetMaxMemoryUsed();
        EXPECT_EQ(c.raw.empty() ? Load(code, c.bytes) : code.LoadRaw(c.raw.c_str()), 0);
        EXPECT_TRUE(m_capture.Contains("CAbstractMachineCode::" + c.message)) << c.message;
        EXPECT_EQ(CMemory::GetMaxMemoryUsed(), peak) << "nothing was allocated";
        EXPECT_EQ(code.GetAMXBufferSize(), 0u);
    }
}

TEST_F(MachineCodeTest, FailedAllocationsAreReportedAndLeaveNothingToCopyOrSave) {
    const Bytes bytes = ByteBuilder().U32(2).U8(9).U8(8).Bytes();
    CAbstractMachineCode source, copy, sizedWithoutBuffer, empty;
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(Load(sizedWithoutBuffer, bytes), 0);
    ASSERT_EQ(sizedWithoutBuffer.GetAMXBuffer(), nullptr);
    ASSERT_EQ(sizedWithoutBuffer.GetAMXBufferSize(), 2u);
    copy = sizedWithoutBuffer;
    EXPECT_EQ(copy.GetAMXBufferSize(), 0u) << "a source without its buffer copies as empty";
    sizedWithoutBuffer.ReleaseResources();
    EXPECT_EQ(sizedWithoutBuffer.GetAMXBufferSize(), 0u) << "released, no size stays";
    ASSERT_EQ(Load(source, bytes), 1) << "the container stays usable";
    copy = source;
    ASSERT_NE(copy.GetAMXBuffer(), source.GetAMXBuffer());
    EXPECT_EQ(Contents(copy), (Bytes{9, 8}));
    copy = empty;
    EXPECT_EQ(copy.GetAMXBuffer(), nullptr);
    CMemory::FailAllocationAfter(1);
    copy = source;
    EXPECT_EQ(copy.GetAMXBuffer(), nullptr);
    EXPECT_EQ(Save(copy), 0);
    EXPECT_EQ(Save(source, GENERIC_READ), 0);
    for (const char* message :
         {"Load() Failed to allocate memory (2 bytes)", "operator= Failed to allocate 2 bytes!",
          "Save() Attempt to write NULL buffer of 2 bytes!",
          "Save() Failed to write number of bytes."}) {
        EXPECT_TRUE(m_capture.Contains(std::string("CAbstractMachineCode::") + message)) << message;
    }
}

} // namespace
