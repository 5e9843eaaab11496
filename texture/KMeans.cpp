#include "KMeans.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "NearestCentres.h"

#if defined(KORVALE_NEAREST_AVX2)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale::quantise {

KMeans::KMeans(const Points& points, std::vector<Vec4> centres, std::size_t fixed,
               float alphaWeight)
    : points_(&points),
      fixed_(fixed),
      alphaWeight_(alphaWeight),
      centres_(std::move(centres)),
      nearest_(points.at.size(), 0),
      upper_(points.at.size()),
      lower_(points.at.size()),
      groups_(centres_.size()) {}

bool KMeans::Step() {
    const Columns columns(centres_, alphaWeight_);
    const bool changed = Assign(columns, HalfGaps());
    ++passes_;
    if (!changed) {
        movesPending_ = false;
        return false;
    }
    MoveCentres();
    movesPending_ = true;
    return true;
}

void KMeans::Run(int passes) {
    for (int pass = 0; pass < passes && Step(); ++pass) {
    }
}

KMeans KMeans::MovedTo(std::vector<Vec4> centres) const {
    KMeans moved = *this;
    for (std::size_t c = 0; c < centres_.size(); ++c) {
        // A pass that ended the search early moved the centres after the bounds were last set.
        const float pending = movesPending_ ? moved_[c] : 0.0f;
        moved.moved_[c] = pending + Separation(centres_[c], centres[c], alphaWeight_);
    }
    moved.centres_ = std::move(centres);
    moved.NoteFurthest();
    return moved;
}

std::array<float, kMaxColours> KMeans::HalfGaps() const {
    const std::size_t k = centres_.size();
    std::array<float, kMaxColours> half{};
    for (std::size_t c = 0; c < k; ++c) {
        float closest = std::numeric_limits<float>::infinity();
        for (std::size_t other = 0; other < k; ++other) {
            if (other != c) {
                closest = std::min(closest, Separation(centres_[c], centres_[other], alphaWeight_));
            }
        }
        half[c] = closest / 2.0f;
    }
    return half;
}

namespace {

#if defined(KORVALE_NEAREST_AVX2)
// Eight colours at a time of KMeans::LoosenBounds, each with the same arithmetic: the tables
// of the 16 centres looked up by each colour's own centre, max as std::max takes it (the
// second only when the first is less). Returns where the scalar loop goes on.
__attribute__((target("avx2"))) std::size_t LoosenEights(
    std::size_t count, const std::uint8_t* nearest, const float* rootAlpha,
    const std::array<float, kMaxColours>& moved, const std::array<float, kMaxColours>& drop,
    const std::array<float, kMaxColours>& half, float* upper, float* lower, float* limits,
    std::uint32_t* look, std::size_t& looks) {
    const __m256 movedLow = _mm256_loadu_ps(moved.data());
    const __m256 movedHigh = _mm256_loadu_ps(moved.data() + 8);
    const __m256 dropLow = _mm256_loadu_ps(drop.data());
    const __m256 dropHigh = _mm256_loadu_ps(drop.data() + 8);
    const __m256 halfLow = _mm256_loadu_ps(half.data());
    const __m256 halfHigh = _mm256_loadu_ps(half.data() + 8);
    const __m256i seven = _mm256_set1_epi32(7);
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i own =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(nearest + i)));
        const __m256 high = _mm256_castsi256_ps(_mm256_cmpgt_epi32(own, seven));
        const __m256 movedOwn = _mm256_blendv_ps(_mm256_permutevar8x32_ps(movedLow, own),
                                                 _mm256_permutevar8x32_ps(movedHigh, own), high);
        const __m256 dropOwn = _mm256_blendv_ps(_mm256_permutevar8x32_ps(dropLow, own),
                                                _mm256_permutevar8x32_ps(dropHigh, own), high);
        const __m256 halfOwn = _mm256_blendv_ps(_mm256_permutevar8x32_ps(halfLow, own),
                                                _mm256_permutevar8x32_ps(halfHigh, own), high);
        const __m256 up = _mm256_add_ps(_mm256_loadu_ps(upper + i), movedOwn);
        const __m256 low = _mm256_sub_ps(_mm256_loadu_ps(lower + i), dropOwn);
        _mm256_storeu_ps(upper + i, up);
        _mm256_storeu_ps(lower + i, low);
        const __m256 gap = _mm256_mul_ps(_mm256_loadu_ps(rootAlpha + i), halfOwn);
        const __m256 limit = _mm256_blendv_ps(gap, low, _mm256_cmp_ps(gap, low, _CMP_LT_OQ));
        _mm256_storeu_ps(limits + i, limit);
        const auto doubt =
            static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(up, limit, _CMP_GT_OQ)));
        for (unsigned j = 0; j < 8; ++j) {
            look[looks] = static_cast<std::uint32_t>(i + j);
            looks += (doubt >> j) & 1U;
        }
    }
    return i;
}
#endif

