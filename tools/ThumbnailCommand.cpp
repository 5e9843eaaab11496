#include "ThumbnailCommand.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "ExitStatus.h"
#include "Export.h"
#include "Messages.h"
#include "Options.h"
#include "PngIo.h"
#include "TextureLoad.h"
#include "Thumbnail.h"
#include "WholeFile.h"

namespace korvale::tool {

namespace {

// File managers ask for 128 to 1024 pixels; a texture level is at most 256, so anything
// larger only means "as large as it is".
constexpr int kDefaultSize = 256;
constexpr int kLargestSize = 4096;

constexpr OptionRule kOptions[] = {{"--size", "-s", true}};

}  // namespace

int RunThumbnail(std::span<const std::string> arguments) {
    // -f is taken as every writing command takes it; thumbnail replaces OUT anyway (file
    // managers hand it a fresh temporary name), and prints nothing but errors.
    const auto args = ParseArgs(arguments, kOptions, true);
    if (!args) {
        return kUsage;
    }
    int size = kDefaultSize;
    if (const int status = IntOption(*args, "--size", 1, kLargestSize, size, "a size in pixels");
        status != kOk) {
        return status;
    }
    const std::vector<std::string>& files = args->positional;
    if (files.size() != 2) {
        return UsageError("thumbnail takes IN OUT.png");
    }
    const std::string& in = files[0];
    const std::string& out = files[1];
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    if (const Status loaded = LoadTextureFile(in, record, kind); !loaded) {
        return Fail(loaded);
    }
    const CMip& mip = record.mip;
    const int damage = ReportDamage(in, mip.loadReport);
    Image picture;
    if (Status drawn = MakeThumbnail(mip, size, picture); !drawn) {
        return Fail(std::move(drawn).In(in));
    }
    std::vector<std::uint8_t> png;
    // A file manager waits for the thumbnail and keeps it in a cache: speed before size.
    if (Status encoded = EncodePng(picture, true, png, PngEffort::kFast); !encoded) {
        return Fail(std::move(encoded).In(out));
    }
    // "-" is standard output, as for export.
    if (const Status written = WriteExport({ExportFile{out, std::move(png), {}}}, true); !written) {
        return Fail(written);
    }
    return damage;
}

}  // namespace korvale::tool
