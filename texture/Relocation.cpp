#include "Relocation.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>
#include <vector>

namespace korvale::quantise {

namespace {

// Moves tried in one round before it counts as keeping none: the least useful entries paired
// with the costliest groups, closest to the head of both lists first. Trying more found no
// further move on any picture of the quality report.
constexpr std::size_t kMovesPerRound = 4;

// For each centre, what its colours cost now and what handing them to their next nearest centre
// would add.
struct Usefulness {
    std::array<double, kMaxColours> error{};
    std::array<double, kMaxColours> removal{};
};

Usefulness MeasureCentres(const Points& points, const std::vector<Vec4>& centres, float weight) {
    const Columns columns(centres, weight);
    const std::array<float, kMaxColours> pad = Columns::PadPast(centres.size());
    Usefulness use;
    for (std::size_t i = 0; i < points.at.size(); ++i) {
        const Columns::NearestTwo found = columns.Nearest(points.at[i], pad);
        use.error[found.best] += points.weight[i] * found.closest;
        use.removal[found.best] += points.weight[i] * (found.next - found.closest);
    }
    return use;
}

// The best entries for the two halves of centre g's group, cut at the centre along the axis the
// group spreads most.
std::pair<Vec4, Vec4> SplitGroup(const Points& points, const KMeans& run, std::size_t g) {
    const std::vector<Vec4>& centres = run.Centres();
    const float weight = run.AlphaWeight();
    std::vector<std::size_t> members;
    Moments all;
    for (std::size_t i = 0; i < points.at.size(); ++i) {
        if (run.Nearest()[i] == g) {
            members.push_back(i);
            all.Add(points.at[i], points.weight[i]);
        }
    }
    std::size_t axis = 0;
    for (std::size_t d = 1; d < 4; ++d) {
        axis = all.Error(d, weight) > all.Error(axis, weight) ? d : axis;
    }
    Moments low;
    Moments high;
    for (const std::size_t i : members) {
        (points.at[i][axis] < centres[g][axis] ? low : high).Add(points.at[i], points.weight[i]);
    }
    return {low.Mean(centres[g]), high.Mean(centres[g])};
}

bool Improves(const KMeans& trial, const KMeans& run) {
    const auto [trialColour, trialAlpha] = trial.Errors();
    const auto [colour, alpha] = run.Errors();
    return trial.Cost() < run.Cost() && trialColour <= colour && trialAlpha <= alpha;
}

std::vector<std::size_t> Ordered(std::size_t from, std::size_t to,
                                 const std::array<double, kMaxColours>& key, bool ascending) {
    std::vector<std::size_t> order(to - from);
    std::iota(order.begin(), order.end(), from);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return ascending ? key[x] < key[y] : key[x] > key[y];
    });
    return order;
}

// One round: true when a move was kept (and `run` is the search after it).
bool MoveOne(const Points& points, std::size_t held, int passes, KMeans& run) {
    const std::vector<Vec4>& centres = run.Centres();
    const float weight = run.AlphaWeight();
    const Usefulness use = MeasureCentres(points, centres, weight);
    const std::vector<std::size_t> spares = Ordered(held, centres.size(), use.removal, true);
    const std::vector<std::size_t> groups = Ordered(0, centres.size(), use.error, false);
    std::size_t tried = 0;
    for (std::size_t rank = 0; rank < spares.size() + groups.size(); ++rank) {
        for (std::size_t s = 0; s <= rank && s < spares.size(); ++s) {
            if (rank - s >= groups.size()) {
                continue;
            }
            const std::size_t spare = spares[s];
            const std::size_t group = groups[rank - s];
            // Splitting a group cannot gain more than it costs now.
            if (spare == group || !(use.error[group] > use.removal[spare])) {
                continue;
            }
            std::vector<Vec4> moved = centres;
            const auto [low, high] = SplitGroup(points, run, group);
            moved[spare] = high;
            if (group >= held) {
                moved[group] = low;
            }
            KMeans trial = run.MovedTo(std::move(moved));
            // Judged halfway: a move that has not paid by then seldom does, and most moves tried
            // are not kept. The passes after that lower the whole further but may shift the
            // balance between colour and alpha; where they do, the search stays where it was
            // halfway.
            trial.Run(passes / 2);
            if (Improves(trial, run)) {
                KMeans halfway = trial;
                trial.Run(passes - passes / 2);
                run = Improves(trial, run) ? std::move(trial) : std::move(halfway);
                return true;
            }
            if (++tried == kMovesPerRound) {
                return false;
            }
        }
    }
    return false;
}

}  // namespace

void Relocate(const Points& points, std::size_t held, int passes, KMeans& run) {
    if (run.Centres().size() < held + 2) {
        return;
    }
    for (std::size_t round = 0; round < kMaxColours && MoveOne(points, held, passes, run);
         ++round) {
    }
}

}  // namespace korvale::quantise
