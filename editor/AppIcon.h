#pragma once
// Korvale's icon, drawn in code in 16 colours at 32 x 32 and 16 x 16.

#include <QIcon>
#include <QImage>

namespace korvale {

// One size of the icon as a 16-colour indexed image.
[[nodiscard]] QImage KorvaleIconImage(int size);
// Both sizes.
[[nodiscard]] QIcon KorvaleIcon();

}  // namespace korvale
