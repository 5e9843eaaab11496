#include "Adler32.h"

#include <libdeflate.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale {

namespace {

constexpr std::uint32_t kBase = 65521;
// The most bytes whose sums cannot overflow 32 bits before they are reduced: 5552, for any
// starting sums below kBase (zlib's NMAX).
constexpr std::size_t kMostBetweenReductions = 5552;

void AddBytes(const std::uint8_t* bytes, std::size_t size, std::uint32_t& s1, std::uint32_t& s2) {
    for (std::size_t i = 0; i < size; ++i) {
        s1 += bytes[i];
        s2 += s1;
    }
}

std::uint32_t Scalar(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t s1 = 1;
    std::uint32_t s2 = 0;
    while (size > 0) {
        const std::size_t run = size < kMostBetweenReductions ? size : kMostBetweenReductions;
        AddBytes(bytes, run, s1, s2);
        s1 %= kBase;
        s2 %= kBase;
        bytes += run;
        size -= run;
    }
    return s2 << 16 | s1;
}

#if defined(__SSE2__)
std::uint32_t Sum(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
    return static_cast<std::uint32_t>(_mm_cvtsi128_si32(v));
}

// Sixteen bytes at a time: over a run of n blocks, s1 gains every byte and s2 gains 16 times
// s1 as it stood before each block, plus each byte times its distance from the block's end
// (16 for the first, 1 for the last). Products of 16-bit pairs summed in 32-bit lanes
// (SSE2's pmaddwd, WebAssembly's dot product) do both weightings.
std::uint32_t Vector(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t s1 = 1;
    std::uint32_t s2 = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i firstHalf = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i secondHalf = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    constexpr std::size_t kBlocksBetweenReductions = kMostBetweenReductions / 16;
    while (size >= 16) {
        std::size_t blocks = size / 16;
        blocks = blocks < kBlocksBetweenReductions ? blocks : kBlocksBetweenReductions;
        __m128i byteSums = zero;
        __m128i weighted = zero;
        __m128i earlier = zero;  // the byte sums as they stood before each block
        for (std::size_t b = 0; b < blocks; ++b) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
            const __m128i low = _mm_unpacklo_epi8(block, zero);
            const __m128i high = _mm_unpackhi_epi8(block, zero);
            earlier = _mm_add_epi32(earlier, byteSums);
            byteSums = _mm_add_epi32(
                byteSums, _mm_add_epi32(_mm_madd_epi16(low, ones), _mm_madd_epi16(high, ones)));
            weighted = _mm_add_epi32(weighted, _mm_add_epi32(_mm_madd_epi16(low, firstHalf),
                                                             _mm_madd_epi16(high, secondHalf)));
            bytes += 16;
        }
        const auto run = static_cast<std::uint32_t>(blocks * 16);
        s2 += s1 * run + 16 * Sum(earlier) + Sum(weighted);
        s1 += Sum(byteSums);
        s1 %= kBase;
        s2 %= kBase;
        size -= blocks * 16;
    }
    AddBytes(bytes, size, s1, s2);
    return (s2 % kBase) << 16 | (s1 % kBase);
}
#endif

}  // namespace

std::uint32_t Adler32(const std::uint8_t* bytes, std::size_t size, Adler32Path path) {
#if defined(__x86_64__) || defined(__i386__) || defined(__aarch64__) || defined(__arm__)
    if (path == Adler32Path::kAny) {
        return static_cast<std::uint32_t>(libdeflate_adler32(1, bytes, size));
    }
#endif
#if defined(__SSE2__)
    if (path != Adler32Path::kScalar) {
        return Vector(bytes, size);
    }
#endif
    return Scalar(bytes, size);
}

}  // namespace korvale
