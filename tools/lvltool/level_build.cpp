#include "level_build.h"

#include "level_files.h"

#include "engine_messages.h"
#include "obj_to_model.h"

#include "engine/element_table.h"
#include "engine/world.h"
#include "event/event_manager.h"
#include "model/material.h"
#include "model/model.h"
#include "support/binary_file.h"
#include "support/machine_code.h"
#include "support/memory.h"
#include "support/path_utils.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <map>

namespace lvltool {
namespace {

namespace fs = std::filesystem;

struct BuildFailure {
    Diagnostic diagnostic;
};

[[noreturn]] void Fail(std::string file, std::size_t line, std::string message) {
    throw BuildFailure{{std::move(file), line, std::move(message)}};
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsObj(const fs::path& file) {
    return Lower(file.extension().string()) == ".obj";
}

D3DVECTOR ToVector(const Vec3& v) {
    return D3DVECTOR(v.x, v.y, v.z);
}

class Builder {
public:
    Builder(const LevelDescription& level, const std::string& levelName, const fs::path& outDir,
            BuildSummary& summary)
        : m_level(level), m_names(FileNamesFor(levelName)), m_outDir(outDir), m_summary(summary) {}

    void Run();

private:
    // Reserves the output name of a source file; false when the same source already has it.
    bool Place(const fs::path& source, const std::string& name, std::size_t line);
    std::string CopyIn(const fs::path& source, std::size_t line);
    void SetPath(char* field, std::size_t size, const std::string& name, std::size_t line);

    std::vector<TEXTURE_INFO> TextureRecords();
    std::vector<MODEL_INFO> ModelRecords();
    template <class Record> std::vector<Record> FileRecords(const std::vector<FileEntry>& entries);
    MODEL_INFO ModelRecord(const ModelEntry& entry);
    void WriteModel(const ModelEntry& entry, const std::string& name);
    void LoadModel(const ModelEntry& entry, C3DModel& model);
    void RebindTextures(const ModelEntry& entry, C3DModel& model);

    template <class Record>
    void WriteTable(const std::string& name, const std::vector<Record>& records);
    void WriteEvents();
    void WriteInfo(const CAbstractMachineCode* code);

    EngineFile Create(const std::string& name) const;
    void Finish(bool written, const std::string& name, const std::string& engineText) const;
    void Warn(std::size_t line, const std::string& message);

    const LevelDescription& m_level;
    LevelFileNames m_names;
    fs::path m_outDir;
    BuildSummary& m_summary;
    // Lower-case output name -> the source that took it (empty for the level's own files).
    std::map<std::string, fs::path> m_placed;
    std::vector<std::string> m_textureNames; // output name of each texture record
};

void Builder::Warn(std::size_t line, const std::string& message) {
    m_summary.warnings.push_back(Diagnostic{m_level.source.string(), line, message}.Text());
}

bool Builder::Place(const fs::path& source, const std::string& name, std::size_t line) {
    fs::path canonical = source.empty() ? source : fs::weakly_canonical(source);
    auto [entry, added] = m_placed.try_emplace(Lower(name), canonical);
    if (!added && entry->second != canonical) {
        std::string other = entry->second.empty() ? "the level's own" : "another";
        Fail(m_level.source.string(), line,
             "'" + source.string() + "' would be written as '" + name + "', which " + other +
                 " file already is");
    }
    return added;
}

std::string Builder::CopyIn(const fs::path& source, std::size_t line) {
    std::string name = source.filename().string();
    if (Place(source, name, line)) {
        std::error_code code;
        fs::copy_file(source, m_outDir / name, fs::copy_options::overwrite_existing, code);
        if (code) {
            Fail(m_level.source.string(), line,
                 "cannot copy '" + source.string() + "': " + code.message());
        }
    }
    return name;
}

// The name is relative to the level info file, which the engine makes full against its
// directory; a full path longer than the engine keeps would leave the field unusable.
void Builder::SetPath(char* field, std::size_t size, const std::string& name, std::size_t line) {
    if (name.size() >= size) {
        Fail(m_level.source.string(), line,
             "the name '" + name + "' does not fit its " + std::to_string(size) + "-byte field");
    }
    std::memcpy(field, name.c_str(), name.size() + 1);
    std::size_t limit = std::min<std::size_t>(size, kFullPathLimit);
    std::string full = EnginePath(m_outDir / name);
    if (full.size() >= limit) {
        Warn(line, "'" + full + "' has " + std::to_string(full.size()) +
                       " characters; the engine makes full paths of at most " +
                       std::to_string(limit - 1) +
                       " here, so move the level to a shorter "
                       "directory");
    }
}

std::vector<TEXTURE_INFO> Builder::TextureRecords() {
    std::vector<TEXTURE_INFO> records;
    for (const TextureEntry& entry : m_level.textures) {
        TEXTURE_INFO record = {};
        m_textureNames.push_back(CopyIn(entry.file, entry.line));
        SetPath(record.szTextureFile, sizeof record.szTextureFile, m_textureNames.back(),
                entry.line);
        record.dwMipMapCount = entry.mipMaps;
        record.dwTextureStage = entry.stage;
        record.dwKind = entry.kind;
        record.dwPrefer32Bit = entry.prefer32Bit ? 1 : 0;
        records.push_back(record);
    }
    return records;
}

void Builder::LoadModel(const ModelEntry& entry, C3DModel& model) {
    if (IsObj(entry.file)) {
        vmmtool::MakeSummary made;
        Diagnostic error;
        if (!vmmtool::ConvertObj(entry.file, {}, model, made, error)) {
            throw BuildFailure{error};
        }
        m_summary.warnings.insert(m_summary.warnings.end(), made.warnings.begin(),
                                  made.warnings.end());
        return;
    }
    vmmtool::EngineMessages messages;
    if (!model.LoadModel(EnginePath(entry.file).c_str())) {
        Fail(m_level.source.string(), entry.line,
             "the engine refuses the model '" + entry.file.string() + "': " + messages.Text());
    }
}

// Material textures are named by full path; the engine binds them to the texture records
// whose paths are equal, so they are renamed to where the level's copies go.
void Builder::RebindTextures(const ModelEntry& entry, C3DModel& model) {
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        CMaterial* material = model.GetMaterial(slot);
        if (material == nullptr || material->GetTextureName() == nullptr) {
            continue;
        }
        std::string named = Lower(material->GetTextureName());
        auto same = [&](const TextureEntry& t) { return Lower(EnginePath(t.file)) == named; };
        auto found = std::find_if(m_level.textures.begin(), m_level.textures.end(), same);
        if (found == m_level.textures.end()) {
            Warn(entry.line, "material " + std::to_string(slot) + " of '" +
                                 entry.file.filename().string() + "' names the texture '" + named +
                                 "', which is not one of the level's textures");
            continue;
        }
        std::size_t index = static_cast<std::size_t>(found - m_level.textures.begin());
        material->SetTextureName(EnginePath(m_outDir / m_textureNames[index]).c_str());
    }
}

void Builder::WriteModel(const ModelEntry& entry, const std::string& name) {
    C3DModel model;
    LoadModel(entry, model);
    RebindTextures(entry, model);
    Diagnostic error;
    if (!vmmtool::SaveVmm(model, m_outDir / name, error)) {
        throw BuildFailure{error};
    }
}

MODEL_INFO Builder::ModelRecord(const ModelEntry& entry) {
    MODEL_INFO record = {};
    std::memcpy(record.szTypeName, entry.typeName.c_str(), entry.typeName.size());
    std::memcpy(record.szPrefix, entry.prefix.c_str(), entry.prefix.size());
    std::string name = entry.file.stem().string() + ".vmm";
    if (Place(entry.file, name, entry.line)) {
        WriteModel(entry, name);
    }
    SetPath(record.szModelFile, sizeof record.szModelFile, name, entry.line);
    if (!entry.module.empty()) {
        SetPath(record.szModulePath, sizeof record.szModulePath, CopyIn(entry.module, entry.line),
                entry.line);
    }
    record.dwTextureOverride = entry.textureOverride;
    record.bUniformScale = entry.uniformScale ? TRUE : FALSE;
    record.fUniformScale = entry.scale;
    record.vScale = ToVector(entry.axisScale);
    record.vCameraUp = ToVector(entry.cameraUp);
    record.vSphereOffset = ToVector(entry.sphereOffset);
    return record;
}

std::vector<MODEL_INFO> Builder::ModelRecords() {
    std::vector<MODEL_INFO> records;
    for (const ModelEntry& entry : m_level.models) {
        records.push_back(ModelRecord(entry));
    }
    return records;
}

template <class Record>
std::vector<Record> Builder::FileRecords(const std::vector<FileEntry>& entries) {
    constexpr auto& fields = ElementTableTraits<Record>::kPathFields;
    std::vector<Record> records;
    for (const FileEntry& entry : entries) {
        Record record = {};
        char* bytes = reinterpret_cast<char*>(&record);
        for (std::size_t i = 0; i < entry.files.size() && i < fields.size(); ++i) {
            SetPath(bytes + fields[i].offset, fields[i].size, CopyIn(entry.files[i], entry.line),
                    entry.line);
        }
        records.push_back(record);
    }
    return records;
}

EngineFile Builder::Create(const std::string& name) const {
    return EngineFile(m_outDir / name, true);
}

void Builder::Finish(bool written, const std::string& name, const std::string& engineText) const {
    if (!written) {
        Fail((m_outDir / name).string(), 0,
             "cannot be written" + (engineText.empty() ? "" : ": " + engineText));
    }
}

template <class Record>
void Builder::WriteTable(const std::string& name, const std::vector<Record>& records) {
    ELEMENT_TABLE_HEADER header = {};
    header.dwTableId = ElementTableTraits<Record>::kTableId;
    header.dwCount = static_cast<DWORD>(records.size());
    EngineFile file = Create(name);
    CFileWriter writer(file.Handle());
    writer.WriteRecord(header);
    if (!records.empty()) {
        writer.Write(records.data(), static_cast<DWORD>(records.size() * sizeof(Record)));
    }
    Finish(file.IsOpen() && !writer.Failed(), name, {});
}

// Each trigger is filed in the quadrant the engine computes for its position, proximity and
// time triggers alike: the section keeps only quadrant lists, and the engine's loader moves
// time triggers to its absolute list.
void Builder::WriteEvents() {
    vgInitialiseWorldSize(m_level.worldSize);
    CVelEvent events;
    vmmtool::EngineMessages messages; // after the manager, which warns that it is not the only one
    for (const TriggerEntry& entry : m_level.triggers) {
        tagGAME_TRIGGER trigger = {};
        trigger.dwType = entry.type;
        trigger.dwEntityId = entry.entityId;
        trigger.vPosition = ToVector(entry.position);
        trigger.vSpawnOffset = ToVector(entry.offset);
        trigger.bRepeat = entry.repeat ? TRUE : FALSE;
        trigger.bUseRadius = entry.useRadius ? TRUE : FALSE;
        trigger.dwModelIndex = entry.model;
        trigger.fRadius = entry.radius;
        trigger.fDelay = entry.delay;
        trigger.fFireTime = entry.delay;
        trigger.dwCreateBlockSize = static_cast<DWORD>(entry.createBlock.size());
        if (!entry.createBlock.empty()) {
            trigger.pCreateBlock = CMemory::Allocate(trigger.dwCreateBlockSize, 0);
            if (trigger.pCreateBlock == nullptr) {
                Fail(m_level.source.string(), entry.line, "out of memory");
            }
            std::memcpy(trigger.pCreateBlock, entry.createBlock.data(), entry.createBlock.size());
        }
        if (!events.GetTriggerList(vgGetQuadrant(&trigger.vPosition))->AddTail(trigger)) {
            CMemory::Deallocate(trigger.pCreateBlock);
            Fail(m_level.source.string(), entry.line, "out of memory");
        }
    }
    EngineFile file = Create(m_names.events);
    Finish(file.IsOpen() && events.Save(file.Handle()) == 0, m_names.events, messages.Text());
}

void Builder::WriteInfo(const CAbstractMachineCode* code) {
    LEVEL_INFO info = {};
    info.dwMagic = kLevelInfoMagic;
    SetPath(info.szSoundTable, kLevelPathSize, m_names.sounds, 0);
    SetPath(info.szModelTable, kLevelPathSize, m_names.models, 0);
    SetPath(info.szMusicTable, kLevelPathSize, m_names.music, 0);
    SetPath(info.szTextureTable, kLevelPathSize, m_names.textures, 0);
    SetPath(info.szEventTable, kLevelPathSize, m_names.events, 0);
    info.fSeed = m_level.seed;
    info.fWorldSize = m_level.worldSize;
    info.dwWrap = m_level.wrap ? 1 : 0;
    info.dwHasCode = code != nullptr ? 1 : 0;
    info.dwTextLength = static_cast<DWORD>(m_level.missionText.size());
    vmmtool::EngineMessages messages;
    EngineFile file = Create(m_names.info);
    bool written = file.IsOpen() && CFileWriter(file.Handle()).WriteRecord(info) &&
                   (code == nullptr || code->Save(file.Handle())) &&
                   CFileWriter(file.Handle()).Write(m_level.missionText.data(), info.dwTextLength);
    Finish(written, m_names.info, messages.Text());
}

void Builder::Run() {
    std::error_code code;
    fs::create_directories(m_outDir, code);
    if (code) {
        Fail(m_outDir.string(), 0, "cannot be created: " + code.message());
    }
    for (const std::string* own : {&m_names.info, &m_names.models, &m_names.music, &m_names.sounds,
                                   &m_names.textures, &m_names.events}) {
        Place({}, *own, 0);
    }
    CAbstractMachineCode script;
    if (!m_level.codeFile.empty()) {
        vmmtool::EngineMessages messages;
        if (!script.LoadRaw(EnginePath(m_level.codeFile).c_str())) {
            Fail(m_level.codeFile.string(), 0, "script code cannot be read: " + messages.Text());
        }
    }
    WriteTable(m_names.textures, TextureRecords());
    WriteTable(m_names.models, ModelRecords());
    WriteTable(m_names.sounds, FileRecords<SOUND_INFO>(m_level.sounds));
    WriteTable(m_names.music, FileRecords<MUSIC_INFO>(m_level.music));
    WriteEvents();
    WriteInfo(m_level.codeFile.empty() ? nullptr : &script);
    m_summary.infoFile = m_outDir / m_names.info;
}

} // namespace

bool BuildLevel(const LevelDescription& level, const std::string& levelName, const fs::path& outDir,
                BuildSummary& summary, Diagnostic& error) {
    summary = BuildSummary{};
    try {
        Builder(level, levelName, outDir, summary).Run();
        return true;
    } catch (const BuildFailure& failure) {
        error = failure.diagnostic;
        return false;
    }
}

bool BuildLevelFile(const fs::path& description, const fs::path& outDir, BuildSummary& summary,
                    Diagnostic& error) {
    std::ifstream in(description, std::ios::binary);
    if (!in) {
        error = {description.string(), 0, "cannot be opened"};
        return false;
    }
    LevelDescription level;
    return ReadLevelDescription(in, description, level, error) &&
           BuildLevel(level, description.stem().string(), outDir, summary, error);
}

} // namespace lvltool
