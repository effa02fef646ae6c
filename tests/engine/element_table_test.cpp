#include "engine/element_table.h"

#include "platform/os/file.h"
#include "support/binary_file.h"
#include "support/memory.h"
#include "support/path_utils.h"
#include "testkit/debug_capture.h"
#include "testkit/scratch_dir.h"
#include "testkit/table_bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace table_bytes;

// A record's bytes as the engine holds it.
template <class Record> Bytes BytesOf(const Record& record) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
    return Bytes(bytes, bytes + sizeof record);
}

class ElementTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(MakeBaseDirectory(m_base, m_dir.EnginePath("level.vlf").c_str()), 0);
    }
    void TearDown() override {
        CMemory::FailAllocationAfter(0);
        for (void* array : {static_cast<void*>(m_models), static_cast<void*>(m_music),
                            static_cast<void*>(m_sounds), static_cast<void*>(m_textures)}) {
            CMemory::Deallocate(array);
        }
    }

    template <class Record>
    int Load(const std::string& name, const Bytes& bytes, Record*& array, DWORD expectedId) {
        m_dir.WriteFile(name, bytes);
        return LoadElementTable(m_dir.EnginePath(name).c_str(), m_header, array, expectedId,
                                m_base);
    }
    // Loads a table of the one record and gives the record's bytes as the engine holds it.
    template <class Record>
    Bytes LoadOne(std::uint32_t id, const Bytes& record, Record*& array, DWORD tableId) {
        EXPECT_EQ(Load("one.tbl", Table(id, 1, {record}), array, tableId), 1);
        return array != nullptr ? BytesOf(array[0]) : Bytes{};
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

// Records are read raw, every byte kept, and their paths made full and lower case: a path
// with a drive and an empty path stay, ".." climbs out, and two records naming one file in
// other letter case end up with the same path.
TEST_F(ElementTableTest, RecordsReadRawWithTheirPathsMadeFull) {
    ModelSample first, second;
    second.typeName = "Station";
    second.modelFile = "MODELS\\Fighter.VMM";
    second.prefix = "Dock";
    second.modulePath = "c:\\absolute\\dock.so";
    second.secondPath = "";
    second.textureOverride = 7;
    second.uniformScale = 0;
    second.furtherPath = "..\\shared\\notes.txt";
    second.filler = 0x3C;
    ASSERT_EQ(Load("models.tbl", Table(kModelId, 2, {ModelRecord(first), ModelRecord(second)}),
                   m_models, kModelTableId),
              1);
    EXPECT_EQ(BytesOf(m_header), Header(kModelId, 2));
    ModelSample fullFirst = first, fullSecond = second;
    fullFirst.modelFile = fullSecond.modelFile = Full("models\\fighter.vmm");
    fullFirst.modulePath = Full(first.modulePath);
    fullFirst.secondPath = Full(first.secondPath);
    fullFirst.furtherPath = Full(first.furtherPath);
    fullSecond.furtherPath =
        std::string(m_base, std::string_view(m_base).rfind('\\', std::strlen(m_base) - 2) + 1) +
        "shared\\notes.txt";
    EXPECT_EQ(BytesOf(m_models[0]), ModelRecord(fullFirst));
    EXPECT_EQ(BytesOf(m_models[1]), ModelRecord(fullSecond));

    EXPECT_EQ(LoadOne(kTextureId, TextureRecord("tex\\Hull.BMP", 3, 1, 2, 1), m_textures,
                      kTextureTableId),
              TextureRecord(Full("tex\\hull.bmp"), 3, 1, 2, 1));
    EXPECT_EQ(LoadOne(kSoundId, SoundRecord("snd\\boom.wav"), m_sounds, kSoundTableId),
              SoundRecord(Full("snd\\boom.wav")));
    EXPECT_EQ(
        LoadOne(kMusicId, MusicRecord("mus\\theme.mid", "mus\\Theme.TXT"), m_music, kMusicTableId),
        MusicRecord(Full("mus\\theme.mid"), Full("mus\\theme.txt")));
    // A path of 140 letters and no terminator is too long to be made full: it is cut inside
    // the field.
    EXPECT_EQ(LoadOne(kTextureId, TextureRecord(std::string(140, 'x'), 9, 0, 0, 0), m_textures,
                      kTextureTableId),
              TextureRecord(std::string(139, 'x'), 9, 0, 0, 0));
}

TEST_F(ElementTableTest, BrokenTablesAreReportedAndCountNothing) {
    testkit::DebugCapture capture;
    const DWORD before = CMemory::GetTotalMemoryAllocated();
    ASSERT_EQ(Load("empty.tbl", Header(kSoundId, 0), m_sounds, kSoundTableId), 1);
    EXPECT_EQ(m_header.dwCount, 0u);
    EXPECT_TRUE(capture.Lines().empty());
    // A table loaded over another frees the old array first, even when the load fails.
    Bytes two = Table(kSoundId, 2, {SoundRecord("a.wav"), SoundRecord("b.wav")});
    ASSERT_EQ(Load("two.tbl", two, m_sounds, kSoundTableId), 1);

    Bytes cutHeader = Header(kSoundId, 0);
    cutHeader.pop_back();
    Bytes beyond = Table(kSoundId, 2, {SoundRecord("a.wav")});
    Bytes huge = beyond;
    std::memset(huge.data() + 8, 0xFF, 4);
    const std::string absent = m_dir.EnginePath("absent.tbl");
    const struct {
        Bytes file;                     // none: the file is absent
        std::vector<std::string> lines; // a line ending in "=" is followed by the error number
        DWORD failing = 0;
    } cases[] = {
        {Table(kTextureId, 1, {TextureRecord("a.bmp", 0, 0, 0, 0)}),
         {"VelEng::LoadElementTable() Header ID check failed. Expected 1A464C53 got 1A464C42\n"}},
        {{}, {"VelEng::LoadElementTable() Failed to open '" + absent + "'\n"}},
        {cutHeader,
         {"ReadElements() Error reading! Error=",
          "VelEng::LoadElementTable() Failed to read header!\n"}},
        // A count beyond the file is refused before allocating.
        {beyond, {"VelEng::ReadElementTable() Failed reading 2 items from table!\n"}, 1},
        {huge, {"VelEng::ReadElementTable() Failed reading -1 items from table!\n"}, 1},
        {two, {"VelEng::ReadElementTable() Memory allocation failed for 2 items!\n"}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.back());
        capture.Clear();
        m_header.dwCount = 5;
        CMemory::FailAllocationAfter(c.failing);
        const int result = c.file.empty() ? LoadElementTable(absent.c_str(), m_header, m_sounds,
                                                             kSoundTableId, m_base)
                                          : Load("broken.tbl", c.file, m_sounds, kSoundTableId);
        CMemory::FailAllocationAfter(0);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(m_header.dwCount, 0u);
        EXPECT_EQ(m_sounds, nullptr);
        ASSERT_EQ(capture.Lines().size(), c.lines.size());
        for (std::size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(c.lines[i].back() == '=' ? capture.Lines()[i].substr(0, c.lines[i].size())
                                               : capture.Lines()[i],
                      c.lines[i]);
        }
    }
    EXPECT_EQ(CMemory::GetTotalMemoryAllocated(), before);
}

// Full paths are made relative again in every path field (made full above, as tables load).
TEST_F(ElementTableTest, PathsConvertBackToRelative) {
    MUSIC_INFO music = {};
    std::strcpy(music.szFirstFile, Full("a.mid").c_str());
    std::strcpy(music.szSecondFile, Full("deep\\b.txt").c_str());
    ConvertRecordPaths(music, m_base, PATH_MAKE_RELATIVE);
    EXPECT_EQ((std::vector<std::string>{music.szFirstFile, music.szSecondFile}),
              (std::vector<std::string>{"a.mid", "deep\\b.txt"}));
}

} // namespace
