#include "Quantiser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "ErrorDiffusion.h"

namespace korvale {

namespace {

// How colours are compared: the straight sRGB-encoded channels and alpha, each scaled to 0..1.
// The cost of showing entry e for a pixel p is
//     p.a * |p.rgb - e.rgb|^2 + kAlphaWeight * (p.a - e.a)^2,
// the way a level is judged afterwards: colour error counts in proportion to how much of the
// pixel shows, alpha error counts alike everywhere.
// - The sRGB curve already spaces lightness about evenly for the eye (that is what it is for),
//   and levels are judged on that scale afterwards. Oklab was tried on game textures: at 16
//   colours it showed no visible gain and lost 0.4 dB on average (3 dB on some).
// - Weighing colour by alpha squared instead (premultiplied colour, the error after compositing
//   over black) gives the colour of half-transparent pixels half the weight it has when the
//   level is drawn over anything but black: soft sprite edges came out 0.6 to 1.6 dB worse.
// - The group of colours nearest one entry costs least when the entry's colour is the mean of
//   their colours weighted by count times alpha, and its alpha the mean of their alphas
//   weighted by count: median cut and k-means below keep both sums.
// The cost is not a distance between two colours (it depends on the pixel's own alpha), but for
// one pixel it is a squared Euclidean distance with the axes scaled by sqrt(p.a) and
// sqrt(kAlphaWeight), which is all the k-means bounds below need.
using Vec4 = std::array<float, 4>;

constexpr std::size_t kMaxColours = 16;
constexpr std::size_t kBins = 1024;
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

// Dithering carries each pixel's error on in full, but where the error carried into a pixel
// (squared, all four channels) grows past kCarryLimit times the mean squared error of the level
// mapped without dithering, only kCarryDamping of it is used. With 16 colours a colour outside
// what the palette spans leaves an error that nothing nearby can pay back; carried on in full
// it piles up and breaks out as streaks of far colours (the low-passed error was 0.6 dB worse
// on average, 0.9 dB on a photograph). Measured against the level's own error, the limit still
// lets a tone far between two entries build up the error it needs, so a dithered ramp between
// two colours keeps its average; a fixed share of every error (0.85 scored the same) did not:
// the ramp's ends came out solid. Limits of 1.6 to 3 scored alike; below 2.4 the ramp suffers.
constexpr float kCarryLimit = 3.0f;
constexpr float kCarryDamping = 0.8f;

// NaN becomes 0, so no bad input can reach a float-to-int conversion.
float Clamp255(float v) {
    return v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
}
int Round255(float v) {
    return static_cast<int>(Clamp255(v) + 0.5f);
}

std::uint32_t Pack(int r, int g, int b, int a) {
    // Every fully transparent colour is the same colour: nobody can tell them apart.
    if (a == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16) | (static_cast<std::uint32_t>(a) << 24);
}

Rgba8 Unpack(std::uint32_t key) {
    return {static_cast<std::uint8_t>(key & 0xFFu), static_cast<std::uint8_t>((key >> 8) & 0xFFu),
            static_cast<std::uint8_t>((key >> 16) & 0xFFu),
            static_cast<std::uint8_t>((key >> 24) & 0xFFu)};
}

Vec4 ToPoint(float r, float g, float b, float a) {
    constexpr float kScale = 1.0f / 255.0f;
    return {Clamp255(r) * kScale, Clamp255(g) * kScale, Clamp255(b) * kScale, Clamp255(a) * kScale};
}

Vec4 ToPoint(const Rgba8& c) {
    return ToPoint(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]),
                   static_cast<float>(c[3]));
}

Rgba8 ToColour(const Vec4& p) {
    const int a8 = Round255(p[3] * 255.0f);
    if (a8 == 0) {
        return {0, 0, 0, 0};
    }
    return {static_cast<std::uint8_t>(Round255(p[0] * 255.0f)),
            static_cast<std::uint8_t>(Round255(p[1] * 255.0f)),
            static_cast<std::uint8_t>(Round255(p[2] * 255.0f)), static_cast<std::uint8_t>(a8)};
}

