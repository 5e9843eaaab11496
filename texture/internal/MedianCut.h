#pragma once
// Median cut: the starting centres of a palette search.

#include <cstddef>
#include <vector>

#include "PaletteSpace.h"

namespace korvale::quantise {

// Again and again splits the box of colours with the largest cost, along its axis of largest
// spread, until there are `wanted` boxes (or every box holds one colour); returns the best entry
// of each box. With leastError the cut is the one that leaves the two halves the least cost
// between them (on lumpy texture histograms a better start for k-means than the weighted
// median), else the weighted median.
[[nodiscard]] std::vector<Vec4> MedianCut(const Points& points, std::size_t wanted, bool leastError,
                                          float alphaWeight);

}  // namespace korvale::quantise
