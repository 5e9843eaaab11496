#pragma once
// Levels out as PNG pictures: one level, every level into a folder, or all side by side on one
// sheet, the same files wherever they are written (the tool's export, the editor's Texture
// window).

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "CMip.h"
#include "Image.h"
#include "LevelImage.h"
#include "LoadReport.h"
#include "Status.h"

namespace korvale {

enum class ExportMode { kLevel, kAll, kSheet };

struct ExportRequest {
    ExportMode mode = ExportMode::kLevel;
    std::optional<int> slot;  // kLevel: the level; none: the largest
    LevelView view = LevelView::kFullScale;
};

// One file an export writes, and a line saying what it holds.
struct ExportFile {
    std::string path;
    std::vector<std::uint8_t> png;
    std::string line;  // "wrote slot 8 (256 x 256, pal4) to 'out.png'"
};

// Every level of mip side by side, largest first, top-aligned, transparent where no level is.
[[nodiscard]] Image LevelSheet(const CMip& mip, LevelView view);

// The files an export of mip writes: to out for a level or a sheet, or into the folder out as
// "<name>-<w>x<h>.png" for every level. A failure when there is nothing to write.
Status EncodeExport(const CMip& mip, const std::string& name, const std::string& out,
                    const ExportRequest& request, std::vector<ExportFile>& files);

// Writes every file through the safe writer; none when one that exists may not be replaced
// (force not given), which the failure names. "-" is standard output.
Status WriteExport(const std::vector<ExportFile>& files, bool force);

// A file's levels as pictures by slot, largest first; a PNG picture is one level, in the slot
// its size selects (or slot -1 when its size selects none), and sets picture. A texture's load
// report goes to report.
using LevelPictures = std::map<int, Image, std::greater<>>;
Status ReadLevelPictures(const std::string& path, LevelPictures& levels, LoadReport& report,
                         bool& picture);

// Makes two sets of levels comparable. A picture against a texture of more than one level, or
// whose size no slot takes, is its source, and stands for the chain a default import builds from
// it, over the slots the texture holds (a set made with fewer levels is not a mismatch). Two
// pictures of sizes no slot takes are compared with each other.
void MatchSourceToTexture(LevelPictures& a, bool aPicture, LevelPictures& b, bool bPicture);

}  // namespace korvale
