#include "LevelImage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "PixelType.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace korvale {

namespace {

std::uint8_t Clamp8(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp<std::int32_t>(v, 0, 255));
}

// StoredToFullScale as one multiply: the top `bits` of the clamped value, code, shown as
// (code * mul + add) >> 8, which equals round(code * 255 / max) for every code of 1 to 8 bits
// (the tests check each) and never passes 16 bits, so a vector loop can take it in 16-bit lanes.
struct Widening {
    int shift = 0;
    std::uint32_t mul = 256;
    std::uint32_t add = 0;

    [[nodiscard]] std::uint8_t Of(std::int32_t stored) const {
        const std::uint32_t code = static_cast<std::uint32_t>(Clamp8(stored)) >> shift;
        return static_cast<std::uint8_t>((code * mul + add) >> 8);
    }
};

// Indexed by bits; 0 and 8 show the value as it is.
constexpr std::array<Widening, 9> kWidenings{{
    {0, 256, 0},
    {7, 65280, 0},
    {6, 21760, 0},
    {5, 9325, 128},
    {4, 4352, 0},
    {3, 2105, 140},
    {2, 1036, 133},
    {1, 514, 128},
    {0, 256, 0},
}};

// A type without alpha shows opaque.
constexpr Widening kOpaque{0, 0, 255 << 8};

Widening WideningOf(int bits) {
    return bits > 0 && bits < 8 ? kWidenings[static_cast<std::size_t>(bits)] : kWidenings[0];
}

}  // namespace

int StoredToFullScale(int stored, int bits) {
    if (bits <= 0 || bits >= 8) {
        return std::clamp(stored, 0, 255);
    }
    const int max = (1 << bits) - 1;
    const int code = (std::clamp(stored, 0, 255) >> (8 - bits)) & max;
    return (2 * code * 255 + max) / (2 * max);  // round(code * 255 / max)
}

int FullScaleToStored(int value, int bits) {
    if (bits <= 0 || bits >= 8) {
        return std::clamp(value, 0, 255);
    }
    const int max = (1 << bits) - 1;
    // round(value * max / 255); never exactly half way, since 255 is odd.
    const int code = (2 * std::clamp(value, 0, 255) * max + 255) / 510;
    return code << (8 - bits);
}

std::vector<Rgba8> PaletteColours(const CCmap& palette) {
    std::vector<Rgba8> colours(CCmap::kEntries);
    for (int k = 0; k < CCmap::kEntries; ++k) {
        const Colour& c = palette.Entry(k);
        colours[static_cast<std::size_t>(k)] = {Clamp8(c.r), Clamp8(c.g), Clamp8(c.b), Clamp8(c.a)};
    }
    return colours;
}

CCmap PaletteFromColours(std::span<const Rgba8> colours) {
    CCmap palette;
    for (int k = 0; k < CCmap::kEntries; ++k) {
        const auto i = static_cast<std::size_t>(k);
        palette.Entry(k) = i < colours.size()
                               ? Colour{colours[i][0], colours[i][1], colours[i][2], colours[i][3]}
                               : Colour{0, 0, 0, 255};
    }
    return palette;
}

Image LevelToImage(const CBmap& level, const CCmap& palette, LevelView view) {
    Image image;
    if (!level.HasData()) {
        return image;
    }
    image.width = level.Width();
    image.height = level.Height();
    const std::size_t count = image.PixelCount();
    image.pixels.resize(count * 4);
    const auto r = level.Plane(PlaneId::kR);
    const auto g = level.Plane(PlaneId::kG);
    const auto b = level.Plane(PlaneId::kB);
    const auto a = level.Plane(PlaneId::kA);
    const auto index = level.Plane(PlaneId::kIndex);
    const PixelTypeInfo* info = PixelTypeOf(level.Type());

    if (info != nullptr && info->kind == PixelKind::kPalettised) {
        // The index plane through the palette: what the level stores, whatever the colour planes
        // were left holding.
        image.palette = PaletteColours(palette);
        image.indices.resize(count);
        // Each entry's four bytes as one word, so a pixel is one load and one store (a copy of
        // four bytes a pixel is a call per pixel in some builds, WebAssembly's among them).
        std::array<std::uint32_t, CCmap::kEntries> words{};
        for (std::size_t k = 0; k < words.size(); ++k) {
            std::memcpy(&words[k], image.palette[k].data(), sizeof(words[k]));
        }
        std::uint8_t* out = image.pixels.data();
        std::uint8_t* indices = image.indices.data();
        for (std::size_t i = 0; i < count; ++i) {
            const auto k = static_cast<std::uint8_t>(index[i] & 0x0F);
            indices[i] = k;
            std::memcpy(out + 4 * i, &words[k], sizeof(words[k]));
        }
        return image;
    }
    const bool scale = view == LevelView::kFullScale && info != nullptr;
    const int bits[4] = {scale ? info->redBits : 8, scale ? info->greenBits : 8,
                         scale ? info->blueBits : 8, scale ? info->alphaBits : 8};
    std::array<Widening, 4> widen{};
    for (std::size_t c = 0; c < 4; ++c) {
        widen[c] = scale && c == 3 && bits[3] == 0 ? kOpaque : WideningOf(bits[c]);
    }
    const std::array<const std::int32_t*, 4> planes = {r.data(), g.data(), b.data(), a.data()};
    std::uint8_t* out = image.pixels.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    // Eight pixels at a time (SSE2, and WebAssembly's SIMD through emscripten): the planes
    // clamped by saturation, each channel widened in 16-bit lanes, then interleaved.
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i top = _mm_set1_epi16(255);
        __m128i down[4];
        __m128i mul[4];
        __m128i add[4];
        for (std::size_t c = 0; c < 4; ++c) {
            // value >> shift as the high half of (2 * value) << (15 - shift): a shift by a count
            // known only at run time is taken lane by lane in WebAssembly.
            down[c] = _mm_set1_epi16(static_cast<std::int16_t>(1U << (15 - widen[c].shift)));
            mul[c] = _mm_set1_epi16(static_cast<std::int16_t>(widen[c].mul));
            add[c] = _mm_set1_epi16(static_cast<std::int16_t>(widen[c].add));
        }
        for (; i + 8 <= count; i += 8) {
            __m128i channel[4];
            for (std::size_t c = 0; c < 4; ++c) {
                const auto* in = reinterpret_cast<const __m128i*>(planes[c] + i);
                __m128i v = _mm_packs_epi32(_mm_loadu_si128(in), _mm_loadu_si128(in + 1));
                v = _mm_min_epi16(_mm_max_epi16(v, zero), top);
                v = _mm_mulhi_epu16(_mm_add_epi16(v, v), down[c]);
                channel[c] = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(v, mul[c]), add[c]), 8);
            }
            const __m128i rg = _mm_or_si128(channel[0], _mm_slli_epi16(channel[1], 8));
            const __m128i ba = _mm_or_si128(channel[2], _mm_slli_epi16(channel[3], 8));
            auto* to = reinterpret_cast<__m128i*>(out + 4 * i);
            _mm_storeu_si128(to, _mm_unpacklo_epi16(rg, ba));
            _mm_storeu_si128(to + 1, _mm_unpackhi_epi16(rg, ba));
        }
    }
