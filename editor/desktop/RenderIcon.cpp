// Writes Korvale's icon at one size as a PNG, so the build can install the icon theme sizes
// from the same drawing code the editor uses for its window icon.
//   korvale_render_icon SIZE FILE

#include <QImage>
#include <QString>

#include <cstdio>
#include <string>

#include "AppIcon.h"

namespace {

// Icon theme sizes go from 16 to 512 pixels; anything else is a typo in the build.
constexpr int kSmallestSize = 16;
constexpr int kLargestSize = 512;

[[nodiscard]] int ParseSize(const std::string& text) {
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return 0;
    }
    const int size = std::stoi(text);
    return size >= kSmallestSize && size <= kLargestSize ? size : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: korvale_render_icon SIZE FILE\n", stderr);
        return 2;
    }
    const int size = ParseSize(argv[1]);
    if (size == 0) {
        std::fprintf(stderr, "korvale_render_icon: size must be %d to %d pixels, not '%s'\n",
                     kSmallestSize, kLargestSize, argv[1]);
        return 2;
    }
    const QString file = QString::fromLocal8Bit(argv[2]);
    if (!korvale::KorvaleIconImage(size).save(file, "PNG")) {
        std::fprintf(stderr, "korvale_render_icon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
