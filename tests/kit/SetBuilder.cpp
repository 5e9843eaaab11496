#include "SetBuilder.h"

#include <cstdint>
#include <random>
#include <utility>

#include "PixelCodec.h"

namespace korvale::test {

CCmap PatternPalette(int seed) {
    CCmap palette;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        palette.Entry(i) = Colour{(i * 16 + seed) & 0xFF, (i * 7 + 3 * seed) & 0xFF,
                                  (255 - i * 9 - seed) & 0xFF, (i * 13 + 5 * seed) & 0xFF};
    }
    return palette;
}

bool FillPattern(CBmap& level, int type, int width, int height, int seed) {
    const bool palettised = KindOf(type) == PixelKind::kPalettised;
    const SixteenBitLayout* f = LayoutOf(type);
    if ((!palettised && f == nullptr) || !level.Allocate(type, width, height)) {
        return false;
    }
    std::mt19937 random(static_cast<unsigned>(seed));
    const std::size_t count = level.Plane(PlaneId::kR).size();
    auto r = level.Plane(PlaneId::kR);
    auto g = level.Plane(PlaneId::kG);
    auto b = level.Plane(PlaneId::kB);
    auto a = level.Plane(PlaneId::kA);
    auto index = level.Plane(PlaneId::kIndex);
    const CCmap palette = PatternPalette(seed);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t v = random() & 0xFFFFU;
        if (palettised) {
            const int k = static_cast<int>(v & 0x0F);
            const Colour& c = palette.Entry(k);
            r[i] = c.r;
            g[i] = c.g;
            b[i] = c.b;
            a[i] = c.a;
            index[i] = k;
        } else {
            // Decoding a random 16-bit value gives components the type stores exactly.
            auto decode = [v](const ChannelLayout& c) {
                return static_cast<std::int32_t>(((v & c.mask) >> c.right) << c.left) | c.fill;
            };
            r[i] = decode(f->r);
            g[i] = decode(f->g);
            b[i] = decode(f->b);
            a[i] = decode(f->a);
            index[i] = 255;
        }
    }
    return true;
}

bool MakeMipSet(CMip& mip, int type, int miptype, int power) {
    mip.ClearLevels();
    mip.miptype = miptype;
    mip.col = 7;
    mip.SetRepeatCode(1);
    mip.globalPalette = PatternPalette(1);
    for (int k = power; k >= 0; --k) {
        // The global palette is what a level without its own decodes with; levels carry their
        // own only in miptype 2.
        const CCmap own = PatternPalette(k + 2);
        CBmap level;
        if (!FillPattern(level, type, 1 << k, 1 << k, miptype == 2 ? k + 2 : 1) ||
            !mip.SetLevel(std::move(level), miptype == 2 ? &own : nullptr)) {
            return false;
        }
    }
    return true;
}

}  // namespace korvale::test
