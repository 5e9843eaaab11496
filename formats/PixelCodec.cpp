#include "PixelCodec.h"

#include "PixelType.h"

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale {

namespace {

constexpr std::int32_t Decode(const ChannelLayout& c, std::uint32_t v) {
    return static_cast<std::int32_t>(((v & c.mask) >> c.right) << c.left) | c.fill;
}

#if defined(__SSE2__)
constexpr std::uint32_t DecodedMax(const ChannelLayout& c) {
    return ((c.mask >> c.right) << c.left) | static_cast<std::uint32_t>(c.fill);
}

// Decode of eight little-endian pixels, each in its 16-bit lane.
template <ChannelLayout C>
__m128i DecodeLanes(__m128i v) {
    __m128i x = _mm_and_si128(v, _mm_set1_epi16(static_cast<std::int16_t>(C.mask)));
    x = _mm_slli_epi16(_mm_srli_epi16(x, C.right), C.left);
    return _mm_or_si128(x, _mm_set1_epi16(static_cast<std::int16_t>(C.fill)));
}
#endif

constexpr std::uint32_t Encode(const ChannelLayout& c, std::int32_t component) {
    return ((static_cast<std::uint32_t>(component) >> c.left) << c.right) & c.mask;
}

void DecodePalettised(std::span<const std::uint8_t> row, int width, const CCmap& palette,
                      const PlaneRow& out) {
    std::array<Colour, CCmap::kEntries> colours;
    for (int k = 0; k < CCmap::kEntries; ++k) {
        colours[static_cast<std::size_t>(k)] = palette.Entry(k);
    }
    const auto w = static_cast<std::size_t>(width);
    const std::size_t bytes = std::min(row.size(), (w + 1) / 2);
    std::int32_t* __restrict r = out.r;
    std::int32_t* __restrict g = out.g;
    std::int32_t* __restrict b = out.b;
    std::int32_t* __restrict a = out.a;
    std::int32_t* __restrict index = out.index;
    auto store = [&](std::size_t column, unsigned k) {
        const Colour& c = colours[k];
        r[column] = c.r;
        g[column] = c.g;
        b[column] = c.b;
        a[column] = c.a;
        index[column] = static_cast<std::int32_t>(k);
    };
    // Whole bytes first; an odd width leaves the last byte's low nibble unused.
    const std::size_t pairs = std::min(bytes, w / 2);
    for (std::size_t p = 0; p < pairs; ++p) {
        store(2 * p, row[p] >> 4U);
        store(2 * p + 1, row[p] & 0x0FU);
    }
    if (pairs < bytes) {
        store(2 * pairs, row[pairs] >> 4U);
    }
}

// One loop for the three 16-bit layouts; the layout is a compile-time constant of each
// instance, so its masks and shifts fold into the loop.
template <SixteenBitLayout F>
void DecodeSixteenBit(std::span<const std::uint8_t> row, int width, const PlaneRow& out) {
    const std::size_t columns = std::min(row.size() / 2, static_cast<std::size_t>(width));
    const std::uint8_t* __restrict bytes = row.data();
    std::int32_t* __restrict r = out.r;
    std::int32_t* __restrict g = out.g;
    std::int32_t* __restrict b = out.b;
    std::int32_t* __restrict a = out.a;
    std::int32_t* __restrict index = out.index;
    std::size_t c = 0;
#if defined(__SSE2__)
    // Eight pixels at a time in 16-bit lanes (SSE2, and WebAssembly's SIMD, where the loop
    // below is not vectorised by the compiler): the same masks and shifts, then each channel
    // widened to its plane's 32 bits.
    static_assert(DecodedMax(F.r) <= 0xFFFF && DecodedMax(F.g) <= 0xFFFF &&
                      DecodedMax(F.b) <= 0xFFFF && DecodedMax(F.a) <= 0xFFFF,
                  "each decoded channel fits a 16-bit lane");
    const __m128i zero = _mm_setzero_si128();
    const __m128i unused = _mm_set1_epi32(255);
    const auto store = [&](std::int32_t* plane, __m128i lanes) {
        auto* to = reinterpret_cast<__m128i*>(plane + c);
        _mm_storeu_si128(to, _mm_unpacklo_epi16(lanes, zero));
        _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(lanes, zero));
    };
    for (; c + 8 <= columns; c += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 2 * c));
        store(r, DecodeLanes<F.r>(v));
        store(g, DecodeLanes<F.g>(v));
        store(b, DecodeLanes<F.b>(v));
        store(a, DecodeLanes<F.a>(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + c), unused);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(index + c + 4), unused);
    }
