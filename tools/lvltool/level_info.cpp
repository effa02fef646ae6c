#include "level_info.h"

#include "level_files.h"

#include "engine_messages.h"

#include "engine/element_table.h"
#include "engine/world.h"
#include "event/event_manager.h"
#include "platform/os/path.h"
#include "support/binary_file.h"
#include "support/machine_code.h"
#include "support/path_utils.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace lvltool {
namespace {

namespace fs = std::filesystem;

std::string Decimal(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string Show(const D3DVECTOR& v) {
    return "(" + Decimal(v.x) + ", " + Decimal(v.y) + ", " + Decimal(v.z) + ")";
}

// The text with its control characters escaped, as one quoted line.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c == '\n'  ? std::string("\\n")
                  : c == '"' ? std::string("\\\"")
                             : std::string(1, c);
    }
    return quoted + "\"";
}

std::string Hex(const BYTE* bytes, DWORD count) {
    std::string text;
    for (DWORD i = 0; i < count; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, i == 0 ? "%02x" : " %02x", bytes[i]);
        text += digits;
    }
    return text;
}

const char* TriggerKind(DWORD type) {
    static const char* const kinds[] = {"time", "armed", "proximity", "proximity"};
    return type < 4 ? kinds[type] : "unknown";
}

const char* TextureKind(DWORD kind) {
    return kind == 1 ? "white" : kind == 2 ? "black" : "none";
}

// Whether a path field is required to name a file: tables, models, textures, sounds and the
// first music file are; the engine never opens the others when they are empty.
enum class Need { File, Optional };

class Inspector {
public:
    Inspector(const fs::path& infoFile, std::ostream& out, std::vector<std::string>& problems)
        : m_infoFile(infoFile), m_out(out), m_problems(problems) {}

    bool Run();

private:
    bool ReadInfo();
    void Problem(const std::string& text) { m_problems.push_back(text); }
    // Prints the field's path and its full form; checks that it is terminated, that the engine
    // can make it full within the field and that the file exists. The full host path, or empty.
    fs::path ShowPath(const char* field, std::size_t size, const std::string& what, Need need);
    template <class Record> std::vector<Record> ReadTable(const char* pathField, const char* what);
    void ShowRecordPaths(const BYTE* record, const PATH_FIELD* fields, std::size_t count,
                         const std::string& what);
    void ShowModels(const std::vector<MODEL_INFO>& models, std::size_t textureCount);
    void ShowTextures(const std::vector<TEXTURE_INFO>& textures);
    template <class Record> void ShowFiles(const std::vector<Record>& records, const char* what);
    void ShowEvents(std::size_t modelCount);
    void ShowTrigger(DWORD quadrant, const tagGAME_TRIGGER& trigger, std::size_t modelCount);

    fs::path m_infoFile;
    std::ostream& m_out;
    std::vector<std::string>& m_problems;
    LEVEL_INFO m_info = {};
    char m_base[kPathBufferSize] = {};
};

bool Inspector::ReadInfo() {
    EngineFile file(m_infoFile, false);
    CFileReader reader(file.Handle());
    if (!file.IsOpen() || !reader.ReadRecord(m_info)) {
        Problem(m_infoFile.string() + ": cannot be read as a level info file");
        return false;
    }
    if (m_info.dwMagic != kLevelInfoMagic) {
        Problem(m_infoFile.string() + ": not a level info file (the magic is not VLF 1A)");
        return false;
    }
    m_out << "level " << m_infoFile.string() << "\n  world size " << Decimal(m_info.fWorldSize)
          << ", wrap " << (m_info.dwWrap == 1 ? "on" : "off") << ", seed " << Decimal(m_info.fSeed)
          << ", skip " << m_info.dwSkip << " bytes\n";
    if (!(m_info.fWorldSize > 0.0f) || !std::isfinite(m_info.fWorldSize)) {
        Problem("the world size " + Decimal(m_info.fWorldSize) + " is not a positive number");
    }
    vmmtool::EngineMessages messages;
    CAbstractMachineCode code;
    if (!reader.Skip(m_info.dwSkip)) {
        Problem("the " + std::to_string(m_info.dwSkip) + " bytes to skip run past the end");
        return true;
    }
    if (m_info.dwHasCode != 0 && !code.Load(file.Handle())) {
        Problem("the script code cannot be read: " + messages.Text());
        return true;
    }
    m_out << "  script code: "
          << (m_info.dwHasCode != 0 ? std::to_string(code.GetAMXBufferSize()) + " bytes" : "none")
          << "\n";
    // The length is checked against the file before anything is allocated for it.
    CFileReader textReader(file.Handle());
    if (!textReader.Require(m_info.dwTextLength, 1)) {
        Problem("the mission text of " + std::to_string(m_info.dwTextLength) +
                " bytes is cut short");
        return true;
    }
    std::string text(m_info.dwTextLength, '\0');
    textReader.Read(text.data(), m_info.dwTextLength);
    m_out << "  mission text: " << (text.empty() ? "none" : Quoted(text)) << "\n";
    return true;
}

