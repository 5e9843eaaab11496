// Load and save of a full nine-level 256 x 256 mip set in each pixel type, through the path
// forms, beside an in-memory reference: the same rows decoded into five planes and encoded
// back, which stands for what the machine can do at best. Rates are pixels per second.
//
//   korvale_bench [benchmark flags]
//   korvale_bench --write-worst-cases DIR   writes the 1 MiB worst-case files measured in
//                                           docs/performance.md, then exits

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "CSrb.h"
#include "PixelCodec.h"

namespace {

using korvale::CBmap;
using korvale::CMip;
using korvale::PlaneId;

constexpr int kPower = 8;  // 256 x 256 down to 1 x 1: nine levels
const char* const kTypeNames[] = {"pal4-0", "pal4-1", "pal4-2", "rgb565", "argb1555", "argb4444"};

std::filesystem::path Scratch() {
    static const std::filesystem::path dir = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvale-bench-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr) {
            std::abort();
        }
        return std::filesystem::path(name.data());
    }();
    return dir;
}

void Fill(CBmap& level, int type, int side) {
    if (!level.Allocate(type, side, side)) {
        std::abort();
    }
    const std::size_t n = level.Plane(PlaneId::kR).size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::int32_t>((i * 2654435761U) >> 11);
        level.Plane(PlaneId::kR)[i] = v & 0xF8;
        level.Plane(PlaneId::kG)[i] = (v >> 8) & 0xF8;
        level.Plane(PlaneId::kB)[i] = (v >> 16) & 0xF8;
        level.Plane(PlaneId::kA)[i] = (v >> 4) & 0xF0;
        level.Plane(PlaneId::kIndex)[i] = v & 0x0F;
    }
}

void MakeSet(CMip& mip, int type) {
    mip.miptype = korvale::KindOf(type) == korvale::PixelKind::kPalettised ? 0 : 3;
    mip.powerwidth = kPower;
    mip.powerheight = kPower;
    mip.numimages = kPower + 1;
    mip.globalPalette.SetDefault();
    for (int k = 0; k <= kPower; ++k) {
        Fill(mip.levels[static_cast<std::size_t>(k)], type, 1 << k);
    }
}

std::int64_t Pixels() {
    std::int64_t n = 0;
    for (int k = 0; k <= kPower; ++k) {
        n += std::int64_t{1} << (2 * k);
    }
    return n;
}

std::string SetPath(int type) {
    return (Scratch() / ("set" + std::to_string(type) + ".mip")).string();
}

void BM_Load(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    CMip source;
    MakeSet(source, type);
    if (source.Save(SetPath(type)) != 1) {
        state.SkipWithError("could not write the set");
        return;
    }
    for (auto _ : state) {
        CMip mip;
        benchmark::DoNotOptimize(mip.Load(SetPath(type)));
        benchmark::DoNotOptimize(mip.levels[kPower].Plane(PlaneId::kR).data());
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[type]);
}

void BM_Save(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    CMip mip;
    MakeSet(mip, type);
    const std::string path = (Scratch() / ("saved" + std::to_string(type) + ".mip")).string();
    for (auto _ : state) {
        benchmark::DoNotOptimize(mip.Save(path));
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[type]);
}

// The in-memory reference: the rows of every level as a file holds them, decoded into planes
// that already exist, and the planes encoded back into rows. No files, no allocation.
struct Reference {
    explicit Reference(int t) : type(t) {
        MakeSet(mip, type);
        for (int k = kPower; k >= 0; --k) {
            const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
            total +=
                static_cast<std::size_t>(korvale::WriterBpr(type, level.Width()) * level.Height());
        }
        rows.resize(total);
        Encode();
    }

    korvale::PlaneRow Row(CBmap& level, std::size_t r) {
        const std::size_t at = r * static_cast<std::size_t>(level.Width());
        return {level.Plane(PlaneId::kR).data() + at, level.Plane(PlaneId::kG).data() + at,
                level.Plane(PlaneId::kB).data() + at, level.Plane(PlaneId::kA).data() + at,
                level.Plane(PlaneId::kIndex).data() + at};
    }

    void Decode() {
        std::size_t offset = 0;
        for (int k = kPower; k >= 0; --k) {
            CBmap& level = mip.levels[static_cast<std::size_t>(k)];
            const auto bpr = static_cast<std::size_t>(korvale::WriterBpr(type, level.Width()));
            for (std::size_t r = 0; r < static_cast<std::size_t>(level.Height()); ++r) {
                korvale::DecodeRow(type, std::span(rows).subspan(offset, bpr), level.Width(),
                                   mip.globalPalette, Row(level, r));
                offset += bpr;
            }
        }
    }

    void Encode() {
        std::size_t offset = 0;
        for (int k = kPower; k >= 0; --k) {
            CBmap& level = mip.levels[static_cast<std::size_t>(k)];
            const auto bpr = static_cast<std::size_t>(korvale::WriterBpr(type, level.Width()));
            for (std::size_t r = 0; r < static_cast<std::size_t>(level.Height()); ++r) {
                const korvale::PlaneRow p = Row(level, r);
                korvale::EncodeRow(type, level.Width(), {p.r, p.g, p.b, p.a, p.index},
                                   std::span(rows).subspan(offset, bpr));
                offset += bpr;
            }
        }
    }

    int type;
    CMip mip;
    std::size_t total = 0;
    std::vector<std::uint8_t> rows;
};

