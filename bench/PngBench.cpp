// The PNG decode of each picture named on the command line, beside what bounds it: Korvale's
// reader (ReadPng, to 8-bit RGBA), libspng's decode alone to 8-bit RGBA (the reader a user
// would otherwise have), and the inflate of the same image data alone by zlib and by libdeflate
// (the floors: no unfiltering, no conversion). scripts/bench.sh makes the pictures and reads
// the figures.
//
//   korvale_png_bench [benchmark flags] FILE.png...

#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <spng.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "PngIo.h"

namespace {

struct Picture {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> stream;  // the IDAT chunks' data joined: one zlib stream
    std::size_t inflated = 0;          // the filtered rows' size, as the header gives it
};

std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
}

// The bench's own pictures are well formed; a file that is not fails the run.
bool Load(const std::string& path, Picture& picture) {
    std::ifstream file(path, std::ios::binary);
    picture.bytes.assign(std::istreambuf_iterator<char>(file), {});
    std::size_t at = 8;
    while (at + 12 <= picture.bytes.size()) {
        const std::uint32_t length = Get32(picture.bytes, at);
        if (length > picture.bytes.size() - at - 12) {
            return false;
        }
        const char* type = reinterpret_cast<const char*>(picture.bytes.data() + at + 4);
        const auto data = picture.bytes.begin() + static_cast<std::ptrdiff_t>(at + 8);
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13) {
            const std::uint64_t width = Get32(picture.bytes, at + 8);
            const std::uint64_t height = Get32(picture.bytes, at + 12);
            const unsigned depth = picture.bytes[at + 16];
            const unsigned colourType = picture.bytes[at + 17];
            const unsigned channels = colourType == 6   ? 4
                                      : colourType == 2 ? 3
                                      : colourType == 4 ? 2
                                                        : 1;
            if (picture.bytes[at + 20] != 0 || width > 65536 || height > 65536) {
                return false;  // interlaced, or larger than a bench picture
            }
            picture.inflated =
                static_cast<std::size_t>(height * ((width * channels * depth + 7) / 8 + 1));
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            picture.stream.insert(picture.stream.end(), data, data + length);
        }
        at += 12 + std::size_t{length};
    }
    return picture.inflated > 0 && !picture.stream.empty();
}

struct ContextFree {
    void operator()(spng_ctx* ctx) const noexcept { spng_ctx_free(ctx); }
};

void Korvale(benchmark::State& state, const Picture& picture) {
    for (auto _ : state) {
        korvale::Image image;
        if (const korvale::Status read = korvale::ReadPng(picture.bytes, image); !read) {
            state.SkipWithError(read.Text().c_str());
            break;
        }
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void Libspng(benchmark::State& state, const Picture& picture) {
    std::vector<std::uint8_t> rgba;
    for (auto _ : state) {
        const std::unique_ptr<spng_ctx, ContextFree> ctx(spng_ctx_new(0));
        std::size_t size = 0;
        int code = spng_set_png_buffer(ctx.get(), picture.bytes.data(), picture.bytes.size());
        if (code == 0) {
            code = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &size);
        }
        if (code == 0) {
            rgba.resize(size);
            code =
                spng_decode_image(ctx.get(), rgba.data(), size, SPNG_FMT_RGBA8, SPNG_DECODE_TRNS);
        }
        if (code != 0) {
            state.SkipWithError(spng_strerror(code));
            break;
        }
        benchmark::DoNotOptimize(rgba.data());
    }
}

void Zlib(benchmark::State& state, const Picture& picture) {
    std::vector<std::uint8_t> out(picture.inflated);
    for (auto _ : state) {
        uLongf size = out.size();
        if (uncompress(out.data(), &size, picture.stream.data(), picture.stream.size()) != Z_OK ||
            size != out.size()) {
            state.SkipWithError("zlib did not inflate the image data");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
}

void Libdeflate(benchmark::State& state, const Picture& picture) {
    std::vector<std::uint8_t> out(picture.inflated);
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    for (auto _ : state) {
        if (libdeflate_zlib_decompress(decompressor, picture.stream.data(), picture.stream.size(),
                                       out.data(), out.size(), nullptr) != LIBDEFLATE_SUCCESS) {
            state.SkipWithError("libdeflate did not inflate the image data");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    libdeflate_free_decompressor(decompressor);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // The pictures live as long as the benchmarks that read them.
    std::vector<std::unique_ptr<Picture>> pictures;
    for (int i = 1; i < argc; ++i) {
        auto picture = std::make_unique<Picture>();
        if (!Load(argv[i], *picture)) {
            std::cerr << "korvale_png_bench: " << argv[i] << " is not a PNG the bench can read\n";
            return 2;
        }
        const std::string name = std::filesystem::path(argv[i]).stem().string();
        const Picture& p = *picture;
        pictures.push_back(std::move(picture));
        for (const auto& [way, run] : {std::pair{"korvale", &Korvale},
                                       {"libspng", &Libspng},
                                       {"zlib", &Zlib},
                                       {"libdeflate", &Libdeflate}}) {
            benchmark::RegisterBenchmark((std::string(way) + "/" + name).c_str(), run, p)
                ->Unit(benchmark::kMillisecond);
        }
    }
    if (pictures.empty()) {
        std::cerr << "usage: korvale_png_bench [benchmark flags] FILE.png...\n";
        return 2;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
