#include "CTextureViewer.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "CChainView.h"
#include "CFileDropTarget.h"
#include "CPaletteView.h"
#include "CTextureDocument.h"
#include "EditorSettings.h"
#include "LevelImage.h"
#include "PixelCodec.h"
#include "PixelType.h"
#include "PngIo.h"
#include "ZoomModel.h"

namespace korvale {

namespace {

// How long the status bar says what an export wrote.
constexpr int kNoticeMs = 8000;
// The side panel's width, and the least the level's own area keeps beside it.
constexpr int kSideWidth = 270;
constexpr int kSideMinimum = 160;
constexpr int kMainMinimum = 120;
// Lines of the load report shown before it scrolls.
constexpr int kReportLines = 6;

QString MipHeaderText(const CMip& mip) {
    const QString palettes = mip.SavesLevelPalettes()   ? CTextureViewer::tr("a palette per level")
                             : mip.SavesGlobalPalette() ? CTextureViewer::tr("one global palette")
                                                        : CTextureViewer::tr("unknown");
    return CTextureViewer::tr(
               "miptype %1 (%2)\nsize 2^%3 x 2^%4 = %5 x %6\nrepeat code %7 (h %8, v %9)\n"
               "numimages %10")
        .arg(mip.miptype)
        .arg(palettes)
        .arg(mip.powerwidth)
        .arg(mip.powerheight)
        .arg(mip.Width())
        .arg(mip.Height())
        .arg(mip.RepeatCode())
        .arg(mip.hrepeat)
        .arg(mip.vrepeat)
        .arg(mip.numimages);
}

// A row of the Levels list: the texts of its columns, the slot it selects (-1 for none) and,
// for a level the load rejected, why.
struct LevelRow {
    QStringList texts;
    int slot = -1;
    QString rejected;
};

// One row per filled slot (slot, size, pixel type and the palette the level decodes with), and
// one per level the load rejected, in slot order, largest first: a level that is missing from
// the list without a word looks like a set that never had it.
std::vector<LevelRow> LevelRows(const CMip& mip, const std::vector<int>& filled) {
    std::vector<LevelRow> rows;
    for (const int k : filled) {
        const CBmap& level = mip.levels.at(static_cast<std::size_t>(k));
        // The palette its pixels were read with: its own where it differs from the global one.
        const QString uses = !level.Palettised() ? CTextureViewer::tr("none")
                             : mip.SavesLevelPalettes() || mip.HasOwnPalette(k)
                                 ? CTextureViewer::tr("own")
                                 : CTextureViewer::tr("global");
        rows.push_back({{QString::number(k),
                         CTextureViewer::tr("%1 x %2").arg(level.Width()).arg(level.Height()),
                         QString::fromStdString(PixelTypeName(level.Type())), uses},
                        k,
                        {}});
    }
    for (const RejectedLevel& lost : mip.loadReport.Rejected()) {
        const QString slot = lost.slot >= 0 ? QString::number(lost.slot) : QStringLiteral("?");
        const QString reason = lost.offset >= 0 ? CTextureViewer::tr("%1 (offset %2)")
                                                      .arg(QString::fromStdString(lost.reason))
                                                      .arg(lost.offset)
                                                : QString::fromStdString(lost.reason);
        rows.push_back({{slot, CTextureViewer::tr("rejected: %1").arg(reason)}, -1, reason});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const LevelRow& a, const LevelRow& b) {
        return a.texts[0].toInt() > b.texts[0].toInt();
    });
    return rows;
}

bool ListShows(const QTreeWidget& list, const std::vector<LevelRow>& rows) {
    if (list.topLevelItemCount() != static_cast<int>(rows.size())) {
        return false;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QTreeWidgetItem* item = list.topLevelItem(static_cast<int>(i));
        for (int c = 0; c < rows[i].texts.size(); ++c) {
            if (item->text(c) != rows[i].texts[c]) {
                return false;
            }
        }
    }
    return true;
}

QLabel* Caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QString ViewName(ChannelView view) {
    switch (view) {
        case ChannelView::kColour:
            return CTextureViewer::tr("&Colour");
        case ChannelView::kAlpha:
            return CTextureViewer::tr("&Alpha");
        case ChannelView::kIndexGrey:
            return CTextureViewer::tr("&Index (grey)");
        case ChannelView::kIndexPalette:
            return CTextureViewer::tr("Index (&palette)");
    }
    return {};
}

constexpr std::array<ChannelView, 4> kViews = {ChannelView::kColour, ChannelView::kAlpha,
                                               ChannelView::kIndexGrey, ChannelView::kIndexPalette};

QString ZoomText(int zoom) {
    return CTextureViewer::tr("%1x").arg(zoom);
}

QString Percent(double scale) {
    return QString::number(std::lround(scale * 100.0)) + QLatin1Char('%');
}

}  // namespace

