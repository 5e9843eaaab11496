#include "Importer.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <optional>
#include <tuple>

#include "ColourSpace.h"
#include "Ditherer.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "Quantiser.h"

namespace korvale {

namespace {

constexpr int kLargestSide = CMip::kLargestSide;

std::uint32_t Packed(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// The distinct colours of a picture in order of first appearance, or nothing once there are
// more than limit. The limit is a palette's size, so a look through the few colours found so far
// (the last one first: pictures come in runs) beats any hash set.
std::optional<std::vector<Rgba8>> FewColours(const Image& image, std::size_t limit) {
    std::vector<std::uint32_t> seen;
    std::vector<Rgba8> colours;
    std::uint32_t last = 0;
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const std::uint8_t* p = image.pixels.data() + 4 * i;
        const std::uint32_t key = Packed(p);
        if ((!seen.empty() && key == last) ||
            std::find(seen.begin(), seen.end(), key) != seen.end()) {
            last = key;
            continue;
        }
        if (colours.size() == limit) {
            return std::nullopt;
        }
        seen.push_back(key);
        last = key;
        colours.push_back({p[0], p[1], p[2], p[3]});
    }
    return colours;
}

bool IsPowerOfTwoSide(int side) {
    return side >= 1 && side <= kLargestSide && std::has_single_bit(static_cast<unsigned>(side));
}

// A level of a 16-bit type from its full-precision pixels. The codes go through the values
// they stand for, which the conversion to the planes turns back into the same codes.
CBmap SixteenBitLevel(const SrgbImage& level, const PixelTypeInfo& info, bool dither) {
    const std::array<int, 4> bits = {info.redBits, info.greenBits, info.blueBits, info.alphaBits};
    Image shown;
    shown.width = level.width;
    shown.height = level.height;
    shown.pixels = QuantiseChannels(level, info, dither);
    for (std::size_t i = 0; i < shown.pixels.size(); ++i) {
        shown.pixels[i] = static_cast<std::uint8_t>(CodeValue(shown.pixels[i], bits[i % 4]));
    }
    CBmap made;
    // Cannot fail: the picture has the level's size and only full-scale codes of the type; a
    // level left empty is caught by the caller.
    (void)ImageToLevel(shown, info.code, CCmap{}, made);
    return made;
}

struct ChainShape {
    int topWidth = 0;
    int topHeight = 0;
    int levels = 0;
    Filter filter = Filter::kArea;
};

// The chain in linear light, each level resampled from the one before. The top comes from the
// picture through decodeWhole, or for the area filter through areaAverage, which reads the
// picture a row at a time: a large picture is never held in floating point as a whole.
template <typename DecodeWhole, typename AreaAverageOf>
std::vector<LinearImage> LinearChain(const Image& image, const ChainShape& shape,
                                     DecodeWhole&& decodeWhole, AreaAverageOf&& areaAverage) {
    const bool ownSize = image.width == shape.topWidth && image.height == shape.topHeight;
    std::vector<LinearImage> chain;
    LinearImage level = ownSize || shape.filter != Filter::kArea
                            ? decodeWhole(image)
                            : areaAverage(image, shape.topWidth, shape.topHeight);
    for (int k = 0; k < shape.levels; ++k) {
        const int w = std::max(1, shape.topWidth >> k);
        const int h = std::max(1, shape.topHeight >> k);
        if (level.width != w || level.height != h) {
            level = Resample(level, w, h, shape.filter);
        }
        chain.push_back(level);
    }
    return chain;
}

// The 16-bit types store the colour of a fully transparent pixel, and a renderer that filters
// straight colour blends it into the visible pixels beside it; premultiplied averaging leaves
// black there. So a generated pixel whose source is fully transparent gets the picture's own
// colour there: the chain made again from the colour alone (ToLinearColour), which for the area
// filter is the plain average of the colours the pixel covers. Visible pixels, the top level at
// the picture's own size and hand-made levels stay as they are.
void KeepColourUnderTransparency(const Image& image, const ChainShape& shape,
                                 const std::vector<const Image*>& sources,
                                 std::vector<SrgbImage>& chain) {
    const auto clear = [](const SrgbImage& level, std::size_t i) {
        return !(level.pixels[i * 4 + 3] > 0.0F);
    };
    bool any = false;
    for (std::size_t k = 0; k < chain.size() && !any; ++k) {
        for (std::size_t i = 0; sources[k] == nullptr && i < chain[k].PixelCount() && !any; ++i) {
            any = clear(chain[k], i);
        }
    }
    if (!any) {
        return;
    }
    const std::vector<LinearImage> colour = LinearChain(
        image, shape, [](const Image& in) { return ToLinearColour(in); },
        [](const Image& in, int w, int h) { return AreaAverageColour(in, w, h); });
    for (std::size_t k = 0; k < chain.size() && k < colour.size(); ++k) {
        if (sources[k] != nullptr) {
            continue;
        }
        SrgbImage& level = chain[k];
        for (std::size_t i = 0; i < level.PixelCount(); ++i) {
            if (!clear(level, i)) {
                continue;
            }
            for (std::size_t c = 0; c < 3; ++c) {
                const float linear = std::clamp(colour[k].pixels[i * 4 + c], 0.0F, 1.0F);
                level.pixels[i * 4 + c] = std::clamp(LinearToSrgb(linear) * 255.0F, 0.0F, 255.0F);
            }
        }
    }
}

// The chain in sRGB at full precision, and for each level the picture it was taken from as it
// is (the picture itself when the top is at its own size, a hand-made level), if any.
struct Chain {
    std::vector<SrgbImage> levels;
    std::vector<const Image*> sources;
};

// The top size (asked for, or from the picture) and the number of levels.
Status ShapeOfChain(const Image& image, const ImportOptions& options, ChainShape& shape) {
    std::tie(shape.topWidth, shape.topHeight) = AutomaticTopSize(image.width, image.height);
    if (options.topWidth != 0 || options.topHeight != 0) {
        if (!IsPowerOfTwoSide(options.topWidth) || !IsPowerOfTwoSide(options.topHeight)) {
            return Status::Failure("the top size must be powers of two of at most 256, not " +
                                   std::to_string(options.topWidth) + " x " +
                                   std::to_string(options.topHeight));
        }
        shape.topWidth = options.topWidth;
        shape.topHeight = options.topHeight;
    }
    const int chainLength =
        std::bit_width(static_cast<unsigned>(std::max(shape.topWidth, shape.topHeight)));
    shape.levels = options.levels > 0 ? std::min(options.levels, chainLength) : chainLength;
    shape.filter = options.filter;
    return {};
}

// The chain in linear light at full precision, each level from the one before, then in sRGB;
// hand-made levels replace the generated ones of their size.
Status MakeChain(const Image& image, const ChainShape& shape, const std::vector<Image>& handMade,
                 Chain& chain) {
    const bool ownSize = image.width == shape.topWidth && image.height == shape.topHeight;
    {
        const std::vector<LinearImage> linear = LinearChain(
            image, shape, [](const Image& in) { return ToLinear(in); },
            [](const Image& in, int w, int h) { return AreaAverage(in, w, h); });
        for (std::size_t k = 0; k < linear.size(); ++k) {
            const bool asIs = k == 0 && ownSize;
            chain.levels.push_back(asIs ? ToSrgb(image) : ToSrgb(linear[k]));
        }
    }
    chain.sources.assign(chain.levels.size(), nullptr);
    if (ownSize) {
        chain.sources[0] = &image;
    }
    for (const Image& hand : handMade) {
        std::size_t k = 0;
        while (k < chain.levels.size() &&
               (chain.levels[k].width != hand.width || chain.levels[k].height != hand.height)) {
            ++k;
        }
        if (k == chain.levels.size()) {
            return Status::Failure("a level of " + std::to_string(hand.width) + " x " +
                                   std::to_string(hand.height) + " has no place in a chain from " +
                                   std::to_string(shape.topWidth) + " x " +
                                   std::to_string(shape.topHeight));
        }
        chain.levels[k] = ToSrgb(hand);
        chain.sources[k] = &hand;
    }
    return {};
}

// A palette's colours and the alpha weight to map to them with.
struct LevelPalette {
    std::vector<Rgba8> colours;
    float alphaWeight = kDefaultAlphaWeight;
};

// The shared palette: the given one, an indexed picture's own (kept as it is), or the one fitted
// to the whole chain.
Status SharedPalette(const Chain& chain, const ImportOptions& options, LevelPalette& shared) {
    if (options.palette == PaletteMode::kFromFile) {
        if (options.givenPalette.empty() || options.givenPalette.size() > CCmap::kEntries) {
            return Status::Failure("a given palette must have 1 to 16 colours");
        }
        shared.colours = options.givenPalette;
    } else if (chain.sources[0] != nullptr && !chain.sources[0]->palette.empty()) {
        shared.colours = chain.sources[0]->palette;
    } else {
        PaletteFit fit = FitPalette(chain.levels, CCmap::kEntries);
        shared.colours = std::move(fit.colours);
        shared.alphaWeight = fit.alphaWeight;
    }
    return {};
}

// Level k's own palette: the given one, an indexed source's own, or one fitted to the level
// with the top level's weight (noted in topWeight when k is the top).
LevelPalette OwnPalette(const Chain& chain, std::size_t k,
                        const std::vector<std::vector<Rgba8>>& given,
                        std::optional<float>& topWeight) {
    if (k < given.size()) {
        return {given[k], kDefaultAlphaWeight};
    }
    const Image* source = chain.sources[k];
    if (source != nullptr && !source->palette.empty()) {
        return {source->palette, kDefaultAlphaWeight};
    }
    PaletteFit fit = FitPalette(std::span<const SrgbImage>(&chain.levels[k], 1), CCmap::kEntries,
                                {topWeight, true});
    if (k == 0 && fit.balanced) {
        topWeight = fit.alphaWeight;
    }
    return {std::move(fit.colours), fit.alphaWeight};
}

// A palettised level: the source's indices when its own palette is the one in use (so they are
// kept exactly), else the level mapped to the palette.
CBmap PalettisedLevel(const SrgbImage& level, const Image* source, const LevelPalette& colours,
                      const CCmap& palette, bool dither) {
    const bool keepIndices = source != nullptr && KeepsPictureIndices(*source, colours.colours);
    const std::vector<std::uint8_t> indices =
        keepIndices ? source->indices
                    : MapToPalette(level, colours.colours, dither, colours.alphaWeight);
    CBmap built;
    // A failure (indices that do not fit the level) leaves the level empty, which the caller
    // reports.
    (void)IndicesToLevel(level.width, level.height, indices, palette, built);
    return built;
}

// Stores each level of the chain in the type, with the shared palette or (miptype 2) its own.
Status AddLevels(const Chain& chain, const PixelTypeInfo& info, const ImportOptions& options,
                 const LevelPalette& shared, CMip& made) {
    const bool palettised = info.kind == PixelKind::kPalettised;
    const bool perLevel = made.miptype == CodeOf(MipType::kLevelPalettes);
    std::optional<float> topWeight;  // per level: the weight balanced for the top level
    for (std::size_t k = 0; k < chain.levels.size(); ++k) {
        const SrgbImage& level = chain.levels[k];
        CBmap built;
        CCmap palette = made.globalPalette;
        if (!palettised) {
            built = SixteenBitLevel(level, info, options.dither);
        } else {
            const LevelPalette colours =
                perLevel ? OwnPalette(chain, k, options.givenLevelPalettes, topWeight) : shared;
            if (perLevel) {
                palette = PaletteFromColours(colours.colours);
            }
            built = PalettisedLevel(level, chain.sources[k], colours, palette, options.dither);
        }
        if (!built.HasData() || !made.SetLevel(std::move(built), perLevel ? &palette : nullptr)) {
            return Status::Failure("a level of " + std::to_string(level.width) + " x " +
                                   std::to_string(level.height) + " could not be made");
        }
    }
    return {};
}

}  // namespace

std::pair<int, int> AutomaticTopSize(int width, int height) {
    auto nearest = [](int side) {
        const long exponent = std::lround(std::log2(std::max(1, side)));
        return exponent >= 30 ? 1 << 30 : 1 << exponent;
    };
    int w = nearest(width);
    int h = nearest(height);
    while (std::max(w, h) > kLargestSide) {
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    return {w, h};
}

int AutomaticType(const Image& image) {
    if (!image.palette.empty() || FewColours(image, CCmap::kEntries)) {
        return CodeOf(PixelCode::kPal4);
    }
    bool partial = false;
    bool transparent = false;
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const std::uint8_t a = image.pixels[4 * i + 3];
        partial = partial || (a != 0 && a != 255);
        transparent = transparent || a == 0;
    }
    return CodeOf(partial       ? PixelCode::kArgb4444
                  : transparent ? PixelCode::kArgb1555
                                : PixelCode::kRgb565);
}

Status PaletteOfPicture(const Image& picture, std::vector<Rgba8>& colours) {
    if (!picture.palette.empty()) {
        colours = picture.palette;
        return {};
    }
    auto few = FewColours(picture, CCmap::kEntries);
    if (!few) {
        return Status::Failure("has more than 16 colours, so it holds no palette to reuse");
    }
    colours = std::move(*few);
    return {};
}

Status ImportImage(const Image& image, const ImportOptions& options, CMip& mip) {
    if (image.Empty() || image.pixels.size() != image.PixelCount() * 4) {
        return Status::Failure("the picture is empty");
    }
    ChainShape shape;
    if (Status shaped = ShapeOfChain(image, options, shape); !shaped) {
        return shaped;
    }
    if (options.repeat < 0 || options.repeat > 3) {
        return Status::Failure("the repeat code must be 0 to 3");
    }
    Chain chain;
    if (Status made = MakeChain(image, shape, options.handMadeLevels, chain); !made) {
        return made;
    }
    // The type is judged, when none is asked for, on the top level as it will be stored: a
    // picture of few colours reduced to its top size has many (an indexed picture keeps its
    // palette whatever its size).
    int type = 0;
    if (options.type) {
        type = *options.type;
    } else {
        if (chain.sources[0] != nullptr) {
            type = AutomaticType(*chain.sources[0]);
        } else {
            Image top = ToImage(chain.levels[0]);
            top.palette = image.palette;
            type = AutomaticType(top);
        }
    }
    const PixelTypeInfo* info = PixelTypeOf(type);
    if (info == nullptr) {
        return Status::Failure("unknown pixel type " + std::to_string(type));
    }
    const bool palettised = info->kind == PixelKind::kPalettised;
    if (!palettised) {
        KeepColourUnderTransparency(image, shape, chain.sources, chain.levels);
    }

    CMip made;
    made.SetRepeatCode(options.repeat);
    made.col = 0;
    made.globalPalette.SetDefault();
    const bool perLevel = palettised && options.palette == PaletteMode::kPerLevel;
    made.miptype = CodeOf(perLevel ? MipType::kLevelPalettes : MipType::kSharedPalette);
    LevelPalette shared;
    if (palettised && !perLevel) {
        if (Status palette = SharedPalette(chain, options, shared); !palette) {
            return palette;
        }
        made.globalPalette = PaletteFromColours(shared.colours);
    }

    if (Status added = AddLevels(chain, *info, options, shared, made); !added) {
        return added;
    }
    mip = std::move(made);
    return {};
}

std::vector<Image> ReferenceChain(const Image& image) {
    if (image.Empty()) {
        return {};
    }
    const auto [topWidth, topHeight] = AutomaticTopSize(image.width, image.height);
    const int length = std::bit_width(static_cast<unsigned>(std::max(topWidth, topHeight)));
    const ChainShape shape{topWidth, topHeight, length, Filter::kArea};
    const std::vector<LinearImage> linear = LinearChain(
        image, shape, [](const Image& in) { return ToLinear(in); },
        [](const Image& in, int w, int h) { return AreaAverage(in, w, h); });
    const bool ownSize = image.width == topWidth && image.height == topHeight;
    std::vector<Image> chain;
    for (std::size_t k = 0; k < linear.size(); ++k) {
        chain.push_back(k == 0 && ownSize ? image : ToImage(ToSrgb(linear[k])));
    }
    return chain;
}

}  // namespace korvale
