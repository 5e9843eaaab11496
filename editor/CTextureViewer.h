#pragma once
// The texture window: the record's mip set as a list of its levels, the selected level drawn at
// a zoom, its palette and the mip header. Non-modal, owned by the main dialog, and only ever
// reads the record: one Refresh() draws everything from it and from the view state below. Its
// File menu writes levels out as pictures; what changes the record (importing a picture, a
// dropped file) it asks of the dialog.

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <array>

#include "CMip.h"
#include "DialogServices.h"
#include "Image.h"
#include "LevelQImage.h"

class QAction;
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

    CTextureViewer(const CMip& mip, DialogServices& services, QWidget* parent = nullptr);

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

    // The name exported levels are called after (see LevelFileName): the base name of the file
    // the set came from.
    void SetTextureName(const QString& base);
    // Export Level: the selected level to a PNG file the user names.
    void ExportLevel();
    // Export All Levels: every level into a folder the user picks, as <name>-<w>x<h>.png.
    void ExportAllLevels();

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
    [[nodiscard]] QAction* ImportAction() const { return import_; }
    [[nodiscard]] QAction* ExportLevelAction() const { return exportLevel_; }
    [[nodiscard]] QAction* ExportAllAction() const { return exportAll_; }

  signals:
    // File > Import Image...
    void ImportRequested();
    // A file dropped on the window, after the drop.
    void FileDropped(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWidgets();
    void BuildMenu();
    // Writes one level; false after telling the user why not.
    bool WriteLevel(int slot, const QString& path);
    void ShowPixel(QPoint texel);
    void ZoomAround(int steps, QPointF texel, QPoint where);

    const CMip& mip_;
    DialogServices& services_;
    QString textureName_ = QStringLiteral("texture");
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
    QAction* import_ = nullptr;
    QAction* exportLevel_ = nullptr;
    QAction* exportAll_ = nullptr;
};

}  // namespace korvale
