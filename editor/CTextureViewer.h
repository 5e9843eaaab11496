#pragma once
// The texture window: the record's mip set as a list of its levels, the selected level drawn at
// a zoom (or every level side by side), its palette, the mip header and what the last load
// found. Non-modal, owned by the main dialog, and only ever reads the document: one Refresh()
// draws everything from it and from the view state below, and the document's signals say when.
// Its File menu writes levels out as pictures; what loads or imports (opening a file, importing
// a picture, a dropped file, a level edited in another program) it asks of the dialog, and its
// Edit menu takes changes of the set back through the document.

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "CLevelActions.h"
#include "CLevelCanvas.h"
#include "CMip.h"
#include "CTextureWindowUi.h"
#include "DialogServices.h"
#include "Image.h"
#include "LevelQImage.h"
#include "ZoomModel.h"

class QAction;
class QComboBox;
class QMenu;
class QScrollArea;
class QTreeWidget;

namespace korvale {

class CChainView;
class CPaletteView;
class CTextureDocument;

class CTextureViewer : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr std::array<int, 5> kZoomSteps = zoom::kSteps;
    static constexpr int kFit = zoom::kFit;  // fits the level (or the chain) to the window
    static constexpr int kDefaultWidth = 900;
    static constexpr int kDefaultHeight = 640;

    // How the level is shown: everything the viewer keeps besides the record.
    struct State {
        int slot = -1;  // the selected level; the largest when it is not filled
        int zoom = 1;   // one of kZoomSteps, or kFit
        ChannelView view = ChannelView::kColour;
        bool checker = true;  // colours keep their alpha, drawn over the backdrop
        Backdrop backdrop = Backdrop::kChecker;
        bool grid = false;   // lines between texels from 8x up
        bool chain = false;  // every level side by side instead of the selected one
        int highlight = -1;  // the palette index picked out (hovering its swatch, or [ and ])
    };

    CTextureViewer(CTextureDocument& document, DialogServices& services, QWidget* parent = nullptr);

    // Draws everything again from the record: after every change of the record or the view.
    void Refresh();
    // A set from another file: its top level, fitted to the window when larger, else at the
    // largest zoom step that fits.
    void ShowNewSet();

    // A level picked by the user (the list, the chain view); kept across loads when it exists.
    void SelectSlot(int slot);
    void SetView(ChannelView view);
    void SetChecker(bool on);
    void SetBackdrop(Backdrop backdrop);
    void SetGrid(bool on);
    void SetChain(bool on);
    void SetHighlight(int index);
    // The next or previous palette index to pick out, through "none".
    void HighlightNext();
    void HighlightPrevious();
    // One of kZoomSteps or kFit.
    void SetZoom(int zoom);
    // The next step up or down from the scale on screen (fit included), within 1x..16x,
    // keeping the middle of the view where it is.
    void ZoomIn();
    void ZoomOut();

    // Export Level: the selected level to a PNG file the user names.
    void ExportLevel();
    // Export All Levels: every level into a folder the user picks, as <name>-<w>x<h>.png.
    void ExportAllLevels();
    // Copy: the selected level, at full scale with its alpha, to the clipboard.
    void CopyLevel();

    // The view state, the window's geometry, from and to the settings.
    void SaveSettings() const;
    void RestoreSettings();
    // False when no geometry was stored.
    bool RestoreGeometry();
    // The least size of the window (without its frame) that shows a picture area of picture
    // pixels beside the side panel, the whole tool bar and the longest pixel read-out.
    [[nodiscard]] QSize LeastSize(QSize picture) const;