CTextureViewer::CTextureViewer(CTextureDocument& document, DialogServices& services,
                               QWidget* parent)
    : QMainWindow(parent, Qt::Window),
      document_(document),
      mip_(document.Mip()),
      services_(services),
      actions_(*this, services, document) {
    setObjectName(QStringLiteral("textureViewer"));
    BuildWidgets();
    BuildMenus();
    auto* drops = new CFileDropTarget(this);
    drops->Watch(this);
    connect(drops, &CFileDropTarget::FileDropped, this, &CTextureViewer::FileDropped);
    resize(kDefaultWidth, kDefaultHeight);
    connect(&document_, &CTextureDocument::SetReplaced, this, &CTextureViewer::SetReplaced);
    connect(&document_, &CTextureDocument::SetEdited, this, &CTextureViewer::Refresh);
    connect(&document_, &CTextureDocument::LoadFinished, this, &CTextureViewer::Refresh);
    connect(&document_, &CTextureDocument::UnsavedChanged, this, &CTextureViewer::UpdateTitle);
    connect(&document_, &CTextureDocument::UndoChanged, this, [this] {
        undo_->setEnabled(document_.CanUndo());
        redo_->setEnabled(document_.CanRedo());
    });
    undo_->setEnabled(document_.CanUndo());
    redo_->setEnabled(document_.CanRedo());
    UpdateTitle();
    Refresh();
}

void CTextureViewer::SetReplaced(bool otherFile) {
    // What was picked out belonged to the colours of the set before.
    state_.highlight = -1;
    if (otherFile) {
        ShowNewSet();
    } else {
        Refresh();
    }
}

