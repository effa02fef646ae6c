#include "engine/element_table.h"

#include "platform/os/file.h"
#include "support/binary_file.h"
#include "support/memory.h"
#include "support/path_utils.h"
#include "table_bytes.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace table_bytes;

class ElementTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(MakeBaseDirectory(m_base, m_dir.EnginePath("level.vlf").c_str()), 0);
    }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        Free(m_models);
        Free(m_music);
        Free(m_sounds);
        Free(m_textures);
    }
    template <class T> static void Free(T*& array) {
        CMemory::Deallocate(array);
        array = nullptr;
    }

    template <class Record>
    int Load(const std::string& name, const Bytes& bytes, Record*& array, DWORD expectedId) {
        m_dir.WriteFile(name, bytes);
        return LoadElementTable(m_dir.EnginePath(name).c_str(), m_header, array, expectedId,
                                m_base);
    }
    // What MakeFullPath makes of a path relative to the level's directory.
    std::string Full(const std::string& relative) const { return Lower(m_base + relative); }

    testkit::ScratchDir m_dir;
    char m_base[kPathBufferSize] = {};
    ELEMENT_TABLE_HEADER m_header = {};
    MODEL_INFO* m_models = nullptr;
    MUSIC_INFO* m_music = nullptr;
    SOUND_INFO* m_sounds = nullptr;
    TEXTURE_INFO* m_textures = nullptr;
};

void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
}

TEST_F(ElementTableTest, ModelTableReadsEveryFieldAndMakesItsFourPathsFull) {
    ModelSample first;
    ModelSample second;
    second.typeName = "Station";
    second.modelFile = "Models\\Station.VMM";
    second.prefix = "Dock";
    second.modulePath = "c:\\absolute\\dock.so";
    second.secondPath = "";
    second.textureOverride = 7;
    second.uniformScale = 0;
    second.furtherPath = "..\\shared\\notes.txt";
    second.filler = 0x3C;
    Bytes file = Table(kModelId, 2, {ModelRecord(first), ModelRecord(second)});
    ASSERT_EQ(file.size(), 16u + 2 * 2436);

    ASSERT_EQ(Load("models.tbl", file, m_models, kModelTableId), 1);
    EXPECT_EQ(m_header.dwTableId, kModelId);
    EXPECT_EQ(m_header.dwCount, 2u);

    const MODEL_INFO& a = m_models[0];
    EXPECT_STREQ(a.szTypeName, "fighter");
    EXPECT_EQ(a.szModelFile, Full("models\\fighter.vmm"));
    EXPECT_STREQ(a.szPrefix, "Fighter");
    EXPECT_EQ(a.szModulePath, Full("ai\\fighter.so"));
    EXPECT_EQ(a.szSecondPath, Full("extra\\fighter.dat"));
    EXPECT_EQ(a.szFurtherPath, Full("more\\fighter.txt"));
    EXPECT_EQ(a.dwTextureOverride, kNoTextureOverride);
    EXPECT_EQ(a.items[15].dwReserved0, 0x10Fu);
    ExpectVector(a.items[15].vFirst, 15.0f, 0.5f, -1.0f);
    ExpectVector(a.items[15].vSecond, -15.0f, 8.0f, 0.125f);
    EXPECT_EQ(a.bUniformScale, 1);
    EXPECT_EQ(a.fUniformScale, 2.5f);
    ExpectVector(a.vScale, 1.0f, 2.0f, 3.0f);
    ExpectVector(a.vCameraUp, 0.0f, 1.0f, 0.0f);
    ExpectVector(a.vSphereOffset, 0.5f, -0.25f, 4.0f);
    EXPECT_EQ(a.reserved3[367], 0xC3) << "bytes the engine does not read are kept";

    const MODEL_INFO& b = m_models[1];
    EXPECT_STREQ(b.szTypeName, "Station");
    EXPECT_EQ(b.szModelFile, Full("models\\station.vmm"));
    EXPECT_STREQ(b.szModulePath, "c:\\absolute\\dock.so") << "a path with a drive stays";
    EXPECT_STREQ(b.szSecondPath, "") << "an empty path stays empty";
    std::string parent(m_base, std::string_view(m_base).rfind('\\', std::strlen(m_base) - 2) + 1);
    EXPECT_EQ(b.szFurtherPath, parent + "shared\\notes.txt") << "\"..\" climbs out";
    EXPECT_EQ(b.dwTextureOverride, 7u);
    EXPECT_EQ(b.bUniformScale, 0);
    EXPECT_EQ(b.reserved0[0], 0x3C);
}

