#include "CLevelCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <map>

namespace korvale {

namespace {

// Two squares of each colour, cell pixels per side; made once per size.
const QImage& CheckerTile(int cell) {
    static std::map<int, QImage> tiles;
    QImage& tile = tiles[cell];
    if (tile.isNull()) {
        tile = QImage(2 * cell, 2 * cell, QImage::Format_ARGB32_Premultiplied);
        tile.fill(CLevelCanvas::kCheckerLight);
        QPainter painter(&tile);
        painter.fillRect(cell, 0, cell, cell, QColor::fromRgb(CLevelCanvas::kCheckerDark));
        painter.fillRect(0, cell, cell, cell, QColor::fromRgb(CLevelCanvas::kCheckerDark));
    }
    return tile;
}

}  // namespace

CLevelCanvas::CLevelCanvas(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);  // every exposed pixel is painted
}

void CLevelCanvas::Show(const QImage& level, double scale, Backdrop backdrop) {
    level_ = level.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    scale_ = scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
    backdrop_ = backdrop;
    const auto side = [this](int texels) {
        return texels > 0 ? std::max(1, static_cast<int>(std::lround(texels * scale_))) : 0;
    };
    resize(side(level_.width()), side(level_.height()));
    update();
}

void CLevelCanvas::SetGrid(bool on) {
    if (grid_ != on) {
        grid_ = on;
        update();
    }
}

QPoint CLevelCanvas::TexelAt(const QPoint& pos) const {
    if (level_.isNull()) {
        return {-1, -1};
    }
    // The texel drawn at the pixel's centre, as nearest-neighbour scaling picks it.
    const int x = static_cast<int>(std::floor((pos.x() + 0.5) / scale_));
    const int y = static_cast<int>(std::floor((pos.y() + 0.5) / scale_));
    if (x < 0 || y < 0 || x >= level_.width() || y >= level_.height()) {
        return {-1, -1};
    }
    return {x, y};
}

void CLevelCanvas::FillChecker(QPainter& painter, const QRect& rect, QPoint origin, int cell) {
    painter.save();
    painter.setBrushOrigin(origin);
    painter.fillRect(rect, QBrush(CheckerTile(std::max(1, cell))));
    painter.restore();
}

void CLevelCanvas::PaintLevel(QPainter& painter, const QPoint& origin, const QImage& level,
                              double scale, Backdrop backdrop, bool grid, const QRect& rect) {
    switch (backdrop) {
        case Backdrop::kChecker:
            FillChecker(painter, rect, origin);
            break;
        case Backdrop::kBlack:
            painter.fillRect(rect, Qt::black);
            break;
        case Backdrop::kWhite:
            painter.fillRect(rect, Qt::white);
            break;
    }
    if (level.isNull() || rect.isEmpty() || !(scale > 0.0)) {
        return;
    }
    // Only the texels that reach into rect are scaled; the painter clips the edges to it.
    const auto clampTo = [](double v, int max) {
        return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(max)));
    };
    const QRect local = rect.translated(-origin);
    const int x0 = clampTo(std::floor(local.left() / scale), level.width());
    const int y0 = clampTo(std::floor(local.top() / scale), level.height());
    const int x1 = clampTo(std::ceil((local.right() + 1) / scale), level.width());
    const int y1 = clampTo(std::ceil((local.bottom() + 1) / scale), level.height());
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(origin.x() + x0 * scale, origin.y() + y0 * scale, (x1 - x0) * scale,
                             (y1 - y0) * scale),
                      level, QRectF(x0, y0, x1 - x0, y1 - y0));
    if (grid && scale >= kGridFromScale) {
        // Lines on the first pixel column and row of each texel past the first, so the level's
        // own edge stays clean.
        painter.setPen(Qt::NoPen);
        const QColor colour = QColor::fromRgba(kGridColour);
        const double top = origin.y() + y0 * scale;
        const double bottom = origin.y() + y1 * scale;
        for (int x = std::max(x0, 1); x < x1; ++x) {
            painter.fillRect(QRectF(origin.x() + x * scale, top, 1, bottom - top), colour);
        }
        const double left = origin.x() + x0 * scale;
        const double right = origin.x() + x1 * scale;
        for (int y = std::max(y0, 1); y < y1; ++y) {
            painter.fillRect(QRectF(left, origin.y() + y * scale, right - left, 1), colour);
        }
    }
    painter.restore();
}

void CLevelCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    PaintLevel(painter, QPoint(0, 0), level_, scale_, backdrop_, grid_, event->rect());
}

void CLevelCanvas::mouseMoveEvent(QMouseEvent* event) {
    emit TexelHovered(TexelAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CLevelCanvas::leaveEvent(QEvent* event) {
    emit TexelHovered(QPoint(-1, -1));
    QWidget::leaveEvent(event);
}

void CLevelCanvas::wheelEvent(QWheelEvent* event) {
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();  // the scroll area scrolls
        return;
    }
    event->accept();
    // A notch is 120; fine-grained wheels send less per event, so the rest is kept.
    wheelDelta_ += event->angleDelta().y();
    const int steps = wheelDelta_ / 120;
    wheelDelta_ -= steps * 120;
    if (steps != 0) {
        const QPointF pos = event->position();
        emit ZoomRequested(steps, pos / scale_, pos.toPoint());
    }
}

}  // namespace korvale
