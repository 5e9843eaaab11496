// Writes the fuzz seed corpus with Korvale's own writers: MIP files in every pixel type with
// global, per-level and no palettes and every repeat code; SRB files; single level chunks.
// make_corpus OUTDIR  ->  OUTDIR/mip, OUTDIR/srb, OUTDIR/level

#include <cstdio>
#include <filesystem>
#include <string>

#include "PixelCodec.h"
#include "CSrb.h"

namespace {

using korvale::CBmap;
using korvale::CCmap;
using korvale::CMip;
using korvale::PlaneId;

CCmap Palette(int seed) {
    CCmap palette;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        palette.Entry(i) = korvale::Colour{(i * 16 + seed) & 0xFF, (i * 5 + seed) & 0xF0,
                                           (200 - i) & 0xFF, 255 - i};
    }
    return palette;
}

// Components every type stores exactly: decode a value of the type's own layout.
void Fill(CBmap& level, int type, int side, const CCmap& palette) {
    if (!level.Allocate(type, side, side)) {
        return;
    }
    const std::size_t count = level.Plane(PlaneId::kR).size();
    for (std::size_t i = 0; i < count; ++i) {
        const auto v = static_cast<std::uint32_t>((i * 2654435761U) >> 7) & 0xFFFFU;
        if (korvale::KindOf(type) == korvale::PixelKind::kPalettised) {
            const int k = static_cast<int>(v & 0xF);
            level.Plane(PlaneId::kR)[i] = palette.Entry(k).r;
            level.Plane(PlaneId::kG)[i] = palette.Entry(k).g;
            level.Plane(PlaneId::kB)[i] = palette.Entry(k).b;
            level.Plane(PlaneId::kA)[i] = palette.Entry(k).a;
            level.Plane(PlaneId::kIndex)[i] = k;
        } else {
            const korvale::SixteenBitLayout& f = *korvale::LayoutOf(type);
            auto decode = [v](const korvale::ChannelLayout& c) {
                return static_cast<std::int32_t>(((v & c.mask) >> c.right) << c.left) | c.fill;
            };
            level.Plane(PlaneId::kR)[i] = decode(f.r);
            level.Plane(PlaneId::kG)[i] = decode(f.g);
            level.Plane(PlaneId::kB)[i] = decode(f.b);
            level.Plane(PlaneId::kA)[i] = decode(f.a);
            level.Plane(PlaneId::kIndex)[i] = 255;
        }
    }
}

void MakeSet(CMip& mip, int type, int miptype, int power, int repeat) {
    mip.miptype = miptype;
    mip.powerwidth = power;
    mip.powerheight = power;
    mip.col = repeat;
    mip.SetRepeatCode(repeat);
    mip.numimages = power + 1;
    mip.globalPalette = Palette(1);
    for (int k = 0; k < CMip::kSlots; ++k) {
        mip.levels[static_cast<std::size_t>(k)].Reset();
    }
    for (int k = power; k >= 0; --k) {
        const auto slot = static_cast<std::size_t>(k);
        mip.levelPalettes[slot] = miptype == 2 ? Palette(k + 2) : mip.globalPalette;
        Fill(mip.levels[slot], type, 1 << k, mip.levelPalettes[slot]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus OUTDIR\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path out(argv[1]);
    for (const char* sub : {"mip", "srb", "level"}) {
        fs::create_directories(out / sub);
    }
    int written = 0;
    for (int type = 0; type <= 5; ++type) {
        for (const int miptype : {0, 2, 3}) {
            const int repeat = (type + miptype) % 4;
            const int power = 1 + type % 3;
            std::string name = "t";
            name += std::to_string(type);
            name += "-m";
            name += std::to_string(miptype);
            name += "-r";
            name += std::to_string(repeat);
            korvale::CSrb srb;
            MakeSet(srb.mip, type, miptype, power, repeat);
            srb.header = {
                1.0F, 1.0F, static_cast<float>(1 << power), static_cast<float>(1 << power),
                0.5F, 0.0F};
            srb.sizeInMetres = 1.0F;
            written += srb.mip.Save((out / "mip" / (name + ".mip")).string()) == 1;
            written += srb.Save((out / "srb" / (name + ".srb")).string()) > 0;
            fs::remove(out / "srb" / (name + ".yrq"));

            CBmap& level = srb.mip.levels[1];
            if (std::FILE* f =
                    std::fopen((out / "level" / (name + ".bmap")).string().c_str(), "wb")) {
                written += level.Save(f, srb.mip.levelPalettes[1], miptype == 2) == 1;
                std::fclose(f);
            }
        }
    }
    // Odd shapes: a non-square set and an empty one.
    korvale::CMip mip;
    MakeSet(mip, 3, 3, 2, 3);
    mip.powerwidth = 0;
    written += mip.Save((out / "mip" / "tall.mip").string()) == 1;
    korvale::CMip empty;
    written += empty.Save((out / "mip" / "empty.mip").string()) == 1;
    std::printf("wrote %d seed files under %s\n", written, out.string().c_str());
    return written > 0 ? 0 : 1;
}
