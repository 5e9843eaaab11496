#include "Quantiser.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "Histogram.h"
#include "KMeans.h"
#include "MedianCut.h"
#include "PaletteSpace.h"
#include "Relocation.h"

namespace korvale {

namespace {

using namespace quantise;

constexpr int kTrialPasses = 2;
constexpr int kMaxPasses = 16;
// How much alpha error counts against colour error: the weight every search starts from, and
// the one kept where no pixel's alpha can be wrong (opaque pictures, alpha only 0 and 255).
constexpr float kAlphaWeight = kDefaultAlphaWeight;
// A picture's own weight, from the search at kAlphaWeight (see BalancedAlphaWeight): kWeightScale
// x faintness^kFaintnessPower x (colour error / alpha error)^kErrorRatioPower, within the
// bounds. The figures are set on the game textures of the quality report (docs/quality.md).
constexpr double kWeightScale = 0.6;
constexpr double kFaintnessPower = 2.75;
constexpr double kErrorRatioPower = 0.5;
constexpr float kLeastAlphaWeight = 0.5f;
constexpr float kMostAlphaWeight = 60.0f;

// No one weight suits every picture. Colour error counts in proportion to alpha and alpha error
// counts alike everywhere, so in a glow whose pixels are nearly all faint, colour gets a small
// share of the cost however large its error, while every entry spent on colour leaves steps of
// alpha that show over the whole glow; in a sprite of mostly opaque pixels the reverse holds. Two
// measures of a picture set the balance: how faint its visible pixels are (the mean alpha over
// the mean squared alpha, 1 for opaque ones, large for a faint glow), and the colour and alpha
// error the search at the starting weight left (a picture whose colour is far harder to fit than
// its alpha gives alpha less weight: an entry moved from alpha to colour buys more there).
float BalancedAlphaWeight(const Points& points, double colourError, double alphaError) {
    double alpha = 0.0;
    double squares = 0.0;
    for (std::size_t i = 0; i < points.at.size(); ++i) {
        const double a = points.at[i][3];
        alpha += points.weight[i] * a;
        squares += points.weight[i] * a * a;
    }
    if (!(squares > 0.0)) {
        return kAlphaWeight;
    }
    const double weight = kWeightScale * std::pow(alpha / squares, kFaintnessPower) *
                          std::pow(colourError / alphaError, kErrorRatioPower);
    return std::clamp(static_cast<float>(weight), kLeastAlphaWeight, kMostAlphaWeight);
}

// What a search starts from: the entries fixed ahead of it, which serve the colours nearest them
// and never move, and the colours that are not entries already, for the other `wanted` entries.
struct Search {
    Points points;
    std::vector<Vec4> held;
    std::size_t wanted = 0;

