#pragma once
// Reduces full-precision levels to the few bits per channel of the 16-bit pixel types.

#include <cstdint>
#include <vector>

#include "Image.h"
#include "PixelType.h"

namespace korvale {

// The code of an n-bit channel (n in 1..8) nearest to a value on the 0..255 scale:
// round(value * (2^n - 1) / 255), clamped to 0..2^n - 1. Any other n gives 0.
[[nodiscard]] int NearestCode(float value, int bits);

// The 0..255 value an n-bit code stands for: round(code * 255 / (2^n - 1)), the code clamped to
// 0..2^n - 1. Any other n gives 0.
[[nodiscard]] int CodeValue(int code, int bits);

// Four codes per pixel (r, g, b, a), row-major, with the bits per channel of a 16-bit type;
// a channel of 0 bits (alpha of a type without it) gets code 0. Without
// `dither`, the nearest code of each channel. With it, serpentine Floyd-Steinberg error
// diffusion on the sRGB values, every channel on its own: the error passed on is the wanted
// value (source plus error received, clamped to 0..255) less the value of the chosen code. When
// alpha is stored, a fully transparent pixel's colour gets its nearest codes and takes no part
// in the diffusion.
[[nodiscard]] std::vector<std::uint8_t> QuantiseChannels(const SrgbImage& level,
                                                         const PixelTypeInfo& type, bool dither);

}  // namespace korvale
