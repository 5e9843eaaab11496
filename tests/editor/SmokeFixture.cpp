// The parts of the end-to-end tests that need the project's own code: a MIP file with a level of
// known colours and a look at a screenshot of that level drawn at 8x; and for the external-edit
// round trip, a 4 x 4 level of a given type, a stand-in image editor that paints one pixel of a
// PNG and saves it as editors do (a new file renamed over the old one), and a look at the level
// saved afterwards.
//   korvale_smoke_fixture make OUT.mip
//   korvale_smoke_fixture check SHOT.png
//   korvale_smoke_fixture make-edit pal4|argb4444 OUT.mip
//   korvale_smoke_fixture edit PICTURE.png
//   korvale_smoke_fixture check-edit pal4|argb4444 SAVED.mip
// The level is 16 x 16 argb1555 in quarters: magenta, green / blue, transparent. Magenta appears
// nowhere else on the screen, so its first pixel is the canvas's top-left corner.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "CMip.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "WholeFile.h"

namespace {

using namespace korvale;

constexpr int kSide = 16;
constexpr int kZoom = 8;

struct Texel {
    int r, g, b, a;  // stored: 5-bit channels shifted up, the alpha bit as 128
};

Texel Quarter(int x, int y) {
    const bool right = x >= kSide / 2;
    const bool bottom = y >= kSide / 2;
    if (!bottom) {
        return right ? Texel{0, 248, 0, 128} : Texel{248, 0, 248, 128};
    }
    return right ? Texel{0, 0, 0, 0} : Texel{0, 0, 248, 128};
}

int Make(const std::string& path) {
    CBmap level;
    if (!level.Allocate(4, kSide, kSide)) {
        return 1;
    }
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const Texel t = Quarter(x, y);
            const auto i = static_cast<std::size_t>(y * kSide + x);
            level.Plane(PlaneId::kR)[i] = t.r;
            level.Plane(PlaneId::kG)[i] = t.g;
            level.Plane(PlaneId::kB)[i] = t.b;
            level.Plane(PlaneId::kA)[i] = t.a;
            level.Plane(PlaneId::kIndex)[i] = 255;
        }
    }
    CMip mip;
    Status saved;
    if (!mip.SetLevel(std::move(level)) || !(saved = mip.SaveFile(path))) {
        std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), saved.Text().c_str());
        return 1;
    }
    return 0;
}

unsigned Rgb(const Image& shot, int x, int y) {
    if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) {
        return 0xFFFFFFFFU;  // no colour a pixel can have
    }
    const auto at = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(shot.width) +
                         static_cast<std::size_t>(x));
    return static_cast<unsigned>(shot.pixels[at]) << 16 |
           static_cast<unsigned>(shot.pixels[at + 1]) << 8 | shot.pixels[at + 2];
}

int Check(const std::string& path) {
    Image shot;
    if (const Status read = ReadPicture(path, shot); !read) {
        std::fprintf(stderr, "%s\n", read.Text().c_str());
        return 1;
    }
    constexpr unsigned kMagenta = 0xFF00FF;
    int left = -1;
    int top = -1;
    for (int y = 0; y < shot.height && top < 0; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            if (Rgb(shot, x, y) == kMagenta) {
                left = x;
                top = y;
                break;
            }
        }
    }
    if (top < 0) {
        std::fprintf(stderr, "no magenta texel on the screen\n");
        return 1;
    }
    std::printf("canvas at %d,%d\n", left, top);
    // Screen pixels from the canvas corner, and the colour each must have. The transparent
    // quarter shows the checkerboard, whose squares of 12 pixels start light at the corner.
    struct Sample {
        int x, y;
        unsigned rgb;
    };
    constexpr Sample kSamples[] = {
        {0, 0, kMagenta},           {63, 63, kMagenta},          {64, 0, 0x00FF00},
        {127, 63, 0x00FF00},        {0, 64, 0x0000FF},           {63, 127, 0x0000FF},
        {64 + 4, 64 + 4, 0xFFFFFF}, {64 + 12, 64 + 4, 0xCCCCCC}, {127, 127, 0xFFFFFF},
    };
    int wrong = 0;
    for (const Sample& s : kSamples) {
        const unsigned got = Rgb(shot, left + s.x, top + s.y);
        const bool ok = got == s.rgb;
        std::printf("%+4d,%+4d: %06X%s\n", s.x, s.y, got, ok ? "" : " (wrong)");
        wrong += ok ? 0 : 1;
    }
    static_assert(kSide * kZoom == 128);
    return wrong == 0 ? 0 : 1;
}