void CTextureViewer::BuildMenus() {
    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    open_ = fileMenu->addAction(tr("&Open..."));
    open_->setShortcut(QKeySequence::Open);
    connect(open_, &QAction::triggered, this, &CTextureViewer::ChooseAndOpen);
    recent_ = fileMenu->addMenu(tr("Open &Recent"));
    recent_->setObjectName(QStringLiteral("recentMenu"));
    connect(recent_, &QMenu::aboutToShow, this, &CTextureViewer::FillRecentMenu);
    FillRecentMenu();
    fileMenu->addSeparator();
    QAction* import = fileMenu->addAction(tr("&Import Image..."));
    import->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(import, &QAction::triggered, this, &CTextureViewer::ImportRequested);
    exportLevel_ = fileMenu->addAction(tr("Export &Level..."));
    exportLevel_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportLevel_, &QAction::triggered, this, &CTextureViewer::ExportLevel);
    exportAll_ = fileMenu->addAction(tr("Export &All Levels..."));
    exportAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(exportAll_, &QAction::triggered, this, &CTextureViewer::ExportAllLevels);
    fileMenu->addSeparator();
    editExternally_ = fileMenu->addAction(tr("E&dit Level Externally..."));
    editExternally_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X));
    connect(editExternally_, &QAction::triggered, this, [this] {
        if (ShowsTexture()) {
            emit EditExternallyRequested(state_.slot);
        }
    });
    rebuildPalette_ = fileMenu->addAction(tr("Re&build Palette From Edits"));
    rebuildPalette_->setCheckable(true);
    rebuildPalette_->setToolTip(
        tr("An edited palettised level gets a new palette made from the picture, instead of "
           "having its colours matched to the palette it has"));
    connect(rebuildPalette_, &QAction::toggled, this, &CTextureViewer::RebuildPaletteToggled);
    fileMenu->addSeparator();
    QAction* close = fileMenu->addAction(tr("&Close"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(close, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu(tr("&Edit"));
    // Changes of the set: an import, a level edited in another program, a palette rebuilt.
    undo_ = edit->addAction(tr("&Undo"));
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    connect(undo_, &QAction::triggered, &document_, &CTextureDocument::Undo);
    redo_ = edit->addAction(tr("&Redo"));
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(redo_, &QAction::triggered, &document_, &CTextureDocument::Redo);
    edit->addSeparator();
    copy_ = edit->addAction(tr("&Copy Level"));
    copy_->setShortcut(QKeySequence::Copy);
    connect(copy_, &QAction::triggered, this, &CTextureViewer::CopyLevel);

    BuildViewMenu();
}

void CTextureViewer::BuildViewMenu() {
    viewMenu_ = menuBar()->addMenu(tr("&View"));
    chainAction_ = viewMenu_->addAction(tr("All Levels &Side by Side"));
    chainAction_->setCheckable(true);
    chainAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(chainAction_, &QAction::toggled, this, &CTextureViewer::SetChain);
    viewMenu_->addSeparator();
    AddViewActions();
    viewMenu_->addSeparator();
    AddZoomActions();
    viewMenu_->addSeparator();
    AddBackdropActions();
    viewMenu_->addSeparator();
    AddHighlightActions();
    BuildToolBar();
}

void CTextureViewer::AddViewActions() {
    views_ = new QActionGroup(this);
    for (std::size_t i = 0; i < kViews.size(); ++i) {
        QAction* action = viewMenu_->addAction(ViewName(kViews[i]));
        action->setCheckable(true);
        action->setData(static_cast<int>(kViews[i]));
        action->setShortcut(QKeySequence(Qt::ALT | static_cast<Qt::Key>(Qt::Key_1 + i)));
        views_->addAction(action);
    }
    connect(views_, &QActionGroup::triggered, this,
            [this](QAction* action) { SetView(static_cast<ChannelView>(action->data().toInt())); });
}

void CTextureViewer::AddZoomActions() {
    QAction* in = viewMenu_->addAction(tr("Zoom &In"));
    // Ctrl and the plus key, shifted or not.
    in->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(in, &QAction::triggered, this, &CTextureViewer::ZoomIn);
    QAction* out = viewMenu_->addAction(tr("Zoom &Out"));
    out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(out, &QAction::triggered, this, &CTextureViewer::ZoomOut);
    zooms_ = new QActionGroup(this);
    const auto addZoom = [this](const QString& text, int zoom, const QKeySequence& key) {
        QAction* action = viewMenu_->addAction(text);
        action->setData(zoom);
        action->setCheckable(true);
        action->setShortcut(key);
        zooms_->addAction(action);
    };
    addZoom(tr("&Fit to Window"), kFit, QKeySequence(Qt::CTRL | Qt::Key_0));
    for (const int step : kZoomSteps) {
        // Ctrl and the step's own digit where it has one.
        addZoom(ZoomText(step), step,
                step < 10 ? QKeySequence(Qt::CTRL | static_cast<Qt::Key>(Qt::Key_0 + step))
                          : QKeySequence());
    }
    connect(zooms_, &QActionGroup::triggered, this, [this](QAction* action) {
        const QPoint middle = ScrollArea()->viewport()->rect().center();
        ZoomKeeping(action->data().toInt(), middle);
    });
}

void CTextureViewer::AddBackdropActions() {
    checkerAction_ = viewMenu_->addAction(tr("Alpha over &Background"));
    checkerAction_->setCheckable(true);
    checkerAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    connect(checkerAction_, &QAction::toggled, this, &CTextureViewer::SetChecker);
    QMenu* backdrop = viewMenu_->addMenu(tr("Bac&kground"));
    backdrops_ = new QActionGroup(this);
    const std::array<std::pair<QString, Backdrop>, 3> backdrops = {
        {{tr("&Checkerboard"), Backdrop::kChecker},
         {tr("&Black"), Backdrop::kBlack},
         {tr("&White"), Backdrop::kWhite}}};
    for (const auto& [name, kind] : backdrops) {
        QAction* action = backdrop->addAction(name);
        action->setCheckable(true);
        action->setData(static_cast<int>(kind));
        backdrops_->addAction(action);
    }
    connect(backdrops_, &QActionGroup::triggered, this, [this](QAction* action) {
        SetBackdrop(static_cast<Backdrop>(action->data().toInt()));
    });
    gridAction_ = viewMenu_->addAction(tr("Pixel &Grid (from 8x)"));
    gridAction_->setCheckable(true);
    gridAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(gridAction_, &QAction::toggled, this, &CTextureViewer::SetGrid);
}

void CTextureViewer::AddHighlightActions() {
    highlightNext_ = viewMenu_->addAction(tr("Highlight &Next Palette Colour"));
    highlightNext_->setShortcut(QKeySequence(Qt::Key_BracketRight));
    connect(highlightNext_, &QAction::triggered, this, &CTextureViewer::HighlightNext);
    highlightPrevious_ = viewMenu_->addAction(tr("Highlight &Previous Palette Colour"));
    highlightPrevious_->setShortcut(QKeySequence(Qt::Key_BracketLeft));
    connect(highlightPrevious_, &QAction::triggered, this, &CTextureViewer::HighlightPrevious);
    QAction* clear = viewMenu_->addAction(tr("&Clear Highlight"));
    clear->setObjectName(QStringLiteral("clearHighlight"));
    clear->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(clear, &QAction::triggered, this, [this] { SetHighlight(-1); });
}

void CTextureViewer::BuildToolBar() {
    // The tool bar offers the choices used most, next to the menu.
    auto* tools = addToolBar(tr("View"));
    tools->setObjectName(QStringLiteral("viewToolBar"));
    tools->setMovable(false);
    tools->addWidget(new QLabel(tr("View:"), tools));
    tools->addWidget(view_);
    tools->addAction(checkerAction_);
    tools->addSeparator();
    tools->addWidget(new QLabel(tr("Zoom:"), tools));
    tools->addWidget(zoom_);
    tools->addSeparator();
    tools->addAction(chainAction_);
    // The two toggles keep their button's frame when off, so they look like buttons rather
    // than labels.
    for (QAction* toggle : {checkerAction_, chainAction_}) {
        if (auto* button = qobject_cast<QToolButton*>(tools->widgetForAction(toggle))) {
            button->setAutoRaise(false);
            button->setObjectName(toggle == chainAction_ ? QStringLiteral("chainToggle")
                                                         : QStringLiteral("checkerToggle"));
        }
    }
}

void CTextureViewer::BuildWidgets() {
    pages_ = new QStackedWidget(this);
    setCentralWidget(pages_);
    BuildEmptyPage();
    auto* splitter = new QSplitter(Qt::Horizontal, pages_);
    content_ = splitter;
    content_->setObjectName(QStringLiteral("content"));
    pages_->addWidget(content_);
    QWidget* side = BuildSidePanel(splitter);
    BuildViewBoxes();
    BuildLevelPages(splitter);

    splitter->addWidget(side);
    splitter->addWidget(mainPages_);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setCollapsible(0, false);
    splitter->setCollapsible(1, false);
    splitter->setSizes({kSideWidth, kDefaultWidth - kSideWidth});

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("readout"));
    // A long read-out is cut off rather than widening the window.
    readout_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(readout_, 1);
}

void CTextureViewer::BuildEmptyPage() {
    empty_ = new QWidget(pages_);
    auto* emptyLayout = new QVBoxLayout(empty_);
    emptyLayout->addStretch(1);
    auto* nothing = new QLabel(tr("No texture loaded"), empty_);
    nothing->setObjectName(QStringLiteral("noTexture"));
    nothing->setAlignment(Qt::AlignCenter);
    emptyLayout->addWidget(nothing);
    emptyReport_ = new QLabel(empty_);
    emptyReport_->setObjectName(QStringLiteral("emptyReport"));
    emptyReport_->setAlignment(Qt::AlignCenter);
    emptyReport_->setWordWrap(true);
    emptyReport_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    emptyLayout->addWidget(emptyReport_);
    emptyLayout->addStretch(1);
    pages_->addWidget(empty_);
}

QWidget* CTextureViewer::BuildSidePanel(QWidget* parent) {
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
    header_ = new QLabel(side);
    header_->setObjectName(QStringLiteral("header"));
    header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header_->setWordWrap(true);
    header_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sideLayout->addWidget(header_);
    AddReportSection(side, sideLayout);
    AddPaletteSection(side, sideLayout);
    sideLayout->addStretch(1);
    sideScroll->setWidget(side);
    return sideScroll;
}

void CTextureViewer::AddReportSection(QWidget* side, QVBoxLayout* layout) {
    // The load report in a section of its own that scrolls (a file cut short early lists
    // every level it lost) and folds away.
    reportToggle_ = new QToolButton(side);
    reportToggle_->setObjectName(QStringLiteral("reportToggle"));
    reportToggle_->setText(tr("Last load"));
    reportToggle_->setCheckable(true);
    reportToggle_->setChecked(true);
    reportToggle_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    reportToggle_->setAutoRaise(true);
    QFont bold = reportToggle_->font();
    bold.setBold(true);
    reportToggle_->setFont(bold);
    // First in the panel, so a short window still shows what the last load found.
    layout->insertWidget(0, reportToggle_);
    report_ = new QPlainTextEdit(side);
    report_->setObjectName(QStringLiteral("loadReport"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    report_->setFixedHeight(report_->fontMetrics().lineSpacing() * kReportLines +
                            2 * report_->frameWidth() + 8);
    layout->insertWidget(1, report_);
    connect(reportToggle_, &QToolButton::toggled, this, [this](bool open) {
        report_->setVisible(open);
        reportToggle_->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    });
    reportToggle_->setArrowType(Qt::DownArrow);
}

void CTextureViewer::AddLevelList(QWidget* side, QVBoxLayout* layout) {
    layout->addWidget(Caption(tr("Levels"), side));
    levels_ = new QTreeWidget(side);
    levels_->setHeaderLabels({tr("Slot"), tr("Size"), tr("Type"), tr("Palette")});
    levels_->setRootIsDecorated(false);
    levels_->setUniformRowHeights(true);
    levels_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Room for all nine slots and the header row.
    levels_->setMinimumHeight(levels_->fontMetrics().lineSpacing() * 10 + 16);
    layout->addWidget(levels_);
    connect(levels_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) {
            SelectSlot(item->data(0, Qt::UserRole).toInt());
        }
    });
}

void CTextureViewer::AddPaletteSection(QWidget* side, QVBoxLayout* layout) {
    paletteBox_ = new QWidget(side);
    auto* paletteLayout = new QVBoxLayout(paletteBox_);
    paletteLayout->setContentsMargins(0, 0, 0, 0);
    paletteLayout->addWidget(Caption(tr("Palette"), paletteBox_));
    palette_ = new CPaletteView(paletteBox_);
    paletteLayout->addWidget(palette_);
    swatchText_ = new QLabel(paletteBox_);
    paletteLayout->addWidget(swatchText_);
    layout->addWidget(paletteBox_);
    connect(palette_, &CPaletteView::SwatchHovered, this, &CTextureViewer::SetHighlight);
}

void CTextureViewer::BuildViewBoxes() {
    view_ = new QComboBox(this);
    view_->setObjectName(QStringLiteral("viewBox"));
    for (const ChannelView view : kViews) {
        view_->addItem(ViewName(view).remove(QLatin1Char('&')));
    }
    connect(view_, &QComboBox::activated, this,
            [this](int index) { SetView(static_cast<ChannelView>(index)); });
    zoom_ = new QComboBox(this);
    zoom_->setObjectName(QStringLiteral("zoomBox"));
    for (const int step : kZoomSteps) {
        zoom_->addItem(ZoomText(step), step);
    }
    zoom_->addItem(tr("Fit"), kFit);
    zoom_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    zoom_->setMinimumContentsLength(9);  // "Fit (100%)"
    zoom_->setToolTip(tr("Ctrl+plus, Ctrl+minus, Ctrl+0 to fit; Ctrl+wheel"));
    connect(zoom_, &QComboBox::activated, this, [this](int index) {
        ZoomKeeping(zoom_->itemData(index).toInt(), ScrollArea()->viewport()->rect().center());
    });
}

void CTextureViewer::BuildLevelPages(QWidget* parent) {
    mainPages_ = new QStackedWidget(parent);
    mainPages_->setMinimumWidth(kMainMinimum);
    scroll_ = new QScrollArea(mainPages_);
    scroll_->setObjectName(QStringLiteral("levelScroll"));
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setWidgetResizable(false);
    canvas_ = new CLevelCanvas;
    scroll_->setWidget(canvas_);
    scroll_->viewport()->installEventFilter(this);
    canvas_->installEventFilter(this);
    connect(canvas_, &CLevelCanvas::ZoomRequested, this, &CTextureViewer::ZoomAround);
    mainPages_->addWidget(scroll_);

    chainScroll_ = new QScrollArea(mainPages_);
    chainScroll_->setObjectName(QStringLiteral("chainScroll"));
    chainScroll_->setAlignment(Qt::AlignCenter);
    chainScroll_->setWidgetResizable(false);
    chain_ = new CChainView;
    chain_->setObjectName(QStringLiteral("chainView"));
    chainScroll_->setWidget(chain_);
    chainScroll_->viewport()->installEventFilter(this);
    chain_->installEventFilter(this);
    connect(chain_, &CChainView::SlotClicked, this, &CTextureViewer::SelectSlot);
    mainPages_->addWidget(chainScroll_);

    for (QScrollArea* area : {scroll_, chainScroll_}) {
        connect(area->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                &CTextureViewer::UpdateReadout);
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &CTextureViewer::UpdateReadout);
    }
}

