#pragma once
// Helpers for full-precision samples on the 0..255 scale, shared by the resampling, palette and
// dithering code.

#include <algorithm>
#include <cstddef>

#include "Image.h"

namespace korvale {

// The sample clamped to 0..255. NaN becomes 0, so no bad input can reach a float-to-int
// conversion.
inline float Clamp255(float v) {
    return v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
}

// The nearest 8-bit value.
inline int Round255(float v) {
    return static_cast<int>(Clamp255(v) + 0.5f);
}

// The pixels of a level that can be read: its size, or fewer when its data is short.
inline std::size_t PixelsOf(const SrgbImage& level) {
    if (level.width <= 0 || level.height <= 0) {
        return 0;
    }
    return std::min(level.PixelCount(), level.pixels.size() / 4);
}

}  // namespace korvale