// The edited level: palette entry i is (17 i, 0, 255 - 17 i), every pixel starts as entry 0
// (argb4444: opaque blue), and the stand-in editor paints pixel (1, 0) in entry 2's colour.
constexpr Rgba8 kPainted = {34, 0, 221, 255};

CCmap EditPalette() {
    CCmap palette;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        palette.Entry(i) = Colour{17 * i, 0, 255 - 17 * i, 255};
    }
    return palette;
}

int MakeEdit(const std::string& type, const std::string& path) {
    const auto code = PixelTypeNamed(type);
    CBmap level;
    if (!code || !level.Allocate(*code, 4, 4)) {
        std::fprintf(stderr, "cannot make a %s level\n", type.c_str());
        return 1;
    }
    for (std::size_t i = 0; i < 16; ++i) {
        level.Plane(PlaneId::kB)[i] = *code == 0 ? 255 : 240;
        level.Plane(PlaneId::kA)[i] = *code == 0 ? 255 : 240;
        level.Plane(PlaneId::kIndex)[i] = *code == 0 ? 0 : 255;
    }
    CMip mip;
    const CCmap palette = EditPalette();
    mip.globalPalette.CopyFrom(palette);
    Status saved;
    if (!mip.SetLevel(std::move(level), &palette) || !(saved = mip.SaveFile(path))) {
        std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), saved.Text().c_str());
        return 1;
    }
    return 0;
}

int Edit(const std::string& path) {
    Image picture;
    if (const Status read = ReadPicture(path, picture); !read || picture.width < 2) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(),
                     read ? "too small to paint" : read.Text().c_str());
        return 1;
    }
    std::copy(kPainted.begin(), kPainted.end(), picture.pixels.begin() + 4);
    std::vector<std::uint8_t> png;
    const std::string saving = path + ".saving";
    Status saved = EncodePng(picture, true, png);
    if (saved) {
        saved = WriteFileBytes(saving, png);
    }
    if (!saved || std::rename(saving.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "cannot save %s: %s\n", path.c_str(),
                     saved ? std::strerror(errno) : saved.Text().c_str());
        return 1;
    }
    return 0;
}

int CheckEdit(const std::string& type, const std::string& path) {
    CMip mip;
    if (mip.Load(path) != 1 || !mip.levels[2].HasData()) {
        std::fprintf(stderr, "%s holds no 4 x 4 level\n", path.c_str());
        return 1;
    }
    const CBmap& level = mip.levels[2];
    // Pixel (1, 0) as painted, in the level's own terms; pixel (0, 0) as it was.
    const bool pal4 = type == "pal4";
    const int painted[5] = {34, 0, 221, 255, 2};
    const int kept[5] = {0, 0, 255, 255, 0};
    const int paintedCodes[5] = {32, 0, 208, 240, 255};  // argb4444 codes 2, 0, 13, 15
    const int keptCodes[5] = {0, 0, 240, 240, 255};
    int wrong = 0;
    for (int p = 0; p < CBmap::kPlanes; ++p) {
        const int at1 = level.Plane(static_cast<PlaneId>(p))[1];
        const int at0 = level.Plane(static_cast<PlaneId>(p))[0];
        const int want1 = pal4 ? painted[p] : paintedCodes[p];
        const int want0 = pal4 ? kept[p] : keptCodes[p];
        std::printf("plane %d: (1,0) %d want %d, (0,0) %d want %d\n", p, at1, want1, at0, want0);
        wrong += (at1 != want1) + (at0 != want0);
    }
    const bool typeKept = level.Type() == PixelTypeNamed(type).value_or(-1);
    return wrong == 0 && typeKept ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "make" && argc == 3) {
        return Make(argv[2]);
    }
    if (mode == "check" && argc == 3) {
        return Check(argv[2]);
    }
    if (mode == "make-edit" && argc == 4) {
        return MakeEdit(argv[2], argv[3]);
    }
    if (mode == "edit" && argc == 3) {
        return Edit(argv[2]);
    }
    if (mode == "check-edit" && argc == 4) {
        return CheckEdit(argv[2], argv[3]);
    }
    std::fprintf(stderr,
                 "usage: korvale_smoke_fixture make OUT.mip | check SHOT.png | make-edit TYPE "
                 "OUT.mip | edit PICTURE.png | check-edit TYPE SAVED.mip\n");
    return 2;
}
