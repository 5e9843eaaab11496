// Writes the fuzz seed corpus with Korvale's own writers: MIP files in every pixel type with
// global, per-level and no palettes and every repeat code; SRB files; single level chunks.
// make_corpus OUTDIR  ->  OUTDIR/mip, OUTDIR/srb, OUTDIR/level

#include <cstdio>
#include <filesystem>
#include <string>

#include "CSrb.h"
#include "SetBuilder.h"

namespace {

// The tests' pattern set, with a repeat code of our choosing.
bool MakeSet(korvale::CMip& mip, int type, int miptype, int power, int repeat) {
    if (!korvale::test::MakeMipSet(mip, type, miptype, power)) {
        std::fprintf(stderr, "make_corpus: no set of type %d, miptype %d\n", type, miptype);
        return false;
    }
    mip.col = repeat;
    mip.SetRepeatCode(repeat);
    return true;
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
            if (!MakeSet(srb.mip, type, miptype, power, repeat)) {
                return 1;
            }
            srb.header = {
                1.0F, 1.0F, static_cast<float>(1 << power), static_cast<float>(1 << power),
                0.5F, 0.0F};
            srb.sizeInMetres = 1.0F;
            written += srb.mip.Save((out / "mip" / (name + ".mip")).string()) == 1;
            written += srb.Save((out / "srb" / (name + ".srb")).string()) > 0;
            fs::remove(out / "srb" / (name + ".yrq"));

            korvale::CBmap& level = srb.mip.levels[1];
            if (std::FILE* f =
                    std::fopen((out / "level" / (name + ".bmap")).string().c_str(), "wb")) {
                written += level.Save(f, srb.mip.levelPalettes[1], miptype == 2) == 1;
                std::fclose(f);
            }
        }
    }
    // Odd shapes: a non-square set and an empty one.
    korvale::CMip mip;
    if (!MakeSet(mip, 3, 3, 2, 3)) {
        return 1;
    }
    mip.powerwidth = 0;
    written += mip.Save((out / "mip" / "tall.mip").string()) == 1;
    korvale::CMip empty;
    written += empty.Save((out / "mip" / "empty.mip").string()) == 1;
    std::printf("wrote %d seed files under %s\n", written, out.string().c_str());
    return written > 0 ? 0 : 1;
}
