#include "MedianCut.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace korvale::quantise {

namespace {

// The cut is looked for among fine bins along the axis rather than by sorting the box: the same
// answer to well under a rounding step, in linear time.
constexpr std::size_t kBins = 1024;

// The colours themselves are moved about rather than indices to them, so that every pass over a
// box reads memory in order.
struct Weighted {
    Vec4 at;
    float weight;
};

struct Box {
    std::size_t begin = 0;
    std::size_t end = 0;
    Moments moments;
    bool splittable = true;
};

// Where a box's colours spread: the axis and its range.
struct Spread {
    std::size_t axis = 4;  // 4: the colours all lie on one point
    float low = 0.0f;
    float high = 0.0f;
};

// The box with the largest cost that can still be split, or boxes.size() when none can.
std::size_t WorstBox(const std::vector<Box>& boxes, float alphaWeight) {
    std::size_t worst = boxes.size();
    for (std::size_t b = 0; b < boxes.size(); ++b) {
        if (boxes[b].splittable && boxes[b].end - boxes[b].begin >= 2 &&
            (worst == boxes.size() ||
             boxes[b].moments.Error(alphaWeight) > boxes[worst].moments.Error(alphaWeight))) {
            worst = b;
        }
    }
    return worst;
}

// The axis of largest spread that has any: rounding can leave a trace of error on an axis where
// all the colours agree.
Spread WidestAxis(const Box& box, const std::vector<Weighted>& items, float alphaWeight) {
    std::array<std::size_t, 4> axes = {0, 1, 2, 3};
    std::stable_sort(axes.begin(), axes.end(), [&](std::size_t x, std::size_t y) {
        return box.moments.Error(x, alphaWeight) > box.moments.Error(y, alphaWeight);
    });
    for (const std::size_t candidate : axes) {
        Spread spread{candidate, std::numeric_limits<float>::infinity(),
                      -std::numeric_limits<float>::infinity()};
        for (std::size_t i = box.begin; i < box.end; ++i) {
            spread.low = std::min(spread.low, items[i].at[candidate]);
            spread.high = std::max(spread.high, items[i].at[candidate]);
        }
        if (spread.high > spread.low) {
            return spread;
        }
    }
    return {};
}

// Splits the box at the best cut along the spread's axis into itself (the lower half) and a new
// box at the end of boxes (the upper half).
void SplitBox(std::vector<Box>& boxes, std::size_t which, const Spread& spread,
              std::vector<Weighted>& items, std::vector<Moments>& bins, bool leastError,
              float alphaWeight) {
    const Box box = boxes[which];
    const std::size_t axis = spread.axis;
    const float scale = static_cast<float>(kBins) / (spread.high - spread.low);
    const auto binOf = [&](const Weighted& item) {
        const float position = (item.at[axis] - spread.low) * scale;
        return std::min(static_cast<std::size_t>(position), kBins - 1);
    };
    bins.assign(kBins, Moments{});
    for (std::size_t i = box.begin; i < box.end; ++i) {
        bins[binOf(items[i])].Add(items[i].at, items[i].weight);
    }
    // The lowest and highest colours land in the first and last bin, so some cut leaves colours
    // on both sides.
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
    boxes[which] = lower;
    boxes.push_back(upper);
}

}  // namespace

std::vector<Vec4> MedianCut(const Points& points, std::size_t wanted, bool leastError,
                            float alphaWeight) {
    std::vector<Weighted> items(points.at.size());
    std::vector<Box> boxes(1);
    for (std::size_t i = 0; i < items.size(); ++i) {
        items[i] = {points.at[i], points.weight[i]};
        boxes[0].moments.Add(points.at[i], points.weight[i]);
    }
    boxes[0].end = items.size();
    std::vector<Moments> bins(kBins);
    while (boxes.size() < wanted) {
        const std::size_t worst = WorstBox(boxes, alphaWeight);
        if (worst == boxes.size()) {
            break;  // every box holds a single colour
        }
        const Spread spread = WidestAxis(boxes[worst], items, alphaWeight);
        if (spread.axis == 4) {
            boxes[worst].splittable = false;  // all its colours lie on one point
            continue;
        }
        SplitBox(boxes, worst, spread, items, bins, leastError, alphaWeight);
    }
    std::vector<Vec4> centres;
    centres.reserve(boxes.size());
    for (const Box& box : boxes) {
        centres.push_back(box.moments.Mean(Vec4{}));
    }
    return centres;
}

}  // namespace korvale::quantise
