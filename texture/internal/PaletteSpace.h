#pragma once
// The space the palette search and the mapping to a palette judge colours in, and the sums and
// the nearest-entry search they share.

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "Image.h"
#include "Samples.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale::quantise {

// How colours are compared: the straight sRGB-encoded channels and alpha, each scaled to 0..1.
// The cost of showing entry e for a pixel p is
//     p.a * |p.rgb - e.rgb|^2 + w * (p.a - e.a)^2,
// the way a level is judged afterwards: colour error counts in proportion to how much of the
// pixel shows, alpha error counts alike everywhere; the alpha weight w sets the trade.
// - The sRGB curve already spaces lightness about evenly for the eye (that is what it is for),
//   and levels are judged on that scale afterwards.
// - Colour is weighed by alpha, not alpha squared (premultiplied colour, the error after
//   compositing over black), which would give the colour of a half-transparent pixel half the
//   weight it has when the level is drawn over anything but black.
// - The group of colours nearest one entry costs least when the entry's colour is the mean of
//   their colours weighted by count times alpha, and its alpha the mean of their alphas
//   weighted by count: median cut and k-means keep both sums (Moments).
// The cost is not a distance between two colours (it depends on the pixel's own alpha), but for
// one pixel it is a squared Euclidean distance with the axes scaled by sqrt(p.a) and sqrt(w),
// which is all the k-means bounds need.
using Vec4 = std::array<float, 4>;

inline constexpr std::size_t kMaxColours = 16;

inline std::uint32_t Pack(int r, int g, int b, int a) {
    // Every fully transparent colour is the same colour: nobody can tell them apart.
    if (a == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(r) | (static_cast<std::uint32_t>(g) << 8) |
           (static_cast<std::uint32_t>(b) << 16) | (static_cast<std::uint32_t>(a) << 24);
}

inline Rgba8 Unpack(std::uint32_t key) {
    return {static_cast<std::uint8_t>(key & 0xFFu), static_cast<std::uint8_t>((key >> 8) & 0xFFu),
            static_cast<std::uint8_t>((key >> 16) & 0xFFu),
            static_cast<std::uint8_t>((key >> 24) & 0xFFu)};
}

inline Vec4 ToPoint(float r, float g, float b, float a) {
    constexpr float kScale = 1.0f / 255.0f;
    return {Clamp255(r) * kScale, Clamp255(g) * kScale, Clamp255(b) * kScale, Clamp255(a) * kScale};
}

inline Vec4 ToPoint(const Rgba8& c) {
    return ToPoint(static_cast<float>(c[0]), static_cast<float>(c[1]), static_cast<float>(c[2]),
                   static_cast<float>(c[3]));
}

inline Rgba8 ToColour(const Vec4& p) {
    const int a8 = Round255(p[3] * 255.0f);
    if (a8 == 0) {
        return {0, 0, 0, 0};
    }
    return {static_cast<std::uint8_t>(Round255(p[0] * 255.0f)),
            static_cast<std::uint8_t>(Round255(p[1] * 255.0f)),
            static_cast<std::uint8_t>(Round255(p[2] * 255.0f)), static_cast<std::uint8_t>(a8)};
}

// The cost of entry e for pixel p (see above).
inline float EntryCost(const Vec4& p, const Vec4& e, float alphaWeight) {
    const float d0 = p[0] - e[0];
    const float d1 = p[1] - e[1];
    const float d2 = p[2] - e[2];
    const float d3 = p[3] - e[3];
    return p[3] * (d0 * d0 + d1 * d1 + d2 * d2) + alphaWeight * d3 * d3;
}

// The square root of the cost for a fully opaque pixel: for any pixel p, sqrt(EntryCost(p, x))
// moves by at most Separation(x, y) when x moves to y, and sqrt(p.a) * Separation(x, y) is at most
// the distance between x and y in p's scaled space.
inline float Separation(const Vec4& x, const Vec4& y, float alphaWeight) {
    const float d0 = x[0] - y[0];
    const float d1 = x[1] - y[1];
    const float d2 = x[2] - y[2];
    const float d3 = x[3] - y[3];
    return std::sqrt(d0 * d0 + d1 * d1 + d2 * d2 + alphaWeight * d3 * d3);
}

// The distinct colours a search works on, with how many pixels have each.
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
        return FirstLeast(distances, Least(distances));
    }

    // The nearest of the first k columns to p (the first of equal ones), its cost and the
    // least cost of the others (infinite when there are none): what a look at each column in
    // turn finds. `pad` holds 0 for the first k columns and infinity for the rest. The vector
    // path works out each cost with the same operations in the same order as Distances.
    struct NearestTwo {
        std::size_t best = 0;
        float closest = 0.0f;
        float next = 0.0f;
    };
    // The `pad` that lets only the first k columns take part.
    [[nodiscard]] static std::array<float, kMaxColours> PadPast(std::size_t k) {
        std::array<float, kMaxColours> pad{};
        for (std::size_t c = k; c < kMaxColours; ++c) {
            pad[c] = std::numeric_limits<float>::infinity();
        }
        return pad;
    }
    [[nodiscard]] NearestTwo Nearest(const Vec4& p,
                                     const std::array<float, kMaxColours>& pad) const {
#if defined(__SSE2__)
        const __m128 p0 = _mm_set1_ps(p[0]);
        const __m128 p1 = _mm_set1_ps(p[1]);
        const __m128 p2 = _mm_set1_ps(p[2]);
        const __m128 p3 = _mm_set1_ps(p[3]);
        const __m128 w = _mm_set1_ps(alphaWeight_);
        __m128 d[4];
        for (std::size_t j = 0; j < 4; ++j) {
            const __m128 d0 = _mm_sub_ps(p0, _mm_loadu_ps(&axis[0][4 * j]));
            const __m128 d1 = _mm_sub_ps(p1, _mm_loadu_ps(&axis[1][4 * j]));
            const __m128 d2 = _mm_sub_ps(p2, _mm_loadu_ps(&axis[2][4 * j]));
            const __m128 d3 = _mm_sub_ps(p3, _mm_loadu_ps(&axis[3][4 * j]));
            const __m128 colour =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(d0, d0), _mm_mul_ps(d1, d1)), _mm_mul_ps(d2, d2));
            const __m128 cost =
                _mm_add_ps(_mm_mul_ps(p3, colour), _mm_mul_ps(_mm_mul_ps(w, d3), d3));
            d[j] = _mm_max_ps(cost, _mm_loadu_ps(&pad[4 * j]));
        }
        const auto least = [](const __m128* v) {
            const __m128 m = _mm_min_ps(_mm_min_ps(v[0], v[1]), _mm_min_ps(v[2], v[3]));
            const __m128 h = _mm_min_ps(m, _mm_movehl_ps(m, m));
            return _mm_shuffle_ps(_mm_min_ss(h, _mm_shuffle_ps(h, h, 1)),
                                  _mm_min_ss(h, _mm_shuffle_ps(h, h, 1)), 0);
        };
        const __m128 closest = least(d);
        unsigned equal = 0;
        __m128 others[4];
        const __m128 infinite = _mm_set1_ps(std::numeric_limits<float>::infinity());
        for (std::size_t j = 0; j < 4; ++j) {
            const __m128 same = _mm_cmpeq_ps(d[j], closest);
            equal |= static_cast<unsigned>(_mm_movemask_ps(same)) << (4 * j);
            others[j] = _mm_or_ps(_mm_and_ps(same, infinite), _mm_andnot_ps(same, d[j]));
        }
        NearestTwo found;
        found.best = static_cast<std::size_t>(std::countr_zero(equal));
        found.closest = _mm_cvtss_f32(closest);
        // With two columns at the least cost, the other one is the next nearest.
        found.next = (equal & (equal - 1)) != 0 ? found.closest : _mm_cvtss_f32(least(others));
        return found;
