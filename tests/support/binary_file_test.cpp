#include "support/binary_file.h"

#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "testkit/bytes.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

struct Pair {
    DWORD first;
    float second;
};

class BinaryFileTest : public ::testing::Test {
protected:
    HANDLE OpenWith(const std::vector<std::uint8_t>& bytes,
                    DWORD access = GENERIC_READ | GENERIC_WRITE) {
        m_dir.WriteFile("data.bin", bytes);
        m_file = CreateFileA(m_dir.EnginePath("data.bin").c_str(), access, 0, OPEN_EXISTING);
        EXPECT_NE(m_file, INVALID_HANDLE_VALUE);
        return m_file;
    }
    void TearDown() override { CloseHandle(m_file); }

    testkit::ScratchDir m_dir;
    HANDLE m_file = nullptr;
};

TEST_F(BinaryFileTest, ReadsFromTheCurrentPositionAndAFailureStays) {
    EXPECT_TRUE(CFileReader(INVALID_HANDLE_VALUE).Failed());
    HANDLE file = OpenWith(testkit::ByteBuilder().U32(1).U32(2).U32(3).U16(4).Bytes());
    SetFilePointer(file, 4, FILE_BEGIN);
    CFileReader reader(file);
    EXPECT_EQ(reader.Remaining(), 10u);
    EXPECT_TRUE(reader.Skip(4));
    DWORD value = 0;
    EXPECT_TRUE(reader.ReadU32(value));
    EXPECT_EQ(value, 3u);
    EXPECT_FALSE(reader.Skip(3));
    EXPECT_TRUE(reader.Failed());
    std::uint8_t byte = 0;
    EXPECT_FALSE(reader.Read(&byte, 1)) << "a failed reader reads nothing more";
    CFileReader shortRead(file);
    EXPECT_FALSE(shortRead.ReadU32(value));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ENODATA));
}

TEST_F(BinaryFileTest, CountsAreCheckedAgainstWhatTheFileHolds) {
    CFileReader reader(OpenWith(testkit::ByteBuilder().Fill(0, 40).Bytes()));
    EXPECT_TRUE(reader.CanHold(10, 4));
    EXPECT_FALSE(reader.CanHold(11, 4));
    EXPECT_FALSE(reader.CanHold(0xFFFFFFFFull, 0xFFFFFFFFull)) << "no overflow in the product";
    EXPECT_TRUE(reader.CanHold(5, 0));
    EXPECT_TRUE(reader.Require(10, 4));
    EXPECT_FALSE(reader.Failed());
    EXPECT_FALSE(reader.Require(11, 4));
    EXPECT_TRUE(reader.Failed());
}

TEST_F(BinaryFileTest, WritesRecordsRawAndFieldsInOrder) {
    HANDLE file = OpenWith({});
    CFileWriter writer(file);
    EXPECT_TRUE(writer.WriteRecord(Pair{7, 2.0f}));
    EXPECT_TRUE(writer.WriteU32(0xA1B2C3D4u));
    EXPECT_TRUE(writer.WriteZeros(300));
    EXPECT_TRUE(writer.WriteI32(-1));
    EXPECT_EQ(m_dir.ReadFile("data.bin"), testkit::ByteBuilder()
                                              .U32(7)
                                              .F32(2.0f)
                                              .U32(0xA1B2C3D4u)
                                              .Fill(0, 300)
                                              .U32(0xFFFFFFFFu)
                                              .Bytes());
    SetFilePointer(file, 0, FILE_BEGIN);
    Pair pair{};
    EXPECT_TRUE(CFileReader(file).ReadRecord(pair));
    EXPECT_EQ(pair.second, 2.0f);
}

TEST_F(BinaryFileTest, WriteFailureStays) {
    CFileWriter writer(OpenWith({}, GENERIC_READ));
    EXPECT_FALSE(writer.WriteU32(1));
    EXPECT_TRUE(writer.Failed());
    EXPECT_FALSE(writer.WriteZeros(1));
}

} // namespace