    [[nodiscard]] const State& ViewState() const { return state_; }
    // Screen pixels per texel.
    [[nodiscard]] double Scale() const;
    // False while the record holds no level ("No texture loaded").
    [[nodiscard]] bool ShowsTexture() const;
    // The last load as the report section (or the empty page) shows it.
    [[nodiscard]] QString ReportText() const;
    [[nodiscard]] QTreeWidget* LevelList() const { return ui_.levels; }
    [[nodiscard]] CLevelCanvas* Canvas() const { return ui_.canvas; }
    [[nodiscard]] CChainView* Chain() const { return ui_.chain; }
    [[nodiscard]] CPaletteView* PaletteView() const { return ui_.palette; }
    // The scroll area of what is shown: the level or the chain.
    [[nodiscard]] QScrollArea* ScrollArea() const;
    [[nodiscard]] QComboBox* ZoomBox() const { return ui_.zoom; }
    [[nodiscard]] QMenu* ViewMenu() const { return ui_.viewMenu; }
    [[nodiscard]] QAction* ExportLevelAction() const { return ui_.exportLevel; }
    [[nodiscard]] QAction* ExportAllAction() const { return ui_.exportAll; }
    [[nodiscard]] QAction* EditExternallyAction() const { return ui_.editExternally; }
    [[nodiscard]] QAction* RebuildPaletteAction() const { return ui_.rebuildPalette; }
    [[nodiscard]] QAction* OpenAction() const { return ui_.open; }
    [[nodiscard]] QMenu* RecentMenu() const { return ui_.recent; }
    [[nodiscard]] QAction* UndoAction() const { return ui_.undo; }
    [[nodiscard]] QAction* RedoAction() const { return ui_.redo; }
    [[nodiscard]] QAction* HighlightNextAction() const { return ui_.highlightNext; }

  signals:
    // File > Import Image...
    void ImportRequested();
    // A file dropped on the window, after the drop.
    void FileDropped(const QString& path);
    // File > Open... or Open Recent: a file to open as a drop would be.
    void OpenRequested(const QString& path);
    // File > Edit Level Externally...: the selected level.
    void EditExternallyRequested(int slot);
    // File > Rebuild Palette From Edits.
    void RebuildPaletteToggled(bool on);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // What the widgets and actions do: the menus, the View menu, and the panel and pages.
    void ConnectMenus();
    void ConnectViewMenu();
    void ConnectWidgets();
    void FillRecentMenu();
    void ChooseAndOpen();
    // Shows state_ in the menus and the tool bar, without any of them reporting a change.
    void ShowState(int type);
    // The steps of Refresh(): the empty page, the list of levels, the load report, the palette.
    void ShowEmpty();
    void ShowLevelList(const std::vector<int>& filled);
    void ShowReport();
    void ShowPalette();
    // Draws the levels in shownSlots (the selected one, or the whole chain) for a view, once per
    // refresh; DrawPictures() shows them with the highlight picked out.
    void MakePictures(const std::vector<int>& shownSlots, ChannelView view);
    void DrawPictures();
    // Shows an action's notice in the status bar, when it has one.
    void Notice(const std::optional<QString>& text);
    // The pixel read-out for the texel under the mouse, wherever the mouse last was.
    void UpdateReadout();
    // Zooms to zoom, keeping the point of the view at viewportPos where it is.
    void ZoomKeeping(int zoom, QPoint viewportPos);
    void ZoomAround(int steps, QPointF texel, QPoint where);
    [[nodiscard]] int StepFrom(double scale, int direction) const;
    // The zoom a new set opens at: fit when content is larger than the view, else the largest
    // step that fits.
    [[nodiscard]] int AutoZoom(QSize content) const;
    [[nodiscard]] QSize ContentSize() const;
    void UpdateTitle();
    // After the document showed another set (otherFile: from another file).
    void SetReplaced(bool otherFile);

    CTextureDocument& document_;
    const CMip& mip_;  // the document's set
    DialogServices& services_;
    CLevelActions actions_;  // export and copy
    State state_;
    Image shown_;  // the selected level as LevelToImage gives it, for the pixel read-out
    std::array<Image, CMip::kSlots> chainShown_;          // every level, while the chain is shown
    std::vector<std::pair<int, LevelPicture>> pictures_;  // (slot, picture) as last drawn
    Backdrop backdrop_ = Backdrop::kChecker;              // under them
    QPoint mouse_;            // the mouse's last global position over the level
    bool mouseOver_ = false;  // and whether it is still over it
    bool refreshing_ = false;
    int wheelDelta_ = 0;

    CTextureWindowUi ui_;
};

}  // namespace korvale