TEST_F(ElementTableTest, TextureSoundAndMusicTablesReadTheirFieldsAndPaths) {
    ASSERT_EQ(Load("textures.tbl",
                   Table(kTextureId, 2,
                         {TextureRecord("tex\\Hull.BMP", 3, 1, 2, 1),
                          TextureRecord("tex\\glow.bmp", 0, 0, 7, 0)}),
                   m_textures, kTextureTableId),
              1);
    EXPECT_EQ(m_header.dwCount, 2u);
    EXPECT_EQ(m_textures[0].szTextureFile, Full("tex\\hull.bmp"));
    EXPECT_EQ(m_textures[0].dwMipMapCount, 3u);
    EXPECT_EQ(m_textures[0].dwTextureStage, 1u);
    EXPECT_EQ(m_textures[0].dwKind, 2u);
    EXPECT_EQ(m_textures[0].dwPrefer32Bit, 1u);
    EXPECT_EQ(m_textures[1].szTextureFile, Full("tex\\glow.bmp"));
    EXPECT_EQ(m_textures[1].dwKind, 7u);
    EXPECT_EQ(m_textures[1].reserved[31], 0x7E);

    ASSERT_EQ(Load("sounds.tbl", Table(kSoundId, 1, {SoundRecord("snd\\boom.wav")}), m_sounds,
                   kSoundTableId),
              1);
    EXPECT_EQ(m_header.dwCount, 1u);
    EXPECT_EQ(m_sounds[0].szSoundFile, Full("snd\\boom.wav"));

    ASSERT_EQ(Load("music.tbl",
                   Table(kMusicId, 1, {MusicRecord("mus\\theme.mid", "mus\\Theme.TXT")}), m_music,
                   kMusicTableId),
              1);
    EXPECT_EQ(m_header.dwCount, 1u);
    EXPECT_EQ(m_music[0].szFirstFile, Full("mus\\theme.mid"));
    EXPECT_EQ(m_music[0].szSecondFile, Full("mus\\theme.txt"));
    EXPECT_EQ(m_music[0].reserved[0], 0x4B);
}

TEST_F(ElementTableTest, RecordsDifferingOnlyInLetterCaseStayTwoRecords) {
    ModelSample lower;
    lower.modelFile = "ships\\fighter.vmm";
    ModelSample upper;
    upper.typeName = "Escort";
    upper.modelFile = "SHIPS\\Fighter.VMM";
    ASSERT_EQ(Load("models.tbl", Table(kModelId, 2, {ModelRecord(lower), ModelRecord(upper)}),
                   m_models, kModelTableId),
              1);
    EXPECT_STREQ(m_models[0].szTypeName, "fighter");
    EXPECT_STREQ(m_models[1].szTypeName, "Escort");
    EXPECT_EQ(m_models[0].szModelFile, Full("ships\\fighter.vmm"));
    EXPECT_STREQ(m_models[1].szModelFile, m_models[0].szModelFile)
        << "full paths are lower case, so the loader can match them";
}

