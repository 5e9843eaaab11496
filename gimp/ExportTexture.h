#pragma once
// A GIMP image out as an SRB or MIP file. An image opened from a texture goes out like the
// original: each level from its layer where one of the level's size exists, else made from the
// level above, in the original's pixel types and palettes, with its header, values and size, so
// that an unchanged image makes the same file again. The import's choices make it anew instead.

#include <libgimp/gimp.h>

#include <string>

#include "Status.h"

namespace korvale::gimp {

// The import's choices; an empty text or 0 is "like the original" (the import's default for an
// image that was not opened from a texture).
struct ExportChoices {
    std::string type;     // pal4, rgb565, argb1555, argb4444 or a code 0..5
    std::string palette;  // shared, per-level, keep, or a file to take the palette of
    bool dither = false;
    bool levelsFromImage = false;  // every level made from the image, not from layers
    std::string filter;            // area, mitchell, catmullrom, cubic
    int topWidth = 0;
    int topHeight = 0;
    std::string values;  // six numbers separated by commas
    std::string metres;  // the companion's size

    // Whether nothing but the values and the size is chosen.
    [[nodiscard]] bool LikeOriginal() const {
        return type.empty() && palette.empty() && !dither && !levelsFromImage && filter.empty() &&
               topWidth == 0;
    }
};

// Makes the file at path (an SRB file and its companion when asSrb) through the safe save. note
// says what was made where it is worth saying (levels made from the level above).
Status ExportTexture(gint32 image, const std::string& path, bool asSrb,
                     const ExportChoices& choices, std::string& note);

}  // namespace korvale::gimp