#if defined(__SSE2__)
// LoosenEights four colours at a time for SSE2 and WebAssembly's SIMD, which have no lookup by
// lane: each colour's own centre's entries are loaded one by one, the arithmetic and the
// comparisons are the same.
std::size_t LoosenFours(std::size_t count, const std::uint8_t* nearest, const float* rootAlpha,
                        const std::array<float, kMaxColours>& moved,
                        const std::array<float, kMaxColours>& drop,
                        const std::array<float, kMaxColours>& half, float* upper, float* lower,
                        float* limits, std::uint32_t* look, std::size_t& looks) {
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const std::size_t o0 = nearest[i];
        const std::size_t o1 = nearest[i + 1];
        const std::size_t o2 = nearest[i + 2];
        const std::size_t o3 = nearest[i + 3];
        const __m128 up = _mm_add_ps(_mm_loadu_ps(upper + i),
                                     _mm_setr_ps(moved[o0], moved[o1], moved[o2], moved[o3]));
        const __m128 low = _mm_sub_ps(_mm_loadu_ps(lower + i),
                                      _mm_setr_ps(drop[o0], drop[o1], drop[o2], drop[o3]));
        _mm_storeu_ps(upper + i, up);
        _mm_storeu_ps(lower + i, low);
        const __m128 gap = _mm_mul_ps(_mm_loadu_ps(rootAlpha + i),
                                      _mm_setr_ps(half[o0], half[o1], half[o2], half[o3]));
        const __m128 less = _mm_cmplt_ps(gap, low);
        const __m128 limit = _mm_or_ps(_mm_and_ps(less, low), _mm_andnot_ps(less, gap));
        _mm_storeu_ps(limits + i, limit);
        const auto doubt = static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(up, limit)));
        for (unsigned j = 0; j < 4; ++j) {
            look[looks] = static_cast<std::uint32_t>(i + j);
            looks += (doubt >> j) & 1U;
        }
    }
    return i;
}
#endif

}  // namespace

std::size_t KMeans::LoosenBounds(const std::array<float, kMaxColours>& drop,
                                 const std::array<float, kMaxColours>& half) {
    const std::size_t count = points_->at.size();
    std::size_t looks = 0;
    std::size_t i = 0;
    bool wide = false;
#if defined(KORVALE_NEAREST_AVX2)
    if (HasAvx2Lanes()) {
        i = LoosenEights(count, nearest_.data(), points_->rootAlpha.data(), moved_, drop, half,
                         upper_.data(), lower_.data(), limits_.data(), look_.data(), looks);
        wide = true;
    }
#endif
#if defined(__SSE2__)
    if (!wide) {
        i = LoosenFours(count, nearest_.data(), points_->rootAlpha.data(), moved_, drop, half,
                        upper_.data(), lower_.data(), limits_.data(), look_.data(), looks);
    }
#endif
    (void)wide;
    for (; i < count; ++i) {
        const std::size_t own = nearest_[i];
        // The centres moved since the bounds were set.
        upper_[i] += moved_[own];
        lower_[i] -= drop[own];
        const float limit = std::max(points_->rootAlpha[i] * half[own], lower_[i]);
        limits_[i] = limit;
        look_[looks] = static_cast<std::uint32_t>(i);
        looks += upper_[i] > limit ? 1 : 0;
    }
    return looks;
}

