// Surface copies of the software DirectDraw against their baselines:
// - BltFast of a whole 640 x 480 surface without a key, 16 and 32 bits, against memcpy of the
//   same rows (throughput at least 0.8 times memcpy's: time at most 1.25 times);
// - a colour-keyed 16-bit BltFast of a 256 x 256 sprite and a 2x stretching Blt, against
//   SDL's software blitter doing the same work (time at most 1.0 times).

#include "platform/ddraw/software/software_ddraw.h"

#include "benchkit/surfaces.h"
#include "benchkit/timings.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr DWORD kScreenWidth = 640;
constexpr DWORD kScreenHeight = 480;
constexpr DWORD kSprite = 256;
constexpr WORD kKey = 0xF81F;

platform::SoftwareDirectDraw* TheDirectDraw() {
    static platform::SoftwareDirectDraw* directDraw = [] {
        platform::SoftwareDirectDraw* created = nullptr;
        platform::CreateSoftwareDirectDraw({}, &created);
        return created;
    }();
    return directDraw;
}

IDirectDrawSurface4* MakeSurface(const DDPIXELFORMAT& format, DWORD width, DWORD height) {
    return benchkit::MakeSurface(TheDirectDraw(), format, width, height, DDSCAPS_OFFSCREENPLAIN);
}

// Sprite pixels: about half of them the key, the rest arbitrary colours.
std::vector<WORD> SpritePixels() {
    std::mt19937 random(7);
    std::vector<WORD> pixels(kSprite * kSprite);
    for (WORD& pixel : pixels) {
        pixel = (random() & 1) != 0 ? kKey : static_cast<WORD>(random() & 0xF7DE);
    }
    return pixels;
}

void FillSprite(IDirectDrawSurface4* surface, const std::vector<WORD>& pixels) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    surface->Lock(nullptr, &desc, DDLOCK_WAIT, nullptr);
    auto* bits = static_cast<BYTE*>(DDLockedBits(&desc));
    for (DWORD y = 0; y < kSprite; ++y) {
        std::memcpy(bits + y * desc.lPitch, &pixels[y * kSprite], kSprite * sizeof(WORD));
    }
    surface->Unlock(nullptr);
}

void BltFastScreen(benchmark::State& state, const DDPIXELFORMAT& format) {
    IDirectDrawSurface4* source = MakeSurface(format, kScreenWidth, kScreenHeight);
    IDirectDrawSurface4* target = MakeSurface(format, kScreenWidth, kScreenHeight);
    for (auto _ : state) {
        benchmark::DoNotOptimize(target->BltFast(0, 0, source, nullptr, DDBLTFAST_WAIT));
    }
    source->Release();
    target->Release();
}

// The same rows of the same two surfaces, copied with memcpy straight between their memory.
void MemcpyScreen(benchmark::State& state, const DDPIXELFORMAT& format) {
    IDirectDrawSurface4* source = MakeSurface(format, kScreenWidth, kScreenHeight);
    IDirectDrawSurface4* target = MakeSurface(format, kScreenWidth, kScreenHeight);
    DDSURFACEDESC2 from{};
    DDSURFACEDESC2 to{};
    from.dwSize = to.dwSize = sizeof(DDSURFACEDESC2);
    source->Lock(nullptr, &from, DDLOCK_WAIT, nullptr);
    target->Lock(nullptr, &to, DDLOCK_WAIT, nullptr);
    const auto* in = static_cast<const BYTE*>(DDLockedBits(&from));
    auto* out = static_cast<BYTE*>(DDLockedBits(&to));
    const std::size_t row = kScreenWidth * format.dwRGBBitCount / 8;
    for (auto _ : state) {
        for (DWORD y = 0; y < kScreenHeight; ++y) {
            std::memcpy(out + y * to.lPitch, in + y * from.lPitch, row);
        }
        benchmark::ClobberMemory();
    }
    source->Unlock(nullptr);
    target->Unlock(nullptr);
    source->Release();
    target->Release();
}

void BM_BltFastScreen16(benchmark::State& state) {
    BltFastScreen(state, platform::Rgb565Format());
}
void BM_BltFastScreen32(benchmark::State& state) {
    BltFastScreen(state, platform::Xrgb8888Format());
}
void BM_MemcpyScreen16(benchmark::State& state) {
    MemcpyScreen(state, platform::Rgb565Format());
}
void BM_MemcpyScreen32(benchmark::State& state) {
    MemcpyScreen(state, platform::Xrgb8888Format());
}

