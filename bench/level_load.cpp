// Loading a level of 200 model records that share 20 model files (8 frames of 500 triangles
// each) and 50 textures (64 x 64, 24-bit), with vgNewGame on a software DirectDraw and 3D
// device, against reading the same files into memory with plain reads (load time at most
// three times the read time).

#include "engine/engine.h"
#include "engine/level_records.h"
#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/d3d/software/software_d3d.h"
#include "platform/ddraw/gdi/gdi.h"
#include "platform/ddraw/software/software_ddraw.h"
#include "platform/os/debug_output.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRecords = 200;
constexpr DWORD kModelFiles = 20;
constexpr DWORD kTextures = 50;
constexpr DWORD kFramesPerModel = 8;
constexpr DWORD kTrianglesPerFrame = 500;
constexpr int kTextureSide = 64;

template <class Record> void WriteRaw(std::ofstream& out, const Record& record) {
    out.write(reinterpret_cast<const char*>(&record), sizeof(Record));
}

template <class Record>
void WriteTable(const std::filesystem::path& path, DWORD id, const std::vector<Record>& records) {
    std::ofstream out(path, std::ios::binary);
    WriteRaw(out, ELEMENT_TABLE_HEADER{id, 0, static_cast<DWORD>(records.size()), 0});
    for (const Record& record : records) {
        WriteRaw(out, record);
    }
}

// A 24-bit bitmap of noise.
void WriteBitmap(const std::filesystem::path& path, std::mt19937& random) {
    const DWORD pixels = kTextureSide * 3 * kTextureSide;
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    std::ofstream out(path, std::ios::binary);
    WriteRaw(out, BITMAPFILEHEADER{0x4D42, offset + pixels, 0, 0, offset});
    WriteRaw(out,
             BITMAPINFOHEADER{40, kTextureSide, kTextureSide, 1, 24, BI_RGB, pixels, 0, 0, 0, 0});
    std::vector<char> data(pixels);
    for (char& byte : data) {
        byte = static_cast<char>(random());
    }
    out.write(data.data(), data.size());
}

void WriteModel(const std::string& enginePath, DWORD index, const std::string& texture) {
    C3DModel model;
    for (DWORD f = 0; f < kFramesPerModel; ++f) {
        std::vector<D3DVERTEX> vertices(kTrianglesPerFrame + 2);
        for (DWORD j = 0; j < vertices.size(); ++j) {
            const float x = 0.01f * static_cast<float>(j / 2);
            vertices[j] = {x, static_cast<float>(j % 2), static_cast<float>(f + index), 0, 0, -1, x,
                           0};
        }
        std::vector<DWORD> faces;
        for (DWORD i = 0; i < kTrianglesPerFrame; ++i) {
            faces.insert(faces.end(), {i, i + 1, i + 2});
        }
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        frame->SetName(("part" + std::to_string(f)).c_str());
        frame->SetVertices(vertices.data(), static_cast<DWORD>(vertices.size()));
        frame->SetFaces(faces.data(), kTrianglesPerFrame);
        frame->SetMaterialIndex(0);
        frame->SetParentKeyframe(kNoIndex);
        DBOX_KEYFRAME box = {0, 0.0f, {}, {}, {}, 0.0f};
        frame->SetBBoxKeyframes(1, &box, 0, 0);
        model.AddFrame(frame);
    }
    model.SetKeyframes(0, 0, 0);
    CMaterial* material = NewAccounted<CMaterial>();
    material->SetTextureName(texture.c_str());
    model.AddMaterial(material);
    model.CalculateBoundingBox();
    model.SaveModel(enginePath.c_str());
}

