// A model of 64 frames and 200 000 triangles with position, rotation, scale and box keys over
// 10 keyframes, saved once through C3DModel::SaveModel. Measured: loading it with
// C3DModel::LoadModel against reading the same file into memory with plain reads (loading
// must run at least half as fast: load time at most twice the read time), and one
// spline-mode InterpolateAnimation pass over the frame hierarchy, per frame.

#include "model/accounted.h"
#include "model/material.h"
#include "model/model.h"
#include "platform/os/file.h"
#include "platform/os/handle.h"
#include "platform/os/path.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr DWORD kFrames = 64;
constexpr DWORD kTriangles = 200000;
constexpr DWORD kTrianglesPerFrame = kTriangles / kFrames;
constexpr DWORD kFinalKeyframe = 9;
constexpr float kDuration = 10.0f;

float KeyTime(DWORD k) {
    return static_cast<float>(k) / kFinalKeyframe;
}

// A triangle strip: vertex j zigzags along x, triangle i uses vertices i, i+1, i+2.
void SetStripMesh(C3DModelFrame& frame, DWORD index) {
    std::vector<D3DVERTEX> vertices(kTrianglesPerFrame + 2);
    for (DWORD j = 0; j < vertices.size(); ++j) {
        float x = 0.01f * static_cast<float>(j / 2);
        float y = static_cast<float>(j % 2);
        vertices[j] = {x, y, static_cast<float>(index), 0, 0, -1, x, y};
    }
    std::vector<DWORD> indices;
    for (DWORD i = 0; i < kTrianglesPerFrame; ++i) {
        indices.insert(indices.end(), {i, i + 1, i + 2});
    }
    frame.SetVertices(vertices.data(), static_cast<DWORD>(vertices.size()));
    frame.SetFaces(indices.data(), kTrianglesPerFrame);
}

void SetKeys(C3DModelFrame& frame) {
    std::vector<DPOS_KEYFRAME> positions(kFinalKeyframe + 1);
    std::vector<DROT_KEYFRAME> rotations(kFinalKeyframe + 1);
    std::vector<DSCL_KEYFRAME> scales(kFinalKeyframe + 1);
    std::vector<DBOX_KEYFRAME> boxes(kFinalKeyframe + 1);
    for (DWORD k = 0; k <= kFinalKeyframe; ++k) {
        float t = KeyTime(k);
        positions[k] = {k,
                        t,
                        D3DVECTOR(t, 0.5f * t, 0.0f),
                        D3DVECTOR(1.0f, 0.0f, 0.0f),
                        D3DVECTOR(1.0f, 0.0f, 0.0f),
                        {},
                        0.1f,
                        0.1f};
        rotations[k] = {k, t, {}};
        AxisAngleToQuat(t * 3.0f, 0.0f, 1.0f, 0.0f, &rotations[k].qRotation);
        scales[k] = {k, t, D3DVECTOR(1.0f + 0.1f * t)};
        boxes[k] = {k, t, {}, {}, {}, 0.0f};
    }
    frame.SetPositionKeys(kFinalKeyframe + 1, positions.data(), 0, kFinalKeyframe);
    frame.SetRotationKeys(kFinalKeyframe + 1, rotations.data(), 0, kFinalKeyframe);
    frame.SetScaleKeys(kFinalKeyframe + 1, scales.data(), 0, kFinalKeyframe);
    frame.SetBBoxKeyframes(kFinalKeyframe + 1, boxes.data(), 0, kFinalKeyframe);
}

void BuildModel(C3DModel& model) {
    for (DWORD i = 0; i < kFrames; ++i) {
        C3DModelFrame* frame = NewAccounted<C3DModelFrame>();
        frame->SetName(("part" + std::to_string(i)).c_str());
        SetStripMesh(*frame, i);
        frame->SetMaterialIndex(i % 2);
        // A binary tree: every parent comes before its children.
        frame->SetParentKeyframe(i == 0 ? kNoIndex : (i - 1) / 2);
        SetKeys(*frame);
        model.AddFrame(frame);
    }
    for (int m = 0; m < 2; ++m) {
        CMaterial* material = NewAccounted<CMaterial>();
        material->SetDiffuse(D3DVECTOR(0.5f * m, 0.5f, 0.5f));
        model.AddMaterial(material);
    }
    model.SetKeyframes(0, kFinalKeyframe, 0);
    DANIMATION animation = {};
    animation.fDuration = kDuration;
    model.SetAnimations(1, &animation);
    model.CalculateBoundingBox();
}

