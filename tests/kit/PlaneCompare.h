#pragma once
// Level comparison, pixel for pixel.

#include "CBmap.h"

namespace korvale::test {

// Whether one plane holds the same values in both levels.
[[nodiscard]] bool SamePlane(const CBmap& a, const CBmap& b, PlaneId id);
// Whether every plane does.
[[nodiscard]] bool SamePlanes(const CBmap& a, const CBmap& b);
// Whether two levels hold the same type, size and planes.
[[nodiscard]] bool SameLevel(const CBmap& a, const CBmap& b);

}  // namespace korvale::test
