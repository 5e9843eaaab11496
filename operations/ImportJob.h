#pragma once
// An import as a user asks for it: a picture (with levels painted by hand) made into a record
// with the user's options, and "like an original": the choices of an existing texture taken
// over, and its stored pixels kept wherever the picture is unchanged.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CSrb.h"
#include "FileKind.h"
#include "Image.h"
#include "Importer.h"
#include "LoadReport.h"
#include "Status.h"

namespace korvale {

struct ImportJob {
    ImportOptions options;
    std::array<float, CSrb::kHeaderValues> values{};
    float metres = 1.0F;
    // What the import itself does not choose: a palettised type code other than 0 (1 and 2 are
    // the same 4-bit layout), and a miptype other than the importer's 0 or 2.
    int typeCode = -1;
    std::optional<int> miptype;
    // With an original: its stored pixels are kept wherever the picture is unchanged.
    std::shared_ptr<const CSrb> original;
};

// What the user chose for an import like an original; the rest is taken from the original.
struct LikeChoices {
    bool type = false;                   // a pixel type was given
    std::optional<std::string> palette;  // the palette option as given ("keep", "shared", ...)
    bool levels = false;
    bool repeat = false;
    bool values = false;
    bool metres = false;
};

// Loads the original at path (without the trace) and takes from it what choices leave open: the
// pixel type (any of the six codes), the palette mode and miptype, with "keep" the palette, the
// levels present, the top size, the repeat code, and for an SRB file the six values and its
// companion's size. Its load report goes to report (what loaded is still a good model). A
// failure when it cannot be loaded or holds no level.
Status ImportLike(const std::string& path, const LikeChoices& choices, ImportJob& job,
                  LoadReport& report);
// The same from an original in memory, loaded from a file of kind, its companion's size metres
// when known. A failure when it holds no level.
Status ImportLikeRecord(std::shared_ptr<const CSrb> original, FileKind kind,
                        std::optional<float> metres, const LikeChoices& choices, ImportJob& job);

// The import's choices as a user gives them in words (a script, a dialog's texts): an empty
// text leaves that choice as job has it.
struct ImportChoiceTexts {
    std::string type;     // pal4, rgb565, argb1555, argb4444 or a code 0..5
    std::string palette;  // shared, per-level, keep (the like step's), or a file to take it from
    std::string filter;   // area, mitchell, catmullrom, cubic
};

// Takes texts into job, over what an original gave it: a pixel type or a palette chosen
// replaces the original's miptype, and asking for a palette asks for pal4. A failure names the
// text that is none of the choices, a palette with a 16-bit type, or a palette file that gives
// none (its load report goes to report); job is then unchanged.
Status TakeChoiceTexts(const ImportChoiceTexts& texts, ImportJob& job, LoadReport& report);

// Reads the picture in (and the hand-made levels, each replacing the generated level of its
// size) and makes record from them by job: its mip set, six values and size. made says what
// was made ("9 levels from 256 x 256, pal4, one shared palette"). A failure names the file it
// concerns; record is then as it was.
Status ImportFiles(const std::string& in, const std::vector<std::string>& handMade,
                   const ImportJob& job, CSrb& record, std::string& made);
// The same from pictures in memory (an image editor's layers); a failure names no file.
Status ImportPictures(const Image& picture, std::vector<Image> handMade, const ImportJob& job,
                      CSrb& record, std::string& made);

}  // namespace korvale
