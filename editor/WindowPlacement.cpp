#include "WindowPlacement.h"

#include <algorithm>

namespace korvale {

QRect PlaceBeside(const QRect& anchor, const QSize& preferred, const QSize& minimum,
                  const QRect& screen) {
    constexpr int kGap = 8;
    // The room on each side of anchor, and where a window goes in it.
    const QRect rooms[] = {
        QRect(QPoint(anchor.right() + 1 + kGap, screen.top()), screen.bottomRight()),
        QRect(QPoint(screen.left(), anchor.bottom() + 1 + kGap), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(anchor.left() - 1 - kGap, screen.bottom())),
        QRect(screen.topLeft(), QPoint(screen.right(), anchor.top() - 1 - kGap)),
    };
    QRect best;
    long long bestArea = 0;
    for (const QRect& room : rooms) {
        const QSize size = preferred.boundedTo(room.size());
        if (room.isEmpty() || size.width() < minimum.width() || size.height() < minimum.height()) {
            continue;
        }
        // As close to anchor's top left as the room allows.
        const int x = std::clamp(anchor.left(), room.left(), room.right() + 1 - size.width());
        const int y = std::clamp(anchor.top(), room.top(), room.bottom() + 1 - size.height());
        const long long area = static_cast<long long>(size.width()) * size.height();
        if (area > bestArea) {
            best = QRect(QPoint(x, y), size);
            bestArea = area;
        }
    }
    if (bestArea > 0) {
        return best;
    }
    const QSize size = preferred.boundedTo(screen.size());
    const int x =
        std::clamp(anchor.right() + 1 + kGap, screen.left(), screen.right() + 1 - size.width());
    const int y = std::clamp(anchor.top(), screen.top(), screen.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

namespace {

bool Fits(const QRect& window, const QRect& dialog, const QSize& minimum, const QRect& screen) {
    return screen.contains(window) && !window.intersects(dialog) &&
           window.width() >= minimum.width() && window.height() >= minimum.height();
}

}  // namespace

PairPlacement PlacePair(const QRect& dialog, const QSize& preferred, const QSize& minimum,
                        const QRect& screen) {
    const QRect here = PlaceBeside(dialog, preferred, minimum, screen);
    if (Fits(here, dialog, minimum, screen)) {
        return {dialog, here};
    }
    const QRect corner(screen.topLeft(), dialog.size());
    return {corner, PlaceBeside(corner, preferred, minimum, screen)};
}

bool NeedsPlacing(const QRect& remembered, const QRect& dialog, const QRect& screen) {
    return !screen.contains(remembered) || remembered.intersects(dialog);
}

}  // namespace korvale
