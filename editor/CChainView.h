#pragma once
// Every level of a set side by side, largest first and top-aligned, as korvale-tool export
// --sheet lays them out, each drawn at the same zoom with its slot and size written under it.
// A click selects a level; the selected one is framed.

#include <QImage>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <vector>

#include "CLevelCanvas.h"

namespace korvale {

class CChainView : public QWidget {
    Q_OBJECT

  public:
    // Screen pixels between two levels.
    static constexpr int kGap = 16;

    struct Level {
        int slot = -1;
        QImage image;  // at 1x, as the viewer draws it
    };

    explicit CChainView(QWidget* parent = nullptr);

    // The levels in the order shown, the zoom, the backdrop, the grid and the selected slot.
    void Show(std::vector<Level> levels, double scale, Backdrop backdrop, bool grid, int selected);
    // The size the levels take at a zoom of 1 (labels included), for fitting them to a view.
    [[nodiscard]] QSize NaturalSize() const;
    // The slot of the level under a point and the texel there, or slot -1.
    [[nodiscard]] std::pair<int, QPoint> LevelAt(const QPoint& pos) const;
    // "slot 8: 256 x 256".
    [[nodiscard]] static QString LevelLabel(int slot, QSize size);

  signals:
    void SlotClicked(int slot);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    [[nodiscard]] int LabelHeight() const;
    // Places the levels at a zoom into rects; returns the size they take.
    [[nodiscard]] QSize Layout(double scale, std::vector<QRect>& rects) const;

    std::vector<Level> levels_;
    std::vector<QRect> rects_;  // one per level, where it is drawn
    double scale_ = 1.0;
    Backdrop backdrop_ = Backdrop::kChecker;
    bool grid_ = false;
    int selected_ = -1;
};

}  // namespace korvale
