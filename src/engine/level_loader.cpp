#include "engine/level_loader.h"

#include "engine/debug_log.h"
#include "engine/element_table.h"
#include "engine/globals.h"
#include "engine/state.h"
#include "engine/world.h"
#include "event/event_manager.h"
#include "math/matrix.h"
#include "math/random.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "model/model_frame.h"
#include "platform/os/file.h"
#include "platform/os/last_error.h"
#include "scene/texture.h"
#include "support/binary_file.h"
#include "support/machine_code.h"
#include "support/memory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// The mission text buffer is this much longer than the text, so it is always terminated.
constexpr DWORD kMissionTextSlack = 16;

// Each step returns null when it succeeded, else the cause named in the closing message; its
// own message, in the loader's words, is already written.
using Cause = const char*;

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Paths compare without regard to letter case, as the files they name do.
bool SameTextIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && AsciiLower(*a) == AsciiLower(*b); ++a, ++b) {
    }
    return AsciiLower(*a) == AsciiLower(*b);
}

// Zeroed memory from the accountant for count items, or null.
template <class T> T* AllocateZeroed(DWORD count) {
    auto* items = static_cast<T*>(CMemory::Allocate(count * static_cast<DWORD>(sizeof(T)), 0));
    if (items != nullptr) {
        std::memset(items, 0, count * sizeof(T));
    }
    return items;
}

Cause ReadMissionText(HANDLE file) {
    const DWORD length = g_level.info.dwTextLength;
    if (length == 0) {
        return nullptr;
    }
    // A fresh reader: the script code block before the text reads the handle by itself.
    CFileReader reader(file);
    if (!reader.CanHold(length, 1) || length > 0xFFFFFFFFu - kMissionTextSlack) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load mission text");
        return "the mission text runs past the end of the file";
    }
    g_level.pszMissionText = static_cast<char*>(CMemory::Allocate(length + kMissionTextSlack, 0));
    if (g_level.pszMissionText == nullptr) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load mission text");
        return "no memory for the mission text";
    }
    std::memset(g_level.pszMissionText, 0, length + 1);
    if (!reader.Read(g_level.pszMissionText, length)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load mission text");
        return "the mission text could not be read";
    }
    return nullptr;
}

Cause ReadLevelContents(HANDLE file) {
    CFileReader reader(file);
    if (!ReadElements(reader, &g_level.info, 1) || g_level.info.dwMagic != kLevelInfoMagic) {
        DebugLog("VelEng::vgLoadLevelInfo() Load error or wrong file type!");
        return "not a level info file";
    }
    // Checked against the bytes left: a skip past the end must not pass for an empty one.
    if (!reader.Skip(g_level.info.dwSkip)) {
        DebugLog("VelEng::vgLoadLevelInfo() Skip of %u bytes runs past the end of the file!",
                 static_cast<unsigned>(g_level.info.dwSkip));
        return "the bytes to skip run past the end of the file";
    }
    if (g_level.info.dwHasCode != 0 && !g_missionCode.Load(file)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load mission script code");
        return "the mission script code could not be read";
    }
    return ReadMissionText(file);
}

Cause ReadLevelFile(const char* path) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to open file '%s'. Last Error=%d", path,
                 static_cast<int>(GetLastError()));
        return "the file could not be opened";
    }
    Cause cause = ReadLevelContents(file);
    CloseHandle(file);
    return cause;
}

void SeedRandomNumbers() {
    rgRandomize(static_cast<double>(g_level.info.fSeed));
    if (!rgGenerateTable(RANDOM_TABLE_FLOAT)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to generate random table!");
    }
}

Cause LoadTables(const char* directory) {
    LEVEL_INFO& info = g_level.info;
    if (!LoadElementTable(info.szModelTable, g_level.modelHeader, g_level.pModels, kModelTableId,
                          directory) ||
        !LoadElementTable(info.szMusicTable, g_level.musicHeader, g_level.pMusic, kMusicTableId,
                          directory) ||
        !LoadElementTable(info.szSoundTable, g_level.soundHeader, g_level.pSounds, kSoundTableId,
                          directory) ||
        !LoadElementTable(info.szTextureTable, g_level.textureHeader, g_level.pTextures,
                          kTextureTableId, directory)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load info table.");
        return "an element table could not be loaded";
    }
    return nullptr;
}

