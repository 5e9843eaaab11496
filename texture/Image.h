#pragma once
// Pictures as the texture code handles them: 8-bit RGBA as read from and written to PNG, and
// floating-point pictures for the work in between (resampling, palettes, dithering).

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvale {

using Rgba8 = std::array<std::uint8_t, 4>;

// Pixels a picture of this size holds; 0 for a size below 1, so a bad size never drives a loop.
[[nodiscard]] inline std::size_t PixelCountOf(int width, int height) {
    if (width <= 0 || height <= 0) {
        return 0;
    }
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

// 8-bit RGBA, straight (not premultiplied) alpha, sRGB-encoded colour, row-major.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // 4 bytes per pixel: r, g, b, a

    // Set only for a picture read from an indexed PNG with at most 16 palette entries: its
    // palette in file order and one index per pixel, so an import can keep both as they are.
    std::vector<Rgba8> palette;
    std::vector<std::uint8_t> indices;

    [[nodiscard]] std::size_t PixelCount() const { return PixelCountOf(width, height); }
    [[nodiscard]] bool Empty() const { return width <= 0 || height <= 0; }
};

// Linear light with premultiplied alpha, 0..1 per channel: the space resampling happens in.
struct LinearImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;  // 4 floats per pixel: r*a, g*a, b*a, a

    [[nodiscard]] std::size_t PixelCount() const { return PixelCountOf(width, height); }
};

// sRGB-encoded colour with straight alpha, 0..255 per channel, unrounded: a level at full
// precision, the input to palettes and dithering.
struct SrgbImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels;  // 4 floats per pixel: r, g, b, a

    [[nodiscard]] std::size_t PixelCount() const { return PixelCountOf(width, height); }
};

}  // namespace korvale
