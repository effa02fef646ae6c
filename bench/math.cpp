// The maths functions beside the equivalent GLM operations (and rgRandom beside std::mt19937
// producing doubles). After the runs, one line per operation gives the time ratio
// VelCore / baseline and the ratio the maths code is meant to stay within.

#include "math/matrix.h"
#include "math/quaternion.h"
#include "math/random.h"

#include "benchkit/timings.h"

#include <benchmark/benchmark.h>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSetSize = 256; // a power of two: indices wrap by masking
constexpr std::size_t kIndexMask = kSetSize - 1;

// Random inputs shared by both sides. GLM is column-major, so the same sixteen floats read
// as a GLM matrix are the transpose, and GLM's a * b then computes MatrixMult(a, b).
struct Inputs {
    std::array<D3DMATRIX, kSetSize> matrices;
    std::array<D3DVECTOR, kSetSize> vectors;
    std::array<D3DQUAT, kSetSize> quats;
    std::array<float, kSetSize> fractions;
    std::array<glm::mat4, kSetSize> glmMatrices;
    std::array<glm::vec3, kSetSize> glmVectors;
    std::array<glm::quat, kSetSize> glmQuats;

    Inputs() {
        std::mt19937 engine(20240611);
        std::uniform_real_distribution<float> value(-1.0f, 1.0f);
        for (std::size_t i = 0; i < kSetSize; ++i) {
            // A strong diagonal keeps every matrix well conditioned.
            D3DMATRIX& m = matrices[i];
            for (int r = 0; r < 4; ++r) {
                for (int c = 0; c < 4; ++c) {
                    m(r, c) = value(engine) + (r == c ? 4.0f : 0.0f);
                }
            }
            vectors[i] = {value(engine), value(engine), value(engine)};
            quats[i] = {value(engine), value(engine), value(engine), value(engine)};
            NormalizeQuat(&quats[i]);
            fractions[i] = (value(engine) + 1.0f) * 0.5f;
            for (int k = 0; k < 16; ++k) {
                glmMatrices[i][k / 4][k % 4] = m(k / 4, k % 4);
            }
            glmVectors[i] = {vectors[i].x, vectors[i].y, vectors[i].z};
            glmQuats[i] = glm::quat(quats[i].w, quats[i].x, quats[i].y, quats[i].z);
        }
    }
};

const Inputs& Data() {
    static const Inputs inputs;
    return inputs;
}

// Runs op(i) once per iteration over the input set, keeping every result alive.
template <typename Op> void RunOverInputs(benchmark::State& state, Op op) {
    std::size_t i = 0;
    for (auto _ : state) {
        auto result = op(i);
        benchmark::DoNotOptimize(result);
        i = (i + 1) & kIndexMask;
    }
}

std::size_t Next(std::size_t i) {
    return (i + 1) & kIndexMask;
}

void MatrixMult_VelCore(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state,
                  [&](std::size_t i) { return MatrixMult(d.matrices[i], d.matrices[Next(i)]); });
}

void MatrixMult_GLM(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) { return d.glmMatrices[i] * d.glmMatrices[Next(i)]; });
}

void TransformVector_VelCore(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state,
                  [&](std::size_t i) { return TransformVector(d.vectors[i], d.matrices[i]); });
}

void TransformVector_GLM(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) {
        const glm::vec4 h = d.glmMatrices[i] * glm::vec4(d.glmVectors[i], 1.0f);
        return glm::vec3(h) / h.w;
    });
}

void MatrixInverse_VelCore(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) { return MatrixInverse(d.matrices[i]); });
}

void MatrixInverse_GLM(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) { return glm::inverse(d.glmMatrices[i]); });
}

void QuatSlerp_VelCore(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) {
        D3DQUAT out;
        QuatSlerp(&d.quats[i], &d.quats[Next(i)], d.fractions[i], &out);
        return out;
    });
}

void QuatSlerp_GLM(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) {
        return glm::slerp(d.glmQuats[i], d.glmQuats[Next(i)], d.fractions[i]);
    });
}

void QuatToMatrix_VelCore(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) {
        D3DMATRIX out;
        QuatToMatrix(&d.quats[i], &out);
        return out;
    });
}

void QuatToMatrix_GLM(benchmark::State& state) {
    const Inputs& d = Data();
    RunOverInputs(state, [&](std::size_t i) { return glm::mat4_cast(d.glmQuats[i]); });
}

void Random_VelCore(benchmark::State& state) {
    rgRandomize(0.5);
    for (auto _ : state) {
        benchmark::DoNotOptimize(rgRandom());
    }
}

void Random_mt19937(benchmark::State& state) {
    std::mt19937 engine(5489u);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(unit(engine));
    }
}

BENCHMARK(MatrixMult_VelCore);
BENCHMARK(MatrixMult_GLM);
BENCHMARK(TransformVector_VelCore);
BENCHMARK(TransformVector_GLM);
BENCHMARK(MatrixInverse_VelCore);
BENCHMARK(MatrixInverse_GLM);
BENCHMARK(QuatSlerp_VelCore);
BENCHMARK(QuatSlerp_GLM);
BENCHMARK(QuatToMatrix_VelCore);
BENCHMARK(QuatToMatrix_GLM);
BENCHMARK(Random_VelCore);
BENCHMARK(Random_mt19937);

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        std::printf("CPU time ratios, VelCore / baseline:\n");
        auto ratio = [&timings](const std::string& operation, const char* baseline, double target) {
            benchkit::PrintRatio(operation + " / " + baseline,
                                 timings.PerIteration(operation + "_VelCore"),
                                 timings.PerIteration(operation + "_" + baseline), target);
        };
        ratio("MatrixMult", "GLM", 1.1);
        ratio("TransformVector", "GLM", 1.1);
        ratio("QuatToMatrix", "GLM", 1.1);
        ratio("MatrixInverse", "GLM", 2.0);
        ratio("Random", "mt19937", 1.0);
        ratio("QuatSlerp", "GLM", 0.0);
    });
}