Cause LoadEvents() {
    const char* path = g_level.info.szEventTable;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to open '%s'", path);
        return "the event table could not be opened";
    }
    const int result = g_eventManager.Load(file, 0);
    CloseHandle(file);
    if (result != 0) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load event table - Error=%d", result);
        return "the event table could not be read";
    }
    return nullptr;
}

DWORD TextureFlags(const TEXTURE_INFO& record) {
    DWORD flags = record.dwKind == 1   ? kTextureWhiteTransparent
                  : record.dwKind == 2 ? kTextureBlackTransparent
                                       : 0;
    return flags | (record.dwPrefer32Bit != 0 ? kTexturePrefer32Bit : 0);
}

Cause LoadTextures() {
    const DWORD count = g_level.textureHeader.dwCount;
    g_level.ppTextureObjects = AllocateZeroed<CTexture*>(count);
    if (g_level.ppTextureObjects == nullptr) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to allocate texture array!");
        return "no memory for the textures";
    }
    g_level.dwTextureObjectCount = count;
    for (DWORD i = 0; i < count; ++i) {
        g_level.ppTextureObjects[i] = NewAccounted<CTexture>();
        if (g_level.ppTextureObjects[i] == nullptr) {
            DebugLog("VelEng::vgLoadLevelInfo() Failed to allocate texture array!");
            return "no memory for the textures";
        }
    }
    for (DWORD i = 0; i < count; ++i) {
        TEXTURE_INFO& record = g_level.pTextures[i];
        if (!g_level.ppTextureObjects[i]->Load(record.szTextureFile, record.dwMipMapCount,
                                               record.dwTextureStage, TextureFlags(record))) {
            DebugLog("VelEng::vgLoadLevelInfo() Failed to load texture '%s' - %d of %d",
                     record.szTextureFile, static_cast<int>(i + 1), static_cast<int>(count));
            return "a texture could not be loaded";
        }
    }
    return nullptr;
}

// The first model record up to `index` that names the same model file.
DWORD FirstRecordWithFile(DWORD index) {
    for (DWORD j = 0; j < index; ++j) {
        if (SameTextIgnoringCase(g_level.pModels[j].szModelFile,
                                 g_level.pModels[index].szModelFile)) {
            return j;
        }
    }
    return index;
}

// Scales the model so that the longest side of its box at rest is 1. A model without extent
// (flat along every axis, or without boxes) or with a box that is not finite keeps its size.
void NormaliseSize(C3DModel& model, DWORD index) {
    D3DVECTOR min;
    D3DVECTOR max;
    model.GetBoundingBox(0, 0.0f, min, max);
    const D3DVECTOR extent = max - min;
    const float longest = std::max(std::max(extent.x, extent.y), extent.z);
    if (!std::isfinite(longest) || !(longest > 0.0f)) {
        DebugLog("VelEng::vgLoadLevelInfo() Model %d has no size to normalise; kept as it is",
                 static_cast<int>(index + 1));
        return;
    }
    model.Transform(ScaleMatrix(static_cast<float>(1.0 / longest)));
}

DWORD FindTextureRecord(const char* name) {
    for (DWORD t = 0; t < g_level.textureHeader.dwCount; ++t) {
        if (SameTextIgnoringCase(g_level.pTextures[t].szTextureFile, name)) {
            return t;
        }
    }
    return kNoIndex;
}

