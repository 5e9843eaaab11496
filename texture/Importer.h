#pragma once
// Making a mip set from a picture: the top level's size, the chain resampled in linear light,
// and each level stored in the chosen pixel type.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CMip.h"
#include "Image.h"
#include "Resampler.h"
#include "Status.h"

namespace korvale {

enum class PaletteMode {
    kShared,    // one palette for the whole chain (miptype 0)
    kPerLevel,  // one palette per level (miptype 2)
    kFromFile,  // a given palette (the one a file offers), shared (miptype 0)
};

struct ImportOptions {
    std::optional<int> type;  // a pixel type code; none: chosen from the picture
    PaletteMode palette = PaletteMode::kShared;
    std::vector<Rgba8> givenPalette;  // with kFromFile: at most 16 colours
    // With kPerLevel: the palette of each level from the top, where given (a set imported like
    // another keeps that set's palettes).
    std::vector<std::vector<Rgba8>> givenLevelPalettes;
    bool dither = false;
    int levels = 0;    // how many levels from the top; 0: down to 1 x 1
    int topWidth = 0;  // 0: from the picture
    int topHeight = 0;
    Filter filter = Filter::kArea;
    int repeat = 0;                     // the repeat code, 0..3
    std::vector<Image> handMadeLevels;  // replace the generated level of their size
};

// Each side to the nearest power of two (nearest in log2), then both halved together until the
// larger is at most 256.
[[nodiscard]] std::pair<int, int> AutomaticTopSize(int width, int height);
// pal4 when the picture has at most 16 colours, else argb4444 when its alpha has values other
// than 0 and 255, argb1555 when only those, rgb565 when it is opaque.
[[nodiscard]] int AutomaticType(const Image& image);

// Replaces mip's levels, palettes and header with the chain made from image. On failure mip is
// unchanged and the status says why.
Status ImportImage(const Image& image, const ImportOptions& options, CMip& mip);

// The chain a default import builds from image before it stores anything: the automatic top
// size, every level down to 1 x 1 by the exact area average, as 8-bit pictures. What an import
// can be measured against.
[[nodiscard]] std::vector<Image> ReferenceChain(const Image& image);

// The palette a picture offers to reuse: an indexed PNG's own, or the colours of a picture of
// at most 16; a failure for a picture of more.
Status PaletteOfPicture(const Image& picture, std::vector<Rgba8>& colours);

}  // namespace korvale
