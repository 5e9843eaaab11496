#pragma once
// A GIMP image out as an SRB or MIP file. An image opened from a texture goes out like the
// original: each level from its layer where one of the level's size exists, else made from the
// level above, in the original's pixel types and palettes, with its header, values and size, so
// that an unchanged image makes the same file again. The import's choices make it anew instead.

#include <libgimp/gimp.h>

#include <optional>
#include <string>

#include "ExportChoices.h"
#include "Status.h"
#include "TextureShape.h"

namespace korvale::gimp {

// The shape kept with image when it was opened from a texture; nothing for a new image, or (with
// GIMP's message saying so) when what is kept cannot be read.
[[nodiscard]] std::optional<TextureShape> KeptShape(gint32 image);

// Makes the file at path (an SRB file and its companion when asSrb) through the safe save. note
// says what was made where it is worth saying (levels made from the level above).
Status ExportTexture(gint32 image, const std::string& path, bool asSrb,
                     const ExportChoices& choices, std::string& note);

}  // namespace korvale::gimp