// Materials without a texture index get the first texture record whose path is their
// texture name. A frame naming no material slot of the model has nothing to bind.
void BindTexturesByName(C3DModel& model) {
    for (DWORD f = 0; f < model.GetFrameCount(); ++f) {
        CMaterial* material = model.GetMaterial(model.GetFrame(f)->GetMaterialIndex());
        if (material == nullptr || material->GetTextureIndex() != kNoIndex ||
            material->GetTextureName() == nullptr) {
            continue;
        }
        material->SetTextureIndex(FindTextureRecord(material->GetTextureName()));
        if (material->GetTextureIndex() == kNoIndex) {
            DebugLog("VelEng::vgLoadLevelInfo() Failed to find texture '%s'!",
                     material->GetTextureName());
        }
    }
}

void WhitenMaterials(C3DModel& model) {
    const D3DVECTOR white(1.0f, 1.0f, 1.0f);
    for (DWORD slot = 0; slot < kMaxModelMaterials; ++slot) {
        if (CMaterial* material = model.GetMaterial(slot)) {
            material->SetDiffuse(white);
            material->SetAmbient(white);
        }
    }
}

Cause LoadModel(DWORD index, DWORD count) {
    C3DModel* model = NewAccounted<C3DModel>();
    g_level.pp3DModels[index] = model;
    if (model == nullptr) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to allocate mem for models!");
        return "no memory for the models";
    }
    const MODEL_INFO& record = g_level.pModels[index];
    if (!model->LoadModel(record.szModelFile)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to load model %d out of %d",
                 static_cast<int>(index + 1), static_cast<int>(count));
        return "a model could not be loaded";
    }
    if (!model->ConvertIndices(nullptr)) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to convert indices!");
        return "a model's indices could not be converted";
    }
    NormaliseSize(*model, index);
    if (record.dwTextureOverride == kNoTextureOverride) {
        BindTexturesByName(*model);
    }
    WhitenMaterials(*model);
    return nullptr;
}

// Each distinct model file is loaded once; records naming the same file share its model
// through the index map and leave their own slot empty.
Cause LoadModels() {
    const DWORD count = g_level.modelHeader.dwCount;
    g_level.pp3DModels = AllocateZeroed<C3DModel*>(count);
    g_level.dw3DModelCount = g_level.pp3DModels != nullptr ? count : 0;
    g_level.pModelMap = AllocateZeroed<DWORD>(count);
    if (g_level.pp3DModels == nullptr || g_level.pModelMap == nullptr) {
        DebugLog("VelEng::vgLoadLevelInfo() Failed to allocate mem for models!");
        return "no memory for the models";
    }
    for (DWORD i = 0; i < count; ++i) {
        const DWORD first = FirstRecordWithFile(i);
        if (first != i) {
            g_level.pModelMap[i] = g_level.pModelMap[first];
            continue;
        }
        g_level.pModelMap[i] = i;
        if (Cause cause = LoadModel(i, count)) {
            return cause;
        }
    }
    return nullptr;
}

Cause LoadLevel(const char* path, const char* directory, int loadEvents) {
    if (Cause cause = ReadLevelFile(path)) {
        return cause;
    }
    ConvertRecordPaths(g_level.info, directory, PATH_MAKE_FULL);
    vgInitialiseWorldSize(g_level.info.fWorldSize);
    SeedRandomNumbers();
    if (Cause cause = LoadTables(directory)) {
        return cause;
    }
    if (loadEvents) {
        if (Cause cause = LoadEvents()) {
            return cause;
        }
    }
    if (Cause cause = LoadTextures()) {
        return cause;
    }
    return LoadModels();
}

// A level that failed to load leaves nothing behind: no half-built tables, models or
// textures for accessors or ticks to meet.
void DiscardLevel() {
    ReleaseLevelTables();
    g_eventManager.Reset();
    g_missionCode.ReleaseResources();
    g_engine.bGameLoaded = FALSE;
}

} // namespace

int vgLoadLevelInfo(const char* path, const char* directory, int loadEvents) {
    if (Cause cause = LoadLevel(path, directory, loadEvents)) {
        const DWORD error = GetLastError();
        DebugLog("VelEng::vgLoadLevelInfo() Level '%s' not loaded: %s", path, cause);
        DiscardLevel();
        SetLastError(error);
        return 0;
    }
    g_engine.bGameLoaded = TRUE;
    return 1;
}