TEST_F(ElementTableTest, EmptyTableLoadsAndBrokenOnesAreReportedAndCountNothing) {
    testkit::DebugCapture capture;
    ASSERT_EQ(Load("empty.tbl", Header(kSoundId, 0), m_sounds, kSoundTableId), 1);
    EXPECT_EQ(m_header.dwCount, 0u);
    EXPECT_TRUE(capture.Lines().empty());

    Bytes textures = Table(kTextureId, 1, {TextureRecord("a.bmp", 0, 0, 0, 0)});
    EXPECT_EQ(Load("textures.tbl", textures, m_models, kModelTableId), 0);
    EXPECT_EQ(m_models, nullptr);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"VelEng::LoadElementTable() Header ID "
                                                        "check failed. Expected 1A464C4D got "
                                                        "1A464C42\n"});

    capture.Clear();
    m_header.dwCount = 5;
    std::string path = m_dir.EnginePath("absent.tbl");
    EXPECT_EQ(LoadElementTable(path.c_str(), m_header, m_sounds, kSoundTableId, m_base), 0);
    EXPECT_EQ(m_header.dwCount, 0u);
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{"VelEng::LoadElementTable() Failed to "
                                                        "open '" +
                                                        path + "'\n"});

    capture.Clear();
    m_header.dwCount = 5;
    Bytes header = Header(kSoundId, 0);
    header.resize(15);
    EXPECT_EQ(Load("cut.tbl", header, m_sounds, kSoundTableId), 0);
    EXPECT_EQ(m_header.dwCount, 0u);
    ASSERT_EQ(capture.Lines().size(), 2u);
    EXPECT_EQ(capture.Lines()[0].rfind("ReadElements() Error reading! Error=", 0), 0u);
    EXPECT_EQ(capture.Lines()[1], "VelEng::LoadElementTable() Failed to read header!\n");
}

TEST_F(ElementTableTest, CountBeyondTheFileIsRefusedBeforeAllocating) {
    // Any allocation would fail and say so; the refusal must come first.
    Bytes file = Table(kTextureId, 2, {TextureRecord("a.bmp", 0, 0, 0, 0)});
    for (DWORD count : {2u, 0xFFFFFFFFu}) {
        std::memcpy(file.data() + 8, &count, 4);
        testkit::DebugCapture capture;
        CMemory::FailAllocationAfter(1);
        EXPECT_EQ(Load("short.tbl", file, m_textures, kTextureTableId), 0);
        CMemory::FailAllocationAfter(0);
        EXPECT_EQ(m_header.dwCount, 0u);
        EXPECT_EQ(m_textures, nullptr);
        ASSERT_EQ(capture.Lines().size(), 1u);
        EXPECT_EQ(capture.Lines()[0], "VelEng::ReadElementTable() Failed reading " +
                                          std::to_string(static_cast<int>(count)) +
                                          " items from table!\n");
    }
}

TEST_F(ElementTableTest, FailedAllocationIsReportedAndCountsNothing) {
    testkit::DebugCapture capture;
    Bytes file = Table(kSoundId, 2, {SoundRecord("a.wav"), SoundRecord("b.wav")});
    CMemory::FailAllocationAfter(1);
    EXPECT_EQ(Load("sounds.tbl", file, m_sounds, kSoundTableId), 0);
    EXPECT_EQ(m_header.dwCount, 0u);
    EXPECT_EQ(m_sounds, nullptr);
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0],
              "VelEng::ReadElementTable() Memory allocation failed for 2 items!\n");
}

TEST_F(ElementTableTest, ReloadFreesTheOldArrayFirstEvenWhenItFails) {
    DWORD before = CMemory::GetTotalMemoryAllocated();
    Bytes two = Table(kSoundId, 2, {SoundRecord("a.wav"), SoundRecord("b.wav")});
    ASSERT_EQ(Load("two.tbl", two, m_sounds, kSoundTableId), 1);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), before + 2 * 168);

    ASSERT_EQ(Load("one.tbl", Table(kSoundId, 1, {SoundRecord("c.wav")}), m_sounds, kSoundTableId),
              1);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), before + 168);
    EXPECT_EQ(m_sounds[0].szSoundFile, Full("c.wav"));

    testkit::DebugCapture capture;
    EXPECT_EQ(Load("wrong.tbl", Header(kMusicId, 0), m_sounds, kSoundTableId), 0);
    EXPECT_EQ(m_sounds, nullptr);
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), before);
}

