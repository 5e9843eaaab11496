#pragma once
// The nearest of a palette search's centres for several colours at once: what Columns::Nearest
// finds for each, as square roots (the k-means bounds), with wider vector registers where the
// processor has them.

#include <array>
#include <cstddef>
#include <cstdint>

#include "PaletteSpace.h"

// The x86-64 builds carry AVX2 paths, taken when the processor has AVX2.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KORVALE_NEAREST_AVX2 1
#endif

namespace korvale::quantise {

// Whether the AVX2 paths are there and the processor has AVX2.
[[nodiscard]] bool HasAvx2Lanes();

inline constexpr std::size_t kNearestGroup = 8;

// For colour j of the group: the first of its nearest centres among the first k, the square
// root of its cost, and the square root of the least cost of any other centre (infinite when
// k is 1; equal to the nearest's when two centres tie for it).
struct NearestRoots {
    std::array<std::uint8_t, kNearestGroup> best{};
    std::array<float, kNearestGroup> closest{};
    std::array<float, kNearestGroup> next{};
};

// Which way the group is searched: kAny takes the widest the processor has, kQuads two
// 128-bit registers of four colours (SSE2 and WebAssembly SIMD; kColumns where neither is
// there), kColumns each colour in turn with Columns::Nearest (every processor, and what the
// others must equal).
enum class NearestPath { kAny, kQuads, kColumns };

// Searches the colours group[0 .. kNearestGroup - 1] (a group of fewer colours repeats one).
void NearestOfGroup(const Columns& columns, std::size_t k,
                    const std::array<const Vec4*, kNearestGroup>& group, NearestRoots& out,
                    NearestPath path = NearestPath::kAny);

}  // namespace korvale::quantise