// The cost of entry e for pixel p (see above).
float EntryCost(const Vec4& p, const Vec4& e, float alphaWeight) {
    const float d0 = p[0] - e[0];
    const float d1 = p[1] - e[1];
    const float d2 = p[2] - e[2];
    const float d3 = p[3] - e[3];
    return p[3] * (d0 * d0 + d1 * d1 + d2 * d2) + alphaWeight * d3 * d3;
}

// The square root of the cost for a fully opaque pixel: for any pixel p, sqrt(EntryCost(p, x))
// moves by at most Separation(x, y) when x moves to y, and sqrt(p.a) * Separation(x, y) is at most
// the distance between x and y in p's scaled space.
float Separation(const Vec4& x, const Vec4& y, float alphaWeight) {
    const float d0 = x[0] - y[0];
    const float d1 = x[1] - y[1];
    const float d2 = x[2] - y[2];
    const float d3 = x[3] - y[3];
    return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2 + alphaWeight * d3 * d3);
}

std::size_t PixelsOf(const SrgbImage& level) {
    if (level.width <= 0 || level.height <= 0) {
        return 0;
    }
    return std::min(level.PixelCount(), level.pixels.size() / 4);
}

// The distinct rounded colours of the levels in order of first appearance, with how many pixels
// have each. An open-addressing table: a general hash map would cost more than all the rest of
// the palette search on a large chain.
struct Histogram {
    std::vector<std::uint32_t> keys;
    std::vector<double> counts;
    bool hasTransparent = false;
};

Histogram Count(std::span<const SrgbImage> levels) {
    Histogram histogram;
    std::vector<std::uint32_t> slots(1024, 0);  // index + 1 into keys; 0 is empty
    std::size_t mask = slots.size() - 1;
    const auto slotOf = [&mask](std::uint32_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    };
    for (const SrgbImage& level : levels) {
        const std::size_t count = PixelsOf(level);
        const float* px = level.pixels.data();
        for (std::size_t i = 0; i < count; ++i, px += 4) {
            const std::uint32_t key =
                Pack(Round255(px[0]), Round255(px[1]), Round255(px[2]), Round255(px[3]));
            std::size_t slot = slotOf(key);
            while (slots[slot] != 0 && histogram.keys[slots[slot] - 1] != key) {
                slot = (slot + 1) & mask;
            }
            if (slots[slot] != 0) {
                histogram.counts[slots[slot] - 1] += 1.0;
                continue;
            }
            histogram.keys.push_back(key);
            histogram.counts.push_back(1.0);
            histogram.hasTransparent = histogram.hasTransparent || key == 0;
            slots[slot] = static_cast<std::uint32_t>(histogram.keys.size());
            if (histogram.keys.size() * 2 > slots.size()) {
                slots.assign(slots.size() * 2, 0);
                mask = slots.size() - 1;
                for (std::size_t k = 0; k < histogram.keys.size(); ++k) {
                    std::size_t s = slotOf(histogram.keys[k]);
                    while (slots[s] != 0) {
                        s = (s + 1) & mask;
                    }
                    slots[s] = static_cast<std::uint32_t>(k + 1);
                }
            }
        }
    }
    return histogram;
}

struct Points {
    std::vector<Vec4> at;
    std::vector<float> weight;
    std::vector<float> rootAlpha;  // sqrt(a): how the colour axes of each pixel's space scale
};

// Weighted sums over a group of colours: enough for the entry that serves them best and for
// its cost. On the colour axes each colour counts by weight times alpha, on the alpha axis by
// weight; sum[3], the weighted alpha, is also the total weight of the colour axes.
struct Moments {
    double weight = 0.0;
    std::array<double, 4> sum{};
    std::array<double, 4> sumSquares{};

