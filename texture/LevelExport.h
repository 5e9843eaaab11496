#pragma once
// Levels out as PNG pictures, the same way wherever they are written (korvale-tool export and
// the editor's texture window), so a level exported from either is the same file.

#include <cstdint>
#include <string>
#include <vector>

#include "CBmap.h"
#include "CMip.h"
#include "LevelImage.h"

namespace korvale {

// The level in slot as PNG bytes: a palettised level indexed with its palette, a 16-bit level as
// RGB when its type has no alpha, else RGBA. A failure when the slot holds no level or the
// picture cannot be encoded.
Status EncodeLevelPng(const CMip& mip, int slot, LevelView view, std::vector<std::uint8_t>& png);

// The name a level is written under when a whole set is exported: "<base>-<w>x<h>.png".
[[nodiscard]] std::string LevelFileName(const std::string& base, const CBmap& level);

// The base of every name an output takes from its input: the file name without its last
// extension, so "road.day.png" gives "road.day" and ".hidden.png" ".hidden"; standard input ("-")
// is "stdin".
[[nodiscard]] std::string TextureBaseName(const std::string& path);

}  // namespace korvale
