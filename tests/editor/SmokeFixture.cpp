// The two halves of the end-to-end zoom test that need the project's own code: a MIP file with a
// level of known colours, and a look at a screenshot of that level drawn at 8x.
//   korvale_smoke_fixture make OUT.mip
//   korvale_smoke_fixture check SHOT.png
// The level is 16 x 16 argb1555 in quarters: magenta, green / blue, transparent. Magenta appears
// nowhere else on the screen, so its first pixel is the canvas's top-left corner.

#include <cstdio>
#include <string>

#include "CMip.h"
#include "PngIo.h"

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
    std::string reason;
    if (!mip.SetLevel(std::move(level)) || mip.Save(path, &reason) != 1) {
        std::fprintf(stderr, "cannot make %s: %s\n", path.c_str(), reason.c_str());
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
    std::string error;
    if (!ReadPngFile(path, shot, error)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), error.c_str());
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

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "make") {
        return Make(argv[2]);
    }
    if (mode == "check") {
        return Check(argv[2]);
    }
    std::fprintf(stderr, "usage: korvale_smoke_fixture make OUT.mip | check SHOT.png\n");
    return 2;
}