    void Add(const Vec4& p, double w) {
        const double shown = w * p[3];
        weight += w;
        for (std::size_t d = 0; d < 3; ++d) {
            sum[d] += shown * p[d];
            sumSquares[d] += shown * p[d] * p[d];
        }
        sum[3] += shown;
        sumSquares[3] += shown * p[3];
    }
    void Add(const Moments& other) {
        weight += other.weight;
        for (std::size_t d = 0; d < 4; ++d) {
            sum[d] += other.sum[d];
            sumSquares[d] += other.sumSquares[d];
        }
    }
    [[nodiscard]] Moments Less(const Moments& part) const {
        Moments rest;
        rest.weight = weight - part.weight;
        for (std::size_t d = 0; d < 4; ++d) {
            rest.sum[d] = sum[d] - part.sum[d];
            rest.sumSquares[d] = sumSquares[d] - part.sumSquares[d];
        }
        return rest;
    }
    [[nodiscard]] double AxisWeight(std::size_t d) const { return d < 3 ? sum[3] : weight; }
    // The cost along one axis of serving the whole group with its best entry.
    [[nodiscard]] double Error(std::size_t d, float alphaWeight) const {
        const double w = AxisWeight(d);
        if (w <= 0.0) {
            return 0.0;
        }
        const double error = std::max(0.0, sumSquares[d] - sum[d] * sum[d] / w);
        return d < 3 ? error : error * alphaWeight;
    }
    [[nodiscard]] double Error(float alphaWeight) const {
        return Error(0, alphaWeight) + Error(1, alphaWeight) + Error(2, alphaWeight) +
               Error(3, alphaWeight);
    }
    // The best entry; `fallback` gives the colour of a group that does not show at all.
    [[nodiscard]] Vec4 Mean(const Vec4& fallback) const {
        Vec4 mean = fallback;
        for (std::size_t d = 0; d < 4; ++d) {
            const double w = AxisWeight(d);
            if (w > 0.0) {
                mean[d] = static_cast<float>(sum[d] / w);
            }
        }
        return mean;
    }
};

struct Box {
    std::size_t begin = 0;
    std::size_t end = 0;
    Moments moments;
    bool splittable = true;
};

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

