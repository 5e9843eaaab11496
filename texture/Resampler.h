#pragma once
// Changes the size of a picture in premultiplied linear light, the only space where averaging
// pixels gives what the eye sees at a distance.

#include <array>
#include <optional>
#include <string_view>

#include "Image.h"

namespace korvale {

enum class Filter { kArea, kMitchell, kCatmullRom, kCubic };

// The filters' names, in the order of Filter.
inline constexpr std::array<std::string_view, 4> kFilterNames = {"area", "mitchell", "catmullrom",
                                                                 "cubic"};

// The filter of one of kFilterNames; nothing for any other name.
[[nodiscard]] std::optional<Filter> FilterNamed(std::string_view name);

// Every source pixel weighted by the share of it each target pixel covers, fractions included,
// so any reduction (161 to 128 as well as 2560 to 256) is a true average and keeps the mean
// of the picture. Enlarging gives box sampling. A picture without pixels, or one whose pixel
// data is short, gives a transparent picture of the asked size; a size below 1 gives none.
[[nodiscard]] LinearImage AreaAverage(const LinearImage& in, int width, int height);
// The same as AreaAverage(ToLinear(in), width, height), to the bit, decoding one row at a time:
// a large picture never exists as floats (a 2048 x 2048 one would be 64 MiB).
[[nodiscard]] LinearImage AreaAverage(const Image& in, int width, int height);

// The same for the picture's colour alone (ToLinearColour): each target gets the plain average
// of the colours it covers, whatever their alpha, and alpha 1.
[[nodiscard]] LinearImage AreaAverageColour(const Image& in, int width, int height);

// Area average, or the cubic filters of stb_image_resize with clamped edges. Cubic filters
// overshoot, so their results are clamped to 0..1 with colour no greater than alpha.
[[nodiscard]] LinearImage Resample(const LinearImage& in, int width, int height, Filter filter);

}  // namespace korvale
