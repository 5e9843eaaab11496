#pragma once
// Moves between the stored 8-bit sRGB pictures and the premultiplied linear light that
// resampling needs: averaging sRGB values directly darkens every edge and mix of colours, and
// averaging straight alpha bleeds the colour of invisible pixels into visible ones.

#include <cstdint>
#include <span>

#include "Image.h"

namespace korvale {

// The exact sRGB transfer curve (linear segment below 0.04045, then the 2.4 power), both ways,
// on values in 0..1.
[[nodiscard]] float SrgbToLinear(float encoded01);
[[nodiscard]] float LinearToSrgb(float linear01);

// Decodes each channel through a 256-entry table and premultiplies colour by alpha.
[[nodiscard]] LinearImage ToLinear(const Image& image);
// The same for a run of pixels (4 bytes in, 4 floats out each), as many as both spans hold: for
// work that decodes a row at a time instead of holding a whole float copy of a large picture.
void ToLinear(std::span<const std::uint8_t> rgba, std::span<float> out);
// Decodes colour alone, as if every pixel were opaque: alpha comes out 1 and colour is not
// premultiplied. Averaging this gives the colour a picture has under its transparent parts.
[[nodiscard]] LinearImage ToLinearColour(const Image& image);
void ToLinearColour(std::span<const std::uint8_t> rgba, std::span<float> out);
// Unpremultiplies (colour of a fully transparent pixel becomes 0), encodes, scales to 0..255
// and clamps, without rounding, so palettes and dithering see the full precision.
[[nodiscard]] SrgbImage ToSrgb(const LinearImage& image);
// Rounds each channel to the nearest 8-bit value.
[[nodiscard]] Image ToImage(const SrgbImage& image);
// Widens each channel as it is, for a picture used at its own size.
[[nodiscard]] SrgbImage ToSrgb(const Image& image);

}  // namespace korvale
