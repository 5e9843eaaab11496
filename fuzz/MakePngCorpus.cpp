// Writes the PNG fuzz seeds: small pictures in every colour type and bit depth, plain and
// interlaced, with and without tRNS, plus a few with gamma and text, made with libspng's encoder
// and our own. make_png_corpus OUTDIR  ->  OUTDIR/png

#include <spng.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "PngIo.h"
#include "WholeFile.h"

namespace {

struct Options {
    bool interlaced = false;
    bool transparency = false;
    bool extras = false;  // gAMA, sRGB, tEXt and zTXt
};

int Channels(int colourType) {
    switch (colourType) {
        case SPNG_COLOR_TYPE_TRUECOLOR:
            return 3;
        case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
            return 2;
        case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
            return 4;
        default:
            return 1;
    }
}

std::vector<std::uint8_t> Encode(int colourType, int depth, std::uint32_t width,
                                 std::uint32_t height, const Options& options) {
    // libspng keeps pointers to the text until the image is encoded.
    std::string words = "made for the fuzzer";
    std::string more = "squeezed words, squeezed words, squeezed words";
    std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(SPNG_CTX_ENCODER),
                                                       spng_ctx_free);
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{width,
                   height,
                   static_cast<std::uint8_t>(depth),
                   static_cast<std::uint8_t>(colourType),
                   0,
                   0,
                   static_cast<std::uint8_t>(options.interlaced ? 1 : 0)};
    spng_set_ihdr(ctx.get(), &ihdr);

    const bool indexed = colourType == SPNG_COLOR_TYPE_INDEXED;
    const std::uint32_t entries = indexed ? (depth == 8 ? 40u : 1u << depth) : 0u;
    spng_plte plte{};
    spng_trns trns{};
    if (indexed) {
        plte.n_entries = entries;
        for (std::uint32_t k = 0; k < entries; ++k) {
            plte.entries[k] = {static_cast<std::uint8_t>(k * 37), static_cast<std::uint8_t>(k * 11),
                               static_cast<std::uint8_t>(255 - k * 5), 255};
            trns.type3_alpha[k] = static_cast<std::uint8_t>(255 - k * 17);
        }
        trns.n_type3_entries = entries / 2 + 1;
        spng_set_plte(ctx.get(), &plte);
    }
    const std::uint32_t top = (1u << depth) - 1;
    if (options.transparency) {
        trns.gray = static_cast<std::uint16_t>(top / 3);
        trns.red = static_cast<std::uint16_t>(top / 3);
        trns.green = static_cast<std::uint16_t>(top / 5);
        trns.blue = static_cast<std::uint16_t>(top / 7);
        spng_set_trns(ctx.get(), &trns);
    }
    if (options.extras) {
        spng_set_gama(ctx.get(), 0.45455);
        spng_set_srgb(ctx.get(), 0);
        spng_text text[2]{};
        std::snprintf(text[0].keyword, sizeof text[0].keyword, "Comment");
        text[0].type = SPNG_TEXT;
        text[0].length = words.size();
        text[0].text = words.data();
        std::snprintf(text[1].keyword, sizeof text[1].keyword, "Description");
        text[1].type = SPNG_ZTXT;
        text[1].length = more.size();
        text[1].text = more.data();
        spng_set_text(ctx.get(), text, 2);
    }

