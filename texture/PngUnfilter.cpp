#include "PngUnfilter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale {

namespace {

// The rows are read from the end of the buffer and written from its start, one pixel at a
// time: a pixel is read whole before its RGBA is written, and what is written never reaches a
// byte still to be read (the input lies (width - 1) * height bytes further on for RGB and a row
// number plus one further on for RGBA).
struct Rows {
    std::uint8_t* buffer;
    std::size_t width;
    std::size_t height;
    std::size_t inStride;   // a filter byte, then width * channels
    std::size_t outStride;  // width * 4
    std::size_t inOffset;

    [[nodiscard]] const std::uint8_t* In(std::size_t y) const {
        return buffer + inOffset + y * inStride;
    }
    [[nodiscard]] std::uint8_t* Out(std::size_t y) const { return buffer + y * outStride; }
};

enum : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

std::uint8_t PaethPredictor(int a, int b, int c) {
    const int pa = std::abs(b - c);
    const int pb = std::abs(a - c);
    const int pc = std::abs(a + b - 2 * c);
    if (pa <= pb && pa <= pc) {
        return static_cast<std::uint8_t>(a);
    }
    return static_cast<std::uint8_t>(pb <= pc ? b : c);
}

template <int kChannels>
void ScalarRow(const Rows& rows, std::size_t y, std::uint8_t filter) {
    const std::uint8_t* in = rows.In(y) + 1;
    std::uint8_t* out = rows.Out(y);
    const std::uint8_t* prior = y > 0 ? rows.Out(y - 1) : nullptr;
    for (std::size_t x = 0; x < rows.width; ++x) {
        std::uint8_t raw[kChannels];
        std::memcpy(raw, in + x * kChannels, kChannels);
        std::uint8_t* pixel = out + x * 4;
        for (int k = 0; k < kChannels; ++k) {
            const int a = x > 0 ? pixel[k - 4] : 0;
            const int b = prior != nullptr ? prior[x * 4 + k] : 0;
            const int c = x > 0 && prior != nullptr ? prior[x * 4 + k - 4] : 0;
            int predicted = 0;
            switch (filter) {
                case kSub:
                    predicted = a;
                    break;
                case kUp:
                    predicted = b;
                    break;
                case kAverage:
                    predicted = (a + b) / 2;
                    break;
                case kPaeth:
                    predicted = PaethPredictor(a, b, c);
                    break;
                default:
                    break;
            }
            pixel[k] = static_cast<std::uint8_t>(raw[k] + predicted);
        }
        if constexpr (kChannels == 3) {
            pixel[3] = 255;
        }
    }
}

#if defined(__SSE2__)

// One pixel in the low four 16-bit lanes.
__m128i Load(const std::uint8_t* at, int bytes) {
    std::uint32_t v = 0;
    std::memcpy(&v, at, static_cast<std::size_t>(bytes));
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(v)), _mm_setzero_si128());
}

template <int kChannels>
void Store(std::uint8_t* at, __m128i pixel) {
    auto v = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pixel, pixel)));
    if constexpr (kChannels == 3) {
        v |= 0xFF000000u;  // little-endian: the fourth byte is alpha
    }
    std::memcpy(at, &v, 4);
}

__m128i Abs16(__m128i v) {
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}