// The level's files, written at first use and removed at exit.
class LevelFiles {
public:
    LevelFiles() {
        std::random_device seed;
        m_dir = std::filesystem::temp_directory_path() /
                ("velcore-bench-level-" + std::to_string(seed()));
        std::filesystem::create_directories(m_dir);
        std::mt19937 random(11);
        std::vector<TEXTURE_INFO> textures(kTextures);
        for (DWORD t = 0; t < kTextures; ++t) {
            const std::string name = "texture" + std::to_string(t) + ".bmp";
            WriteBitmap(m_dir / name, random);
            std::snprintf(textures[t].szTextureFile, sizeof textures[t].szTextureFile, "%s",
                          name.c_str());
        }
        for (DWORD m = 0; m < kModelFiles; ++m) {
            const std::string name = "model" + std::to_string(m) + ".vmm";
            WriteModel(platform::HostToWindowsPath((m_dir / name).string()), m,
                       "texture" + std::to_string(m % kTextures) + ".bmp");
        }
        std::vector<MODEL_INFO> models(kRecords);
        for (DWORD r = 0; r < kRecords; ++r) {
            std::snprintf(models[r].szModelFile, sizeof models[r].szModelFile, "model%u.vmm",
                          static_cast<unsigned>(r % kModelFiles));
            models[r].dwTextureOverride = kNoTextureOverride;
        }
        WriteTable(m_dir / "models.tbl", kModelTableId, models);
        WriteTable(m_dir / "textures.tbl", kTextureTableId, textures);
        WriteTable(m_dir / "sounds.tbl", kSoundTableId, std::vector<SOUND_INFO>{});
        WriteTable(m_dir / "music.tbl", kMusicTableId, std::vector<MUSIC_INFO>{});
        std::ofstream(m_dir / "events.evt", std::ios::binary)
            .write("\x56\x56\x54\x1A\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 12);
        LEVEL_INFO info{};
        info.dwMagic = kLevelInfoMagic;
        std::strcpy(info.szSoundTable, "sounds.tbl");
        std::strcpy(info.szModelTable, "models.tbl");
        std::strcpy(info.szMusicTable, "music.tbl");
        std::strcpy(info.szTextureTable, "textures.tbl");
        std::strcpy(info.szEventTable, "events.evt");
        info.fWorldSize = 1024.0f;
        std::ofstream level(m_dir / "level.vlf", std::ios::binary);
        WriteRaw(level, info);
    }
    ~LevelFiles() {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string LevelPath() const {
        return platform::HostToWindowsPath((m_dir / "level.vlf").string());
    }
    std::vector<std::string> AllFiles() const {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(m_dir)) {
            files.push_back(platform::HostToWindowsPath(entry.path().string()));
        }
        return files;
    }

private:
    std::filesystem::path m_dir;
};

const LevelFiles& TheLevel() {
    static LevelFiles files;
    return files;
}

// A host: software DirectDraw and 3D device with a current viewport.
class BenchHost {
public:
    BenchHost() {
        platform::CreateSoftwareDirectDraw({}, &m_directDraw);
        platform::CreateSoftwareDirect3D({}, &m_direct3D, &m_device);
        m_direct3D->CreateViewport(&m_viewport, nullptr);
        m_device->SetCurrentViewport(m_viewport);
        m_globals.pDirectDraw = m_directDraw;
        m_globals.pDirect3D = m_direct3D;
        m_globals.pDevice = m_device;
        m_globals.nScreenWidth = 640;
        m_globals.nScreenHeight = 480;
        m_globals.fNearPlane = 1.0f;
        m_globals.fFarPlane = 1000.0f;
        vgSetGlobals(&m_globals);
        vgEnable();
    }
    ~BenchHost() {
        vgDisable();
        vgSetGlobals(nullptr);
        m_viewport->Release();
        m_device->Release();
        m_direct3D->Release();
        m_directDraw->Release();
    }

private:
    platform::SoftwareDirectDraw* m_directDraw = nullptr;
    platform::SoftwareDirect3D* m_direct3D = nullptr;
    platform::SoftwareDevice* m_device = nullptr;
    IDirect3DViewport3* m_viewport = nullptr;
    GAME_GLOBALS m_globals{};
};

void BM_LoadLevel(benchmark::State& state) {
    const std::string path = TheLevel().LevelPath();
    BenchHost host;
    for (auto _ : state) {
        if (!vgNewGame(path.c_str())) {
            state.SkipWithError("level refused");
            break;
        }
    }
}

// The baseline: every file of the level read whole into fresh memory.
void BM_PlainRead(benchmark::State& state) {
    const std::vector<std::string> files = TheLevel().AllFiles();
    for (auto _ : state) {
        for (const std::string& file : files) {
            HANDLE handle = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
            const DWORD size = GetFileSize(handle);
            std::unique_ptr<char[]> buffer(new char[size]);
            DWORD read = 0;
            ReadFile(handle, buffer.get(), size, &read);
            CloseHandle(handle);
            benchmark::DoNotOptimize(buffer.get());
        }
    }
}

BENCHMARK(BM_LoadLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // Both run on warm memory, as in the model loading benchmark.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    SetDebugOutputSink({[](const char*, void*) {}, nullptr});
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        const double load = timings.PerIteration("BM_LoadLevel");
        std::printf("%-48s %8.2f ms\n", "level load (200 records, 20 models, 50 textures)", load);
        benchkit::PrintRatio("level load time / plain read time", load,
                             timings.PerIteration("BM_PlainRead"), 3.0);
    });
}