#endif
    for (; i < count; ++i) {
        for (std::size_t c = 0; c < 4; ++c) {
            out[4 * i + c] = widen[c].Of(planes[c][i]);
        }
    }
    return image;
}

namespace {

// A level of the given type and the image's size, or a failure saying it cannot be made.
Status Allocated(int type, int width, int height, CBmap& made) {
    if (made.Allocate(type, width, height)) {
        return {};
    }
    return Status::Failure("a level of " + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels cannot be made");
}

// A level of the type and size whose pixel i has the plane values (R, G, B, A, index) that
// pixel(i) gives.
template <typename Pixel>
Status BuildLevel(int type, int width, int height, Pixel pixel, CBmap& level) {
    CBmap made;
    if (Status allocated = Allocated(type, width, height, made); !allocated) {
        return allocated;
    }
    const std::array<std::span<std::int32_t>, CBmap::kPlanes> planes = {
        made.Plane(PlaneId::kR), made.Plane(PlaneId::kG), made.Plane(PlaneId::kB),
        made.Plane(PlaneId::kA), made.Plane(PlaneId::kIndex)};
    const std::size_t count = PixelCountOf(width, height);
    for (std::size_t i = 0; i < count; ++i) {
        const std::array<std::int32_t, CBmap::kPlanes> values = pixel(i);
        for (std::size_t p = 0; p < planes.size(); ++p) {
            planes[p][i] = values[p];
        }
    }
    level = std::move(made);
    return {};
}

// A level of a palettised type from its indices.
Status FromIndices(int type, int width, int height, std::span<const std::uint8_t> indices,
                   const CCmap& palette, CBmap& level) {
    if (indices.size() != PixelCountOf(width, height) ||
        std::any_of(indices.begin(), indices.end(),
                    [](std::uint8_t k) { return k >= CCmap::kEntries; })) {
        return Status::Failure("a palettised level needs one index from 0 to 15 per pixel");
    }
    return BuildLevel(
        type, width, height,
        [&](std::size_t i) {
            const int k = indices[i];
            const Colour& c = palette.Entry(k);
            return std::array<std::int32_t, CBmap::kPlanes>{c.r, c.g, c.b, c.a, k};
        },
        level);
}

}  // namespace

Status IndicesToLevel(int width, int height, std::span<const std::uint8_t> indices,
                      const CCmap& palette, CBmap& level) {
    return FromIndices(CodeOf(PixelCode::kPal4), width, height, indices, palette, level);
}

Status ImageToLevel(const Image& image, int type, const CCmap& palette, CBmap& level) {
    const PixelTypeInfo* info = PixelTypeOf(type);
    if (info == nullptr) {
        return Status::Failure("unknown pixel type " + std::to_string(type));
    }
    const std::size_t count = image.PixelCount();
    if (image.pixels.size() != count * 4) {
        return Status::Failure("the picture's pixels do not match its size");
    }
    if (info->kind == PixelKind::kPalettised) {
        return FromIndices(type, image.width, image.height, image.indices, palette, level);
    }
    const std::uint8_t* pixels = image.pixels.data();
    return BuildLevel(
        type, image.width, image.height,
        [&](std::size_t i) {
            const std::uint8_t* in = pixels + 4 * i;
            // A type without alpha reads as opaque, so a saved and reloaded level is equal.
            return std::array<std::int32_t, CBmap::kPlanes>{
                FullScaleToStored(in[0], info->redBits), FullScaleToStored(in[1], info->greenBits),
                FullScaleToStored(in[2], info->blueBits),
                info->alphaBits == 0 ? 255 : FullScaleToStored(in[3], info->alphaBits), 255};
        },
        level);
}

bool KeepsPictureIndices(const Image& picture, std::span<const Rgba8> palette) {
    return picture.indices.size() == picture.PixelCount() && !picture.palette.empty() &&
           picture.palette.size() <= palette.size() &&
           std::equal(picture.palette.begin(), picture.palette.end(), palette.begin());
}

}  // namespace korvale
