#pragma once
// A level's 16-colour palette as two rows of eight swatches, each marked with its index; hovering a
// swatch names its RGBA values and reports the index, so the viewer can pick out its pixels.

#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <span>

#include "Image.h"

namespace korvale {

class CPaletteView : public QWidget {
    Q_OBJECT

  public:
    static constexpr int kColumns = 8;
    static constexpr int kRows = 2;
    static constexpr int kSwatch = 28;  // pixels per side
    static constexpr int kGap = 3;

    explicit CPaletteView(QWidget* parent = nullptr);

    // The 16 colours (full scale, as LevelToImage gives them) and the swatch drawn as picked
    // out (-1 for none).
    void Show(std::span<const Rgba8> colours, int highlight);

    [[nodiscard]] QRect SwatchRect(int index) const;
    // The swatch under a point, or -1.
    [[nodiscard]] int SwatchAt(const QPoint& pos) const;
    // "index 3: R 12 G 34 B 56 A 255".
    [[nodiscard]] QString SwatchText(int index) const;

    [[nodiscard]] QSize sizeHint() const override;

  signals:
    // The swatch under the mouse, or -1 when it left them.
    void SwatchHovered(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void Hover(int index);

    std::array<Rgba8, 16> colours_{};
    int highlight_ = -1;
    int hovered_ = -1;
};

}  // namespace korvale
