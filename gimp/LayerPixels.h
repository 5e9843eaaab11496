#pragma once
// A layer's pixels as the operations library's pictures, and back, through GEGL buffers.

#include <libgimp/gimp.h>

#include <cstdint>
#include <vector>

#include "CCmap.h"
#include "Image.h"

namespace korvale::gimp {

// The image's colour map: three bytes an entry (empty for an image that is not indexed).
[[nodiscard]] std::vector<std::uint8_t> ColourMap(gint32 image);

// The pixels of drawable as 8-bit sRGB with alpha. For an indexed layer, with palette the
// level's, a picture whose every index and alpha is an entry of the palette also carries the
// indices (see PictureOfIndexed), so an unchanged level keeps them.
[[nodiscard]] Image ReadLayer(gint32 drawable, const std::vector<std::uint8_t>& colourMap,
                              const CCmap* palette);

// Writes picture into layer (of its size): its indices and alpha for an indexed layer, else its
// colours and alpha.
void WriteLayer(gint32 layer, const Image& picture, bool indexed);

}  // namespace korvale::gimp
