#pragma once
// Dialog units: layouts given in units of the dialog font, so they keep their proportions with
// any font. Horizontally a quarter of the average character width, vertically an eighth of the
// character height.

#include <QFont>
#include <QRect>

namespace korvale {

class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseWidth, int baseHeight) : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

    [[nodiscard]] int X(int units) const { return (units * baseWidth_ + 2) / 4; }
    [[nodiscard]] int Y(int units) const { return (units * baseHeight_ + 4) / 8; }
    [[nodiscard]] QRect Rect(int x, int y, int w, int h) const { return {X(x), Y(y), X(w), Y(h)}; }

  private:
    int baseWidth_;
    int baseHeight_;
};

}  // namespace korvale
