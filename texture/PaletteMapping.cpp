#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ErrorDiffusion.h"
#include "PaletteSpace.h"
#include "Quantiser.h"

namespace korvale {

namespace {

using namespace quantise;

// Dithering carries each pixel's error on in full, but where the error carried into a pixel
// (squared, all four channels) grows past kCarryLimit times the mean squared error of the level
// mapped without dithering, only kCarryDamping of it is used. With 16 colours a colour outside
// what the palette spans leaves an error that nothing nearby can pay back; carried on in full it
// piles up and breaks out as streaks of far colours. Measured against the level's own error, the
// limit still lets a tone far between two entries build up the error it needs, so a dithered
// ramp between two colours keeps its average.
constexpr float kCarryLimit = 3.0f;
constexpr float kCarryDamping = 0.8f;

// The nearest entry of a palette for a pixel, judged by the palette search's cost.
class NearestEntry {
  public:
    NearestEntry(std::span<const Rgba8> palette, float alphaWeight)
        : entries_(std::min(palette.size(), kMaxColours)),
          columns_(Points(palette, entries_), alphaWeight) {
        // Pack gives 0 for every transparent colour and otherwise a nonzero top byte, so 1 is
        // no colour's key: the entries past the palette never match.
        keys_.fill(1);
        for (std::size_t k = 0; k < entries_; ++k) {
            keys_[k] = Pack(palette[k][0], palette[k][1], palette[k][2], palette[k][3]);
        }
    }

    // A pixel that is an entry once rounded keeps it, so a level that fits its palette comes
    // back exactly.
    [[nodiscard]] std::size_t operator()(float r, float g, float b, float a) const {
        const std::uint32_t key = Pack(Round255(r), Round255(g), Round255(b), Round255(a));
        // All 16 compared at once, without a branch per entry; the first match wins.
        unsigned matches = 0;
        for (std::size_t k = 0; k < kMaxColours; ++k) {
            matches |= static_cast<unsigned>(keys_[k] == key) << k;
        }
        if (matches != 0) {
            return static_cast<std::size_t>(std::countr_zero(matches));
        }
        return columns_.Nearest(ToPoint(r, g, b, a));
    }

  private:
    static std::vector<Vec4> Points(std::span<const Rgba8> palette, std::size_t entries) {
        std::vector<Vec4> points;
        for (std::size_t k = 0; k < entries; ++k) {
            points.push_back(ToPoint(palette[k]));
        }
        return points;
    }

    std::size_t entries_;
    std::array<std::uint32_t, kMaxColours> keys_{};
    Columns columns_;
};

// kCarryLimit times the mean squared error of the level mapped without dithering; invisible
// pixels count their alpha only, as their colour is never seen.
float CarryLimit(const SrgbImage& level, std::size_t count, std::span<const Rgba8> palette,
                 const NearestEntry& choose) {
    const float* px = level.pixels.data();
    double squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const float* source = px + i * 4;
        const Rgba8& entry = palette[choose(source[0], source[1], source[2], source[3])];
        for (std::size_t c = Round255(source[3]) == 0 ? 3 : 0; c < 4; ++c) {
            const double d = static_cast<double>(Clamp255(source[c])) - entry[c];
            squares += d * d;
        }
    }
    return static_cast<float>(kCarryLimit * squares / static_cast<double>(count));
}

void Dither(const SrgbImage& level, std::size_t count, std::span<const Rgba8> palette,
            const NearestEntry& choose, std::vector<std::uint8_t>& indices) {
    const float* px = level.pixels.data();
    const float carryLimit = CarryLimit(level, count, palette, choose);
    const auto width = static_cast<std::size_t>(level.width);
    // How much of a pixel's colour error a neighbour takes: all of it when the neighbour shows
    // no more than the pixel, less in proportion when it shows more, so a faint edge pixel's
    // large colour error (cheap where it is, since little of it shows) does not become a large
    // visible error on the opaque pixels next to it.
    const auto share = [&](float alpha, std::size_t x, std::size_t y) {
        if (x >= width || y * width + x >= count) {
            return 0.0f;  // off the level: the error falls into a spare slot and is dropped
        }
        const float other = px[(y * width + x) * 4 + 3];
        return other <= alpha ? 1.0f : alpha / other;
    };
    ErrorDiffusion diffusion;
    diffusion.Run(width, count, [&](std::size_t x, std::size_t y, std::size_t i) {
        const float* source = px + i * 4;
        std::array<float, 4> want{};
        float carried = 0.0f;
        for (std::size_t c = 0; c < 4; ++c) {
            carried += diffusion.Carried(c) * diffusion.Carried(c);
        }
        const float used = carried > carryLimit ? kCarryDamping : 1.0f;
        for (std::size_t c = 0; c < 4; ++c) {
            want[c] = Clamp255(source[c] + diffusion.Carried(c) * used);
        }
        const std::size_t k = choose(want[0], want[1], want[2], want[3]);
        indices[i] = static_cast<std::uint8_t>(k);
        std::array<float, 4> error{};
        for (std::size_t c = 0; c < 4; ++c) {
            error[c] = want[c] - static_cast<float>(palette[k][c]);
        }
        // The colour of an invisible pixel, wanted or chosen, means nothing: passing it on
        // would tint the visible neighbours.
        if (Round255(want[3]) == 0 || palette[k][3] == 0) {
            error[0] = error[1] = error[2] = 0.0f;
        }
        // x - 1 wraps round to a huge value at the left edge, which share() treats as off
        // the level.
        const std::size_t xAhead = diffusion.Forward() ? x + 1 : x - 1;
        const std::size_t xBehind = diffusion.Forward() ? x - 1 : x + 1;
        const float alpha = source[3];
        const std::array<float, 4> shares = {
            ErrorDiffusion::kShares[0] * share(alpha, xAhead, y),
            ErrorDiffusion::kShares[1] * share(alpha, xBehind, y + 1),
            ErrorDiffusion::kShares[2] * share(alpha, x, y + 1),
            ErrorDiffusion::kShares[3] * share(alpha, xAhead, y + 1)};
        for (std::size_t c = 0; c < 3; ++c) {
            diffusion.Pass(c, error[c], shares);
        }
        diffusion.Pass(3, error[3]);
    });
}

}  // namespace

std::vector<std::uint8_t> MapToPalette(const SrgbImage& level, std::span<const Rgba8> palette,
                                       bool dither, float alphaWeight) {
    const std::size_t count = PixelsOf(level);
    std::vector<std::uint8_t> indices(count, 0);
    if (palette.empty() || count == 0) {
        return indices;
    }
    const NearestEntry choose(palette, alphaWeight);
    if (dither) {
        Dither(level, count, palette, choose, indices);
        return indices;
    }
    const float* px = level.pixels.data();
    for (std::size_t i = 0; i < count; ++i, px += 4) {
        indices[i] = static_cast<std::uint8_t>(choose(px[0], px[1], px[2], px[3]));
    }
    return indices;
}

}  // namespace korvale
