// Fuzz target: a PNG read from memory. A refused PNG gives a reason and no picture; a read one
// has one RGBA pixel per pixel, a palette and indices that agree with them, and encodes and reads
// back to the same pixels, as RGBA, as RGB when opaque and as indexed when it came with a palette.
//
// Nearly every mutation breaks a chunk checksum, which stops the reader at once. So each input
// is read as it is and then, when any checksum was wrong, again with the checksums made right,
// which lets the fuzzer reach the header checks, the filters and the deinterlacing.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "PngChecksums.h"
#include "PngIo.h"

namespace {

using korvale::Image;
using korvale::fuzz::RepairChecksums;
using korvale::fuzz::Require;

korvale::PngLimits FuzzLimits() {
    korvale::PngLimits limits;
    limits.maxPixels = 4u << 20;  // keeps a run fast and within libFuzzer's allocation limit
    limits.chunkSizeLimit = 1u << 20;
    limits.chunkCacheLimit = 4u << 20;
    return limits;
}

Image ReadBack(const std::vector<std::uint8_t>& png, const char* what) {
    Image back;
    if (const korvale::Status read = korvale::ReadPng(png, back, FuzzLimits()); !read) {
        std::fprintf(stderr, "%s: %s\n", what, read.Text().c_str());
        Require(false, "an encoded PNG reads back");
    }
    return back;
}

void Check(std::span<const std::uint8_t> bytes) {
    Image image;
    if (const korvale::Status read = korvale::ReadPng(bytes, image, FuzzLimits()); !read) {
        Require(!read.Reason().empty() && image.Empty() && image.pixels.empty() &&
                    image.palette.empty(),
                "a refused PNG gives a reason and leaves no picture");
        return;
    }
    Require(!image.Empty() && image.pixels.size() == image.PixelCount() * 4,
            "a read PNG has four bytes for each pixel");

    if (!image.palette.empty()) {
        Require(image.palette.size() <= 16 && image.indices.size() == image.PixelCount(),
                "a small palette comes with one index per pixel");
        for (std::size_t i = 0; i < image.indices.size(); ++i) {
            const std::uint8_t index = image.indices[i];
            Require(index < image.palette.size() &&
                        std::equal(image.palette[index].begin(), image.palette[index].end(),
                                   image.pixels.begin() + static_cast<std::ptrdiff_t>(i * 4)),
                    "each pixel is its palette entry");
        }
        std::vector<std::uint8_t> png;
        Require(
            korvale::EncodeIndexedPng(image.width, image.height, image.indices, image.palette, png)
                .Ok(),
            "an indexed picture encodes");
        const Image back = ReadBack(png, "indexed");
        Require(back.palette == image.palette && back.indices == image.indices &&
                    back.pixels == image.pixels,
                "an indexed PNG reads back to the same palette, indices and pixels");
    } else {
        Require(image.indices.empty(), "no indices without a palette");
    }

    std::vector<std::uint8_t> png;
    Require(korvale::EncodePng(image, true, png).Ok(), "a picture encodes as RGBA");
    Require(ReadBack(png, "RGBA").pixels == image.pixels, "an RGBA PNG reads back the same");

    bool opaque = true;
    for (std::size_t i = 3; i < image.pixels.size() && opaque; i += 4) {
        opaque = image.pixels[i] == 255;
    }
    if (opaque) {
        Require(korvale::EncodePng(image, false, png).Ok(), "an opaque picture encodes as RGB");
        Require(ReadBack(png, "RGB").pixels == image.pixels, "an RGB PNG reads back the same");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    Check(bytes);
    std::vector<std::uint8_t> repaired(bytes.begin(), bytes.end());
    if (RepairChecksums(repaired)) {
        Check(repaired);
    }
    return 0;
}