void CTextureViewer::FillRecentMenu() {
    recent_->clear();
    const QStringList files = RecentFiles();
    for (const QString& file : files) {
        QAction* action = recent_->addAction(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { emit OpenRequested(file); });
    }
    if (files.isEmpty()) {
        recent_->addAction(tr("No recent files"))->setEnabled(false);
        return;
    }
    recent_->addSeparator();
    QAction* clear = recent_->addAction(tr("&Clear List"));
    connect(clear, &QAction::triggered, this, [] { ClearRecentFiles(); });
}

void CTextureViewer::ChooseAndOpen() {
    const auto path = services_.ChooseFile(
        this, FileRequest{tr("Open Texture"), tr("Textures (*.mip *.srb *.png);;All files (*)"),
                          QString(), false});
    if (path) {
        emit OpenRequested(*path);
    }
}

void CTextureViewer::UpdateTitle() {
    // "[*]" is where Qt puts the mark of a changed set.
    const QString shown = document_.ShownName();
    if (mip_.FilledSlots().empty() || shown.isEmpty()) {
        setWindowTitle(tr("Texture") + QStringLiteral("[*]"));
    } else {
        setWindowTitle(tr("%1[*] \u2014 Texture").arg(shown));
    }
    setWindowModified(document_.TextureUnsaved());
}

