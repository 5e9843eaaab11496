#pragma once
// Bounds on what a file may ask for. They keep memory proportional to the file's size and
// every loop short, whatever the file says.

#include <cstdint>

namespace korvale::limits {

// Largest width or height of a level. The nine mip slots reach 256; 4096 leaves room for
// levels read on their own.
inline constexpr int kMaxSide = 4096;

// A level may always have up to 256 x 256 pixels (the largest slot), even when its rows are
// shorter than its width needs (the uncovered pixels read as 0). Beyond that, its pixel count
// may not exceed two pixels per byte of its stored rows, the densest packing any type has.
inline constexpr std::int64_t kFreePixels = 256 * 256;

// The largest exponent whose power of two fits a signed 32-bit size; exponents above it never
// select a slot and show as a size of 0.
inline constexpr std::int64_t kMaxExponent = 30;

}  // namespace korvale::limits
