#include "CTextureWindowUi.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <utility>

#include "CChainView.h"
#include "CLevelCanvas.h"
#include "CPaletteView.h"

namespace korvale {

namespace {

// The least the side panel and the level's own area keep beside each other.
constexpr int kSideMinimum = 160;
constexpr int kMainMinimum = 120;
// Lines of the load report shown before it scrolls.
constexpr int kReportLines = 6;

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

}  // namespace

QString CTextureWindowUi::ViewName(ChannelView view) {
    switch (view) {
        case ChannelView::kColour:
            return tr("&Colour");
        case ChannelView::kAlpha:
            return tr("&Alpha");
        case ChannelView::kIndexGrey:
            return tr("&Index (grey)");
        case ChannelView::kIndexPalette:
            return tr("Index (&palette)");
    }
    return {};
}

QString CTextureWindowUi::ZoomText(int zoom) {
    return tr("%1x").arg(zoom);
}

void CTextureWindowUi::Build(QMainWindow& window, int width) {
    // The tool bar takes the view boxes the widgets make.
    BuildWidgets(window, width);
    BuildMenus(window);
}

void CTextureWindowUi::BuildMenus(QMainWindow& window) {
    QMenu* fileMenu = window.menuBar()->addMenu(tr("&File"));
    open = fileMenu->addAction(tr("&Open..."));
    open->setShortcut(QKeySequence::Open);
    recent = fileMenu->addMenu(tr("Open &Recent"));
    recent->setObjectName(QStringLiteral("recentMenu"));
    fileMenu->addSeparator();
    import = fileMenu->addAction(tr("&Import Image..."));
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    exportLevel = fileMenu->addAction(tr("Export &Level..."));
    exportLevel->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    exportAll = fileMenu->addAction(tr("Export &All Levels..."));
    exportAll->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    fileMenu->addSeparator();
    editExternally = fileMenu->addAction(tr("E&dit Level Externally..."));
    editExternally->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X));
    rebuildPalette = fileMenu->addAction(tr("Re&build Palette From Edits"));
    rebuildPalette->setCheckable(true);
    rebuildPalette->setToolTip(
        tr("An edited palettised level gets a new palette made from the picture, instead of "
           "having its colours matched to the palette it has"));
    fileMenu->addSeparator();
    close = fileMenu->addAction(tr("&Close"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));

    QMenu* edit = window.menuBar()->addMenu(tr("&Edit"));
    // Changes of the set: an import, a level edited in another program, a palette rebuilt.
    undo = edit->addAction(tr("&Undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo = edit->addAction(tr("&Redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    edit->addSeparator();
    copy = edit->addAction(tr("&Copy Level"));
    copy->setShortcut(QKeySequence::Copy);

    BuildViewMenu(window);
}

void CTextureWindowUi::BuildViewMenu(QMainWindow& window) {
    viewMenu = window.menuBar()->addMenu(tr("&View"));
    chainAction = viewMenu->addAction(tr("All Levels &Side by Side"));
    chainAction->setCheckable(true);
    chainAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    viewMenu->addSeparator();
    AddViewActions(window);
    viewMenu->addSeparator();
    AddZoomActions(window);
    viewMenu->addSeparator();
    AddBackdropActions(window);
    viewMenu->addSeparator();
    AddHighlightActions();
    BuildToolBar(window);
}

void CTextureWindowUi::AddViewActions(QMainWindow& window) {
    views = new QActionGroup(&window);
    for (std::size_t i = 0; i < kViews.size(); ++i) {
        QAction* action = viewMenu->addAction(ViewName(kViews[i]));
        action->setCheckable(true);
        action->setData(static_cast<int>(kViews[i]));
        action->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + i)));
        views->addAction(action);
    }
}

void CTextureWindowUi::AddZoomActions(QMainWindow& window) {
    zoomIn = viewMenu->addAction(tr("Zoom &In"));
    // Ctrl and the plus key, shifted or not.
    zoomIn->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    zoomOut = viewMenu->addAction(tr("Zoom &Out"));
    zoomOut->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    zooms = new QActionGroup(&window);
    const auto addZoom = [this](const QString& text, int step, const QKeySequence& key) {
        QAction* action = viewMenu->addAction(text);
        action->setData(step);
        action->setCheckable(true);
        action->setShortcut(key);
        zooms->addAction(action);
    };
    addZoom(tr("&Fit to Window"), zoom::kFit, QKeySequence(Qt::CTRL | Qt::Key_0));
    for (const int step : zoom::kSteps) {
        // Ctrl and the step's own digit where it has one.
        addZoom(ZoomText(step), step,
                step < 10 ? QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + step))
                          : QKeySequence());
    }
}