// Median cut: again and again split the box with the largest squared error, along its axis of
// largest spread, at the cut that leaves the two halves the least squared error between them
// (on lumpy texture histograms a better start for k-means than the plain weighted median). The
// cut is looked for among fine bins along the axis rather than by sorting the box: the same
// answer to well under a rounding step, in linear time.
std::vector<Vec4> MedianCut(const Points& points, std::size_t wanted, bool leastError,
                            float alphaWeight) {
    // The colours themselves are moved about rather than indices to them, so that every pass
    // over a box reads memory in order.
    struct Weighted {
        Vec4 at;
        float weight;
    };
    std::vector<Weighted> items(points.at.size());
    std::vector<Box> boxes(1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i] = {points.at[i], points.weight[i]};
        boxes[0].moments.Add(points.at[i], points.weight[i]);
    }
    boxes[0].end = items.size();
    std::vector<Moments> bins(kBins);
    while (boxes.size() < wanted) {
        std::size_t worst = boxes.size();
        for (std::size_t b = 0; b < boxes.size(); ++b) {
            if (boxes[b].splittable && boxes[b].end - boxes[b].begin >= 2 &&
                (worst == boxes.size() ||
                 boxes[b].moments.Error(alphaWeight) > boxes[worst].moments.Error(alphaWeight))) {
                worst = b;
            }
        }
        if (worst == boxes.size()) {
            break;  // every box holds a single colour
        }
        Box& box = boxes[worst];
        // The axis of largest spread that has any: rounding can leave a trace of error on an
        // axis where all the colours agree.
        std::array<std::size_t, 4> axes = {0, 1, 2, 3};
        std::stable_sort(axes.begin(), axes.end(), [&](std::size_t x, std::size_t y) {
            return box.moments.Error(x, alphaWeight) > box.moments.Error(y, alphaWeight);
        });
        std::size_t axis = 4;
        float low = 0.0f;
        float high = 0.0f;
        for (const std::size_t candidate : axes) {
            low = std::numeric_limits<float>::infinity();
            high = -std::numeric_limits<float>::infinity();
            for (std::size_t i = box.begin; i < box.end; ++i) {
                low = std::min(low, items[i].at[candidate]);
                high = std::max(high, items[i].at[candidate]);
            }
            if (high > low) {
                axis = candidate;
                break;
            }
        }
        if (axis == 4) {
            box.splittable = false;  // all its colours lie on one point
            continue;
        }

        const float scale = static_cast<float>(kBins) / (high - low);
        const auto binOf = [&](const Weighted& item) {
            const float position = (item.at[axis] - low) * scale;
            return std::min(static_cast<std::size_t>(position), kBins - 1);
        };
        bins.assign(kBins, Moments{});
        for (std::size_t i = box.begin; i < box.end; ++i) {
            bins[binOf(items[i])].Add(items[i].at, items[i].weight);
        }
        // The lowest and highest colours land in the first and last bin, so some cut leaves
        // colours on both sides.
        Moments below;
        Moments lowerMoments;
        std::size_t cut = 0;  // last bin of the lower half
        double bestError = std::numeric_limits<double>::infinity();
        for (std::size_t b = 0; b + 1 < kBins; ++b) {
            below.Add(bins[b]);
            if (below.weight <= 0.0 || below.weight >= box.moments.weight) {
                continue;
            }
            const double error =
                leastError ? below.Error(alphaWeight) + box.moments.Less(below).Error(alphaWeight)
                           : std::abs(below.weight * 2.0 - box.moments.weight);
            if (error < bestError) {
                bestError = error;
                cut = b;
                lowerMoments = below;
            }
        }
        const auto first = items.begin() + static_cast<std::ptrdiff_t>(box.begin);
        const auto last = items.begin() + static_cast<std::ptrdiff_t>(box.end);
        const auto middle =
            std::partition(first, last, [&](const Weighted& item) { return binOf(item) <= cut; });
        Box lower;
        lower.begin = box.begin;
        lower.end = box.begin + static_cast<std::size_t>(middle - first);
        lower.moments = lowerMoments;
        Box upper;
        upper.begin = lower.end;
        upper.end = box.end;
        upper.moments = box.moments.Less(lowerMoments);
        boxes[worst] = lower;
        boxes.push_back(upper);
    }
    std::vector<Vec4> centres;
    centres.reserve(boxes.size());
    for (const Box& box : boxes) {
        centres.push_back(box.moments.Mean(Vec4{}));
    }
    return centres;
}

// The centres as columns padded to the full 16 with points far outside the space, so the
// distances to all of them are one fixed-length loop the compiler turns into vector arithmetic.
struct Columns {
    std::array<std::array<float, kMaxColours>, 4> axis{};
    float alphaWeight_;

    Columns(const std::vector<Vec4>& centres, float alphaWeight) : alphaWeight_(alphaWeight) {
        for (auto& column : axis) {
            column.fill(1.0e6f);
        }
        for (std::size_t k = 0; k < centres.size() && k < kMaxColours; ++k) {
            for (std::size_t d = 0; d < 4; ++d) {
                axis[d][k] = centres[k][d];
            }
        }
    }

    // The cost of every column for pixel p.
    void Distances(const Vec4& p, std::array<float, kMaxColours>& out) const {
        for (std::size_t k = 0; k < kMaxColours; ++k) {
            const float d0 = p[0] - axis[0][k];
            const float d1 = p[1] - axis[1][k];
            const float d2 = p[2] - axis[2][k];
            const float d3 = p[3] - axis[3][k];
            out[k] = p[3] * (d0 * d0 + d1 * d1 + d2 * d2) + alphaWeight_ * d3 * d3;
        }
    }

    [[nodiscard]] std::size_t Nearest(const Vec4& p) const {
        std::array<float, kMaxColours> distances{};
        Distances(p, distances);
        std::size_t best = 0;
        for (std::size_t k = 1; k < kMaxColours; ++k) {
            if (distances[k] < distances[best]) {
                best = k;
            }
        }
        return best;
    }
};