void BM_BltFastKeyed(benchmark::State& state) {
    IDirectDrawSurface4* sprite = MakeSurface(platform::Rgb565Format(), kSprite, kSprite);
    IDirectDrawSurface4* target = MakeSurface(platform::Rgb565Format(), kSprite, kSprite);
    FillSprite(sprite, SpritePixels());
    DDCOLORKEY key{kKey, kKey};
    sprite->SetColorKey(DDCKEY_SRCBLT, &key);
    for (auto _ : state) {
        benchmark::DoNotOptimize(target->BltFast(0, 0, sprite, nullptr, DDBLTFAST_SRCCOLORKEY));
    }
    sprite->Release();
    target->Release();
}

void BM_BltStretch2x(benchmark::State& state) {
    IDirectDrawSurface4* sprite = MakeSurface(platform::Rgb565Format(), kSprite, kSprite);
    IDirectDrawSurface4* target = MakeSurface(platform::Rgb565Format(), 2 * kSprite, 2 * kSprite);
    FillSprite(sprite, SpritePixels());
    for (auto _ : state) {
        benchmark::DoNotOptimize(target->Blt(nullptr, sprite, nullptr, DDBLT_WAIT, nullptr));
    }
    sprite->Release();
    target->Release();
}

SDL_Surface* SdlSurface(int width, int height) {
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, SDL_PIXELFORMAT_RGB565);
}

SDL_Surface* SdlSprite() {
    SDL_Surface* sprite = SdlSurface(kSprite, kSprite);
    const std::vector<WORD> pixels = SpritePixels();
    for (DWORD y = 0; y < kSprite; ++y) {
        std::memcpy(static_cast<BYTE*>(sprite->pixels) + y * sprite->pitch, &pixels[y * kSprite],
                    kSprite * sizeof(WORD));
    }
    return sprite;
}

void BM_SdlBlitKeyed(benchmark::State& state) {
    SDL_Surface* sprite = SdlSprite();
    SDL_Surface* target = SdlSurface(kSprite, kSprite);
    SDL_SetColorKey(sprite, SDL_TRUE, kKey);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SDL_BlitSurface(sprite, nullptr, target, nullptr));
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(target);
}

void BM_SdlBlitScaled2x(benchmark::State& state) {
    SDL_Surface* sprite = SdlSprite();
    SDL_Surface* target = SdlSurface(2 * kSprite, 2 * kSprite);
    for (auto _ : state) {
        benchmark::DoNotOptimize(SDL_BlitScaled(sprite, nullptr, target, nullptr));
    }
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(target);
}

BENCHMARK(BM_BltFastScreen16);
BENCHMARK(BM_MemcpyScreen16);
BENCHMARK(BM_BltFastScreen32);
BENCHMARK(BM_MemcpyScreen32);
BENCHMARK(BM_BltFastKeyed);
BENCHMARK(BM_SdlBlitKeyed);
BENCHMARK(BM_BltStretch2x);
BENCHMARK(BM_SdlBlitScaled2x);

} // namespace

int main(int argc, char** argv) {
    return benchkit::RunWithSummary(argc, argv, [](const benchkit::Timings& timings) {
        for (const char* depth : {"16", "32"}) {
            const std::string suffix = depth;
            benchkit::PrintRatio(std::string("BltFast 640x480x") + depth + " / memcpy rows",
                                 timings.PerIteration("BM_BltFastScreen" + suffix),
                                 timings.PerIteration("BM_MemcpyScreen" + suffix), 1.25);
        }
        benchkit::PrintRatio("keyed BltFast 256x256 / SDL_BlitSurface",
                             timings.PerIteration("BM_BltFastKeyed"),
                             timings.PerIteration("BM_SdlBlitKeyed"), 1.0);
        benchkit::PrintRatio("2x stretch Blt / SDL_BlitScaled",
                             timings.PerIteration("BM_BltStretch2x"),
                             timings.PerIteration("BM_SdlBlitScaled2x"), 1.0);
    });
}