#else
        std::array<float, kMaxColours> distances{};
        Distances(p, distances);
        NearestTwo found;
        found.closest = std::numeric_limits<float>::infinity();
        found.next = std::numeric_limits<float>::infinity();
        for (std::size_t c = 0; c < kMaxColours && pad[c] == 0.0f; ++c) {
            const float d = distances[c];
            const bool better = d < found.closest;
            found.next = better ? found.closest : std::min(found.next, d);
            found.closest = better ? d : found.closest;
            found.best = better ? c : found.best;
        }
        return found;
#endif
    }

    // The least of 16 costs. A minimum is exact whatever the order it is taken in (the costs
    // are never NaN), so the vector path gives the scalar one's value.
    [[nodiscard]] static float Least(const std::array<float, kMaxColours>& d) {
#if defined(__SSE2__)
        const __m128 m = _mm_min_ps(_mm_min_ps(_mm_loadu_ps(&d[0]), _mm_loadu_ps(&d[4])),
                                    _mm_min_ps(_mm_loadu_ps(&d[8]), _mm_loadu_ps(&d[12])));
        const __m128 half = _mm_min_ps(m, _mm_movehl_ps(m, m));
        return _mm_cvtss_f32(_mm_min_ss(half, _mm_shuffle_ps(half, half, 1)));
#else
        float least = d[0];
        for (std::size_t k = 1; k < kMaxColours; ++k) {
            least = d[k] < least ? d[k] : least;
        }
        return least;
#endif
    }

    // The first of 16 costs equal to their least: the centre a search that keeps the earlier of
    // two equal costs would choose.
    [[nodiscard]] static std::size_t FirstLeast(const std::array<float, kMaxColours>& d,
                                                float least) {
        unsigned at = 0;
#if defined(__SSE2__)
        const __m128 l = _mm_set1_ps(least);
        at = static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(&d[0]), l))) |
             static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(&d[4]), l))) << 4 |
             static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(&d[8]), l))) << 8 |
             static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(_mm_loadu_ps(&d[12]), l))) << 12;
#else
        for (std::size_t k = 0; k < kMaxColours; ++k) {
            at |= static_cast<unsigned>(d[k] == least) << k;
        }
#endif
        return static_cast<std::size_t>(std::countr_zero(at));
    }
};

}  // namespace korvale::quantise