// Lloyd's k-means on the weighted distinct colours: every colour to its nearest centre, every
// centre to the mean of its colours, until nothing moves. Hamerly's bounds (how far a colour
// can be from its centre, how near it can be to any other) skip the search for most colours
// once the centres settle, without changing the result. A centre left with no colours moves to
// the colour worst served. The first `fixed` centres take part in the search but never move.
class KMeans {
  public:
    KMeans(const Points& points, std::vector<Vec4> centres, std::size_t fixed, float alphaWeight)
        : points_(&points),
          fixed_(fixed),
          alphaWeight_(alphaWeight),
          centres_(std::move(centres)),
          nearest_(points.at.size(), 0),
          bounds_(points.at.size()),
          groups_(centres_.size()) {}

    // One pass; false when nothing moved, so the centres are final.
    bool Step() {
        const std::size_t k = centres_.size();
        const Columns columns(centres_, alphaWeight_);
        std::array<float, kMaxColours> half{};
        for (std::size_t c = 0; c < k; ++c) {
            float closest = std::numeric_limits<float>::infinity();
            for (std::size_t other = 0; other < k; ++other) {
                if (other != c) {
                    closest =
                        std::min(closest, Separation(centres_[c], centres_[other], alphaWeight_));
                }
            }
            half[c] = closest / 2.0f;
        }
        const bool first = passes_ == 0;
        bool changed = false;
        std::array<float, kMaxColours> distances{};
        for (std::size_t i = 0; i < points_->at.size(); ++i) {
            Bound& bound = bounds_[i];
            const std::size_t own = nearest_[i];
            if (!first) {
                // The centres moved since the bounds were set.
                bound.upper += moved_[own];
                bound.lower -= own == most_ ? secondMost_ : moved_[most_];
                const float limit = std::max(points_->rootAlpha[i] * half[own], bound.lower);
                if (bound.upper <= limit) {
                    continue;
                }
                bound.upper = std::sqrt(EntryCost(points_->at[i], centres_[own], alphaWeight_));
                if (bound.upper <= limit) {
                    continue;
                }
            }
            columns.Distances(points_->at[i], distances);
            std::size_t best = 0;
            float closest = std::numeric_limits<float>::infinity();
            float next = std::numeric_limits<float>::infinity();
            // Selects rather than branches: which centre wins is close to random.
            for (std::size_t c = 0; c < k; ++c) {
                const float d = distances[c];
                const bool better = d < closest;
                next = better ? closest : std::min(next, d);
                closest = better ? d : closest;
                best = better ? c : best;
            }
            bound.upper = std::sqrt(closest);
            bound.lower = std::sqrt(next);
            if (first || best != own) {
                // The sums follow each move rather than being taken again every pass: once
                // the centres settle, few colours move and most are never looked at.
                if (!first) {
                    groups_[own].Add(points_->at[i], -points_->weight[i]);
                }
                groups_[best].Add(points_->at[i], points_->weight[i]);
                nearest_[i] = static_cast<std::uint8_t>(best);
                changed = true;
            }
        }
        ++passes_;
        if (!changed) {
            return false;
        }

        bool rescued = false;
        for (std::size_t c = fixed_; c < k; ++c) {
            Vec4 next = centres_[c];
            if (groups_[c].weight > 0.0) {
                next = groups_[c].Mean(centres_[c]);
            } else if (!rescued) {
                // One rescue per pass: the worst served colour is only known for the old centres.
                next = points_->at[WorstServed()];
                rescued = true;
            }
            moved_[c] = Separation(centres_[c], next, alphaWeight_);
            centres_[c] = next;
        }
        most_ = 0;
        for (std::size_t c = 1; c < k; ++c) {
            if (moved_[c] > moved_[most_]) {
                most_ = c;
            }
        }
        secondMost_ = 0.0f;
        for (std::size_t c = 0; c < k; ++c) {
            if (c != most_) {
                secondMost_ = std::max(secondMost_, moved_[c]);
            }
        }
        return true;
    }

    // The total weighted squared distance of every colour to the centre it was last given, the
    // centres being the means of their colours: free from the sums, and never less than the
    // distance to the nearest centre.
    [[nodiscard]] double Cost() const {
        double cost = 0.0;
        for (const Moments& group : groups_) {
            cost += group.Error(alphaWeight_);
        }
        return cost;
    }

