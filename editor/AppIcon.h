#pragma once
// Korvale's icon, drawn in code in 16 colours: the window icon at 32 x 32 and 16 x 16, and the
// desktop's icon theme sizes (16, 32, 48, 256) for the installed application.

#include <QIcon>
#include <QImage>

namespace korvale {

// One size of the icon as a 16-colour indexed image. From 48 pixels up the drawing gains the
// depth a large icon needs (bevelled plate, thicker frames, shadows); below that every pixel
// counts, so the tiles are drawn flat.
[[nodiscard]] QImage KorvaleIconImage(int size);
// The window icon: 32 and 16 pixels.
[[nodiscard]] QIcon KorvaleIcon();

}  // namespace korvale
