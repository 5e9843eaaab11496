// The two calls the page waits on, timed in process: loading a 256 x 256 nine-level set (its
// levels made pictures, as the page shows them) and importing a 2048 x 2048 picture into a pal4
// chain. Built natively and with emscripten from this one source (bench/web/page-speed.sh), so
// the figures compare the same library calls. Prints the best of several runs in milliseconds.
//
// A WebAssembly engine first runs a function as baseline code and compiles it optimised only
// once it has run for a while, and a call already running never switches over: a short loop of
// loads would time mostly baseline code. So the load is timed over enough calls for the engine
// to settle, and the process's very first load is printed on its own, for both builds alike.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CSrb.h"
#include "ImportJob.h"
#include "LevelImage.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace {

std::vector<std::uint8_t> Read(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <class Body>
double BestMs(int runs, Body body) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        body();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: page-speed SET.mip PICTURE.png\n");
        return 2;
    }
    using namespace korvale;
    const TraceTo quiet(nullptr);
    const std::vector<std::uint8_t> set = Read(argv[1]);
    std::size_t shown = 0;
    const auto loadOnce = [&] {
        CSrb record;
        FileKind kind{};
        if (!LoadTexture(set, "set.mip", record, kind)) {
            std::abort();
        }
        for (const int slot : record.mip.FilledSlots()) {
            shown += LevelToImage(record.mip.levels[static_cast<std::size_t>(slot)],
                                  record.mip.LevelPalette(slot))
                         .pixels.size();
        }
    };
    const double first = BestMs(1, loadOnce);
    const double load = BestMs(1000, loadOnce);
    ImportJob job;
    LoadReport report;
    if (!TakeChoiceTexts({"pal4", "shared", ""}, job, report)) {
        return 1;
    }
    const double import = BestMs(5, [&] {
        CSrb record;
        std::string made;
        if (!ImportFiles(argv[2], {}, job, record, made)) {
            std::abort();
        }
    });
    std::printf(
        "load 256x256 nine-level set: %.2f ms\n"
        "import 2048x2048 into pal4: %.1f ms\n"
        "first load in the process: %.2f ms\n",
        load, import, first);
    return shown == 0;
}
