#pragma once
// A palette taken from another file: what "palette from a file" offers in the tool and the
// editor alike.

#include <string>
#include <vector>

#include "Image.h"
#include "LoadReport.h"
#include "Status.h"

namespace korvale {

// The palette path offers: a PNG picture's (indexed, or of at most 16 colours) or the first
// palettised level's of a MIP or SRB file, told apart by the first bytes, without the loaders'
// trace. A texture's load report goes to report (damage is worth saying even when a palette came
// of it). A failure names the file and says why there is no palette.
Status ReadPaletteFile(const std::string& path, std::vector<Rgba8>& colours, LoadReport& report);

}  // namespace korvale