void BM_Reference(benchmark::State& state) {
    Reference ref(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ref.Decode();
        ref.Encode();
        benchmark::DoNotOptimize(ref.rows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[ref.type]);
}

void BM_DecodeOnly(benchmark::State& state) {
    Reference ref(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ref.Decode();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[ref.type]);
}

void BM_EncodeOnly(benchmark::State& state) {
    Reference ref(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        ref.Encode();
        benchmark::DoNotOptimize(ref.rows.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[ref.type]);
}

// What the file system alone costs for a save of the same size: one write of ready bytes to a
// new file beside the target, renamed over it.
void BM_BareReplace(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    CMip mip;
    MakeSet(mip, type);
    const std::vector<char> bytes(static_cast<std::size_t>(mip.SizeWord() + 12), 'x');
    const std::string target = (Scratch() / ("bare" + std::to_string(type) + ".mip")).string();
    for (auto _ : state) {
        std::string temp = target + ".XXXXXX";
        const int fd = ::mkstemp(temp.data());
        if (fd < 0 ||
            ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
            ::close(fd) != 0 || std::rename(temp.c_str(), target.c_str()) != 0) {
            state.SkipWithError("bare write failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * Pixels());
    state.SetLabel(kTypeNames[type]);
}

BENCHMARK(BM_Reference)->DenseRange(0, 5);
BENCHMARK(BM_Load)->DenseRange(0, 5)->UseRealTime();
BENCHMARK(BM_Save)->DenseRange(0, 5)->UseRealTime();
BENCHMARK(BM_DecodeOnly)->DenseRange(0, 5);
BENCHMARK(BM_EncodeOnly)->DenseRange(0, 5);
BENCHMARK(BM_BareReplace)->DenseRange(0, 5, 3)->UseRealTime();

// Worst cases for the load limits: files of about 1 MiB that ask for the most memory and work.
void WriteLevel(std::FILE* f, int type, std::int32_t width, std::int32_t height, std::int32_t bpr) {
    korvale::WriteChunkHeader(f, korvale::tag::kBmap, 0);
    korvale::WriteChunkHeader(f, korvale::tag::kBmhd, 14);
    korvale::WriteU8(f, static_cast<std::uint32_t>(type));
    korvale::WriteU32(f, static_cast<std::uint32_t>(width));
    korvale::WriteU32(f, static_cast<std::uint32_t>(height));
    korvale::WriteU32(f, static_cast<std::uint32_t>(bpr));
    korvale::WriteU8(f, 0);
    korvale::WriteU8(f, 0x20);
    korvale::WriteU8(f, 0x20);
    const std::int64_t rows = std::int64_t{bpr} * height;
    korvale::WriteChunkHeader(f, korvale::tag::kData, static_cast<std::uint32_t>(rows));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(bpr));
    for (std::size_t i = 0; i < row.size(); ++i) {
        row[i] = static_cast<std::uint8_t>(i * 37);
    }
    for (std::int32_t r = 0; r < height; ++r) {
        korvale::WriteBytes(f, row);
    }
}

void WriteMipHeader(std::FILE* f, int numimages) {
    korvale::WriteChunkHeader(f, korvale::tag::kMip, 0);
    korvale::WriteChunkHeader(f, korvale::tag::kMphd, 18);
    korvale::WriteU8(f, 3);
    korvale::WriteU32(f, kPower);
    korvale::WriteU32(f, kPower);
    korvale::WriteU32(f, 0);
    korvale::WriteU8(f, 0);
    korvale::WriteU32(f, static_cast<std::uint32_t>(numimages));
    korvale::WriteU8(f, 0x20);
    korvale::WriteU8(f, 0x20);
}

int WriteWorstCases(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    struct Case {
        const char* name;
        int type;
        std::int32_t width, height, bpr;
    };
    // The largest level 1 MiB of rows can back, then eight levels of the largest size any level
    // may have without rows behind it.
    const Case cases[] = {
        {"worst-pal4.mip", 0, 4096, 511, 2048},
        {"worst-rgb565.mip", 3, 1024, 511, 2048},
        {"worst-unknown-type.mip", 9, 4096, 511, 2048},
    };
    for (const Case& c : cases) {
        korvale::FilePtr f(std::fopen((dir / c.name).string().c_str(), "wb"));
        if (!f) {
            return 1;
        }
        WriteMipHeader(f.get(), 9);
        WriteLevel(f.get(), c.type, c.width, c.height, c.bpr);
        for (int k = 0; k < 8; ++k) {
            WriteLevel(f.get(), 0, 256, 256, 0);
        }
    }
    std::fprintf(stderr, "wrote worst cases to %s\n", dir.string().c_str());
    return 0;
}

const char* const kWorstCases[] = {"worst-pal4.mip", "worst-rgb565.mip", "worst-unknown-type.mip"};

// Loading the files of about 1 MiB that ask for the most memory and work the limits allow.
void BM_LoadWorstCase(benchmark::State& state) {
    static const bool written = WriteWorstCases(Scratch() / "worst") == 0;
    const std::string path = (Scratch() / "worst" / kWorstCases[state.range(0)]).string();
    if (!written) {
        state.SkipWithError("could not write the worst cases");
        return;
    }
    for (auto _ : state) {
        CMip mip;
        benchmark::DoNotOptimize(mip.Load(path));
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(std::filesystem::file_size(path)));
    state.SetLabel(kWorstCases[state.range(0)]);
}
BENCHMARK(BM_LoadWorstCase)->DenseRange(0, 2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--write-worst-cases") {
        return WriteWorstCases(argv[2]);
    }
    benchmark::Initialize(&argc, argv);
    // The loaders print their trace on standard output; results go to standard error instead,
    // and the trace to /dev/null, as when the editor runs without a terminal.
    benchmark::ConsoleReporter console;
    console.SetOutputStream(&std::cerr);
    console.SetErrorStream(&std::cerr);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks(&console);
    benchmark::Shutdown();
    std::filesystem::remove_all(Scratch());
    return 0;
}