    // Samples from a simple hash, all within range (indices within the palette).
    const std::uint64_t rowBits = std::uint64_t{width} * Channels(colourType) * depth;
    const std::size_t rowBytes = static_cast<std::size_t>((rowBits + 7) / 8);
    std::vector<std::uint8_t> samples(rowBytes * height);
    const std::uint64_t perRow = rowBits / depth;
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint64_t s = 0; s < perRow; ++s) {
            std::uint32_t v = static_cast<std::uint32_t>((s + 1) * 2654435761u ^ (y + 3) * 40503u);
            v = indexed ? v % entries : v & top;
            std::uint8_t* row = samples.data() + y * rowBytes;
            const std::uint64_t bit = s * depth;
            if (depth == 16) {
                row[bit / 8] = static_cast<std::uint8_t>(v >> 8);
                row[bit / 8 + 1] = static_cast<std::uint8_t>(v);
            } else {
                row[bit / 8] |= static_cast<std::uint8_t>(v << (8 - depth - bit % 8));
            }
        }
    }
    if (spng_encode_image(ctx.get(), samples.data(), samples.size(), SPNG_FMT_RAW,
                          SPNG_ENCODE_FINALIZE) != 0) {
        return {};
    }
    std::size_t size = 0;
    int error = 0;
    std::unique_ptr<std::uint8_t, void (*)(void*)> png(
        static_cast<std::uint8_t*>(spng_get_png_buffer(ctx.get(), &size, &error)), std::free);
    return png ? std::vector<std::uint8_t>(png.get(), png.get() + size)
               : std::vector<std::uint8_t>();
}

bool Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) {
        std::fprintf(stderr, "make_png_corpus: %s: not encoded\n", path.string().c_str());
        return false;
    }
    if (const korvale::Status written = korvale::WriteFileBytes(path.string(), bytes); !written) {
        std::fprintf(stderr, "make_png_corpus: %s\n", written.Text().c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_png_corpus OUTDIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out = fs::path(argv[1]) / "png";
    fs::create_directories(out);
    struct Kind {
        int colourType;
        std::vector<int> depths;
    };
    const Kind kinds[] = {
        {SPNG_COLOR_TYPE_GRAYSCALE, {1, 2, 4, 8, 16}}, {SPNG_COLOR_TYPE_TRUECOLOR, {8, 16}},
        {SPNG_COLOR_TYPE_INDEXED, {1, 2, 4, 8}},       {SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, {8, 16}},
        {SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, {8, 16}},
    };
    int written = 0;
    int failed = 0;
    for (const Kind& kind : kinds) {
        const bool canHaveTrns = kind.colourType <= SPNG_COLOR_TYPE_INDEXED;
        for (const int depth : kind.depths) {
            for (const bool interlaced : {false, true}) {
                for (const bool transparency : {false, true}) {
                    if (transparency && !canHaveTrns) {
                        continue;
                    }
                    // Appended piece by piece: a chain of operator+ trips GCC 12's restrict
                    // analysis at -O3.
                    std::string name = "c";
                    name += std::to_string(kind.colourType);
                    name += "-d";
                    name += std::to_string(depth);
                    name += interlaced ? "-i" : "";
                    name += transparency ? "-t" : "";
                    name += ".png";
                    const Options options{interlaced, transparency, false};
                    (Write(out / name, Encode(kind.colourType, depth, 11, 9, options)) ? written
                                                                                       : failed)++;
                }
            }
        }
    }
    (Write(out / "c2-d8-extras.png",
           Encode(SPNG_COLOR_TYPE_TRUECOLOR, 8, 5, 3, {false, false, true}))
         ? written
         : failed)++;
    (Write(out / "c0-d8-1x1.png", Encode(SPNG_COLOR_TYPE_GRAYSCALE, 8, 1, 1, {})) ? written
                                                                                  : failed)++;

    // Our own encoder's output, which is what the editor writes.
    const std::vector<korvale::Rgba8> palette = {
        {0, 0, 0, 255}, {255, 0, 0, 128}, {0, 255, 0, 0}, {0, 0, 255, 255}, {90, 90, 90, 255}};
    const std::vector<std::uint8_t> indices = {0, 1, 2, 3, 4, 4, 3, 2, 1, 0, 1, 3};
    std::vector<std::uint8_t> png;
    if (korvale::EncodeIndexedPng(4, 3, indices, palette, png).Ok()) {
        (Write(out / "own-indexed.png", png) ? written : failed)++;
    }
    korvale::Image image;
    image.width = 3;
    image.height = 2;
    image.pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12,
                    13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    if (korvale::EncodePng(image, true, png).Ok()) {
        (Write(out / "own-rgba.png", png) ? written : failed)++;
    }
    std::printf("make_png_corpus: %d files in %s\n", written, out.string().c_str());
    return failed == 0 && written > 0 ? 0 : 1;
}
