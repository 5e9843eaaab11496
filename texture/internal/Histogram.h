#pragma once
// Counting the distinct colours of levels, the first step of a palette search.

#include <cstdint>
#include <span>
#include <vector>

#include "Image.h"

namespace korvale::quantise {

// The distinct rounded colours of the levels in order of first appearance, with how many pixels
// have each. An open-addressing table: a general hash map would cost more than all the rest of
// the palette search on a large chain.
struct Histogram {
    std::vector<std::uint32_t> keys;
    std::vector<double> counts;
    bool hasTransparent = false;
};

// Counts the levels' pixels, each channel rounded to 8 bits.
[[nodiscard]] Histogram CountColours(std::span<const SrgbImage> levels);

}  // namespace korvale::quantise
