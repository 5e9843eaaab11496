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

}  // namespace korvale
