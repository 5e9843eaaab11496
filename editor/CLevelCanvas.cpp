#include "CLevelCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace korvale {

namespace {

QImage CheckerTile() {
    constexpr int kCell = CLevelCanvas::kCheckerCell;
    QImage tile(2 * kCell, 2 * kCell, QImage::Format_ARGB32_Premultiplied);
    tile.fill(CLevelCanvas::kCheckerLight);
    QPainter painter(&tile);
    painter.fillRect(kCell, 0, kCell, kCell, QColor::fromRgb(CLevelCanvas::kCheckerDark));
    painter.fillRect(0, kCell, kCell, kCell, QColor::fromRgb(CLevelCanvas::kCheckerDark));
    return tile;
}

}  // namespace

CLevelCanvas::CLevelCanvas(QWidget* parent) : QWidget(parent), checker_(CheckerTile()) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);  // every exposed pixel is painted
}

void CLevelCanvas::Show(const QImage& level, double scale, bool checker) {
    level_ = level.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    scale_ = scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
    showChecker_ = checker;
    const auto side = [this](int texels) {
        return texels > 0 ? std::max(1, static_cast<int>(std::lround(texels * scale_))) : 0;
    };
    resize(side(level_.width()), side(level_.height()));
    update();
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

void CLevelCanvas::PaintRect(QPainter& painter, const QRect& rect) const {
    if (showChecker_) {
        painter.fillRect(rect, QBrush(checker_));
    } else {
        painter.fillRect(rect, Qt::black);
    }
    if (level_.isNull() || rect.isEmpty()) {
        return;
    }
    // Only the texels that reach into rect are scaled; the painter clips the edges to it.
    const auto clampTo = [](double v, int max) {
        return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(max)));
    };
    const int x0 = clampTo(std::floor(rect.left() / scale_), level_.width());
    const int y0 = clampTo(std::floor(rect.top() / scale_), level_.height());
    const int x1 = clampTo(std::ceil((rect.right() + 1) / scale_), level_.width());
    const int y1 = clampTo(std::ceil((rect.bottom() + 1) / scale_), level_.height());
    if (x0 >= x1 || y0 >= y1) {
        return;
    }
    painter.save();
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRectF(x0 * scale_, y0 * scale_, (x1 - x0) * scale_, (y1 - y0) * scale_),
                      level_, QRectF(x0, y0, x1 - x0, y1 - y0));
    painter.restore();
}

QImage CLevelCanvas::Render(const QRect& rect) const {
    QImage image(rect.size(), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        return image;
    }
    QPainter painter(&image);
    painter.translate(-rect.topLeft());
    PaintRect(painter, rect);
    return image;
}

void CLevelCanvas::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    PaintRect(painter, event->rect());
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