void CTextureWindowUi::AddBackdropActions(QMainWindow& window) {
    checkerAction = viewMenu->addAction(tr("Alpha over &Background"));
    checkerAction->setCheckable(true);
    checkerAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    QMenu* backdrop = viewMenu->addMenu(tr("Bac&kground"));
    backdrops = new QActionGroup(&window);
    const std::array<std::pair<QString, Backdrop>, 3> kinds = {
        {{tr("&Checkerboard"), Backdrop::kChecker},
         {tr("&Black"), Backdrop::kBlack},
         {tr("&White"), Backdrop::kWhite}}};
    for (const auto& [name, kind] : kinds) {
        QAction* action = backdrop->addAction(name);
        action->setCheckable(true);
        action->setData(static_cast<int>(kind));
        backdrops->addAction(action);
    }
    gridAction = viewMenu->addAction(tr("Pixel &Grid (from 8x)"));
    gridAction->setCheckable(true);
    gridAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
}

void CTextureWindowUi::AddHighlightActions() {
    highlightNext = viewMenu->addAction(tr("Highlight &Next Palette Colour"));
    highlightNext->setShortcut(QKeySequence(Qt::Key_BracketRight));
    highlightPrevious = viewMenu->addAction(tr("Highlight &Previous Palette Colour"));
    highlightPrevious->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    clearHighlight = viewMenu->addAction(tr("&Clear Highlight"));
    clearHighlight->setObjectName(QStringLiteral("clearHighlight"));
    clearHighlight->setShortcut(QKeySequence(Qt::Key_Escape));
}

void CTextureWindowUi::BuildToolBar(QMainWindow& window) {
    // The tool bar offers the choices used most, next to the menu.
    toolBar = window.addToolBar(tr("View"));
    toolBar->setObjectName(QStringLiteral("viewToolBar"));
    toolBar->setMovable(false);
    toolBar->addWidget(new QLabel(tr("View:"), toolBar));
    toolBar->addWidget(view);
    toolBar->addAction(checkerAction);
    toolBar->addSeparator();
    toolBar->addWidget(new QLabel(tr("Zoom:"), toolBar));
    toolBar->addWidget(zoom);
    toolBar->addSeparator();
    toolBar->addAction(chainAction);
    // The two toggles keep their button's frame when off, so they look like buttons rather
    // than labels.
    for (QAction* toggle : {checkerAction, chainAction}) {
        if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(toggle))) {
            button->setAutoRaise(false);
            button->setObjectName(toggle == chainAction ? QStringLiteral("chainToggle")
                                                        : QStringLiteral("checkerToggle"));
        }
    }
}

void CTextureWindowUi::BuildWidgets(QMainWindow& window, int width) {
    pages = new QStackedWidget(&window);
    window.setCentralWidget(pages);
    BuildEmptyPage();
    content = new QSplitter(Qt::Horizontal, pages);
    content->setObjectName(QStringLiteral("content"));
    pages->addWidget(content);
    QWidget* side = BuildSidePanel(content);
    BuildViewBoxes(&window);
    BuildLevelPages(content);

    content->addWidget(side);
    content->addWidget(mainPages);
    content->setStretchFactor(0, 0);
    content->setStretchFactor(1, 1);
    content->setCollapsible(0, false);
    content->setCollapsible(1, false);
    content->setSizes({kSideWidth, width - kSideWidth});

    readout = new QLabel(&window);
    readout->setObjectName(QStringLiteral("readout"));
    // A long read-out is cut off rather than widening the window.
    readout->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    window.statusBar()->addWidget(readout, 1);
}

void CTextureWindowUi::BuildEmptyPage() {
    empty = new QWidget(pages);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch(1);
    auto* nothing = new QLabel(tr("No texture loaded"), empty);
    nothing->setObjectName(QStringLiteral("noTexture"));
    nothing->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(nothing);
    emptyReport = new QLabel(empty);
    emptyReport->setObjectName(QStringLiteral("emptyReport"));
    emptyReport->setAlignment(Qt::AlignCenter);
    emptyReport->setWordWrap(true);
    emptyReport->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyLayout->addWidget(emptyReport);
    emptyLayout->addStretch(1);
    pages->addWidget(empty);
}

QWidget* CTextureWindowUi::BuildSidePanel(QWidget* parent) {
    // The side panel scrolls when the window is too short for it.
    auto* sideScroll = new QScrollArea(parent);
    sideScroll->setObjectName(QStringLiteral("sidePanel"));
    sideScroll->setWidgetResizable(true);
    sideScroll->setFrameShape(QFrame::NoFrame);
    sideScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sideScroll->setMinimumWidth(kSideMinimum);
    auto* side = new QWidget(sideScroll);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 4, 0);
    AddLevelList(side, sideLayout);
    sideLayout->addWidget(Caption(tr("Header"), side));
    header = new QLabel(side);
    header->setObjectName(QStringLiteral("header"));
    header->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header->setWordWrap(true);
    header->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sideLayout->addWidget(header);
    AddReportSection(side, sideLayout);
    AddPaletteSection(side, sideLayout);
    sideLayout->addStretch(1);
    sideScroll->setWidget(side);
    return sideScroll;
}