fs::path Inspector::ShowPath(const char* field, std::size_t size, const std::string& what,
                             Need need) {
    std::size_t length = strnlen(field, size);
    if (length == size) {
        Problem(what + ": the path fills its field without a terminator");
        length = size - 1;
    }
    std::string path(field, length);
    m_out << "    " << what << ": ";
    if (path.empty()) {
        m_out << "none\n";
        if (need == Need::File) {
            Problem(what + ": no file named");
        }
        return {};
    }
    char full[kPathBufferSize] = {};
    std::memcpy(full, path.c_str(), path.size());
    vmmtool::EngineMessages refusal; // the engine's note of a path too long says nothing more
    if (MakeFullPath(m_base, full) != 0 || std::strlen(full) >= size) {
        m_out << path << "\n";
        Problem(what + ": '" + path + "' cannot be made a full path in its field here");
        return {};
    }
    m_out << path << " -> " << full << "\n";
    std::string host;
    if (!platform::MapToHostPath(full, host) || !fs::is_regular_file(host)) {
        Problem(what + ": '" + full + "' does not exist");
        return {};
    }
    return host;
}

template <class Record>
std::vector<Record> Inspector::ReadTable(const char* pathField, const char* what) {
    m_out << what << " table\n";
    fs::path path = ShowPath(pathField, kLevelPathSize, std::string(what) + " table", Need::File);
    EngineFile file(path, false);
    if (path.empty() || !file.IsOpen()) {
        return {};
    }
    CFileReader reader(file.Handle());
    ELEMENT_TABLE_HEADER header = {};
    if (!reader.ReadRecord(header) || header.dwTableId != ElementTableTraits<Record>::kTableId) {
        Problem(std::string(what) + " table: no header with the table id " +
                Hex(reinterpret_cast<const BYTE*>(&ElementTableTraits<Record>::kTableId), 4));
        return {};
    }
    std::uint64_t expected = sizeof header + std::uint64_t{header.dwCount} * sizeof(Record);
    std::uint64_t actual = fs::file_size(path);
    m_out << "    " << header.dwCount << " records of " << sizeof(Record) << " bytes\n";
    if (actual != expected) {
        Problem(std::string(what) + " table: " + std::to_string(header.dwCount) + " records need " +
                std::to_string(expected) + " bytes, the file has " + std::to_string(actual));
    }
    std::vector<Record> records(
        header.dwCount <= reader.Remaining() / sizeof(Record) ? header.dwCount : 0);
    reader.Read(records.data(), static_cast<DWORD>(records.size() * sizeof(Record)));
    return records;
}

void Inspector::ShowRecordPaths(const BYTE* record, const PATH_FIELD* fields, std::size_t count,
                                const std::string& what) {
    for (std::size_t i = 0; i < count; ++i) {
        ShowPath(reinterpret_cast<const char*>(record + fields[i].offset), fields[i].size,
                 what + " path " + std::to_string(i + 1), i == 0 ? Need::File : Need::Optional);
    }
}

void Inspector::ShowModels(const std::vector<MODEL_INFO>& models, std::size_t textureCount) {
    constexpr auto& fields = ElementTableTraits<MODEL_INFO>::kPathFields;
    for (std::size_t i = 0; i < models.size(); ++i) {
        const MODEL_INFO& m = models[i];
        std::string name = "model " + std::to_string(i);
        m_out << "  " << name << " '" << std::string(m.szTypeName, strnlen(m.szTypeName, 32))
              << "', prefix '" << std::string(m.szPrefix, strnlen(m.szPrefix, 32)) << "'\n";
        ShowRecordPaths(reinterpret_cast<const BYTE*>(&m), fields.data(), fields.size(), name);
        m_out << "    texture override "
              << (m.dwTextureOverride == kNoTextureOverride ? std::string("none")
                                                            : std::to_string(m.dwTextureOverride))
              << ", scale "
              << (m.bUniformScale ? Decimal(m.fUniformScale) + " (uniform)"
                                  : Show(m.vScale) + " (per axis)")
              << ", camera up " << Show(m.vCameraUp) << ", sphere offset " << Show(m.vSphereOffset)
              << "\n";
        if (m.dwTextureOverride != kNoTextureOverride && m.dwTextureOverride >= textureCount) {
            Problem(name + ": texture override " + std::to_string(m.dwTextureOverride) +
                    " is not below the texture count " + std::to_string(textureCount));
        }
    }
}

