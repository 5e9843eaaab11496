#include "LevelExport.h"

#include <filesystem>

#include "PixelType.h"
#include "PngIo.h"

namespace korvale {

bool EncodeLevelPng(const CMip& mip, int slot, LevelView view, std::vector<std::uint8_t>& png,
                    std::string& error) {
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        error = "slot " + std::to_string(slot) + " holds no level";
        return false;
    }
    const auto k = static_cast<std::size_t>(slot);
    const CBmap& level = mip.levels[k];
    const Image image = LevelToImage(level, mip.levelPalettes[k], view);
    if (!image.indices.empty()) {
        return EncodeIndexedPng(image.width, image.height, image.indices, image.palette, png,
                                error);
    }
    const PixelTypeInfo* info = PixelTypeOf(level.Type());
    const bool alpha = info == nullptr || info->alphaBits > 0;
    return EncodePng(image, alpha, png, error);
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