    [[nodiscard]] const std::vector<Vec4>& Centres() const { return centres_; }

    // The colour error and the alpha error (unweighted) of the last pass.
    [[nodiscard]] std::pair<double, double> Errors() const {
        double colour = 0.0;
        double alpha = 0.0;
        for (const Moments& group : groups_) {
            colour += group.Error(0, 1.0f) + group.Error(1, 1.0f) + group.Error(2, 1.0f);
            alpha += group.Error(3, 1.0f);
        }
        return {colour, alpha};
    }

  private:
    struct Bound {
        float upper = 0.0f;  // at least the distance to its own centre
        float lower = 0.0f;  // at most the distance to any other centre
    };

    [[nodiscard]] std::size_t WorstServed() const {
        std::size_t worst = 0;
        float worstCost = -1.0f;
        for (std::size_t i = 0; i < points_->at.size(); ++i) {
            const float cost =
                points_->weight[i] * EntryCost(points_->at[i], centres_[nearest_[i]], alphaWeight_);
            if (cost > worstCost) {
                worstCost = cost;
                worst = i;
            }
        }
        return worst;
    }

    const Points* points_;
    std::size_t fixed_;
    float alphaWeight_;
    std::vector<Vec4> centres_;
    std::vector<std::uint8_t> nearest_;
    std::vector<Bound> bounds_;
    std::vector<Moments> groups_;
    std::array<float, kMaxColours> moved_{};
    std::size_t most_ = 0;     // the centre that moved furthest in the last pass
    float secondMost_ = 0.0f;  // how far the next furthest moved
    int passes_ = 0;
};

}  // namespace

