#include "LevelEdit.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ColourSpace.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "Quantiser.h"

namespace korvale {

namespace {

std::vector<std::uint8_t> IndicesFor(const Image& picture, const std::vector<Rgba8>& palette) {
    if (KeepsPictureIndices(picture, palette)) {
        return picture.indices;
    }
    return MapToPalette(ToSrgb(picture), palette, false);
}

// The picture in the level's own type and palette: a 16-bit level rounds its colours, a
// palettised one takes the picture's indices or the nearest entries.
Status StoreAsLevel(CMip& mip, int slot, const Image& picture) {
    const CCmap palette = mip.LevelPalette(slot);
    const CBmap& old = mip.levels[static_cast<std::size_t>(slot)];
    CBmap level;
    const Status stored =
        old.Palettised()
            ? IndicesToLevel(picture.width, picture.height,
                             IndicesFor(picture, PaletteColours(palette)), palette, level)
            : ImageToLevel(picture, old.Type(), palette, level);
    if (!stored) {
        return stored;
    }
    return mip.ReplaceLevel(slot, std::move(level), &palette)
               ? Status()
               : Status::Failure("the level could not be replaced");
}

Status StoreWithNewPalette(CMip& mip, int slot, const Image& picture) {
    // A new palette: for this level alone when each level has its own, else for every
    // palettised level of the chain, which all share it.
    std::vector<int> chain;
    if (mip.SavesLevelPalettes()) {
        chain.push_back(slot);
    } else {
        for (const int s : mip.FilledSlots()) {
            if (mip.levels[static_cast<std::size_t>(s)].Palettised()) {
                chain.push_back(s);
            }
        }
    }
    std::vector<SrgbImage> images;
    for (const int s : chain) {
        images.push_back(s == slot ? ToSrgb(picture)
                                   : ToSrgb(LevelToImage(mip.levels[static_cast<std::size_t>(s)],
                                                         mip.LevelPalette(s))));
    }
    const std::vector<Rgba8> colours = BuildPalette(images);
    const CCmap palette = PaletteFromColours(colours);
    std::vector<CBmap> made(chain.size());
    for (std::size_t i = 0; i < chain.size(); ++i) {
        const SrgbImage& image = images[i];
        if (Status stored = IndicesToLevel(image.width, image.height,
                                           MapToPalette(image, colours, false), palette, made[i]);
            !stored) {
            return stored;
        }
    }
    // Every level was made before any is replaced, so a failure leaves the set as it was.
    for (std::size_t i = 0; i < chain.size(); ++i) {
        (void)mip.ReplaceLevel(chain[i], std::move(made[i]), &palette);  // same sizes: taken
    }
    if (!mip.SavesLevelPalettes()) {
        mip.globalPalette.CopyFrom(palette);
    }
    return {};
}

}  // namespace

CBmap CopyLevel(const CBmap& level, int type) {
    CBmap copy;
    if (!level.HasData() ||
        !copy.Allocate(type < 0 ? level.Type() : type, level.Width(), level.Height())) {
        return copy;
    }
    for (const PlaneId plane : kAllPlanes) {
        const auto from = level.Plane(plane);
        std::copy(from.begin(), from.end(), copy.Plane(plane).begin());
    }
    return copy;
}

CMip CopySet(const CMip& mip) {
    CMip copy;
    copy.miptype = mip.miptype;
    copy.powerwidth = mip.powerwidth;
    copy.powerheight = mip.powerheight;
    copy.col = mip.col;
    copy.vrepeat = mip.vrepeat;
    copy.hrepeat = mip.hrepeat;
    copy.numimages = mip.numimages;
    copy.loadReport = mip.loadReport;
    copy.globalPalette = mip.globalPalette;
    copy.levelPalettes = mip.levelPalettes;
    for (std::size_t k = 0; k < mip.levels.size(); ++k) {
        copy.levels[k] = CopyLevel(mip.levels[k]);
    }
    return copy;
}

Image PictureOfIndexed(int width, int height, std::span<const std::uint8_t> indices,
                       std::span<const std::uint8_t> alpha, std::span<const std::uint8_t> colourMap,
                       const CCmap& palette) {
    Image picture;
    const std::size_t count = PixelCountOf(width, height);
    if (indices.size() != count || (!alpha.empty() && alpha.size() != count)) {
        return picture;
    }
    picture.width = width;
    picture.height = height;
    picture.pixels.resize(4 * count);
    const std::vector<Rgba8> entries = PaletteColours(palette);
    std::vector<std::uint8_t> kept(count);
    bool exact = true;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t index = indices[i];
        Rgba8 colour{0, 0, 0, alpha.empty() ? std::uint8_t{255} : alpha[i]};
        if (3 * index + 2 < colourMap.size()) {
            std::copy_n(colourMap.begin() + static_cast<std::ptrdiff_t>(3 * index), 3,
                        colour.begin());
        }
        std::copy(colour.begin(), colour.end(),
                  picture.pixels.begin() + static_cast<std::ptrdiff_t>(4 * i));
        if (index < entries.size() && entries[index] == colour) {
            kept[i] = static_cast<std::uint8_t>(index);
            continue;
        }
        const auto found = std::find(entries.begin(), entries.end(), colour);
        exact = exact && found != entries.end();
        kept[i] = static_cast<std::uint8_t>(found - entries.begin());
    }
    if (exact) {
        picture.palette = entries;
        picture.indices = std::move(kept);
    }
    return picture;
}

Status PutBackLevel(CMip& mip, int slot, const Image& picture, bool rebuildPalette) {
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        return Status::Failure("the level edited is no longer in the set");
    }
    const CBmap& old = mip.levels[static_cast<std::size_t>(slot)];
    if (picture.width != old.Width() || picture.height != old.Height()) {
        return Status::Failure("the picture is " + std::to_string(picture.width) + " x " +
                               std::to_string(picture.height) +
                               ", but the level it replaces (slot " + std::to_string(slot) +
                               ") is " + std::to_string(old.Width()) + " x " +
                               std::to_string(old.Height()));
    }
    return old.Palettised() && rebuildPalette ? StoreWithNewPalette(mip, slot, picture)
                                              : StoreAsLevel(mip, slot, picture);
}

}  // namespace korvale
