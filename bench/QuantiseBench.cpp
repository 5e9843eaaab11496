// Palettes and dithering on a full nine-level 256 x 256 chain (87381 pixels) of a photo-like
// picture: smooth colour gradients with noise, so nearly every pixel is a colour of its own,
// the hardest case for the palette search. Rates are pixels per second.
//
//   korvale_quantise_bench [benchmark flags]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Ditherer.h"
#include "Quantiser.h"

namespace {

using korvale::SrgbImage;

std::vector<SrgbImage> PhotoChain() {
    std::vector<SrgbImage> chain;
    std::uint32_t seed = 12345;
    const auto noise = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<float>((seed >> 16) % 17) - 8.0f;
    };
    for (int size = 256; size >= 1; size /= 2) {
        SrgbImage level;
        level.width = size;
        level.height = size;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double fx = static_cast<double>(x) / size;
                const double fy = static_cast<double>(y) / size;
                const double r = 255.0 * (0.5 + 0.5 * std::sin(6.0 * fx + 2.0 * fy));
                const double g = 255.0 * (0.3 + 0.6 * fx * fy);
                const double b = 255.0 * (0.5 + 0.4 * std::cos(5.0 * fy - 3.0 * fx));
                for (const double v : {r, g, b}) {
                    level.pixels.push_back(
                        std::clamp(static_cast<float>(v) + noise(), 0.0f, 255.0f));
                }
                level.pixels.push_back(255.0f);
            }
        }
        chain.push_back(std::move(level));
    }
    return chain;
}

std::int64_t Pixels(const std::vector<SrgbImage>& chain) {
    std::int64_t pixels = 0;
    for (const SrgbImage& level : chain) {
        pixels += static_cast<std::int64_t>(level.PixelCount());
    }
    return pixels;
}

void BM_SharedPalette(benchmark::State& state) {
    const std::vector<SrgbImage> chain = PhotoChain();
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvale::BuildPalette(chain));
    }
    state.SetItemsProcessed(state.iterations() * Pixels(chain));
}

// state.range(0): 1 with dither.
void BM_MapChain(benchmark::State& state) {
    const std::vector<SrgbImage> chain = PhotoChain();
    const std::vector<korvale::Rgba8> palette = korvale::BuildPalette(chain);
    for (auto _ : state) {
        for (const SrgbImage& level : chain) {
            benchmark::DoNotOptimize(korvale::MapToPalette(level, palette, state.range(0) != 0));
        }
    }
    state.SetItemsProcessed(state.iterations() * Pixels(chain));
}

// state.range(0): 1 with dither.
void BM_Argb4444Chain(benchmark::State& state) {
    const std::vector<SrgbImage> chain = PhotoChain();
    const korvale::PixelTypeInfo& argb4444 =
        *korvale::PixelTypeOf(korvale::CodeOf(korvale::PixelCode::kArgb4444));
    for (auto _ : state) {
        for (const SrgbImage& level : chain) {
            benchmark::DoNotOptimize(
                korvale::QuantiseChannels(level, argb4444, state.range(0) != 0));
        }
    }
    state.SetItemsProcessed(state.iterations() * Pixels(chain));
}

}  // namespace

BENCHMARK(BM_SharedPalette)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MapChain)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Argb4444Chain)->DenseRange(0, 1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
