#include "CPaletteView.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "CLevelCanvas.h"

namespace korvale {

CPaletteView::CPaletteView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFixedSize(sizeHint());
}

QSize CPaletteView::sizeHint() const {
    return {kColumns * kSwatch + (kColumns - 1) * kGap, kRows * kSwatch + (kRows - 1) * kGap};
}

void CPaletteView::Show(std::span<const Rgba8> colours, int highlight) {
    colours_.fill(Rgba8{0, 0, 0, 255});
    std::copy_n(colours.begin(), std::min(colours.size(), colours_.size()), colours_.begin());
    highlight_ = highlight;
    // The tooltip follows the colours under a mouse that stays where it is.
    setToolTip(hovered_ >= 0 ? SwatchText(hovered_) : QString());
    update();
}

QRect CPaletteView::SwatchRect(int index) const {
    const int column = index % kColumns;
    const int row = index / kColumns;
    return {column * (kSwatch + kGap), row * (kSwatch + kGap), kSwatch, kSwatch};
}

int CPaletteView::SwatchAt(const QPoint& pos) const {
    for (int k = 0; k < static_cast<int>(colours_.size()); ++k) {
        if (SwatchRect(k).contains(pos)) {
            return k;
        }
    }
    return -1;
}

QString CPaletteView::SwatchText(int index) const {
    if (index < 0 || index >= static_cast<int>(colours_.size())) {
        return {};
    }
    const Rgba8& c = colours_[static_cast<std::size_t>(index)];
    return tr("index %1: R %2 G %3 B %4 A %5").arg(index).arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]);
}

void CPaletteView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    painter.setFont(small);
    for (int k = 0; k < static_cast<int>(colours_.size()); ++k) {
        const QRect r = SwatchRect(k);
        const Rgba8& c = colours_[static_cast<std::size_t>(k)];
        // The colour over four squares of checkerboard, so a swatch's alpha shows as in the level.
        CLevelCanvas::FillChecker(painter, r, r.topLeft(), kSwatch / 2);
        painter.fillRect(r, QColor(c[0], c[1], c[2], c[3]));
        // The index in black or white, whichever stands out from the swatch.
        const int luma = (c[0] * 299 + c[1] * 587 + c[2] * 114) / 1000;
        const bool dark = c[3] > 96 && luma < 128;
        painter.setPen(dark ? Qt::white : Qt::black);
        painter.drawText(r.adjusted(3, 1, -2, -1), Qt::AlignLeft | Qt::AlignTop,
                         QString::number(k));
        painter.setPen(k == highlight_ ? QPen(palette().highlight(), 3) : QPen(Qt::darkGray, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(k == highlight_ ? r.adjusted(1, 1, -2, -2) : r.adjusted(0, 0, -1, -1));
    }
}

void CPaletteView::Hover(int index) {
    if (index == hovered_) {
        return;
    }
    hovered_ = index;
    setToolTip(SwatchText(index));
    emit SwatchHovered(index);
}

void CPaletteView::mouseMoveEvent(QMouseEvent* event) {
    Hover(SwatchAt(event->position().toPoint()));
    QWidget::mouseMoveEvent(event);
}

void CPaletteView::leaveEvent(QEvent* event) {
    Hover(-1);
    QWidget::leaveEvent(event);
}

}  // namespace korvale
