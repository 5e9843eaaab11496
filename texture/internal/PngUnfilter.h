#pragma once
// Undoes a PNG's row filters (None, Sub, Up, Average, Paeth) for 8-bit RGB and RGBA pictures,
// writing straight into 8-bit RGBA, in the same buffer the inflated rows were put in.

#include <cstddef>
#include <cstdint>

namespace korvale {

// kScalar works everywhere (the browser build takes it); kVector uses SSE2 where the target has
// it and is kScalar otherwise.
enum class UnfilterPath { kScalar, kVector };

// Bytes the buffer must hold for a width x height picture of channels (3 or 4) bytes a pixel:
// room for the inflated rows (a filter byte and width * channels bytes each) and for the RGBA
// result, whichever is more.
[[nodiscard]] std::size_t UnfilterBufferSize(std::size_t width, std::size_t height, int channels);

// Where in that buffer the inflated rows go: at its end, so that the RGBA rows written from its
// start never overtake a byte not read yet.
[[nodiscard]] std::size_t UnfilterInputOffset(std::size_t width, std::size_t height, int channels);

// Unfilters the rows at buffer + UnfilterInputOffset into RGBA at buffer (alpha 255 for RGB).
// False when a row names a filter type PNG does not have; the buffer is then of no use.
[[nodiscard]] bool UnfilterToRgba(std::uint8_t* buffer, std::size_t width, std::size_t height,
                                  int channels, UnfilterPath path = UnfilterPath::kVector);

}  // namespace korvale
