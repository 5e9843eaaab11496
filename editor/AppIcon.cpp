#include "AppIcon.h"

#include <QPixmap>
#include <QVector>

#include <algorithm>
#include <utility>

namespace korvale {

namespace {

// The classic 16-colour palette.
const QVector<QRgb> kPalette = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};

enum : uint {
    kBlack = 0,
    kTeal = 6,
    kSilver = 7,
    kGrey = 8,
    kGreen = 10,
    kYellow = 11,
    kBlue = 12,
    kCyan = 14,
    kWhite = 15
};

// From this size up the icon is drawn with depth; the small sizes keep their flat pixels.
constexpr int kLargeIcon = 48;

void Fill(QImage& image, int x, int y, int w, int h, uint colour) {
    for (int j = y; j < y + h; ++j) {
        for (int i = x; i < x + w; ++i) {
            image.setPixel(i, j, colour);
        }
    }
}

// A checkered tile with a dark frame: one level of a mip set.
void Level(QImage& image, int x, int y, int side, uint a, uint b) {
    Fill(image, x, y, side, side, kBlack);
    const int cell = side >= 8 ? side / 4 : 1;
    for (int j = 1; j < side - 1; ++j) {
        for (int i = 1; i < side - 1; ++i) {
            image.setPixel(x + i, y + j, ((i / cell + j / cell) % 2) != 0 ? a : b);
        }
    }
}

QImage SmallIcon(QImage image, int size) {
    // Three levels of detail, each half the size of the one before, as in a mip set.
    const int big = size / 2;
    const int mid = size / 4;
    const int small = size / 8;
    const int margin = size / 16;
    const int gap = size / 32;
    int x = margin;
    Level(image, x, size - margin - big, big, kYellow, kBlue);
    x += big + gap;
    Level(image, x, size - margin - mid, mid, kGreen, kBlue);
    x += mid + gap;
    Level(image, x, size - margin - small, small, kWhite, kGrey);
    return image;
}

// A raised edge `width` pixels wide around the square, lit from the top left.
void Bevel(QImage& image, int x, int y, int side, int width, uint light, uint dark) {
    for (int k = 0; k < width; ++k) {
        const int near = k;
        const int far = side - 1 - k;
        for (int t = k; t <= far; ++t) {
            image.setPixel(x + t, y + near, light);
            image.setPixel(x + near, y + t, light);
            image.setPixel(x + t, y + far, dark);
            image.setPixel(x + far, y + t, dark);
        }
        // The top right and bottom left corners split along the diagonal, as a raised edge does.
        image.setPixel(x + far, y + near, light);
        image.setPixel(x + near, y + far, light);
    }
}

// Half-tone black over the plate: a soft shadow in a palette without one. A shadow only a pixel
// or two wide would read as a dotted line, so that one is solid.
void Shadow(QImage& image, int x, int y, int side, int offset) {
    const bool halftone = offset >= 3;
    for (int j = y + offset; j < y + side + offset; ++j) {
        for (int i = x + offset; i < x + side + offset; ++i) {
            if (!halftone || ((i + j) % 2) == 0) {
                image.setPixel(i, j, kBlack);
            }
        }
    }
}

// A checkered tile whose four by four cells share the inside evenly whatever its size, with a
// frame `frame` pixels thick and a highlight along its inner top and left edges.
void LargeLevel(QImage& image, int x, int y, int side, int frame, uint a, uint b, uint shine) {
    Fill(image, x, y, side, side, kBlack);
    const int inside = side - 2 * frame;
    for (int j = 0; j < inside; ++j) {
        for (int i = 0; i < inside; ++i) {
            const int cell = (i * 4) / inside + (j * 4) / inside;
            image.setPixel(x + frame + i, y + frame + j, (cell % 2) != 0 ? a : b);
        }
    }
    const int shineWidth = std::max(1, frame / 2);
    Fill(image, x + frame, y + frame, inside, shineWidth, shine);
    Fill(image, x + frame, y + frame, shineWidth, inside, shine);
}

QImage LargeIcon(QImage image, int size) {
    const int edge = std::max(1, size / 128);
    Bevel(image, 0, 0, size, edge, kWhite, kBlack);
    Bevel(image, edge, edge, size - 2 * edge, edge, kCyan, kGrey);
    // The same three levels as the small sizes, a little smaller so they clear the bevel and
    // cast their shadows onto the plate.
    const int frame = std::max(1, size / 64);
    const int big = size * 7 / 16;
    const int mid = big / 2;
    const int small = mid / 2;
    const int gap = size / 32;
    const int margin = (size - big - mid - small - 2 * gap) / 2;
    const int bottom = size - margin;
    const struct {
        int side;
        uint a;
        uint b;
        uint shine;
    } levels[] = {{big, kYellow, kBlue, kWhite},
                  {mid, kGreen, kBlue, kWhite},
                  {small, kWhite, kGrey, kSilver}};
    int x = margin;
    for (const auto& level : levels) {
        Shadow(image, x, bottom - level.side, level.side, frame);
        x += level.side + gap;
    }
    x = margin;
    for (const auto& level : levels) {
        LargeLevel(image, x, bottom - level.side, level.side, frame, level.a, level.b, level.shine);
        x += level.side + gap;
    }
    return image;
}

}  // namespace

QImage KorvaleIconImage(int size) {
    QImage image(size, size, QImage::Format_Indexed8);
    image.setColorTable(kPalette);
    image.fill(kTeal);
    return size >= kLargeIcon ? LargeIcon(std::move(image), size)
                              : SmallIcon(std::move(image), size);
}

QIcon KorvaleIcon() {
    QIcon icon;
    for (const int size : {32, 16}) {
        icon.addPixmap(QPixmap::fromImage(KorvaleIconImage(size)));
    }
    return icon;
}

}  // namespace korvale