QString CTextureViewer::ReportText() const {
    const CTextureDocument::LastLoad& last = document_.Last();
    QStringList lines;
    if (document_.SetFrom() == CTextureDocument::From::kImport) {
        lines << tr("Imported from '%1'").arg(document_.SetPath());
    } else if (last.path.isEmpty()) {
        return QString::fromStdString(mip_.loadReport.Summary());
    }
    if (!last.path.isEmpty()) {
        lines << (last.failed ? tr("Last load failed: '%1'").arg(last.path)
                              : tr("Last load: '%1'").arg(last.path))
              << QString::fromStdString(last.report.Summary());
    }
    if (last.failed && !mip_.FilledSlots().empty() && !document_.ShownName().isEmpty()) {
        lines << tr("Still shown: %1").arg(document_.ShownName());
    }
    return lines.join(QLatin1Char('\n'));
}

void CTextureViewer::Refresh() {
    const std::vector<int> filled = mip_.FilledSlots();
    for (QAction* action : {exportLevel_, exportAll_, editExternally_, copy_}) {
        if (action != nullptr) {
            action->setEnabled(!filled.empty());
        }
    }
    UpdateTitle();
    if (filled.empty()) {
        ShowEmpty();
        return;
    }
    pages_->setCurrentWidget(content_);
    statusBar()->show();
    if (std::find(filled.begin(), filled.end(), state_.slot) == filled.end()) {
        state_.slot = filled.front();
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    ShowLevelList(filled);
    header_->setText(MipHeaderText(mip_));
    ShowReport();
    shown_ = LevelToImage(level, mip_.LevelPalette(state_.slot));
    ShowPalette();
    const ChannelView view =
        ViewFits(state_.view, level.Type()) ? state_.view : ChannelView::kColour;
    ShowState(level.Type());
    mainPages_->setCurrentWidget(state_.chain ? static_cast<QWidget*>(chainScroll_) : scroll_);
    MakePictures(state_.chain ? filled : std::vector<int>{state_.slot}, view);
    DrawPictures();
    UpdateReadout();
}

void CTextureViewer::ShowEmpty() {
    pages_->setCurrentWidget(empty_);
    statusBar()->hide();
    for (QAction* action : {highlightNext_, highlightPrevious_}) {
        action->setEnabled(false);
    }
    shown_ = Image();
    pictures_.clear();
    chainShown_.fill(Image());
    canvas_->Show(QImage(), 1.0, state_.backdrop);
    // Only a load has something to say here; an empty window before any load says nothing.
    emptyReport_->setText(
        document_.Last().path.isEmpty() && mip_.loadReport.Clean() ? QString() : ReportText());
    readout_->clear();
}

void CTextureViewer::ShowLevelList(const std::vector<int>& filled) {
    // Rebuilt only when the rows change: a click on the list lands here while the list is
    // still handling it, and must not delete the item under the mouse.
    const std::vector<LevelRow> rows = LevelRows(mip_, filled);
    const QSignalBlocker block(levels_);
    if (!ListShows(*levels_, rows)) {
        levels_->clear();
        for (const LevelRow& row : rows) {
            auto* item = new QTreeWidgetItem(levels_, row.texts);
            item->setData(0, Qt::UserRole, row.slot);
            if (!row.rejected.isEmpty()) {
                // Shown greyed: there is nothing in it to select.
                item->setFlags(Qt::NoItemFlags);
                item->setToolTip(1, tr("Rejected by the load: %1").arg(row.rejected));
            }
        }
    }
    for (int i = 0; i < levels_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = levels_->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == state_.slot) {
            levels_->setCurrentItem(item);
        }
    }
}

