#pragma once
// PNG in and out. Every colour type and bit depth reads as 8-bit RGBA with straight alpha;
// writing makes 8-bit RGBA, RGB or indexed PNGs. A PNG is untrusted input: its declared size is
// checked against limits before anything of that size is allocated.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "Image.h"
#include "Status.h"

namespace korvale {

struct PngLimits {
    std::uint32_t maxSide = 16384;  // width and height, each
#ifdef __EMSCRIPTEN__
    // A page's 2 GiB (wasm32) holds the import of a 4096 x 4096 picture, not of four.
    std::uint64_t maxPixels = 16ull << 20;  // refused before decoding anything larger
#else
    std::uint64_t maxPixels = 64ull << 20;  // refused before decoding anything larger
#endif
    std::size_t chunkSizeLimit = 64u << 20;    // largest single chunk, after decompression
    std::size_t chunkCacheLimit = 128u << 20;  // all metadata chunks together
};

// Reads a PNG held in memory. 16-bit channels are rounded to 8 bits, tRNS is honoured and
// gamma and colour profiles are ignored (the picture is taken as sRGB). An indexed PNG with at
// most 16 palette entries also fills out.palette and out.indices. On failure out is left empty
// and the status says why in words for the user.
Status ReadPng(std::span<const std::uint8_t> bytes, Image& out, const PngLimits& limits = {});

// How hard the encoder compresses: kSmallest for files people keep; kFast for pictures made
// while someone waits and thrown away later (file-manager thumbnails), about three times
// quicker and a quarter larger.
enum class PngEffort { kSmallest, kFast };

// An 8-bit RGBA PNG, or RGB when withAlpha is false (alpha is then dropped).
Status EncodePng(const Image& image, bool withAlpha, std::vector<std::uint8_t>& png,
                 PngEffort effort = PngEffort::kSmallest);

// An indexed PNG holding the indices as they are: PLTE from the palette's colours, tRNS from its
// alpha (left out when every entry is opaque), 4 bits per pixel for up to 16 entries, else 8.
Status EncodeIndexedPng(int width, int height, std::span<const std::uint8_t> indices,
                        std::span<const Rgba8> palette, std::vector<std::uint8_t>& png);

}  // namespace korvale
