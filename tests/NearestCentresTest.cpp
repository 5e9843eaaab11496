#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "NearestCentres.h"

namespace {

using korvale::quantise::Columns;
using korvale::quantise::kNearestGroup;
using korvale::quantise::NearestOfGroup;
using korvale::quantise::NearestPath;
using korvale::quantise::NearestRoots;
using korvale::quantise::Vec4;

struct Case {
    Vec4 colour;
    std::size_t best;
    float closest;  // the root of the nearest's cost
    float next;     // the root of the least cost of the others
};

// Centres black, red and green, opaque, alpha weight 1: the cost of an opaque colour is its
// squared distance, that of a clear one its alpha error alone, the same for every centre.
void ExpectGroup(std::size_t k, const std::vector<Case>& cases) {
    const std::vector<Vec4> centres{{0, 0, 0, 1}, {1, 0, 0, 1}, {0, 1, 0, 1}};
    const Columns columns(std::vector<Vec4>(centres.begin(), centres.begin() + k), 1.0f);
    std::array<const Vec4*, kNearestGroup> group{};
    for (std::size_t j = 0; j < kNearestGroup; ++j) {
        group[j] = &cases[std::min(j, cases.size() - 1)].colour;
    }
    for (const NearestPath path : {NearestPath::kAny, NearestPath::kQuads, NearestPath::kColumns}) {
        NearestRoots found;
        NearestOfGroup(columns, k, group, found, path);
        for (std::size_t j = 0; j < kNearestGroup; ++j) {
            const Case& c = cases[std::min(j, cases.size() - 1)];
            const auto way = path == NearestPath::kAny     ? "widest"
                             : path == NearestPath::kQuads ? "by quads"
                                                           : "by columns";
            EXPECT_EQ(found.best[j], c.best) << "colour " << j << ", " << way;
            EXPECT_EQ(found.closest[j], c.closest) << "colour " << j << ", " << way;
            EXPECT_EQ(found.next[j], c.next) << "colour " << j << ", " << way;
        }
    }
}

TEST(NearestCentres, EachColourGetsItsNearestAndTheNextNearestCost) {
    const float root58 = std::sqrt(0.625f);  // 0.75^2 + 0.25^2 and 0.25^2 + 0.75^2
    ExpectGroup(
        3,
        {
            {{0.25f, 0, 0, 1}, 0, 0.25f, 0.75f},                        // black, then red
            {{0, 0.75f, 0, 1}, 2, 0.25f, 0.75f},                        // green, then black
            {{1, 0, 0, 1}, 1, 0.0f, 1.0f},                              // red itself, black 1 away
            {{0.5f, 0, 0, 1}, 0, 0.5f, 0.5f},                           // black and red tie: black
            {{0.75f, 0.75f, 0, 1}, 1, root58, root58},                  // red and green tie: red
            {{0.5f, 0.5f, 0, 1}, 0, std::sqrt(0.5f), std::sqrt(0.5f)},  // all tie
            {{0.3f, 0.2f, 0.1f, 0}, 0, 1.0f, 1.0f},                     // clear: alpha error only
            {{0.25f, 0.875f, 0, 1}, 2, std::sqrt(0.078125f), std::sqrt(0.828125f)},  // then black
        });
}

TEST(NearestCentres, OnlyTheFirstKCentresTakePartAndOneAloneHasNoNext) {
    const float inf = std::numeric_limits<float>::infinity();
    // Green is past k = 2: a green colour is nearest black (1 away), then red (root 2).
    ExpectGroup(2, {{{0, 1, 0, 1}, 0, 1.0f, std::sqrt(2.0f)}, {{1, 0, 0, 1}, 1, 0.0f, 1.0f}});
    ExpectGroup(1, {{{1, 0, 0, 1}, 0, 1.0f, inf}, {{0, 0, 0, 1}, 0, 0.0f, inf}});
}

}  // namespace
