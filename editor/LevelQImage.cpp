#include "LevelQImage.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <cstddef>
#include <cstdint>

#include "LevelImage.h"
#include "PixelCodec.h"
#include "PixelType.h"

namespace korvale {

bool ViewFits(ChannelView view, int type) {
    const bool indexView = view == ChannelView::kIndexGrey || view == ChannelView::kIndexPalette;
    return !indexView || KindOf(type) == PixelKind::kPalettised;
}

QImage LevelToQImage(const CBmap& level, const CCmap& palette, ChannelView view,
                     const LevelPaint& paint) {
    return ShownToQImage(LevelToImage(level, palette), view, paint);
}

QImage ShownToQImage(const Image& shown, ChannelView view, const LevelPaint& paint) {
    const std::size_t count = shown.PixelCount();
    if (shown.Empty() || shown.pixels.size() != 4 * count) {
        return {};
    }
    // The index views and the highlight need what LevelToImage gives a palettised level only.
    const bool indexed = shown.indices.size() == count &&
                         shown.palette.size() == static_cast<std::size_t>(CCmap::kEntries);
    if (!indexed && view != ChannelView::kAlpha) {
        view = ChannelView::kColour;
    }
    const int highlight = indexed ? paint.highlight : -1;
    QImage image(shown.width, shown.height, QImage::Format_ARGB32);
    if (image.isNull()) {
        return {};
    }
    for (int y = 0; y < shown.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(shown.width);
        for (int x = 0; x < shown.width; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(x);
            const std::uint8_t* p = shown.pixels.data() + 4 * i;
            std::array<int, 4> c = {p[0], p[1], p[2], 255};
            switch (view) {
                case ChannelView::kColour:
                    c[3] = paint.alpha ? p[3] : 255;
                    break;
                case ChannelView::kAlpha:
                    c = {p[3], p[3], p[3], 255};
                    break;
                case ChannelView::kIndexGrey: {
                    const int grey = shown.indices[i] * 17;
                    c = {grey, grey, grey, 255};
                    break;
                }
                case ChannelView::kIndexPalette: {
                    const Rgba8& entry = shown.palette[shown.indices[i] & 0x0FU];
                    c = {entry[0], entry[1], entry[2], 255};
                    break;
                }
            }
            if (highlight >= 0 && shown.indices[i] != highlight) {
                c = {c[0] / 4, c[1] / 4, c[2] / 4, c[3]};
            }
            line[x] = qRgba(c[0], c[1], c[2], c[3]);
        }
    }
    return image;
}

QString PixelReadout(const CBmap& level, const Image& shown, int x, int y) {
    if (!level.HasData() || x < 0 || y < 0 || x >= level.Width() || y >= level.Height() ||
        shown.width != level.Width() || shown.height != level.Height() ||
        shown.pixels.size() != 4 * shown.PixelCount()) {
        return {};
    }
    const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(level.Width()) +
                          static_cast<std::size_t>(x);
    QString stored;
    const PixelTypeInfo* info = PixelTypeOf(level.Type());
    if (KindOf(level.Type()) == PixelKind::kPalettised) {
        stored = QCoreApplication::translate("korvale::CTextureViewer", "index %1")
                     .arg(level.Plane(PlaneId::kIndex)[i]);
    } else if (info != nullptr) {
        stored = QCoreApplication::translate("korvale::CTextureViewer", "stored %1");
        const std::array<std::pair<PlaneId, int>, 4> channels = {{{PlaneId::kR, info->redBits},
                                                                  {PlaneId::kG, info->greenBits},
                                                                  {PlaneId::kB, info->blueBits},
                                                                  {PlaneId::kA, info->alphaBits}}};
        QStringList codes;
        for (const auto& [plane, bits] : channels) {
            if (bits > 0) {
                codes.append(QString::number(level.Plane(plane)[i] >> (8 - bits)));
            }
        }
        stored = stored.arg(codes.join(QStringLiteral(", ")));
    }
    const std::uint8_t* p = shown.pixels.data() + 4 * i;
    return QCoreApplication::translate("korvale::CTextureViewer",
                                       "x %1, y %2: %3 \u2192 shown %4, %5, %6, %7 (%8)")
        .arg(x)
        .arg(y)
        .arg(stored)
        .arg(p[0])
        .arg(p[1])
        .arg(p[2])
        .arg(p[3])
        .arg(QString::fromStdString(PixelTypeName(level.Type())));
}

}  // namespace korvale
