#pragma once
// The quick way through the pixels of the commonest PNGs: 8-bit RGB and RGBA, not interlaced,
// in a file whose every byte from the first IDAT on is as PNG says it should be. The image
// data is inflated by libdeflate in one go and unfiltered in place. It answers only when it is
// sure; on anything else (a bad checksum, surplus or missing data, a filter PNG lacks, chunks
// it does not expect) it gives up and libspng reads the file, so a result never depends on
// which of the two read it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "Image.h"
#include "PngIo.h"

namespace korvale {

struct FastPngHeader {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int channels = 0;  // 3 (RGB) or 4 (RGBA)
};

// Decodes the image data of a PNG whose chunks before the first IDAT libspng has already read
// and accepted, into 8-bit RGBA. False (rgba then emptied) when it does not take the file.
[[nodiscard]] bool DecodeFastPng(std::span<const std::uint8_t> bytes, const FastPngHeader& header,
                                 const PngLimits& limits, std::vector<std::uint8_t>& rgba);

// Today's reader without the quick way: libspng for every file. The quick way must give
// exactly its result, which the differential fuzz target checks.
Status ReadPngWithLibspng(std::span<const std::uint8_t> bytes, Image& out,
                          const PngLimits& limits = {});

}  // namespace korvale
