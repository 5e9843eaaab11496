#include "NearestCentres.h"

#include <cmath>
#include <limits>

#if defined(KORVALE_NEAREST_AVX2)
#include <immintrin.h>
#endif

namespace korvale::quantise {

namespace {

void ByColumns(const Columns& columns, std::size_t k,
               const std::array<const Vec4*, kNearestGroup>& group, NearestRoots& out) {
    std::array<float, kMaxColours> pad{};
    for (std::size_t c = k; c < kMaxColours; ++c) {
        pad[c] = std::numeric_limits<float>::infinity();
    }
    for (std::size_t j = 0; j < kNearestGroup; ++j) {
        const Columns::NearestTwo found = columns.Nearest(*group[j], pad);
        out.best[j] = static_cast<std::uint8_t>(found.best);
        out.closest[j] = std::sqrt(found.closest);
        out.next[j] = std::sqrt(found.next);
    }
}

#if defined(KORVALE_NEAREST_AVX2)
// Eight colours, one in each lane, the centres taken in turn. Each cost comes from the same
// operations in the same order as Columns::Distances (no fused multiply-add: the file is built
// without contraction and the target does not include FMA). A centre takes over only when
// strictly nearer, so the first of equal costs wins, and the old nearest becomes the next;
// otherwise the next is the lesser of the two. That is the least cost of the others, and the
// nearest's own cost when two tie, as Columns::Nearest gives.
__attribute__((target("avx2"))) void ByLanes(const Columns& columns, std::size_t k,
                                             const std::array<const Vec4*, kNearestGroup>& group,
                                             NearestRoots& out) {
    // Lane j of each half holds colour j (low half) or j + 4 (high half).
    const __m256 a = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(group[0]->data())),
                                          _mm_loadu_ps(group[4]->data()), 1);
    const __m256 b = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(group[1]->data())),
                                          _mm_loadu_ps(group[5]->data()), 1);
    const __m256 c = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(group[2]->data())),
                                          _mm_loadu_ps(group[6]->data()), 1);
    const __m256 d = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(group[3]->data())),
                                          _mm_loadu_ps(group[7]->data()), 1);
    const __m256 ab0 = _mm256_unpacklo_ps(a, b);
    const __m256 ab1 = _mm256_unpackhi_ps(a, b);
    const __m256 cd0 = _mm256_unpacklo_ps(c, d);
    const __m256 cd1 = _mm256_unpackhi_ps(c, d);
    const __m256 p0 = _mm256_shuffle_ps(ab0, cd0, 0x44);
    const __m256 p1 = _mm256_shuffle_ps(ab0, cd0, 0xEE);
    const __m256 p2 = _mm256_shuffle_ps(ab1, cd1, 0x44);
    const __m256 p3 = _mm256_shuffle_ps(ab1, cd1, 0xEE);

    const __m256 w = _mm256_set1_ps(columns.alphaWeight_);
    __m256 closest = _mm256_set1_ps(std::numeric_limits<float>::infinity());
    __m256 next = closest;
    __m256 best = _mm256_castsi256_ps(_mm256_setzero_si256());
    for (std::size_t centre = 0; centre < k && centre < kMaxColours; ++centre) {
        const __m256 d0 = _mm256_sub_ps(p0, _mm256_broadcast_ss(&columns.axis[0][centre]));
        const __m256 d1 = _mm256_sub_ps(p1, _mm256_broadcast_ss(&columns.axis[1][centre]));
        const __m256 d2 = _mm256_sub_ps(p2, _mm256_broadcast_ss(&columns.axis[2][centre]));
        const __m256 d3 = _mm256_sub_ps(p3, _mm256_broadcast_ss(&columns.axis[3][centre]));
        const __m256 colour = _mm256_add_ps(
            _mm256_add_ps(_mm256_mul_ps(d0, d0), _mm256_mul_ps(d1, d1)), _mm256_mul_ps(d2, d2));
        const __m256 cost =
            _mm256_add_ps(_mm256_mul_ps(p3, colour), _mm256_mul_ps(_mm256_mul_ps(w, d3), d3));
        const __m256 nearer = _mm256_cmp_ps(cost, closest, _CMP_LT_OQ);
        next = _mm256_blendv_ps(_mm256_min_ps(next, cost), closest, nearer);
        closest = _mm256_blendv_ps(closest, cost, nearer);
        best = _mm256_blendv_ps(
            best, _mm256_castsi256_ps(_mm256_set1_epi32(static_cast<int>(centre))), nearer);
    }
    // Lane order back to colour order: lanes 0-3 are colours 0-3, lanes 4-7 colours 4-7.
    alignas(32) std::array<std::int32_t, kNearestGroup> bestOf{};
    _mm256_storeu_ps(out.closest.data(), _mm256_sqrt_ps(closest));
    _mm256_storeu_ps(out.next.data(), _mm256_sqrt_ps(next));
    _mm256_store_si256(reinterpret_cast<__m256i*>(bestOf.data()), _mm256_castps_si256(best));
    for (std::size_t j = 0; j < kNearestGroup; ++j) {
        out.best[j] = static_cast<std::uint8_t>(bestOf[j]);
    }
}

#endif

}  // namespace

bool HasAvx2Lanes() {
#if defined(KORVALE_NEAREST_AVX2)
    static const bool has = __builtin_cpu_supports("avx2") != 0;
    return has;
#else
    return false;
#endif
}

void NearestOfGroup(const Columns& columns, std::size_t k,
                    const std::array<const Vec4*, kNearestGroup>& group, NearestRoots& out,
                    NearestPath path) {
#if defined(KORVALE_NEAREST_AVX2)
    if (path == NearestPath::kAny && HasAvx2Lanes()) {
        ByLanes(columns, k, group, out);
        return;
    }
#endif
    (void)path;
    ByColumns(columns, k, group, out);
}

}  // namespace korvale::quantise