bool KMeans::Assign(const Columns& columns, const std::array<float, kMaxColours>& half) {
    const std::size_t k = centres_.size();
    const std::size_t count = points_->at.size();
    const bool first = passes_ == 0;
    bool changed = false;
    // Which colours need a look. After the first pass, the bounds first allow for the centres'
    // moves, for every colour in one loop without a branch (a branch per colour on whether its
    // bounds hold is mispredicted often enough to cost more than the tests themselves); the
    // colours whose bounds no longer rule out a nearer centre are listed, in order, for the
    // loop below. The arithmetic is the same as testing each colour in turn.
    look_.resize(count);
    limits_.resize(count);
    std::size_t looks = 0;
    if (first) {
        for (std::size_t i = 0; i < count; ++i) {
            look_[i] = static_cast<std::uint32_t>(i);
        }
        looks = count;
    } else {
        std::array<float, kMaxColours> drop{};
        for (std::size_t c = 0; c < k; ++c) {
            drop[c] = c == most_ ? secondMost_ : moved_[most_];
        }
        looks = LoosenBounds(drop, half);
    }
    // Each listed colour's bound on its own centre is made exact; those it still leaves in
    // doubt are listed again, in order (the list only shrinks, so it is rewritten in place).
    std::size_t searches = looks;
    if (!first) {
        searches = 0;
        for (std::size_t n = 0; n < looks; ++n) {
            const std::size_t i = look_[n];
            const float upper =
                std::sqrt(EntryCost(points_->at[i], centres_[nearest_[i]], alphaWeight_));
            upper_[i] = upper;
            look_[searches] = static_cast<std::uint32_t>(i);
            searches += upper > limits_[i] ? 1 : 0;
        }
    }
    // The nearest centre of each colour still in doubt, a group of colours at a time (the last
    // group filled up with its last colour again), then the moves in the colours' order, so the
    // sums add up in the order they always have.
    best_.resize(searches);
    std::array<const Vec4*, kNearestGroup> group{};
    NearestRoots found;
    for (std::size_t n = 0; n < searches; n += kNearestGroup) {
        const std::size_t filled = std::min(kNearestGroup, searches - n);
        for (std::size_t j = 0; j < kNearestGroup; ++j) {
            group[j] = &points_->at[look_[n + std::min(j, filled - 1)]];
        }
        NearestOfGroup(columns, k, group, found);
        for (std::size_t j = 0; j < filled; ++j) {
            upper_[look_[n + j]] = found.closest[j];
            lower_[look_[n + j]] = found.next[j];
            best_[n + j] = found.best[j];
        }
    }
    for (std::size_t n = 0; n < searches; ++n) {
        const std::size_t i = look_[n];
        const std::size_t own = nearest_[i];
        const std::size_t best = best_[n];
        if (first || best != own) {
            // The sums follow each move rather than being taken again every pass: once the
            // centres settle, few colours move and most are never looked at.
            if (!first) {
                groups_[own].Add(points_->at[i], -points_->weight[i]);
            }
            groups_[best].Add(points_->at[i], points_->weight[i]);
            nearest_[i] = static_cast<std::uint8_t>(best);
            changed = true;
        }
    }
    return changed;
}

void KMeans::MoveCentres() {
    const std::size_t k = centres_.size();
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
    NoteFurthest();
}

void KMeans::NoteFurthest() {
    const std::size_t k = centres_.size();
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
}

double KMeans::Cost() const {
    double cost = 0.0;
    for (const Moments& group : groups_) {
        cost += group.Error(alphaWeight_);
    }
    return cost;
}

std::pair<double, double> KMeans::Errors() const {
    double colour = 0.0;
    double alpha = 0.0;
    for (const Moments& group : groups_) {
        colour += group.Error(0, 1.0f) + group.Error(1, 1.0f) + group.Error(2, 1.0f);
        alpha += group.Error(3, 1.0f);
    }
    return {colour, alpha};
}

std::size_t KMeans::WorstServed() const {
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

}  // namespace korvale::quantise