// The model file, written at first use and removed at exit.
class ModelFile {
public:
    ModelFile() {
        std::random_device random;
        m_hostPath = std::filesystem::temp_directory_path() /
                     ("velcore-bench-model-" + std::to_string(random()) + ".vmm");
        m_enginePath = platform::HostToWindowsPath(m_hostPath.string());
        C3DModel model;
        BuildModel(model);
        if (!model.SaveModel(m_enginePath.c_str())) {
            std::fprintf(stderr, "model_load: %s could not be written\n", m_enginePath.c_str());
            std::exit(1);
        }
        m_size = std::filesystem::file_size(m_hostPath);
    }
    ~ModelFile() {
        std::error_code ignored;
        std::filesystem::remove(m_hostPath, ignored);
    }

    const char* EnginePath() const { return m_enginePath.c_str(); }
    std::uint64_t Size() const { return m_size; }

private:
    std::filesystem::path m_hostPath;
    std::string m_enginePath;
    std::uint64_t m_size = 0;
};

const ModelFile& TheModelFile() {
    static const ModelFile file;
    return file;
}

void BM_LoadModel(benchmark::State& state) {
    const ModelFile& file = TheModelFile();
    C3DModel model;
    for (auto _ : state) {
        if (!model.LoadModel(file.EnginePath())) {
            state.SkipWithError("LoadModel failed");
            break;
        }
        state.PauseTiming();
        model.Reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

// Reads the whole file into buffer; false when it could not.
bool ReadWholeFile(const ModelFile& file, char* buffer) {
    HANDLE handle = CreateFileA(file.EnginePath(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    DWORD read = 0;
    bool complete = handle != INVALID_HANDLE_VALUE &&
                    ReadFile(handle, buffer, GetFileSize(handle), &read) && read == file.Size();
    CloseHandle(handle);
    return complete;
}

// The baseline: a fresh buffer per read, as a loader needs fresh memory for what it reads.
void BM_PlainRead(benchmark::State& state) {
    const ModelFile& file = TheModelFile();
    for (auto _ : state) {
        std::unique_ptr<char[]> buffer(new char[file.Size()]);
        if (!ReadWholeFile(file, buffer.get())) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.Size()));
}

void BM_InterpolateSpline(benchmark::State& state) {
    C3DModel model;
    model.LoadModel(TheModelFile().EnginePath());
    float time = 0.0f;
    for (auto _ : state) {
        // A new time every pass, so no frame's cached evaluation is reused.
        time += 0.0137f;
        model.InterpolateAnimation(1, 0, time, ANIM_SPLINE);
        benchmark::DoNotOptimize(model.GetFrame(kFrames - 1)->GetAnimationMatrix());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kFrames));
}

BENCHMARK(BM_LoadModel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InterpolateSpline)->Unit(benchmark::kMicrosecond);

double MegabytesPerSecond(double bytes, double milliseconds) {
    return milliseconds > 0 ? bytes / milliseconds / 1e3 : 0;
}

} // namespace

int main(int argc, char** argv) {
    // Both measurements run on warm memory: the heap keeps the pages it was given, so neither
    // pays the kernel's first-touch faults for fresh memory (without this the loader, which
    // frees everything between loads, pays them every time and the plain read does not).
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        double size = static_cast<double>(TheModelFile().Size());
        double load = timings.PerIteration("BM_LoadModel");
        double plain = timings.PerIteration("BM_PlainRead");
        std::printf("model file: %.1f MB, %u frames, %u triangles\n", size / 1e6, kFrames,
                    kTriangles);
        std::printf("%-40s %8.1f MB/s\n", "LoadModel", MegabytesPerSecond(size, load));
        std::printf("%-40s %8.1f MB/s\n", "plain read", MegabytesPerSecond(size, plain));
        benchkit::PrintRatio("load time / plain read time", load, plain, 2.0);
        std::printf("%-40s %8.1f ns per frame\n", "InterpolateAnimation (spline)",
                    timings.PerItem("BM_InterpolateSpline"));
    });
}
