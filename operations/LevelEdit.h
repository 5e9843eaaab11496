#pragma once
// Changing one level of a mip set from a picture: an edited picture put back into its level in
// the level's own pixel type and palette (what an external edit in an image editor brings
// back), or with a palette made anew from it.

#include <array>

#include "CBmap.h"
#include "CMip.h"
#include "Image.h"
#include "Status.h"

namespace korvale {

inline constexpr std::array kAllPlanes{PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA,
                                       PlaneId::kIndex};

// A copy of level's planes, stored as type (the level's own type when type is negative). Empty
// when level holds none.
[[nodiscard]] CBmap CopyLevel(const CBmap& level, int type = -1);

// Puts picture back into the level in slot. A 16-bit level keeps its type; a palettised one
// keeps its palette (an indexed picture's indices are kept when its palette is the first
// entries of the level's, otherwise its colours are mapped to the nearest entries), unless
// rebuildPalette asks for a palette made from the picture (with a shared palette, one for every
// palettised level, which all take it). A failure (no level in the slot, a picture of another
// size, one that cannot be stored) leaves mip unchanged and says why.
Status PutBackLevel(CMip& mip, int slot, const Image& picture, bool rebuildPalette);

}  // namespace korvale
