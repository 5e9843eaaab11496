// The linear-light work of an import from a 2048 x 2048 picture: decoding to premultiplied
// linear light, the area average down to 256 x 256 (through a whole float copy of the picture
// and decoding a row at a time), the rest of the chain down to 1 x 1, and the cubic filters
// for comparison. Rates are source pixels per second.
//
//   korvale_resample_bench [benchmark flags]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "ColourSpace.h"
#include "Importer.h"
#include "Resampler.h"

namespace {

using korvale::Filter;
using korvale::Image;
using korvale::LinearImage;

constexpr int kSide = 2048;
constexpr int kTop = 256;

const Image& Picture() {
    static const Image picture = [] {
        Image image;
        image.width = kSide;
        image.height = kSide;
        image.pixels.resize(image.PixelCount() * 4);
        std::mt19937 random(1);
        for (std::uint8_t& b : image.pixels) {
            b = static_cast<std::uint8_t>(random());
        }
        return image;
    }();
    return picture;
}

void SetRate(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kSide) * kSide);
}

void BM_ToLinear(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvale::ToLinear(Picture()));
    }
    SetRate(state);
}

void BM_ToLinearThenAreaAverage(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvale::AreaAverage(korvale::ToLinear(Picture()), kTop, kTop));
    }
    SetRate(state);
}

void BM_AreaAverageByRows(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvale::AreaAverage(Picture(), kTop, kTop));
    }
    SetRate(state);
}

// The whole chain as an import builds it, every level from the one above and encoded back to
// sRGB; each is also rounded to 8 bits here, a little more than the import itself does.
void BM_Chain(benchmark::State& state) {
    for (auto _ : state) {
        LinearImage level = korvale::AreaAverage(Picture(), kTop, kTop);
        for (;;) {
            benchmark::DoNotOptimize(korvale::ToImage(korvale::ToSrgb(level)));
            if (level.width == 1) {
                break;
            }
            level = korvale::AreaAverage(level, level.width / 2, level.height / 2);
        }
    }
    SetRate(state);
}

void BM_Cubic(benchmark::State& state) {
    const LinearImage linear = korvale::ToLinear(Picture());
    const auto filter = static_cast<Filter>(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(korvale::Resample(linear, kTop, kTop, filter));
    }
    SetRate(state);
}

BENCHMARK(BM_ToLinear)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ToLinearThenAreaAverage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AreaAverageByRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Chain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Cubic)
    ->Arg(static_cast<int>(Filter::kMitchell))
    ->Arg(static_cast<int>(Filter::kCatmullRom))
    ->Arg(static_cast<int>(Filter::kCubic))
    ->Unit(benchmark::kMillisecond);

// The whole import in process, from a decoded picture to a finished mip set: what a user waits
// for beyond the PNG decode and the file write.
void BM_Import(benchmark::State& state) {
    korvale::ImportOptions options;
    options.type = static_cast<int>(state.range(0));
    options.dither = state.range(1) != 0;
    for (auto _ : state) {
        korvale::CMip mip;
        if (const korvale::Status made = korvale::ImportImage(Picture(), options, mip); !made) {
            state.SkipWithError(made.Text().c_str());
            break;
        }
        benchmark::DoNotOptimize(mip.levels[8].HasData());
    }
    SetRate(state);
}
BENCHMARK(BM_Import)
    ->ArgNames({"type", "dither"})
    ->Args({0, 0})
    ->Args({0, 1})
    ->Args({3, 0})
    ->Args({3, 1})
    ->Args({5, 1})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
