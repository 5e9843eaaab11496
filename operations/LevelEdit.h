#pragma once
// Changing one level of a mip set from a picture: an edited picture put back into its level in
// the level's own pixel type and palette (what an external edit in an image editor brings
// back), or with a palette made anew from it.

#include <array>
#include <cstdint>
#include <span>

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

// A picture from an image editor's indexed pixels: an index per pixel into colourMap (three
// bytes an entry, no alpha, as image editors keep one) with alpha beside it (empty: opaque).
// Its pixels are the map's colours with that alpha; where every pixel's colour and alpha are
// those of an entry of palette (its own index first, so entries alike stay apart), the picture
// carries palette and those indices, which a put-back keeps as they are.
[[nodiscard]] Image PictureOfIndexed(int width, int height, std::span<const std::uint8_t> indices,
                                     std::span<const std::uint8_t> alpha,
                                     std::span<const std::uint8_t> colourMap, const CCmap& palette);

}  // namespace korvale
