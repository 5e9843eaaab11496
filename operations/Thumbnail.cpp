#include "Thumbnail.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ColourSpace.h"
#include "LevelImage.h"
#include "Resampler.h"

namespace korvale {

namespace {

// The level scaled to fit size x size, keeping its shape, by area average in linear light with
// alpha premultiplied (so transparent texels leave no dark fringe); never enlarged.
Image FitInto(const Image& level, int size) {
    const int side = std::max(level.width, level.height);
    if (side <= size) {
        return level;
    }
    const auto scaled = [&](int length) {
        return std::max(
            1, static_cast<int>((static_cast<long long>(length) * size + side / 2) / side));
    };
    return ToImage(ToSrgb(AreaAverage(level, scaled(level.width), scaled(level.height))));
}

}  // namespace

int ThumbnailSlot(const CMip& mip, int size) {
    const std::vector<int> slots = mip.FilledSlots();  // largest first
    if (slots.empty()) {
        return -1;
    }
    int chosen = slots.front();
    for (const int k : slots) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        if (std::max(level.Width(), level.Height()) >= size) {
            chosen = k;
        }
    }
    return chosen;
}

Status MakeThumbnail(const CMip& mip, int size, Image& thumbnail) {
    const int slot = ThumbnailSlot(mip, size);
    if (slot < 0) {
        return Status::Failure(
            mip.loadReport.Rejected().empty()
                ? "holds no level to draw: its header announces " + std::to_string(mip.numimages) +
                      " and none was read"
                : std::string("holds no level to draw: the load rejected every level it found"));
    }
    thumbnail = FitInto(
        LevelToImage(mip.levels[static_cast<std::size_t>(slot)], mip.LevelPalette(slot)), size);
    return {};
}

}  // namespace korvale