void CTextureViewer::ShowReport() {
    const QString report = ReportText();
    if (report_->toPlainText() != report) {
        report_->setPlainText(report);
    }
    reportToggle_->setText(mip_.loadReport.Clean() ? tr("Last load")
                                                   : tr("Last load: damage found"));
}

void CTextureViewer::ShowPalette() {
    const bool palettised = mip_.levels.at(static_cast<std::size_t>(state_.slot)).Palettised();
    const int highlight = palettised ? state_.highlight : -1;
    paletteBox_->setVisible(palettised);
    // Without a palette there is no colour to pick out.
    for (QAction* action : {highlightNext_, highlightPrevious_}) {
        action->setEnabled(palettised);
    }
    palette_->Show(shown_.palette, highlight);
    swatchText_->setText(palette_->SwatchText(highlight));
}

void CTextureViewer::MakePictures(const std::vector<int>& shownSlots, ChannelView view) {
    const bool alpha = state_.checker && view == ChannelView::kColour;
    backdrop_ = alpha ? state_.backdrop : Backdrop::kBlack;
    pictures_.clear();
    chainShown_.fill(Image());
    for (const int k : shownSlots) {
        const CBmap& level = mip_.levels.at(static_cast<std::size_t>(k));
        // The read-out of the chain needs every level's colours; the selected level's are kept.
        const Image* image = &shown_;
        if (state_.chain) {
            Image& kept = chainShown_.at(static_cast<std::size_t>(k));
            kept = k == state_.slot ? shown_ : LevelToImage(level, mip_.LevelPalette(k));
            image = &kept;
        }
        const ChannelView fits = ViewFits(view, level.Type()) ? view : ChannelView::kColour;
        pictures_.emplace_back(k, LevelPicture(*image, fits, alpha));
    }
}

void CTextureViewer::DrawPictures() {
    if (!state_.chain) {
        canvas_->SetGrid(state_.grid);
        canvas_->Show(
            pictures_.empty() ? QImage() : pictures_.front().second.Picked(state_.highlight),
            Scale(), backdrop_);
        return;
    }
    std::vector<CChainView::Level> levels;
    for (const auto& [slot, picture] : pictures_) {
        levels.push_back({slot, picture.Picked(state_.highlight)});
    }
    chain_->Show(std::move(levels), Scale(), backdrop_, state_.grid, state_.slot);
}

void CTextureViewer::ShowState(int type) {
    const ChannelView view = ViewFits(state_.view, type) ? state_.view : ChannelView::kColour;
    {
        const QSignalBlocker block(view_);
        if (auto* model = qobject_cast<QStandardItemModel*>(view_->model())) {
            for (int i = 0; i < model->rowCount(); ++i) {
                model->item(i)->setEnabled(ViewFits(static_cast<ChannelView>(i), type));
            }
        }
        view_->setCurrentIndex(static_cast<int>(view));
    }
    for (QAction* action : views_->actions()) {
        const auto kind = static_cast<ChannelView>(action->data().toInt());
        const QSignalBlocker block(action);
        action->setEnabled(ViewFits(kind, type));
        action->setChecked(kind == view);
    }
    const auto check = [](QAction* action, bool on, bool enabled = true) {
        const QSignalBlocker block(action);
        action->setChecked(on);
        action->setEnabled(enabled);
    };
    check(checkerAction_, state_.checker, view == ChannelView::kColour);
    check(gridAction_, state_.grid);
    check(chainAction_, state_.chain);
    for (QAction* action : backdrops_->actions()) {
        check(action, static_cast<Backdrop>(action->data().toInt()) == state_.backdrop);
    }
    for (QAction* action : zooms_->actions()) {
        check(action, action->data().toInt() == state_.zoom);
    }
    {
        const QSignalBlocker block(zoom_);
        const int fit = zoom_->findData(kFit);
        zoom_->setItemText(fit,
                           state_.zoom == kFit ? tr("Fit (%1)").arg(Percent(Scale())) : tr("Fit"));
        zoom_->setCurrentIndex(zoom_->findData(state_.zoom));
    }
}

