#include "ThumbnailCommand.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "ColourSpace.h"
#include "LevelImage.h"
#include "PngIo.h"
#include "Resampler.h"
#include "ToolSupport.h"

namespace korvale::tool {

namespace {

// File managers ask for 128 to 1024 pixels; a texture level is at most 256, so anything
// larger only means "as large as it is".
constexpr int kDefaultSize = 256;
constexpr int kLargestSize = 4096;

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

constexpr OptionRule kOptions[] = {{"--size", "-s", true}};

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
    InputKind kind = InputKind::kMip;
    if (const Status loaded = LoadRecordFile(in, record, kind); !loaded) {
        return Fail(loaded);
    }
    const CMip& mip = record.mip;
    const int slot = ThumbnailSlot(mip, size);
    if (slot < 0) {
        return Fail(in, "holds no level to draw");
    }
    const Image picture = FitInto(
        LevelToImage(mip.levels[static_cast<std::size_t>(slot)], mip.LevelPalette(slot)), size);
    std::vector<std::uint8_t> png;
    // A file manager waits for the thumbnail and keeps it in a cache: speed before size.
    if (Status encoded = EncodePng(picture, true, png, PngEffort::kFast); !encoded) {
        return Fail(std::move(encoded).In(out));
    }
    if (const Status written = WriteFileBytes(out, png); !written) {
        return Fail(written);
    }
    return mip.loadReport.Clean() ? kOk : kDamaged;
}

}  // namespace korvale::tool
