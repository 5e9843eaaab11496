#pragma once
// The import's choices an export takes, as GIMP's procedure parameters carry them.

#include <string>

namespace korvale::gimp {

// An empty text or 0 is "like the original" (the import's default for an image that was not
// opened from a texture).
struct ExportChoices {
    std::string type;     // pal4, rgb565, argb1555, argb4444 or a code 0..5
    std::string palette;  // shared, per-level, keep, or a file to take the palette of
    bool dither = false;
    bool levelsFromImage = false;  // every level made from the image, not from layers
    std::string filter;            // area, mitchell, catmullrom, cubic
    int topWidth = 0;
    int topHeight = 0;
    std::string values;  // six numbers separated by commas; empty: kept as they are
    std::string metres;  // the companion's size; empty: kept as it is

    // Whether nothing but the values and the size is chosen.
    [[nodiscard]] bool LikeOriginal() const {
        return type.empty() && palette.empty() && !dither && !levelsFromImage && filter.empty() &&
               topWidth == 0;
    }
};

}  // namespace korvale::gimp