    // k-means from cuts of the free colours, after the held entries.
    [[nodiscard]] KMeans Start(bool leastError, float alphaWeight) const {
        std::vector<Vec4> centres = held;
        const std::vector<Vec4> cuts = MedianCut(points, wanted, leastError, alphaWeight);
        centres.insert(centres.end(), cuts.begin(), cuts.end());
        return KMeans(points, std::move(centres), held.size(), alphaWeight);
    }
};

// A first level (the top of a chain) of few colours keeps them all as entries, so it comes back
// exactly; the levels below, whose blends add colours, get what is left. Its colours come first
// in the histogram, in the order they appear.
std::vector<std::uint32_t> FixedKeys(std::span<const SrgbImage> levels, std::size_t limit) {
    if (levels.size() > 1) {
        Histogram first = CountColours(levels.first(1));
        if (first.keys.size() <= limit) {
            return std::move(first.keys);
        }
    }
    return {};
}

// The colours of the histogram not served exactly by an entry of their own.
Points FreeColours(const Histogram& histogram, const std::vector<std::uint32_t>& fixed,
                   bool reserveTransparent) {
    Points points;
    points.at.reserve(histogram.keys.size());
    points.weight.reserve(histogram.keys.size());
    for (std::size_t i = 0; i < histogram.keys.size(); ++i) {
        const std::uint32_t key = histogram.keys[i];
        if ((reserveTransparent && key == 0) ||
            std::find(fixed.begin(), fixed.end(), key) != fixed.end()) {
            continue;
        }
        points.at.push_back(ToPoint(Unpack(key)));
        points.weight.push_back(static_cast<float>(histogram.counts[i]));
        points.rootAlpha.push_back(std::sqrt(points.at.back()[3]));
    }
    return points;
}

// The search at the starting weight. Two starts, kept apart only while the k-means moves them
// most; the one that got closer goes on. The least-error cuts are the better start on most
// textures, the median cuts on some with a few large flat areas; a full second run would cost
// far more for little more.
KMeans SearchAtStartingWeight(const Search& search) {
    KMeans run = search.Start(true, kAlphaWeight);
    KMeans other = search.Start(false, kAlphaWeight);
    bool moving = true;
    bool otherMoving = true;
    for (int pass = 0; pass < kTrialPasses; ++pass) {
        moving = moving && run.Step();
        otherMoving = otherMoving && other.Step();
    }
    if (other.Cost() < run.Cost()) {
        std::swap(run, other);
        moving = otherMoving;
    }
    if (moving) {
        run.Run(kMaxPasses - kTrialPasses);
    }
    return run;
}

// Where the pixels show alpha error at all, the weight is balanced for this picture (or the one
// given is taken) and the search goes on from where it got to. Going on from centres placed for
// another weight can leave the search in a poorer fit than a start made for the weight itself: a
// fresh start, where asked for, is kept when it costs less.
void Rebalance(const Search& search, const FitOptions& options, KMeans& run, PaletteFit& fit) {
    const auto [colourError, alphaError] = run.Errors();
    if (!(alphaError > 0.0 && colourError > 0.0)) {
        return;
    }
    const float weight = options.alphaWeight
                             ? *options.alphaWeight
                             : BalancedAlphaWeight(search.points, colourError, alphaError);
    run = KMeans(search.points, run.Centres(), search.held.size(), weight);
    run.Run(kMaxPasses);
    fit.alphaWeight = weight;
    fit.balanced = true;
    if (options.freshStart) {
        KMeans fresh = search.Start(true, weight);
        fresh.Run(kMaxPasses);
        if (fresh.Cost() < run.Cost()) {
            run = std::move(fresh);
        }
    }
}

}  // namespace

PaletteFit FitPalette(std::span<const SrgbImage> levels, int colours, const FitOptions& options) {
    const auto limit =
        static_cast<std::size_t>(std::clamp(colours, 1, static_cast<int>(kMaxColours)));
    const Histogram histogram = CountColours(levels);
    PaletteFit fit;
    std::vector<Rgba8>& palette = fit.colours;
    if (histogram.keys.size() <= limit) {
        for (const std::uint32_t key : histogram.keys) {
            palette.push_back(Unpack(key));
        }
        return fit;
    }

    const std::vector<std::uint32_t> fixed = FixedKeys(levels, limit);
    // Transparent pixels get an entry of their own rather than a share of a mean that would make
    // them faintly visible; a palette of one entry has no room for that.
    const bool reserveTransparent = histogram.hasTransparent &&
                                    std::find(fixed.begin(), fixed.end(), 0u) == fixed.end() &&
                                    limit >= fixed.size() + 2;
    Search search;
    for (const std::uint32_t key : fixed) {
        palette.push_back(Unpack(key));
        search.held.push_back(ToPoint(Unpack(key)));
    }
    if (reserveTransparent) {
        palette.push_back({0, 0, 0, 0});
    }
    search.wanted = limit - palette.size();
    if (search.wanted == 0) {
        return fit;
    }
    search.points = FreeColours(histogram, fixed, reserveTransparent);

    KMeans run = SearchAtStartingWeight(search);
    Rebalance(search, options, run, fit);
    Relocate(search.points, search.held.size(), kMaxPasses, run);
    for (std::size_t c = search.held.size(); c < run.Centres().size(); ++c) {
        const Rgba8 entry = ToColour(run.Centres()[c]);
        if (std::find(palette.begin(), palette.end(), entry) == palette.end()) {
            palette.push_back(entry);
        }
    }
    return fit;
}

std::vector<Rgba8> BuildPalette(std::span<const SrgbImage> levels, int colours) {
    return FitPalette(levels, colours).colours;
}

}  // namespace korvale