void CTextureViewer::UpdateReadout() {
    if (!ShowsTexture() || !mouseOver_) {
        readout_->clear();
        return;
    }
    QScrollArea* area = ScrollArea();
    if (!area->viewport()->rect().contains(area->viewport()->mapFromGlobal(mouse_))) {
        readout_->clear();
        return;
    }
    if (state_.chain) {
        const auto [slot, texel] = chain_->LevelAt(chain_->mapFromGlobal(mouse_));
        if (slot < 0) {
            readout_->clear();
            return;
        }
        const auto k = static_cast<std::size_t>(slot);
        readout_->setText(tr("slot %1, ").arg(slot) +
                          PixelReadout(mip_.levels.at(k), chainShown_.at(k), texel.x(), texel.y()));
        return;
    }
    const QPoint texel = canvas_->TexelAt(canvas_->mapFromGlobal(mouse_));
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    readout_->setText(PixelReadout(level, shown_, texel.x(), texel.y()));
}

void CTextureViewer::ShowNewSet() {
    const std::vector<int> filled = mip_.FilledSlots();
    if (!filled.empty()) {
        state_.slot = filled.front();
        // The size the view gets once the new set is shown decides the zoom.
        Refresh();
        state_.zoom = AutoZoom(ContentSize());
    }
    Refresh();
    for (QScrollArea* area : {scroll_, chainScroll_}) {
        area->horizontalScrollBar()->setValue(0);
        area->verticalScrollBar()->setValue(0);
    }
}

