#pragma once
// How far apart two pictures of the same size are, for comparing the levels of two textures.

#include <cstddef>

#include "Image.h"

namespace korvale {

struct Difference {
    // PSNR in dB (peak 255) of red, green and blue premultiplied by alpha (c * a / 255), so
    // differences in pixels nobody can see do not count; +infinity when there is no difference.
    double colourPsnr = 0.0;
    // PSNR in dB of the alpha channel; +infinity when there is no difference.
    double alphaPsnr = 0.0;
    // Largest absolute difference of any channel in straight values, 0..255.
    int largest = 0;
    // Pixels with any channel different, in straight values.
    std::size_t differing = 0;
};

// The pictures must have the same size (the caller checks). Pictures without pixels compare as
// identical.
[[nodiscard]] Difference Compare(const Image& a, const Image& b);

}  // namespace korvale