template <int kChannels>
void VectorRow(const Rows& rows, std::size_t y, std::uint8_t filter) {
    const std::uint8_t* in = rows.In(y) + 1;
    std::uint8_t* out = rows.Out(y);
    const std::uint8_t* prior = y > 0 ? rows.Out(y - 1) : nullptr;
    const __m128i low = _mm_set1_epi16(0xFF);
    const __m128i zero = _mm_setzero_si128();
    const std::size_t width = rows.width;
    if (filter == kUp && prior == nullptr) {
        filter = kNone;
    }
    if (filter == kPaeth && prior == nullptr) {
        filter = kSub;  // with a zero row above, the predictor is always the left pixel
    }
    std::size_t x = 0;
    switch (filter) {
        case kNone:
        case kUp:
            if constexpr (kChannels == 4) {
                // Four pixels at a time; the 16 bytes are read before the 16 are written.
                for (; x + 4 <= width; x += 4) {
                    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x * 4));
                    if (filter == kUp) {
                        v = _mm_add_epi8(
                            v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + x * 4)));
                    }
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x * 4), v);
                }
            }
            for (; x < width; ++x) {
                __m128i v = Load(in + x * kChannels, kChannels);
                if (filter == kUp) {
                    v = _mm_and_si128(_mm_add_epi16(v, Load(prior + x * 4, kChannels)), low);
                }
                Store<kChannels>(out + x * 4, v);
            }
            break;
        case kSub: {
            __m128i a = zero;
            for (; x < width; ++x) {
                a = _mm_and_si128(_mm_add_epi16(Load(in + x * kChannels, kChannels), a), low);
                Store<kChannels>(out + x * 4, a);
            }
            break;
        }
        case kAverage: {
            __m128i a = zero;
            for (; x < width; ++x) {
                const __m128i b = prior != nullptr ? Load(prior + x * 4, kChannels) : zero;
                const __m128i mean = _mm_srli_epi16(_mm_add_epi16(a, b), 1);
                a = _mm_and_si128(_mm_add_epi16(Load(in + x * kChannels, kChannels), mean), low);
                Store<kChannels>(out + x * 4, a);
            }
            break;
        }
        case kPaeth: {
            __m128i a = zero;
            __m128i c = zero;
            for (; x < width; ++x) {
                const __m128i b = Load(prior + x * 4, kChannels);
                const __m128i bc = _mm_sub_epi16(b, c);
                const __m128i ac = _mm_sub_epi16(a, c);
                const __m128i pa = Abs16(bc);
                const __m128i pb = Abs16(ac);
                const __m128i pc = Abs16(_mm_add_epi16(bc, ac));
                // a when pa <= pb and pa <= pc; else b when pb <= pc; else c.
                const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
                const __m128i useC = _mm_cmpgt_epi16(pb, pc);
                const __m128i bOrC = _mm_xor_si128(b, _mm_and_si128(_mm_xor_si128(b, c), useC));
                const __m128i predicted =
                    _mm_xor_si128(a, _mm_and_si128(_mm_xor_si128(a, bOrC), notA));
                a = _mm_and_si128(_mm_add_epi16(Load(in + x * kChannels, kChannels), predicted),
                                  low);
                Store<kChannels>(out + x * 4, a);
                c = b;
            }
            break;
        }
        default:
            break;
    }
}

#endif

template <int kChannels>
bool Unfilter(const Rows& rows, UnfilterPath path) {
    for (std::size_t y = 0; y < rows.height; ++y) {
        const std::uint8_t filter = rows.In(y)[0];
        if (filter > kPaeth) {
            return false;
        }
#if defined(__SSE2__)
        if (path == UnfilterPath::kVector) {
            VectorRow<kChannels>(rows, y, filter);
            continue;
        }
#else
        (void)path;
#endif
        ScalarRow<kChannels>(rows, y, filter);
    }
    return true;
}

}  // namespace

std::size_t UnfilterBufferSize(std::size_t width, std::size_t height, int channels) {
    const std::size_t in = height * (width * static_cast<std::size_t>(channels) + 1);
    return std::max(in, height * width * 4);
}

std::size_t UnfilterInputOffset(std::size_t width, std::size_t height, int channels) {
    return UnfilterBufferSize(width, height, channels) -
           height * (width * static_cast<std::size_t>(channels) + 1);
}

bool UnfilterToRgba(std::uint8_t* buffer, std::size_t width, std::size_t height, int channels,
                    UnfilterPath path) {
    const Rows rows{buffer,    width,
                    height,    width * static_cast<std::size_t>(channels) + 1,
                    width * 4, UnfilterInputOffset(width, height, channels)};
    return channels == 3 ? Unfilter<3>(rows, path) : Unfilter<4>(rows, path);
}

}  // namespace korvale
