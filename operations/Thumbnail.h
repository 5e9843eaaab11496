#pragma once
// A small picture of a texture, for file managers and open dialogs.

#include "CMip.h"
#include "Image.h"
#include "Status.h"

namespace korvale {

// The slot a thumbnail of size pixels is drawn from: the smallest level whose larger side is at
// least size, so the picture is only ever reduced, or the largest level when none is that big.
// -1 when the set holds no level.
[[nodiscard]] int ThumbnailSlot(const CMip& mip, int size);

// The level of ThumbnailSlot scaled to fit size x size, keeping its shape, by area average in
// linear light with alpha premultiplied (so transparent texels leave no dark fringe); never
// enlarged. A failure when the set holds no level.
Status MakeThumbnail(const CMip& mip, int size, Image& thumbnail);

}  // namespace korvale
