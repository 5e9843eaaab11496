#include "PaletteSource.h"

#include <cstdint>

#include "CSrb.h"
#include "Importer.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "PngIo.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale {

Status ReadPaletteFile(const std::string& path, std::vector<Rgba8>& colours, LoadReport& report) {
    colours.clear();
    report = LoadReport();
    std::vector<std::uint8_t> bytes;
    Image picture;
    FileKind kind = FileKind::kUnknown;
    if (Status read = ReadTextureOrPicture(path, bytes, picture, kind); !read) {
        return read;
    }
    if (kind == FileKind::kPng) {
        return PaletteOfPicture(picture, colours).In(path);
    }
    const TraceTo quiet(nullptr);  // the palette is wanted, not the loaders' account of the file
    CSrb record;
    const Status loaded = LoadTexture(bytes, path, record, kind);
    report = record.mip.loadReport;
    if (!loaded) {
        return Status::Failure("is neither a PNG nor an SRB or MIP file").In(path);
    }
    const int slot = record.mip.FirstPalettisedSlot();
    if (slot < 0) {
        return Status::Failure("holds no palettised level, so no palette to reuse").In(path);
    }
    colours = PaletteColours(record.mip.LevelPalette(slot));
    return {};
}

}  // namespace korvale
