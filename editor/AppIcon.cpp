#include "AppIcon.h"

#include <QPixmap>
#include <QVector>

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
    kGrey = 8,
    kGreen = 10,
    kYellow = 11,
    kBlue = 12,
    kWhite = 15
};

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

}  // namespace

QImage KorvaleIconImage(int size) {
    QImage image(size, size, QImage::Format_Indexed8);
    image.setColorTable(kPalette);
    image.fill(kTeal);
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

QIcon KorvaleIcon() {
    QIcon icon;
    for (const int size : {32, 16}) {
        icon.addPixmap(QPixmap::fromImage(KorvaleIconImage(size)));
    }
    return icon;
}

}  // namespace korvale
