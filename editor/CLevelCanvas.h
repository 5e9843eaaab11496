#pragma once
// The level drawn at any zoom, nearest neighbour, inside the viewer's scroll area. It keeps the
// level at 1x and paints only the rectangle it is asked for, so a 256 x 256 level at 16x costs
// no more to scroll than the part on screen. From 8x up it can draw a grid between the texels.

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QWidget>

namespace korvale {

// What shows through transparent texels.
enum class Backdrop { kChecker, kBlack, kWhite };

class CLevelCanvas : public QWidget {
    Q_OBJECT

  public:
    // The checkerboard behind transparent pixels: squares of kCheckerCell screen pixels, a size
    // no zoom step gives a texel, so the squares never pass for the texture's own pattern.
    static constexpr int kCheckerCell = 12;
    static constexpr QRgb kCheckerLight = 0xFFFFFFFFU;
    static constexpr QRgb kCheckerDark = 0xFFCCCCCCU;
    // The grid between texels is drawn from this many screen pixels per texel up, in this colour
    // (half-transparent grey, seen on dark and light texels alike).
    static constexpr double kGridFromScale = 8.0;
    static constexpr QRgb kGridColour = 0x80808080U;

    explicit CLevelCanvas(QWidget* parent = nullptr);

    // The level at 1x (any format; kept premultiplied), the screen pixels per texel, and what is
    // drawn under it. The widget takes the scaled size.
    void Show(const QImage& level, double scale, Backdrop backdrop);
    // The grid between texels, drawn when the scale reaches kGridFromScale.
    void SetGrid(bool on);

    // The texel under a point of the widget, or (-1, -1) outside the level.
    [[nodiscard]] QPoint TexelAt(const QPoint& pos) const;
    // Paints the part rect of a level (premultiplied ARGB32) drawn with its top left at origin:
    // the backdrop, the texels that reach into rect, and the grid when asked for and the scale
    // reaches kGridFromScale. The checkerboard's squares start at origin.
    // The checkerboard over rect, its squares cell pixels per side starting light at origin:
    // the level's backdrop, and wherever else transparency is shown (swatches, previews).
    static void FillChecker(QPainter& painter, const QRect& rect, QPoint origin,
                            int cell = kCheckerCell);
    static void PaintLevel(QPainter& painter, const QPoint& origin, const QImage& level,
                           double scale, Backdrop backdrop, bool grid, const QRect& rect);

  signals:
    // The texel under the mouse, or (-1, -1) when the mouse left the level.
    void TexelHovered(QPoint texel);
    // Ctrl and the wheel: steps > 0 zoom in. at is the texel position under the mouse, in
    // texels (fractional), and where is the mouse in the widget.
    void ZoomRequested(int steps, QPointF at, QPoint where);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    QImage level_;
    double scale_ = 1.0;
    Backdrop backdrop_ = Backdrop::kChecker;
    bool grid_ = false;
    int wheelDelta_ = 0;
};

}  // namespace korvale