TEST_F(ElementTableTest, PathsConvertBothWays) {
    SOUND_INFO sound = {};
    std::strcpy(sound.szSoundFile, "Sub\\Boom.WAV");
    ConvertRecordPaths(sound, m_base, PATH_MAKE_FULL);
    EXPECT_EQ(sound.szSoundFile, Full("sub\\boom.wav"));
    ConvertRecordPaths(sound, m_base, PATH_MAKE_RELATIVE);
    EXPECT_STREQ(sound.szSoundFile, "sub\\boom.wav");

    MUSIC_INFO music = {};
    std::strcpy(music.szFirstFile, Full("a.mid").c_str());
    std::strcpy(music.szSecondFile, Full("deep\\b.txt").c_str());
    ConvertRecordPaths(music, m_base, PATH_MAKE_RELATIVE);
    EXPECT_STREQ(music.szFirstFile, "a.mid");
    EXPECT_STREQ(music.szSecondFile, "deep\\b.txt");
}

TEST_F(ElementTableTest, PathThatFillsItsFieldIsCutToStayAString) {
    // 140 letters and no terminator; too long to be made full, so only the cut applies.
    Bytes record = TextureRecord(std::string(140, 'x'), 0, 0, 0, 0);
    testkit::DebugCapture capture;
    ASSERT_EQ(Load("textures.tbl", Table(kTextureId, 1, {record}), m_textures, kTextureTableId), 1);
    EXPECT_EQ(std::string(m_textures[0].szTextureFile), std::string(139, 'x'));
    EXPECT_EQ(m_textures[0].dwMipMapCount, 0u) << "the cut stays inside the field";
}

TEST_F(ElementTableTest, LevelInfoRecordReadsRaw) {
    testkit::ByteBuilder builder;
    builder.U32(0x1A464C56).U32(9).Chars("first.dat", 128).Chars("sounds.tbl", 128);
    builder.Chars("models.tbl", 128).Chars("music.tbl", 128).Chars("textures.tbl", 128);
    builder.Chars("events.evt", 128).U32(9).F32(1234.5f).F32(256.0f);
    builder.U32(1).U32(12).U32(1).U32(40).Fill(0xEE, 128);
    Bytes info = builder.Bytes();
    ASSERT_EQ(info.size(), 932u);
    m_dir.WriteFile("level.vlf", info);
    HANDLE file = CreateFileA(m_dir.EnginePath("level.vlf").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CFileReader reader(file);
    LEVEL_INFO read = {};
    EXPECT_EQ(ReadElements(reader, &read, 1), 1);
    CloseHandle(file);

    EXPECT_EQ(read.dwMagic, kLevelInfoMagic);
    EXPECT_STREQ(read.szFirstPath, "first.dat");
    EXPECT_STREQ(read.szSoundTable, "sounds.tbl");
    EXPECT_STREQ(read.szModelTable, "models.tbl");
    EXPECT_STREQ(read.szMusicTable, "music.tbl");
    EXPECT_STREQ(read.szTextureTable, "textures.tbl");
    EXPECT_STREQ(read.szEventTable, "events.evt");
    EXPECT_EQ(read.fSeed, 1234.5f);
    EXPECT_EQ(read.fWorldSize, 256.0f);
    EXPECT_EQ(read.dwWrap, 1u);
    EXPECT_EQ(read.dwSkip, 12u);
    EXPECT_EQ(read.dwHasCode, 1u);
    EXPECT_EQ(read.dwTextLength, 40u);
    EXPECT_EQ(read.reserved[127], 0xEE);
}

} // namespace
