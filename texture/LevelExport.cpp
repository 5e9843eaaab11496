#include "LevelExport.h"

#include <filesystem>

#include "PixelType.h"
#include "PngIo.h"

namespace korvale {

Status EncodeLevelPng(const CMip& mip, int slot, LevelView view, std::vector<std::uint8_t>& png) {
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        return Status::Failure("slot " + std::to_string(slot) + " holds no level");
    }
    const CBmap& level = mip.levels[static_cast<std::size_t>(slot)];
    const Image image = LevelToImage(level, mip.LevelPalette(slot), view);
    if (!image.indices.empty()) {
        return EncodeIndexedPng(image.width, image.height, image.indices, image.palette, png);
    }
    const PixelTypeInfo* info = PixelTypeOf(level.Type());
    const bool alpha = info == nullptr || info->alphaBits > 0;
    return EncodePng(image, alpha, png);
}

std::string LevelFileName(const std::string& base, const CBmap& level) {
    return base + "-" + std::to_string(level.Width()) + "x" + std::to_string(level.Height()) +
           ".png";
}

std::string TextureBaseName(const std::string& path) {
    if (path == "-") {
        return "stdin";
    }
    // The stem keeps every dot but the last, and a name that is all extension (".png") whole.
    return std::filesystem::path(path).filename().stem().string();
}

}  // namespace korvale