PaletteFit FitPalette(std::span<const SrgbImage> levels, int colours, const FitOptions& options) {
    const auto limit =
        static_cast<std::size_t>(std::clamp(colours, 1, static_cast<int>(kMaxColours)));
    const Histogram histogram = Count(levels);
    PaletteFit fit;
    std::vector<Rgba8>& palette = fit.colours;
    if (histogram.keys.size() <= limit) {
        for (const std::uint32_t key : histogram.keys) {
            palette.push_back(Unpack(key));
        }
        return fit;
    }

    // A first level (the top of a chain) of few colours keeps them all as entries, so it comes
    // back exactly; the levels below, whose blends add colours, get what is left. Its colours
    // come first in the histogram, in the order they appear.
    std::vector<std::uint32_t> fixed;
    if (levels.size() > 1) {
        const Histogram first = Count(levels.first(1));
        if (first.keys.size() <= limit) {
            fixed = first.keys;
        }
    }
    const auto isFixed = [&fixed](std::uint32_t key) {
        return std::find(fixed.begin(), fixed.end(), key) != fixed.end();
    };
    // Transparent pixels get an entry of their own rather than a share of a mean that would make
    // them faintly visible; a palette of one entry has no room for that.
    const bool reserveTransparent =
        histogram.hasTransparent && !isFixed(0) && limit >= fixed.size() + 2;
    for (const std::uint32_t key : fixed) {
        palette.push_back(Unpack(key));
    }
    if (reserveTransparent) {
        palette.push_back({0, 0, 0, 0});
    }
    const std::size_t wanted = limit - palette.size();
    if (wanted == 0) {
        return fit;
    }

    Points points;
    points.at.reserve(histogram.keys.size());
    points.weight.reserve(histogram.keys.size());
    for (std::size_t i = 0; i < histogram.keys.size(); ++i) {
        const std::uint32_t key = histogram.keys[i];
        if ((reserveTransparent && key == 0) || isFixed(key)) {
            continue;  // served exactly by an entry of its own
        }
        points.at.push_back(ToPoint(Unpack(key)));
        points.weight.push_back(static_cast<float>(histogram.counts[i]));
        points.rootAlpha.push_back(std::sqrt(points.at.back()[3]));
    }
    // The fixed entries serve the colours nearest them and never move; the others start from
    // cuts of the colours that are not entries already.
    std::vector<Vec4> held;
    for (const std::uint32_t key : fixed) {
        held.push_back(ToPoint(Unpack(key)));
    }
    const auto start = [&](bool leastError, float alphaWeight) {
        std::vector<Vec4> centres = held;
        const std::vector<Vec4> cuts = MedianCut(points, wanted, leastError, alphaWeight);
        centres.insert(centres.end(), cuts.begin(), cuts.end());
        return KMeans(points, std::move(centres), held.size(), alphaWeight);
    };

    // Two starts, kept apart only while the k-means moves them most; the one that got closer
    // goes on. The least-error cuts are the better start on most textures, the median cuts on
    // some with a few large flat areas; a full second run would cost far more for little more.
    KMeans run = start(true, kAlphaWeight);
    KMeans other = start(false, kAlphaWeight);
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
    for (int pass = kTrialPasses; moving && pass < kMaxPasses; ++pass) {
        moving = run.Step();
    }
    // Where the pixels show alpha error at all, the weight is balanced for this picture (or the
    // one given is taken) and the search goes on from where it got to. Going on from centres
    // placed for another weight can leave the search in a poorer fit than a start made for the
    // weight itself: a fresh start, where asked for, is kept when it costs less.
    float weight = kAlphaWeight;
    const auto [colourError, alphaError] = run.Errors();
    if (alphaError > 0.0 && colourError > 0.0) {
        weight = options.alphaWeight ? *options.alphaWeight
                                     : BalancedAlphaWeight(points, colourError, alphaError);
        run = KMeans(points, run.Centres(), held.size(), weight);
        for (int pass = 0; pass < kMaxPasses && run.Step(); ++pass) {
        }
        fit.balanced = true;
        if (options.freshStart) {
            KMeans fresh = start(true, weight);
            for (int pass = 0; pass < kMaxPasses && fresh.Step(); ++pass) {
            }
            if (fresh.Cost() < run.Cost()) {
                run = std::move(fresh);
            }
        }
    }
    fit.alphaWeight = weight;

    for (std::size_t c = held.size(); c < run.Centres().size(); ++c) {
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

std::vector<std::uint8_t> MapToPalette(const SrgbImage& level, std::span<const Rgba8> palette,
                                       bool dither, float alphaWeight) {
    const std::size_t count = PixelsOf(level);
    std::vector<std::uint8_t> indices(count, 0);
    if (palette.empty() || count == 0) {
        return indices;
    }
    const std::size_t entries = std::min(palette.size(), kMaxColours);
    std::vector<Vec4> points;
    std::vector<std::uint32_t> keys;
    for (std::size_t k = 0; k < entries; ++k) {
        points.push_back(ToPoint(palette[k]));
        keys.push_back(Pack(palette[k][0], palette[k][1], palette[k][2], palette[k][3]));
    }
    const Columns columns(points, alphaWeight);
    const auto choose = [&](float r, float g, float b, float a) {
        // A pixel that is an entry once rounded keeps it, so a level that fits its palette
        // comes back exactly.
        const std::uint32_t key = Pack(Round255(r), Round255(g), Round255(b), Round255(a));
        for (std::size_t k = 0; k < entries; ++k) {
            if (keys[k] == key) {
                return k;
            }
        }
        return columns.Nearest(ToPoint(r, g, b, a));
    };

    const float* px = level.pixels.data();
    if (!dither) {
        for (std::size_t i = 0; i < count; ++i, px += 4) {
            indices[i] = static_cast<std::uint8_t>(choose(px[0], px[1], px[2], px[3]));
        }
        return indices;
    }

    // The mean squared error of the level mapped without dithering; invisible pixels count
    // their alpha only, as their colour is never seen.
    double squares = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const float* source = px + i * 4;
        const Rgba8& entry = palette[choose(source[0], source[1], source[2], source[3])];
        for (std::size_t c = Round255(source[3]) == 0 ? 3 : 0; c < 4; ++c) {
            const double d = static_cast<double>(Clamp255(source[c])) - entry[c];
            squares += d * d;
        }
    }
    const auto carryLimit = static_cast<float>(kCarryLimit * squares / static_cast<double>(count));

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
    return indices;
}

}  // namespace korvale
