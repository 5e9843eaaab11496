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

int RunThumbnail(std::span<const std::string> args) {
    int size = kDefaultSize;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-s" || arg == "--size") {
            if (i + 1 >= args.size()) {
                return UsageError(arg + " needs a value");
            }
            const std::optional<int> value = ParseInt(args[++i], 1, kLargestSize);
            if (!value) {
                return UsageError(arg + " takes a size from 1 to 4096 pixels, not '" + args[i] +
                                  "'");
            }
            size = *value;
        } else if (arg == "-q" || arg == "--quiet" || arg == "-f" || arg == "--force") {
            // Accepted as every command accepts them: thumbnail prints nothing but errors, and
            // replaces OUT anyway (file managers hand it a fresh temporary name).
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        return UsageError("thumbnail takes IN OUT.png");
    }
    const std::string& in = files[0];
    const std::string& out = files[1];
    std::string error;
    const auto bytes = ReadInput(in, error);
    if (!bytes) {
        return Fail(in, error);
    }
    CSrb record;
    InputKind kind = InputKind::kMip;
    if (const std::string why = LoadRecord(in, *bytes, true, record, kind); !why.empty()) {
        return Fail(in, why);
    }
    const CMip& mip = record.mip;
    const int slot = ThumbnailSlot(mip, size);
    if (slot < 0) {
        return Fail(in, "holds no level to draw");
    }
    const auto k = static_cast<std::size_t>(slot);
    const Image picture = FitInto(LevelToImage(mip.levels[k], mip.levelPalettes[k]), size);
    std::vector<std::uint8_t> png;
    // A file manager waits for the thumbnail and keeps it in a cache: speed before size.
    if (!EncodePng(picture, true, png, error, PngEffort::kFast) ||
        !WriteFileBytes(out, png, error)) {
        return Fail(out, error);
    }
    return mip.loadReport.Clean() ? kOk : kDamaged;
}

}  // namespace korvale::tool
