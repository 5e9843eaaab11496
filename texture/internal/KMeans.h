#pragma once
// Lloyd's k-means with Hamerly's bounds: the palette search proper.

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "PaletteSpace.h"

namespace korvale::quantise {

// Lloyd's k-means on the weighted distinct colours: every colour to its nearest centre, every
// centre to the mean of its colours, until nothing moves. Hamerly's bounds (how far a colour
// can be from its centre, how near it can be to any other) skip the search for most colours
// once the centres settle, without changing the result. A centre left with no colours moves to
// the colour worst served. The first `fixed` centres take part in the search but never move.
class KMeans {
  public:
    KMeans(const Points& points, std::vector<Vec4> centres, std::size_t fixed, float alphaWeight);

    // One pass; false when nothing moved, so the centres are final.
    bool Step();
    // Passes until nothing moves, at most `passes` of them.
    void Run(int passes);

    // This search with its centres moved to `centres` (as many, the fixed ones where they are),
    // going on from what it knows: the bounds allow for the moves as they do for a pass's, so a
    // colour whose bounds rule out every moved centre is passed over without a search.
    [[nodiscard]] KMeans MovedTo(std::vector<Vec4> centres) const;

    // The total weighted squared distance of every colour to the centre it was last given, the
    // centres being the means of their colours: free from the sums, and never less than the
    // distance to the nearest centre.
    [[nodiscard]] double Cost() const;

    [[nodiscard]] const std::vector<Vec4>& Centres() const { return centres_; }
    [[nodiscard]] float AlphaWeight() const { return alphaWeight_; }

    // The colour error and the alpha error (unweighted) of the last pass.
    [[nodiscard]] std::pair<double, double> Errors() const;

    // The centre each colour was given in the last pass.
    [[nodiscard]] const std::vector<std::uint8_t>& Nearest() const { return nearest_; }

  private:
    // Half the distance from each centre to the nearest other one: a colour nearer its own
    // centre than that cannot be nearer any other.
    [[nodiscard]] std::array<float, kMaxColours> HalfGaps() const;
    // Gives every colour whose bounds allow a nearer centre the nearest one; true when any moved.
    bool Assign(const Columns& columns, const std::array<float, kMaxColours>& half);
    // Allows each colour's bounds for the centres' moves and lists, in order, the colours whose
    // bounds no longer rule out a nearer centre; returns how many.
    std::size_t LoosenBounds(const std::array<float, kMaxColours>& drop,
                             const std::array<float, kMaxColours>& half);
    // Moves each free centre to the mean of its colours (one empty centre a pass to the colour
    // worst served) and notes how far each moved, for the bounds.
    void MoveCentres();
    // Notes which centre moved furthest and how far the next one did.
    void NoteFurthest();
    [[nodiscard]] std::size_t WorstServed() const;

    const Points* points_;
    std::size_t fixed_;
    float alphaWeight_;
    std::vector<Vec4> centres_;
    std::vector<std::uint8_t> nearest_;
    // Per colour: at least the distance to its own centre, at most the distance to any other.
    std::vector<float> upper_;
    std::vector<float> lower_;
    std::vector<Moments> groups_;
    // Scratch for Assign: the colours a pass looks at, and each colour's limit for the bounds.
    std::vector<std::uint32_t> look_;
    std::vector<float> limits_;
    std::vector<std::uint8_t> best_;  // the nearest centre of each colour searched
    std::array<float, kMaxColours> moved_{};
    std::size_t most_ = 0;     // the centre that moved furthest in the last pass
    float secondMost_ = 0.0f;  // how far the next furthest moved
    int passes_ = 0;
    bool movesPending_ = false;  // the centres moved after the last pass set the bounds
};

}  // namespace korvale::quantise