void Inspector::ShowTextures(const std::vector<TEXTURE_INFO>& textures) {
    constexpr auto& fields = ElementTableTraits<TEXTURE_INFO>::kPathFields;
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const TEXTURE_INFO& t = textures[i];
        m_out << "  texture " << i << ": mipmaps " << t.dwMipMapCount << ", stage "
              << t.dwTextureStage << ", transparent " << TextureKind(t.dwKind)
              << (t.dwPrefer32Bit != 0 ? ", prefer 32-bit" : "") << "\n";
        ShowRecordPaths(reinterpret_cast<const BYTE*>(&t), fields.data(), fields.size(),
                        "texture " + std::to_string(i));
    }
}

template <class Record>
void Inspector::ShowFiles(const std::vector<Record>& records, const char* what) {
    constexpr auto& fields = ElementTableTraits<Record>::kPathFields;
    for (std::size_t i = 0; i < records.size(); ++i) {
        m_out << "  " << what << " " << i << "\n";
        ShowRecordPaths(reinterpret_cast<const BYTE*>(&records[i]), fields.data(), fields.size(),
                        what + (" " + std::to_string(i)));
    }
}

void Inspector::ShowTrigger(DWORD quadrant, const tagGAME_TRIGGER& t, std::size_t modelCount) {
    m_out << "  quadrant " << quadrant << ": " << TriggerKind(t.dwType) << " (type " << t.dwType
          << "), model " << t.dwModelIndex << ", id " << t.dwEntityId << ", position "
          << Show(t.vPosition) << ", offset " << Show(t.vSpawnOffset) << ", "
          << (t.bUseRadius ? "radius " + Decimal(t.fRadius) : std::string("whole quadrant"))
          << ", delay " << Decimal(t.fDelay) << (t.bRepeat ? ", repeat" : "") << ", create block "
          << t.dwCreateBlockSize << " bytes"
          << (t.dwCreateBlockSize != 0
                  ? ": " + Hex(static_cast<const BYTE*>(t.pCreateBlock), t.dwCreateBlockSize)
                  : std::string())
          << "\n";
    std::string name = "trigger in quadrant " + std::to_string(quadrant);
    if (t.dwModelIndex >= modelCount) {
        Problem(name + ": model " + std::to_string(t.dwModelIndex) +
                " is not below the model count " + std::to_string(modelCount));
    }
    if (t.dwType > kTriggerProximityAlt) {
        Problem(name + ": type " + std::to_string(t.dwType) + " is not one the engine fires");
    }
    DWORD own = vgGetQuadrant(&t.vPosition);
    if (t.dwType != kTriggerAbsolute && own != quadrant) {
        Problem(name + ": its position lies in quadrant " + std::to_string(own) +
                ", so the engine never tests it");
    }
}

void Inspector::ShowEvents(std::size_t modelCount) {
    m_out << "event file\n";
    fs::path path = ShowPath(m_info.szEventTable, kLevelPathSize, "event file", Need::File);
    EngineFile file(path, false);
    if (path.empty() || !file.IsOpen()) {
        return;
    }
    vgInitialiseWorldSize(m_info.fWorldSize);
    CVelEvent events;
    vmmtool::EngineMessages messages; // after the manager, which warns that it is not the only one
    int result = events.Load(file.Handle(), 1);
    for (DWORD q = 0; q < kTriggerQuadrantCount; ++q) {
        CLinkedList<tagGAME_TRIGGER>& list = *events.GetTriggerList(q);
        for (LISTPOS position = list.GetHeadPosition(); position != nullptr;) {
            ShowTrigger(q, list.GetNext(position), modelCount);
        }
    }
    if (result != 0) {
        Problem("event file: refused (" + std::to_string(result) + "): " + messages.Text());
    }
}

bool Inspector::Run() {
    if (!ReadInfo()) {
        return false;
    }
    MakeBaseDirectory(m_base, EnginePath(m_infoFile).c_str());
    ShowPath(m_info.szFirstPath, kLevelPathSize, "first path", Need::Optional);
    auto textures = ReadTable<TEXTURE_INFO>(m_info.szTextureTable, "texture");
    ShowTextures(textures);
    auto models = ReadTable<MODEL_INFO>(m_info.szModelTable, "model");
    ShowModels(models, textures.size());
    ShowFiles(ReadTable<SOUND_INFO>(m_info.szSoundTable, "sound"), "sound");
    ShowFiles(ReadTable<MUSIC_INFO>(m_info.szMusicTable, "music"), "music");
    ShowEvents(models.size());
    return true;
}

} // namespace

bool DescribeLevel(const fs::path& infoFile, std::ostream& out,
                   std::vector<std::string>& problems) {
    return Inspector(infoFile, out, problems).Run();
}

} // namespace lvltool
