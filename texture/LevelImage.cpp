#include "LevelImage.h"

#include <algorithm>
#include <array>

#include "PixelType.h"

namespace korvale {

namespace {

std::uint8_t Clamp8(std::int32_t v) {
    return static_cast<std::uint8_t>(std::clamp<std::int32_t>(v, 0, 255));
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
        for (std::size_t i = 0; i < count; ++i) {
            const auto k = static_cast<std::uint8_t>(index[i] & 0x0F);
            image.indices[i] = k;
            std::copy_n(image.palette[k].begin(), 4,
                        image.pixels.begin() + static_cast<std::ptrdiff_t>(4 * i));
        }
        return image;
    }
    const bool scale = view == LevelView::kFullScale && info != nullptr;
    const int bits[4] = {scale ? info->redBits : 8, scale ? info->greenBits : 8,
                         scale ? info->blueBits : 8, scale ? info->alphaBits : 8};
    // Full-scale values from a table per channel: 256 entries cover every stored value.
    std::array<std::array<std::uint8_t, 256>, 4> table{};
    for (std::size_t c = 0; c < 4; ++c) {
        for (int v = 0; v < 256; ++v) {
            table[c][static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(
                scale && c == 3 && bits[3] == 0 ? 255 : StoredToFullScale(v, bits[c]));
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* out = image.pixels.data() + 4 * i;
        out[0] = table[0][Clamp8(r[i])];
        out[1] = table[1][Clamp8(g[i])];
        out[2] = table[2][Clamp8(b[i])];
        out[3] = table[3][Clamp8(a[i])];
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
