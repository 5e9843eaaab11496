#pragma once
// korvale-tool thumbnail: a small picture of a texture for file managers, run through the
// freedesktop thumbnailer entry as `korvale-tool thumbnail -s %s %i %o`.

#include <span>
#include <string>

#include "CMip.h"

namespace korvale::tool {

[[nodiscard]] int RunThumbnail(std::span<const std::string> args);

// The slot a thumbnail of size pixels is drawn from: the smallest level whose larger side is at
// least size, so the picture is only ever reduced, or the largest level when none is that big.
// -1 when the set holds no level.
[[nodiscard]] int ThumbnailSlot(const CMip& mip, int size);

}  // namespace korvale::tool
