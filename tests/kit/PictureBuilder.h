#pragma once
// Pictures for tests, built from a function of x and y. Header-only, for the targets that link
// the texture library.

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "Image.h"

namespace korvale::test {

// A picture whose pixel (x, y) is colour(x, y): Image for 8-bit pixels, SrgbImage for floats.
template <typename Picture, typename Pixel>
[[nodiscard]] Picture MakePicture(int width, int height,
                                  const std::function<Pixel(int, int)>& colour) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    // Written element by element: a range insert here trips GCC 12's overflow analysis at -O3.
    picture.pixels.resize(static_cast<std::size_t>(std::max(0, width)) *
                          static_cast<std::size_t>(std::max(0, height)) * 4);
    std::size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (const auto component : colour(x, y)) {
                picture.pixels[at++] = component;
            }
        }
    }
    return picture;
}

[[nodiscard]] inline Image Picture(int width, int height,
                                   const std::function<Rgba8(int, int)>& colour) {
    return MakePicture<Image, Rgba8>(width, height, colour);
}

// One row of the given colours; no colours give an empty picture.
[[nodiscard]] inline Image Row(const std::vector<Rgba8>& colours) {
    return Picture(static_cast<int>(colours.size()), colours.empty() ? 0 : 1,
                   [&](int x, int) { return colours[static_cast<std::size_t>(x)]; });
}

}  // namespace korvale::test