QSize CTextureViewer::ContentSize() const {
    if (state_.chain) {
        return chain_->NaturalSize();
    }
    if (!ShowsTexture()) {
        return {};
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    return {level.Width(), level.Height()};
}

int CTextureViewer::AutoZoom(QSize content) const {
    const QSize room = ScrollArea()->maximumViewportSize();
    return zoom::AutoZoom({content.width(), content.height()}, {room.width(), room.height()});
}

void CTextureViewer::SelectSlot(int slot) {
    if (slot != state_.slot) {
        state_.highlight = -1;  // another level, another palette
    }
    state_.slot = slot;
    Refresh();
}

void CTextureViewer::SetView(ChannelView view) {
    state_.view = view;
    Refresh();
}

void CTextureViewer::SetChecker(bool on) {
    state_.checker = on;
    Refresh();
}

void CTextureViewer::SetBackdrop(Backdrop backdrop) {
    state_.backdrop = backdrop;
    Refresh();
}

void CTextureViewer::SetGrid(bool on) {
    state_.grid = on;
    Refresh();
}

void CTextureViewer::SetChain(bool on) {
    state_.chain = on;
    Refresh();
}

void CTextureViewer::SetHighlight(int index) {
    state_.highlight = index;
    // Nothing else changed: the pictures of the last refresh are picked out again, and the
    // level is not converted again.
    if (ShowsTexture() && !pictures_.empty()) {
        ShowPalette();
        DrawPictures();
    }
}

void CTextureViewer::HighlightNext() {
    // -1 (none), 0, 1, ..., 15, and round again.
    SetHighlight(state_.highlight >= CCmap::kEntries - 1 ? -1 : state_.highlight + 1);
}

void CTextureViewer::HighlightPrevious() {
    SetHighlight(state_.highlight < 0 ? CCmap::kEntries - 1 : state_.highlight - 1);
}

void CTextureViewer::SetZoom(int zoom) {
    const bool known =
        zoom == kFit || std::find(kZoomSteps.begin(), kZoomSteps.end(), zoom) != kZoomSteps.end();
    state_.zoom = known ? zoom : 1;
    Refresh();
}

int CTextureViewer::StepFrom(double scale, int direction) const {
    return zoom::StepFrom(scale, direction);
}

void CTextureViewer::ZoomIn() {
    ZoomKeeping(StepFrom(Scale(), 1), ScrollArea()->viewport()->rect().center());
}

void CTextureViewer::ZoomOut() {
    ZoomKeeping(StepFrom(Scale(), -1), ScrollArea()->viewport()->rect().center());
}

void CTextureViewer::ZoomKeeping(int zoom, QPoint viewportPos) {
    QScrollArea* area = ScrollArea();
    QWidget* shown = area->widget();
    const double before = Scale();
    // The point under the middle of the screen pixel, in texels, lands in the same pixel.
    const QPointF at =
        (QPointF(shown->mapFrom(area->viewport(), viewportPos)) + QPointF(0.5, 0.5)) / before;
    SetZoom(zoom);
    const double after = Scale();
    area->horizontalScrollBar()->setValue(static_cast<int>(std::floor(at.x() * after)) -
                                          viewportPos.x());
    area->verticalScrollBar()->setValue(static_cast<int>(std::floor(at.y() * after)) -
                                        viewportPos.y());
    UpdateReadout();
}

void CTextureViewer::ZoomAround(int steps, QPointF texel, QPoint where) {
    // The texel under the mouse stays under it.
    const QPoint inViewport = canvas_->mapTo(scroll_->viewport(), where);
    int zoom = state_.zoom;
    double scale = Scale();
    for (int i = 0; i < std::abs(steps); ++i) {
        zoom = StepFrom(scale, steps > 0 ? 1 : -1);
        scale = zoom;
    }
    SetZoom(zoom);
    scale = Scale();
    scroll_->horizontalScrollBar()->setValue(static_cast<int>(std::lround(texel.x() * scale)) -
                                             inViewport.x());
    scroll_->verticalScrollBar()->setValue(static_cast<int>(std::lround(texel.y() * scale)) -
                                           inViewport.y());
    UpdateReadout();
}

void CTextureViewer::ExportLevel() {
    if (ShowsTexture()) {
        Notice(actions_.ExportLevel(state_.slot));
    }
}

void CTextureViewer::ExportAllLevels() {
    if (!mip_.FilledSlots().empty()) {
        Notice(actions_.ExportAll());
    }
}

void CTextureViewer::CopyLevel() {
    if (ShowsTexture()) {
        Notice(actions_.Copy(state_.slot));
    }
}

void CTextureViewer::Notice(const std::optional<QString>& text) {
    if (text) {
        statusBar()->showMessage(*text, kNoticeMs);
    }
}

double CTextureViewer::Scale() const {
    const QSize content = state_.zoom == kFit ? ContentSize() : QSize();
    const QSize room = ScrollArea()->maximumViewportSize();
    return zoom::ScaleOf(state_.zoom, {content.width(), content.height()},
                         {room.width(), room.height()});
}

bool CTextureViewer::ShowsTexture() const {
    return pages_->currentWidget() == content_;
}

QScrollArea* CTextureViewer::ScrollArea() const {
    return state_.chain ? chainScroll_ : scroll_;
}

void CTextureViewer::SaveSettings() const {
    EditorSettings settings;
    settings.setValue(settings::kViewerGeometry, saveGeometry());
    settings.setValue(settings::kViewerView, static_cast<int>(state_.view));
    settings.setValue(settings::kViewerZoom, state_.zoom);
    settings.setValue(settings::kViewerChecker, state_.checker);
    settings.setValue(settings::kViewerBackground, static_cast<int>(state_.backdrop));
}

void CTextureViewer::RestoreSettings() {
    const EditorSettings settings;
    const int view = settings.value(settings::kViewerView, 0).toInt();
    if (view >= 0 && view < static_cast<int>(kViews.size())) {
        state_.view = static_cast<ChannelView>(view);
    }
    const int zoom = settings.value(settings::kViewerZoom, state_.zoom).toInt();
    if (zoom::IsZoom(zoom)) {
        state_.zoom = zoom;
    }
    state_.checker = settings.value(settings::kViewerChecker, state_.checker).toBool();
    const int backdrop = settings.value(settings::kViewerBackground, 0).toInt();
    if (backdrop >= 0 && backdrop <= static_cast<int>(Backdrop::kWhite)) {
        state_.backdrop = static_cast<Backdrop>(backdrop);
    }
    Refresh();
}

QSize CTextureViewer::LeastSize(QSize picture) const {
    const auto* tools = findChild<QToolBar*>(QStringLiteral("viewToolBar"));
    const auto* splitter = static_cast<const QSplitter*>(content_);
    const int frame = 2 * scroll_->frameWidth();
    // The longest read-out there is: four three-digit codes and values, the longest type name.
    const QString longest = tr("x %1, y %1: stored %2, %2, %2, %2 \u2192 shown %2, %2, %2, %2 (%3)")
                                .arg(255)
                                .arg(255)
                                .arg(QStringLiteral("argb4444"));
    const int readout = readout_->fontMetrics().horizontalAdvance(longest) + 24;
    const int toolbar = tools != nullptr ? tools->sizeHint().width() + 8 : 0;
    const int width = std::max(
        {kSideWidth + splitter->handleWidth() + picture.width() + frame, toolbar, readout});
    const int height = menuBar()->sizeHint().height() +
                       (tools != nullptr ? tools->sizeHint().height() : 0) +
                       statusBar()->sizeHint().height() + picture.height() + frame;
    return {width, height};
}

bool CTextureViewer::RestoreGeometry() {
    const QByteArray geometry = EditorSettings().value(settings::kViewerGeometry).toByteArray();
    return !geometry.isEmpty() && restoreGeometry(geometry);
}

void CTextureViewer::closeEvent(QCloseEvent* event) {
    SaveSettings();
    QMainWindow::closeEvent(event);
}

bool CTextureViewer::eventFilter(QObject* watched, QEvent* event) {
    if (chainScroll_ == nullptr || readout_ == nullptr) {
        return QMainWindow::eventFilter(watched, event);  // still being built
    }
    const bool level = watched == canvas_ || watched == chain_;
    if (level && event->type() == QEvent::MouseMove) {
        mouse_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        mouseOver_ = true;
        UpdateReadout();
    } else if (level && event->type() == QEvent::Leave) {
        mouseOver_ = false;
        UpdateReadout();
    } else if (watched == chainScroll_->viewport() && event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // A notch is 120; fine-grained wheels send less per event, so the rest is kept.
            wheelDelta_ += wheel->angleDelta().y();
            const int steps = wheelDelta_ / 120;
            wheelDelta_ -= steps * 120;
            if (steps != 0) {
                ZoomKeeping(StepFrom(Scale(), steps), wheel->position().toPoint());
            }
            return true;
        }
    } else if ((watched == scroll_->viewport() || watched == chainScroll_->viewport()) &&
               event->type() == QEvent::Resize && state_.zoom == kFit && !refreshing_) {
        refreshing_ = true;  // a fitted canvas must not resize the viewport into a loop
        Refresh();
        refreshing_ = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvale
