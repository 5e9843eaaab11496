#pragma once
// The texture window's zoom as numbers, apart from any widget: the steps, what Fit draws, the
// next step up or down from a scale, and the zoom a new set opens at. Sizes are in pixels.

#include <array>

namespace korvale::zoom {

inline constexpr std::array<int, 5> kSteps = {1, 2, 4, 8, 16};
inline constexpr int kFit = 0;  // the zoom that fits the content to the room

struct Extent {
    int width = 0;
    int height = 0;
    [[nodiscard]] bool Empty() const { return width <= 0 || height <= 0; }
};

// Whether zoom is one of kSteps or kFit.
[[nodiscard]] bool IsZoom(int zoom);
// Screen pixels per texel: the step itself, or for kFit the largest scale at which content fits
// room (1 when either is empty).
[[nodiscard]] double ScaleOf(int zoom, Extent content, Extent room);
// The next step above (direction > 0) or below scale, within the first and last step; a scale
// between two steps goes to the one in that direction.
[[nodiscard]] int StepFrom(double scale, int direction);
// The zoom a new set opens at: kFit when content is larger than room (or empty), else the
// largest step at which it fits.
[[nodiscard]] int AutoZoom(Extent content, Extent room);

}  // namespace korvale::zoom
