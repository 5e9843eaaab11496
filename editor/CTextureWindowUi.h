#pragma once
// The Texture window's widgets and actions, built once with their texts, shortcuts, names and
// layout, and nothing of what they do: the window connects them to its behaviour and draws
// into them. Keeping the two apart lets the look of the window change without touching how it
// behaves, and the other way round.

#include <QCoreApplication>
#include <QString>
#include <array>

#include "LevelQImage.h"
#include "ZoomModel.h"

class QAction;
class QActionGroup;
class QComboBox;
class QLabel;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

namespace korvale {

class CChainView;
class CLevelCanvas;
class CPaletteView;

class CTextureWindowUi {
    // The window's texts keep the window's own translation context.
    Q_DECLARE_TR_FUNCTIONS(korvale::CTextureViewer)

  public:
    // The channel views in the order of the View box and the Alt+1..4 shortcuts.
    static constexpr std::array<ChannelView, 4> kViews = {ChannelView::kColour, ChannelView::kAlpha,
                                                          ChannelView::kIndexGrey,
                                                          ChannelView::kIndexPalette};
    // The side panel's width.
    static constexpr int kSideWidth = 270;

    // Builds everything into window, whose initial width is width.
    void Build(QMainWindow& window, int width);

    // The central pages: the empty one ("No texture loaded") or the content.
    QStackedWidget* pages = nullptr;
    QWidget* empty = nullptr;
    QLabel* emptyReport = nullptr;
    QSplitter* content = nullptr;
    // The side panel.
    QTreeWidget* levels = nullptr;
    QLabel* header = nullptr;
    QToolButton* reportToggle = nullptr;
    QPlainTextEdit* report = nullptr;
    QWidget* paletteBox = nullptr;
    CPaletteView* palette = nullptr;
    QLabel* swatchText = nullptr;
    // The tool bar's boxes.
    QComboBox* view = nullptr;
    QComboBox* zoom = nullptr;
    QToolBar* toolBar = nullptr;
    // The level, or the whole chain, each in its scroll area.
    QStackedWidget* mainPages = nullptr;
    QScrollArea* scroll = nullptr;
    CLevelCanvas* canvas = nullptr;
    QScrollArea* chainScroll = nullptr;
    CChainView* chain = nullptr;
    QLabel* readout = nullptr;

    // File
    QAction* open = nullptr;
    QMenu* recent = nullptr;
    QAction* import = nullptr;
    QAction* exportLevel = nullptr;
    QAction* exportAll = nullptr;
    QAction* editExternally = nullptr;
    QAction* rebuildPalette = nullptr;
    QAction* close = nullptr;
    // Edit
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* copy = nullptr;
    // View
    QMenu* viewMenu = nullptr;
    QAction* chainAction = nullptr;
    QActionGroup* views = nullptr;
    QAction* zoomIn = nullptr;
    QAction* zoomOut = nullptr;
    QActionGroup* zooms = nullptr;  // each action's data is its zoom
    QAction* checkerAction = nullptr;
    QActionGroup* backdrops = nullptr;  // each action's data is its Backdrop
    QAction* gridAction = nullptr;
    QAction* highlightNext = nullptr;
    QAction* highlightPrevious = nullptr;
    QAction* clearHighlight = nullptr;

    static QString ViewName(ChannelView view);
    static QString ZoomText(int zoom);

  private:
    void BuildMenus(QMainWindow& window);
    void BuildViewMenu(QMainWindow& window);
    void AddViewActions(QMainWindow& window);
    void AddZoomActions(QMainWindow& window);
    void AddBackdropActions(QMainWindow& window);
    void AddHighlightActions();
    void BuildToolBar(QMainWindow& window);
    void BuildWidgets(QMainWindow& window, int width);
    void BuildEmptyPage();
    QWidget* BuildSidePanel(QWidget* parent);
    void AddReportSection(QWidget* side, QVBoxLayout* layout);
    void AddLevelList(QWidget* side, QVBoxLayout* layout);
    void AddPaletteSection(QWidget* side, QVBoxLayout* layout);
    void BuildViewBoxes(QWidget* parent);
    void BuildLevelPages(QWidget* parent);
};

}  // namespace korvale
