#include "LevelQImage.h"

#include <QCoreApplication>
#include <QStringList>
#include <algorithm>
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

namespace {

// Whether LevelToImage gave the indices and palette of a palettised level.
bool Indexed(const Image& shown) {
    return shown.indices.size() == shown.PixelCount() &&
           shown.palette.size() == static_cast<std::size_t>(CCmap::kEntries);
}

// A pixel of a picked-out index's neighbours: a quarter of its colour, its alpha kept.
QRgb Dimmed(QRgb c) {
    return qRgba(qRed(c) / 4, qGreen(c) / 4, qBlue(c) / 4, qAlpha(c));
}

// Pixel i of shown as a view draws it (straight alpha). The index views need Indexed(shown).
QRgb ViewColour(const Image& shown, std::size_t i, ChannelView view, bool alpha) {
    const std::uint8_t* p = shown.pixels.data() + 4 * i;
    switch (view) {
        case ChannelView::kColour:
            return qRgba(p[0], p[1], p[2], alpha ? p[3] : 255);
        case ChannelView::kAlpha:
            return qRgb(p[3], p[3], p[3]);
        case ChannelView::kIndexGrey: {
            const int grey = shown.indices[i] * 17;
            return qRgb(grey, grey, grey);
        }
        case ChannelView::kIndexPalette: {
            const Rgba8& entry = shown.palette[shown.indices[i] & 0x0FU];
            return qRgb(entry[0], entry[1], entry[2]);
        }
    }
    return 0;
}

}  // namespace

QImage ShownToQImage(const Image& shown, ChannelView view, const LevelPaint& paint) {
    const std::size_t count = shown.PixelCount();
    if (shown.Empty() || shown.pixels.size() != 4 * count) {
        return {};
    }
    // The index views and the highlight need what LevelToImage gives a palettised level only.
    const bool indexed = Indexed(shown);
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
            const QRgb c = ViewColour(shown, i, view, paint.alpha);
            line[x] = highlight >= 0 && shown.indices[i] != highlight ? Dimmed(c) : c;
        }
    }
    return image;
}

LevelPicture::LevelPicture(const Image& shown, ChannelView view, bool alpha) {
    const QImage plain = ShownToQImage(shown, view, LevelPaint{alpha, -1});
    plain_ = plain.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (plain.isNull() || !Indexed(shown)) {
        return;
    }
    // Darkened before premultiplying, as ShownToQImage's highlight is.
    QImage dimmed = plain;
    for (int y = 0; y < dimmed.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(dimmed.scanLine(y));
        std::transform(line, line + dimmed.width(), line, Dimmed);
    }
    dimmed_ = dimmed.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    indices_ = shown.indices;
}

QImage LevelPicture::Picked(int highlight) const {
    if (highlight < 0 || indices_.empty() || dimmed_.isNull()) {
        return plain_;
    }
    QImage image(plain_.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return plain_;
    }
    const auto width = static_cast<std::size_t>(image.width());
    for (int y = 0; y < image.height(); ++y) {
        const auto* plain = reinterpret_cast<const QRgb*>(plain_.constScanLine(y));
        const auto* dimmed = reinterpret_cast<const QRgb*>(dimmed_.constScanLine(y));
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* index = indices_.data() + static_cast<std::size_t>(y) * width;
        for (std::size_t x = 0; x < width; ++x) {
            line[x] = index[x] == highlight ? plain[x] : dimmed[x];
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