#endif
    for (; c < columns; ++c) {
        const std::uint32_t v = static_cast<std::uint32_t>(bytes[2 * c]) |
                                static_cast<std::uint32_t>(bytes[2 * c + 1]) << 8;
        r[c] = Decode(F.r, v);
        g[c] = Decode(F.g, v);
        b[c] = Decode(F.b, v);
        a[c] = Decode(F.a, v);
        index[c] = 255;
    }
}

template <SixteenBitLayout F>
void EncodeSixteenBit(int width, const ConstPlaneRow& in, std::span<std::uint8_t> out) {
    const std::size_t columns = std::min(out.size() / 2, static_cast<std::size_t>(width));
    std::uint8_t* __restrict bytes = out.data();
    const std::int32_t* __restrict r = in.r;
    const std::int32_t* __restrict g = in.g;
    const std::int32_t* __restrict b = in.b;
    const std::int32_t* __restrict a = in.a;
    for (std::size_t c = 0; c < columns; ++c) {
        const std::uint32_t v =
            Encode(F.r, r[c]) | Encode(F.g, g[c]) | Encode(F.b, b[c]) | Encode(F.a, a[c]);
        bytes[2 * c] = static_cast<std::uint8_t>(v);
        bytes[2 * c + 1] = static_cast<std::uint8_t>(v >> 8);
    }
}

}  // namespace

PixelKind KindOf(int type) {
    const PixelTypeInfo* info = PixelTypeOf(type);
    return info != nullptr ? info->kind : PixelKind::kNone;
}

const SixteenBitLayout* LayoutOf(int type) {
    const PixelTypeInfo* info = PixelTypeOf(type);
    return info != nullptr ? info->layout : nullptr;
}

std::int64_t WriterBpr(int type, std::int64_t width) {
    switch (KindOf(type)) {
        case PixelKind::kPalettised:
            return (width + 1) / 2;
        case PixelKind::kSixteenBit:
            return 2 * width;
        case PixelKind::kNone:
            break;
    }
    return 0;
}

void DecodeRow(int type, std::span<const std::uint8_t> row, int width, const CCmap& palette,
               const PlaneRow& out) {
    if (width <= 0) {
        return;
    }
    const SixteenBitLayout* layout = LayoutOf(type);
    if (layout == &kRgb565) {
        DecodeSixteenBit<kRgb565>(row, width, out);
    } else if (layout == &kArgb1555) {
        DecodeSixteenBit<kArgb1555>(row, width, out);
    } else if (layout == &kArgb4444) {
        DecodeSixteenBit<kArgb4444>(row, width, out);
    } else if (KindOf(type) == PixelKind::kPalettised) {
        DecodePalettised(row, width, palette, out);
    }
}

void EncodeRow(int type, int width, const ConstPlaneRow& in, std::span<std::uint8_t> out) {
    if (width <= 0) {
        return;
    }
    const auto w = static_cast<std::size_t>(width);
    if (KindOf(type) == PixelKind::kPalettised) {
        const std::size_t bytes = std::min(out.size(), (w + 1) / 2);
        for (std::size_t p = 0; p < bytes; ++p) {
            const auto left = static_cast<std::uint32_t>(in.index[2 * p]) & 0x0FU;
            const auto right =
                2 * p + 1 < w ? static_cast<std::uint32_t>(in.index[2 * p + 1]) & 0x0FU : 0U;
            out[p] = static_cast<std::uint8_t>(left << 4 | right);
        }
        return;
    }
    const SixteenBitLayout* layout = LayoutOf(type);
    if (layout == &kRgb565) {
        EncodeSixteenBit<kRgb565>(width, in, out);
    } else if (layout == &kArgb1555) {
        EncodeSixteenBit<kArgb1555>(width, in, out);
    } else if (layout == &kArgb4444) {
        EncodeSixteenBit<kArgb4444>(width, in, out);
    }
}

}  // namespace korvale
