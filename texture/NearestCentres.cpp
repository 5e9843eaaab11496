#include "NearestCentres.h"

#include <cmath>
#include <limits>

#if defined(KORVALE_NEAREST_AVX2)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale::quantise {

namespace {

void ByColumns(const Columns& columns, std::size_t k,
               const std::array<const Vec4*, kNearestGroup>& group, NearestRoots& out) {
    const std::array<float, kMaxColours> pad = Columns::PadPast(k);
    for (std::size_t j = 0; j < kNearestGroup; ++j) {
        const Columns::NearestTwo found = columns.Nearest(*group[j], pad);
        out.best[j] = static_cast<std::uint8_t>(found.best);
        out.closest[j] = std::sqrt(found.closest);
        out.next[j] = std::sqrt(found.next);
    }
}

#if defined(__SSE2__)
// ByLanes in two registers of four colours, for SSE2 and WebAssembly's 128-bit SIMD (where
// emscripten maps these intrinsics one to one): the same costs, the same order, and each
// choice made by the same comparison, so the bytes are ByColumns' and ByLanes'. The two halves
// share one pass over the centres, which keeps both in flight at once.
void ByQuads(const Columns& columns, std::size_t k,
             const std::array<const Vec4*, kNearestGroup>& group, NearestRoots& out) {
    // Where the mask is set, b; elsewhere a. Bitwise, so exact.
    const auto pick = [](__m128 mask, __m128 a, __m128 b) {
        return _mm_or_ps(_mm_and_ps(mask, b), _mm_andnot_ps(mask, a));
    };
    __m128 p[2][4];
    for (std::size_t h = 0; h < 2; ++h) {
        __m128 r0 = _mm_loadu_ps(group[4 * h]->data());
        __m128 r1 = _mm_loadu_ps(group[4 * h + 1]->data());
        __m128 r2 = _mm_loadu_ps(group[4 * h + 2]->data());
        __m128 r3 = _mm_loadu_ps(group[4 * h + 3]->data());
        _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
        p[h][0] = r0;
        p[h][1] = r1;
        p[h][2] = r2;
        p[h][3] = r3;
    }
    const __m128 w = _mm_set1_ps(columns.alphaWeight_);
    const __m128 infinite = _mm_set1_ps(std::numeric_limits<float>::infinity());
    __m128 closest[2] = {infinite, infinite};
    __m128 next[2] = {infinite, infinite};
    __m128 best[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
    for (std::size_t centre = 0; centre < k && centre < kMaxColours; ++centre) {
        const __m128 c0 = _mm_set1_ps(columns.axis[0][centre]);
        const __m128 c1 = _mm_set1_ps(columns.axis[1][centre]);
        const __m128 c2 = _mm_set1_ps(columns.axis[2][centre]);
        const __m128 c3 = _mm_set1_ps(columns.axis[3][centre]);
        const __m128 index = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(centre)));
        for (std::size_t h = 0; h < 2; ++h) {
            const __m128 d0 = _mm_sub_ps(p[h][0], c0);
            const __m128 d1 = _mm_sub_ps(p[h][1], c1);
            const __m128 d2 = _mm_sub_ps(p[h][2], c2);
            const __m128 d3 = _mm_sub_ps(p[h][3], c3);
            const __m128 colour =
                _mm_add_ps(_mm_add_ps(_mm_mul_ps(d0, d0), _mm_mul_ps(d1, d1)), _mm_mul_ps(d2, d2));
            const __m128 cost =
                _mm_add_ps(_mm_mul_ps(p[h][3], colour), _mm_mul_ps(_mm_mul_ps(w, d3), d3));
            const __m128 nearer = _mm_cmplt_ps(cost, closest[h]);
            next[h] = pick(nearer, _mm_min_ps(next[h], cost), closest[h]);
            closest[h] = pick(nearer, closest[h], cost);
            best[h] = pick(nearer, best[h], index);
        }
    }
    alignas(16) std::array<std::int32_t, kNearestGroup> bestOf{};
    for (std::size_t h = 0; h < 2; ++h) {
        _mm_storeu_ps(out.closest.data() + 4 * h, _mm_sqrt_ps(closest[h]));
        _mm_storeu_ps(out.next.data() + 4 * h, _mm_sqrt_ps(next[h]));
        _mm_store_si128(reinterpret_cast<__m128i*>(bestOf.data() + 4 * h),
                        _mm_castps_si128(best[h]));
    }
    for (std::size_t j = 0; j < kNearestGroup; ++j) {
        out.best[j] = static_cast<std::uint8_t>(bestOf[j]);
    }
}
#endif

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
#if defined(__SSE2__)
    if (path != NearestPath::kColumns) {
        ByQuads(columns, k, group, out);
        return;
    }
#endif
    ByColumns(columns, k, group, out);
}

}  // namespace korvale::quantise
