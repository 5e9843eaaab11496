#pragma once
// The texture window: the record's mip set as a list of its levels, the selected level drawn at
// a zoom, its palette and the mip header. Non-modal, owned by the main dialog, and only ever
// reads the record: one Refresh() draws everything from it and from the view state below.

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <array>

#include "CMip.h"
#include "Image.h"
#include "LevelQImage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QScrollArea;
class QStackedWidget;
class QTreeWidget;

namespace korvale {

class CLevelCanvas;
class CPaletteView;

class CTextureViewer : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr std::array<int, 5> kZoomSteps = {1, 2, 4, 8, 16};
    static constexpr int kFit = 0;  // the zoom that fits the level to the window

    // How the level is shown: everything the viewer keeps besides the record.
    struct State {
        int slot = -1;  // the selected level; the largest when it is not filled
        int zoom = 1;   // one of kZoomSteps, or kFit
        ChannelView view = ChannelView::kColour;
        bool checker = true;  // colours keep their alpha, over a checkerboard
        int highlight = -1;   // the palette index picked out by hovering its swatch
    };

    CTextureViewer(const CMip& mip, QWidget* parent = nullptr);

    // Draws everything again from the record: after every load, and after every change of the
    // view state.
    void Refresh();

    void SelectSlot(int slot);
    void SetView(ChannelView view);
    void SetChecker(bool on);
    void SetHighlight(int index);
    // One of kZoomSteps or kFit.
    void SetZoom(int zoom);
    // The next step up or down from the scale on screen (fit included), within 1x..16x.
    void ZoomIn();
    void ZoomOut();

    [[nodiscard]] const State& ViewState() const { return state_; }
    // Screen pixels per texel.
    [[nodiscard]] double Scale() const;
    // False while the record holds no level ("No texture loaded").
    [[nodiscard]] bool ShowsTexture() const;
    [[nodiscard]] QString HeaderText() const;
    [[nodiscard]] QString StatusText() const;
    [[nodiscard]] QTreeWidget* LevelList() const { return levels_; }
    [[nodiscard]] CLevelCanvas* Canvas() const { return canvas_; }
    [[nodiscard]] CPaletteView* PaletteView() const { return palette_; }
    [[nodiscard]] QScrollArea* ScrollArea() const { return scroll_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWidgets();
    void ShowPixel(QPoint texel);
    void ZoomAround(int steps, QPointF texel, QPoint where);

    const CMip& mip_;
    State state_;
    Image shown_;  // the selected level as LevelToImage gives it, for the pixel read-out
    QPoint hoveredTexel_{-1, -1};
    bool refreshing_ = false;

    QStackedWidget* pages_ = nullptr;
    QLabel* empty_ = nullptr;
    QWidget* content_ = nullptr;
    QTreeWidget* levels_ = nullptr;
    QLabel* header_ = nullptr;
    QWidget* paletteBox_ = nullptr;
    CPaletteView* palette_ = nullptr;
    QLabel* swatchText_ = nullptr;
    QComboBox* view_ = nullptr;
    QCheckBox* checker_ = nullptr;
    QComboBox* zoom_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    CLevelCanvas* canvas_ = nullptr;
    QLabel* readout_ = nullptr;
};

}  // namespace korvale