void CTextureWindowUi::AddReportSection(QWidget* side, QVBoxLayout* layout) {
    // The load report in a section of its own that scrolls (a file cut short early lists
    // every level it lost) and folds away.
    reportToggle = new QToolButton(side);
    reportToggle->setObjectName(QStringLiteral("reportToggle"));
    reportToggle->setText(tr("Last load"));
    reportToggle->setCheckable(true);
    reportToggle->setChecked(true);
    reportToggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    reportToggle->setAutoRaise(true);
    QFont bold = reportToggle->font();
    bold.setBold(true);
    reportToggle->setFont(bold);
    // First in the panel, so a short window still shows what the last load found.
    layout->insertWidget(0, reportToggle);
    report = new QPlainTextEdit(side);
    report->setObjectName(QStringLiteral("loadReport"));
    report->setReadOnly(true);
    report->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    report->setFixedHeight(report->fontMetrics().lineSpacing() * kReportLines +
                           2 * report->frameWidth() + 8);
    layout->insertWidget(1, report);
    // Folding is the section's own: nothing else depends on it.
    QObject::connect(reportToggle, &QToolButton::toggled, report, [this](bool open) {
        report->setVisible(open);
        reportToggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    });
    reportToggle->setArrowType(Qt::DownArrow);
}

void CTextureWindowUi::AddLevelList(QWidget* side, QVBoxLayout* layout) {
    layout->addWidget(Caption(tr("Levels"), side));
    levels = new QTreeWidget(side);
    levels->setHeaderLabels({tr("Slot"), tr("Size"), tr("Type"), tr("Palette")});
    levels->setRootIsDecorated(false);
    levels->setUniformRowHeights(true);
    levels->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Room for all nine slots and the header row.
    levels->setMinimumHeight(levels->fontMetrics().lineSpacing() * 10 + 16);
    layout->addWidget(levels);
}

void CTextureWindowUi::AddPaletteSection(QWidget* side, QVBoxLayout* layout) {
    paletteBox = new QWidget(side);
    auto* paletteLayout = new QVBoxLayout(paletteBox);
    paletteLayout->setContentsMargins(0, 0, 0, 0);
    paletteLayout->addWidget(Caption(tr("Palette"), paletteBox));
    palette = new CPaletteView(paletteBox);
    paletteLayout->addWidget(palette);
    swatchText = new QLabel(paletteBox);
    paletteLayout->addWidget(swatchText);
    layout->addWidget(paletteBox);
}

void CTextureWindowUi::BuildViewBoxes(QWidget* parent) {
    view = new QComboBox(parent);
    view->setObjectName(QStringLiteral("viewBox"));
    for (const ChannelView kind : kViews) {
        view->addItem(ViewName(kind).remove(QLatin1Char('&')));
    }
    zoom = new QComboBox(parent);
    zoom->setObjectName(QStringLiteral("zoomBox"));
    for (const int step : zoom::kSteps) {
        zoom->addItem(ZoomText(step), step);
    }
    zoom->addItem(tr("Fit"), zoom::kFit);
    zoom->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    zoom->setMinimumContentsLength(9);  // "Fit (100%)"
    zoom->setToolTip(tr("Ctrl+plus, Ctrl+minus, Ctrl+0 to fit; Ctrl+wheel"));
}

void CTextureWindowUi::BuildLevelPages(QWidget* parent) {
    mainPages = new QStackedWidget(parent);
    mainPages->setMinimumWidth(kMainMinimum);
    scroll = new QScrollArea(mainPages);
    scroll->setObjectName(QStringLiteral("levelScroll"));
    scroll->setBackgroundRole(QPalette::Dark);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setWidgetResizable(false);
    canvas = new CLevelCanvas;
    scroll->setWidget(canvas);
    mainPages->addWidget(scroll);

    chainScroll = new QScrollArea(mainPages);
    chainScroll->setObjectName(QStringLiteral("chainScroll"));
    chainScroll->setAlignment(Qt::AlignCenter);
    chainScroll->setWidgetResizable(false);
    chain = new CChainView;
    chain->setObjectName(QStringLiteral("chainView"));
    chainScroll->setWidget(chain);
    mainPages->addWidget(chainScroll);
}

}  // namespace korvale
