#pragma once
// Where a second window opens so that it leaves the first one uncovered.

#include <QRect>
#include <QSize>

namespace korvale {

// The frame rectangle for a window of the preferred size beside anchor (a frame rectangle) on
// screen: to the right of, below, to the left of or above anchor, whichever side leaves it the
// largest area, shrunk to the room on that side but not below minimum. When no side has room
// for minimum, the preferred size to the right of anchor, moved back onto the screen.
[[nodiscard]] QRect PlaceBeside(const QRect& anchor, const QSize& preferred, const QSize& minimum,
                                const QRect& screen);

// A dialog and a second window placed together (frame rectangles).
struct PairPlacement {
    QRect dialog;
    QRect window;
};
// Where the dialog (its frame; it keeps its size) and a second window of the preferred size go
// on screen: the window beside or below the dialog as PlaceBeside puts it, wholly on the screen,
// covering none of the dialog and at least minimum. When no side of the dialog where it stands
// has that room, the dialog moves to the screen's top left corner first, which leaves the most
// room beside and below it. A screen too small even then gets PlaceBeside's best.
[[nodiscard]] PairPlacement PlacePair(const QRect& dialog, const QSize& preferred,
                                      const QSize& minimum, const QRect& screen);
// Whether a window placed at remembered (a frame rectangle from an earlier run) must be placed
// anew: not wholly on the screen, or covering part of the dialog.
[[nodiscard]] bool NeedsPlacing(const QRect& remembered, const QRect& dialog, const QRect& screen);

}  // namespace korvale
