// Draws an SVG icon at one size as a PNG, so the build can install the bitmap sizes icon themes
// look for from the same scalable drawing that is installed beside them.
//   korvale_render_icon ICON.svg SIZE FILE.png

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

#include <cstdio>
#include <string>

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
    if (argc != 4) {
        std::fputs("usage: korvale_render_icon ICON.svg SIZE FILE.png\n", stderr);
        return 2;
    }
    const int size = ParseSize(argv[2]);
    if (size == 0) {
        std::fprintf(stderr, "korvale_render_icon: size must be %d to %d pixels, not '%s'\n",
                     kSmallestSize, kLargestSize, argv[2]);
        return 2;
    }
    QGuiApplication application(argc, argv);
    QSvgRenderer svg(QString::fromLocal8Bit(argv[1]));
    if (!svg.isValid()) {
        std::fprintf(stderr, "korvale_render_icon: %s: not an SVG drawing Qt can render\n",
                     argv[1]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "korvale_render_icon: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
