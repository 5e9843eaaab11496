#include "formats/PixelCodec.h"

#include <algorithm>
#include <cstddef>

namespace korvale {

namespace {

//                       R                       G                       B                      A
constexpr SixteenBitLayout kRgb565{
    {0xF800, 8, 0, 0}, {0x07E0, 3, 0, 0}, {0x001F, 0, 3, 0}, {0x0000, 0, 0, 255}};
constexpr SixteenBitLayout kArgb1555{
    {0x7C00, 7, 0, 0}, {0x03E0, 2, 0, 0}, {0x001F, 0, 3, 0}, {0x8000, 8, 0, 0}};
constexpr SixteenBitLayout kArgb4444{
    {0x0F00, 4, 0, 0}, {0x00F0, 0, 0, 0}, {0x000F, 0, 4, 0}, {0xF000, 8, 0, 0}};

inline std::int32_t Decode(const ChannelLayout& c, std::uint32_t v) {
    return static_cast<std::int32_t>(((v & c.mask) >> c.right) << c.left) | c.fill;
}

inline std::uint32_t Encode(const ChannelLayout& c, std::int32_t component) {
    return ((static_cast<std::uint32_t>(component) >> c.left) << c.right) & c.mask;
}

void DecodePalettised(std::span<const std::uint8_t> row, int width, const CCmap& palette,
                      const PlaneRow& out) {
    const auto w = static_cast<std::size_t>(width);
    const std::size_t bytes = std::min(row.size(), (w + 1) / 2);
    auto store = [&](std::size_t column, int k) {
        const Colour& c = palette.Entry(k);
        out.r[column] = c.r;
        out.g[column] = c.g;
        out.b[column] = c.b;
        out.a[column] = c.a;
        out.index[column] = k;
    };
    for (std::size_t p = 0; p < bytes; ++p) {
        store(2 * p, row[p] >> 4);
        if (2 * p + 1 < w) {
            store(2 * p + 1, row[p] & 0x0F);
        }
    }
}

void DecodeSixteenBit(const SixteenBitLayout& f, std::span<const std::uint8_t> row, int width,
                      const PlaneRow& out) {
    const std::size_t columns = std::min(row.size() / 2, static_cast<std::size_t>(width));
    const std::uint8_t* bytes = row.data();
    for (std::size_t c = 0; c < columns; ++c) {
        const std::uint32_t v =
            static_cast<std::uint32_t>(bytes[2 * c]) | static_cast<std::uint32_t>(bytes[2 * c + 1]) << 8;
        out.r[c] = Decode(f.r, v);
        out.g[c] = Decode(f.g, v);
        out.b[c] = Decode(f.b, v);
        out.a[c] = Decode(f.a, v);
        out.index[c] = 255;
    }
}

}  // namespace

PixelKind KindOf(int type) {
    if (type >= 0 && type <= 2) {
        return PixelKind::kPalettised;
    }
    if (type >= 3 && type <= 5) {
        return PixelKind::kSixteenBit;
    }
    return PixelKind::kNone;
}

const SixteenBitLayout* LayoutOf(int type) {
    switch (type) {
        case 3:
            return &kRgb565;
        case 4:
            return &kArgb1555;
        case 5:
            return &kArgb4444;
        default:
            return nullptr;
    }
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
    if (KindOf(type) == PixelKind::kPalettised) {
        DecodePalettised(row, width, palette, out);
    } else if (const SixteenBitLayout* layout = LayoutOf(type)) {
        DecodeSixteenBit(*layout, row, width, out);
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
            const auto right = 2 * p + 1 < w ? static_cast<std::uint32_t>(in.index[2 * p + 1]) & 0x0FU : 0U;
            out[p] = static_cast<std::uint8_t>(left << 4 | right);
        }
    } else if (const SixteenBitLayout* f = LayoutOf(type)) {
        const std::size_t columns = std::min(out.size() / 2, w);
        std::uint8_t* bytes = out.data();
        for (std::size_t c = 0; c < columns; ++c) {
            const std::uint32_t v = Encode(f->r, in.r[c]) | Encode(f->g, in.g[c]) |
                                    Encode(f->b, in.b[c]) | Encode(f->a, in.a[c]);
            bytes[2 * c] = static_cast<std::uint8_t>(v);
            bytes[2 * c + 1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
}

}  // namespace korvale
