#pragma once
// Levels and mip sets with pixels every type stores exactly, for tests and fuzz seeds. Each
// builder says whether it succeeded, so a caller can assert or report as it sees fit.

#include "CBmap.h"
#include "CCmap.h"
#include "CMip.h"

namespace korvale::test {

// A palette of 16 distinct colours.
[[nodiscard]] CCmap PatternPalette(int seed);
// A level of the given type and size whose pixels follow a pattern that every type can store
// exactly (components already quantised for the type). False when the level cannot be made.
[[nodiscard]] bool FillPattern(CBmap& level, int type, int width, int height, int seed);
// A full mip set made afresh: levels from 2^power down to 1 in the given type, colour key 7,
// repeat code 1. False when a level cannot be made or placed.
[[nodiscard]] bool MakeMipSet(CMip& mip, int type, int miptype, int power);

}  // namespace korvale::test
