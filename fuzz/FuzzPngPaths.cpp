// Fuzz target: the quick PNG reader against libspng alone. Every input is read both ways, as
// it is and with its checksums made right, and the two results must be the same in every part:
// status and message, size, pixels, palette and indices. The input is also read with the
// unfiltering done the plain (scalar) way, which must agree with the vector way.

#include <cstdint>
#include <span>
#include <vector>

#include "FastPng.h"
#include "FuzzSupport.h"
#include "PngChecksums.h"
#include "PngIo.h"
#include "PngUnfilter.h"

namespace {

using korvale::Image;
using korvale::fuzz::Require;

korvale::PngLimits FuzzLimits() {
    korvale::PngLimits limits;
    limits.maxPixels = 4u << 20;
    limits.chunkSizeLimit = 1u << 20;
    limits.chunkCacheLimit = 4u << 20;
    return limits;
}

void Compare(std::span<const std::uint8_t> bytes) {
    Image quick;
    Image reference;
    const korvale::Status q = korvale::ReadPng(bytes, quick, FuzzLimits());
    const korvale::Status r = korvale::ReadPngWithLibspng(bytes, reference, FuzzLimits());
    Require(q.Ok() == r.Ok() && q.Text() == r.Text(), "both readers give the same status");
    Require(quick.width == reference.width && quick.height == reference.height &&
                quick.pixels == reference.pixels && quick.palette == reference.palette &&
                quick.indices == reference.indices,
            "both readers give the same picture");
}

// The unfiltering on its own: any bytes taken as the inflated rows of a small picture.
void CompareUnfiltering(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2) {
        return;
    }
    const int channels = (bytes[0] & 1) != 0 ? 4 : 3;
    const std::size_t width = 1 + bytes[1] % 23;
    const std::size_t rowBytes = width * static_cast<std::size_t>(channels) + 1;
    const std::size_t height = (bytes.size() - 2) / rowBytes;
    if (height == 0) {
        return;
    }
    const std::size_t size = korvale::UnfilterBufferSize(width, height, channels);
    const std::size_t at = korvale::UnfilterInputOffset(width, height, channels);
    std::vector<std::uint8_t> plain(size);
    for (std::size_t i = 0; i < height * rowBytes; ++i) {
        // Filter bytes mostly within PNG's five.
        const bool filterByte = i % rowBytes == 0;
        plain[at + i] = filterByte && bytes[2 + i] < 250 ? bytes[2 + i] % 5 : bytes[2 + i];
    }
    std::vector<std::uint8_t> vector = plain;
    const bool a = korvale::UnfilterToRgba(plain.data(), width, height, channels,
                                           korvale::UnfilterPath::kScalar);
    const bool b = korvale::UnfilterToRgba(vector.data(), width, height, channels,
                                           korvale::UnfilterPath::kVector);
    Require(a == b, "both unfilterings refuse the same rows");
    if (a) {
        plain.resize(width * height * 4);
        vector.resize(width * height * 4);
        Require(plain == vector, "both unfilterings give the same pixels");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    Compare(bytes);
    std::vector<std::uint8_t> repaired(bytes.begin(), bytes.end());
    if (korvale::fuzz::RepairChecksums(repaired)) {
        Compare(repaired);
    }
    CompareUnfiltering(bytes);
    return 0;
}
