#include "CChainView.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace korvale {

namespace {

constexpr int kMargin = 8;      // around the whole chain
constexpr int kLabelSpace = 4;  // between a level and its label

int Side(int texels, double scale) {
    return texels > 0 ? std::max(1, static_cast<int>(std::lround(texels * scale))) : 0;
}

}  // namespace

CChainView::CChainView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

QString CChainView::LevelLabel(int slot, QSize size) {
    return tr("slot %1: %2 x %3").arg(slot).arg(size.width()).arg(size.height());
}

int CChainView::LabelHeight() const {
    return kLabelSpace + fontMetrics().height();
}

QSize CChainView::Layout(double scale, std::vector<QRect>& rects) const {
    rects.clear();
    int x = kMargin;
    int height = 0;
    for (const Level& level : levels_) {
        const QSize size(Side(level.image.width(), scale), Side(level.image.height(), scale));
        // A label wider than a small level gets the room it needs.
        const int width =
            std::max(size.width(),
                     fontMetrics().horizontalAdvance(LevelLabel(level.slot, level.image.size())));
        rects.emplace_back(QPoint(x, kMargin), size);
        x += width + kGap;
        height = std::max(height, size.height());
    }
    return {x - kGap + kMargin, kMargin + height + LabelHeight() + kMargin};
}

QSize CChainView::NaturalSize() const {
    std::vector<QRect> rects;
    return Layout(1.0, rects);
}

void CChainView::Show(std::vector<Level> levels, double scale, Backdrop backdrop, bool grid,
                      int selected) {
    levels_ = std::move(levels);
    for (Level& level : levels_) {
        level.image = level.image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    scale_ = scale > 0.0 && std::isfinite(scale) ? scale : 1.0;
    backdrop_ = backdrop;
    grid_ = grid;
    selected_ = selected;
    resize(Layout(scale_, rects_));
    update();
}

std::pair<int, QPoint> CChainView::LevelAt(const QPoint& pos) const {
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        const QRect& r = rects_[i];
        if (r.contains(pos)) {
            const QImage& image = levels_[i].image;
            const int x =
                std::clamp(static_cast<int>(std::floor((pos.x() - r.left() + 0.5) / scale_)), 0,
                           image.width() - 1);
            const int y =
                std::clamp(static_cast<int>(std::floor((pos.y() - r.top() + 0.5) / scale_)), 0,
                           image.height() - 1);
            return {levels_[i].slot, QPoint(x, y)};
        }
    }
    return {-1, QPoint(-1, -1)};
}

void CChainView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().window());
    for (std::size_t i = 0; i < levels_.size(); ++i) {
        const QRect& r = rects_[i];
        const QRect label(r.left(), r.bottom() + 1 + kLabelSpace, width() - r.left(),
                          fontMetrics().height());
        if (r.intersects(event->rect())) {
            CLevelCanvas::PaintLevel(painter, r.topLeft(), levels_[i].image, scale_, backdrop_,
                                     grid_, r.intersected(event->rect()));
        }
        painter.setPen(palette().windowText().color());
        painter.drawText(label, Qt::AlignLeft | Qt::AlignTop,
                         LevelLabel(levels_[i].slot, levels_[i].image.size()));
        if (levels_[i].slot == selected_) {
            QPen pen(palette().highlight().color(), 2);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(r).adjusted(-2, -2, 1, 1));
        }
    }
}

void CChainView::mousePressEvent(QMouseEvent* event) {
    const int slot = LevelAt(event->position().toPoint()).first;
    if (event->button() == Qt::LeftButton && slot >= 0) {
        emit SlotClicked(slot);
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

}  // namespace korvale
