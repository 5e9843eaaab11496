#pragma once
// One picture of a texture file, for viewers that show a file as a single picture (the GTK
// image loaders): its largest level, as `korvale-tool export` writes it by default.

#include <cstdint>
#include <span>

#include "Image.h"
#include "Status.h"

namespace korvale {

// The largest level held in the whole SRB or MIP file bytes, as 8-bit RGBA at full scale with
// its alpha, loaded without a trace (a viewer's output is not ours to write to). A damaged set
// gives the largest level that loaded, as export does. A failure when the bytes are not a
// texture or hold no level at all.
Status DecodeLargestLevel(std::span<const std::uint8_t> bytes, Image& picture);

}  // namespace korvale
