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
    ui_.Build(*this, kDefaultWidth);
    ConnectMenus();
    ConnectViewMenu();
    ConnectWidgets();
    auto* drops = new CFileDropTarget(this);
    drops->Watch(this);
    connect(drops, &CFileDropTarget::FileDropped, this, &CTextureViewer::FileDropped);
    resize(kDefaultWidth, kDefaultHeight);
    connect(&document_, &CTextureDocument::SetReplaced, this, &CTextureViewer::SetReplaced);
    connect(&document_, &CTextureDocument::SetEdited, this, &CTextureViewer::Refresh);
    connect(&document_, &CTextureDocument::LoadFinished, this, &CTextureViewer::Refresh);
    connect(&document_, &CTextureDocument::UnsavedChanged, this, &CTextureViewer::UpdateTitle);
    connect(&document_, &CTextureDocument::UndoChanged, this, [this] {
        ui_.undo->setEnabled(document_.CanUndo());
        ui_.redo->setEnabled(document_.CanRedo());
    });
    ui_.undo->setEnabled(document_.CanUndo());
    ui_.redo->setEnabled(document_.CanRedo());
    UpdateTitle();
    Refresh();
}

void CTextureViewer::ConnectMenus() {
    connect(ui_.open, &QAction::triggered, this, &CTextureViewer::ChooseAndOpen);
    connect(ui_.recent, &QMenu::aboutToShow, this, &CTextureViewer::FillRecentMenu);
    FillRecentMenu();
    connect(ui_.import, &QAction::triggered, this, &CTextureViewer::ImportRequested);
    connect(ui_.exportLevel, &QAction::triggered, this, &CTextureViewer::ExportLevel);
    connect(ui_.exportAll, &QAction::triggered, this, &CTextureViewer::ExportAllLevels);
    connect(ui_.editExternally, &QAction::triggered, this, [this] {
        if (ShowsTexture()) {
            emit EditExternallyRequested(state_.slot);
        }
    });
    connect(ui_.rebuildPalette, &QAction::toggled, this, &CTextureViewer::RebuildPaletteToggled);
    connect(ui_.close, &QAction::triggered, this, &QWidget::close);
    connect(ui_.undo, &QAction::triggered, &document_, &CTextureDocument::Undo);
    connect(ui_.redo, &QAction::triggered, &document_, &CTextureDocument::Redo);
    connect(ui_.copy, &QAction::triggered, this, &CTextureViewer::CopyLevel);
}

void CTextureViewer::ConnectViewMenu() {
    connect(ui_.chainAction, &QAction::toggled, this, &CTextureViewer::SetChain);
    connect(ui_.views, &QActionGroup::triggered, this,
            [this](QAction* action) { SetView(static_cast<ChannelView>(action->data().toInt())); });
    connect(ui_.zoomIn, &QAction::triggered, this, &CTextureViewer::ZoomIn);
    connect(ui_.zoomOut, &QAction::triggered, this, &CTextureViewer::ZoomOut);
    connect(ui_.zooms, &QActionGroup::triggered, this, [this](QAction* action) {
        ZoomKeeping(action->data().toInt(), ScrollArea()->viewport()->rect().center());
    });
    connect(ui_.checkerAction, &QAction::toggled, this, &CTextureViewer::SetChecker);
    connect(ui_.backdrops, &QActionGroup::triggered, this, [this](QAction* action) {
        SetBackdrop(static_cast<Backdrop>(action->data().toInt()));
    });
    connect(ui_.gridAction, &QAction::toggled, this, &CTextureViewer::SetGrid);
    connect(ui_.highlightNext, &QAction::triggered, this, &CTextureViewer::HighlightNext);
    connect(ui_.highlightPrevious, &QAction::triggered, this, &CTextureViewer::HighlightPrevious);
    connect(ui_.clearHighlight, &QAction::triggered, this, [this] { SetHighlight(-1); });
}

void CTextureViewer::ConnectWidgets() {
    connect(ui_.levels, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) {
            SelectSlot(item->data(0, Qt::UserRole).toInt());
        }
    });
    connect(ui_.palette, &CPaletteView::SwatchHovered, this, &CTextureViewer::SetHighlight);
    connect(ui_.view, &QComboBox::activated, this,
            [this](int index) { SetView(static_cast<ChannelView>(index)); });
    connect(ui_.zoom, &QComboBox::activated, this, [this](int index) {
        ZoomKeeping(ui_.zoom->itemData(index).toInt(), ScrollArea()->viewport()->rect().center());
    });
    // The mouse over the level or the chain drives the read-out, Ctrl+wheel the zoom.
    for (QWidget* watched : {static_cast<QWidget*>(ui_.canvas), ui_.scroll->viewport(),
                             static_cast<QWidget*>(ui_.chain), ui_.chainScroll->viewport()}) {
        watched->installEventFilter(this);
    }
    connect(ui_.canvas, &CLevelCanvas::ZoomRequested, this, &CTextureViewer::ZoomAround);
    connect(ui_.chain, &CChainView::SlotClicked, this, &CTextureViewer::SelectSlot);
    for (QScrollArea* area : {ui_.scroll, ui_.chainScroll}) {
        connect(area->horizontalScrollBar(), &QScrollBar::valueChanged, this,
                &CTextureViewer::UpdateReadout);
        connect(area->verticalScrollBar(), &QScrollBar::valueChanged, this,
                &CTextureViewer::UpdateReadout);
    }
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

void CTextureViewer::FillRecentMenu() {
    ui_.recent->clear();
    const QStringList files = RecentFiles();
    for (const QString& file : files) {
        QAction* action = ui_.recent->addAction(QDir::toNativeSeparators(file));
        connect(action, &QAction::triggered, this, [this, file] { emit OpenRequested(file); });
    }
    if (files.isEmpty()) {
        ui_.recent->addAction(tr("No recent files"))->setEnabled(false);
        return;
    }
    ui_.recent->addSeparator();
    QAction* clear = ui_.recent->addAction(tr("&Clear List"));
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
    for (QAction* action : {ui_.exportLevel, ui_.exportAll, ui_.editExternally, ui_.copy}) {
        if (action != nullptr) {
            action->setEnabled(!filled.empty());
        }
    }
    UpdateTitle();
    if (filled.empty()) {
        ShowEmpty();
        return;
    }
    ui_.pages->setCurrentWidget(ui_.content);
    statusBar()->show();
    if (std::find(filled.begin(), filled.end(), state_.slot) == filled.end()) {
        state_.slot = filled.front();
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    ShowLevelList(filled);
    ui_.header->setText(MipHeaderText(mip_));
    ShowReport();
    shown_ = LevelToImage(level, mip_.LevelPalette(state_.slot));
    ShowPalette();
    const ChannelView view =
        ViewFits(state_.view, level.Type()) ? state_.view : ChannelView::kColour;
    ShowState(level.Type());
    ui_.mainPages->setCurrentWidget(state_.chain ? static_cast<QWidget*>(ui_.chainScroll)
                                                 : ui_.scroll);
    MakePictures(state_.chain ? filled : std::vector<int>{state_.slot}, view);
    DrawPictures();
    UpdateReadout();
}

void CTextureViewer::ShowEmpty() {
    ui_.pages->setCurrentWidget(ui_.empty);
    statusBar()->hide();
    for (QAction* action : {ui_.highlightNext, ui_.highlightPrevious}) {
        action->setEnabled(false);
    }
    shown_ = Image();
    pictures_.clear();
    chainShown_.fill(Image());
    ui_.canvas->Show(QImage(), 1.0, state_.backdrop);
    // Only a load has something to say here; an empty window before any load says nothing.
    ui_.emptyReport->setText(
        document_.Last().path.isEmpty() && mip_.loadReport.Clean() ? QString() : ReportText());
    ui_.readout->clear();
}

void CTextureViewer::ShowLevelList(const std::vector<int>& filled) {
    // Rebuilt only when the rows change: a click on the list lands here while the list is
    // still handling it, and must not delete the item under the mouse.
    const std::vector<LevelRow> rows = LevelRows(mip_, filled);
    const QSignalBlocker block(ui_.levels);
    if (!ListShows(*ui_.levels, rows)) {
        ui_.levels->clear();
        for (const LevelRow& row : rows) {
            auto* item = new QTreeWidgetItem(ui_.levels, row.texts);
            item->setData(0, Qt::UserRole, row.slot);
            if (!row.rejected.isEmpty()) {
                // Shown greyed: there is nothing in it to select.
                item->setFlags(Qt::NoItemFlags);
                item->setToolTip(1, tr("Rejected by the load: %1").arg(row.rejected));
            }
        }
    }
    for (int i = 0; i < ui_.levels->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = ui_.levels->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toInt() == state_.slot) {
            ui_.levels->setCurrentItem(item);
        }
    }
}

void CTextureViewer::ShowReport() {
    const QString report = ReportText();
    if (ui_.report->toPlainText() != report) {
        ui_.report->setPlainText(report);
    }
    ui_.reportToggle->setText(mip_.loadReport.Clean() ? tr("Last load")
                                                      : tr("Last load: damage found"));
}

void CTextureViewer::ShowPalette() {
    const bool palettised = mip_.levels.at(static_cast<std::size_t>(state_.slot)).Palettised();
    const int highlight = palettised ? state_.highlight : -1;
    ui_.paletteBox->setVisible(palettised);
    // Without a palette there is no colour to pick out.
    for (QAction* action : {ui_.highlightNext, ui_.highlightPrevious}) {
        action->setEnabled(palettised);
    }
    ui_.palette->Show(shown_.palette, highlight);
    ui_.swatchText->setText(ui_.palette->SwatchText(highlight));
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
        ui_.canvas->SetGrid(state_.grid);
        ui_.canvas->Show(
            pictures_.empty() ? QImage() : pictures_.front().second.Picked(state_.highlight),
            Scale(), backdrop_);
        return;
    }
    std::vector<CChainView::Level> levels;
    for (const auto& [slot, picture] : pictures_) {
        levels.push_back({slot, picture.Picked(state_.highlight)});
    }
    ui_.chain->Show(std::move(levels), Scale(), backdrop_, state_.grid, state_.slot);
}

void CTextureViewer::ShowState(int type) {
    const ChannelView view = ViewFits(state_.view, type) ? state_.view : ChannelView::kColour;
    {
        const QSignalBlocker block(ui_.view);
        if (auto* model = qobject_cast<QStandardItemModel*>(ui_.view->model())) {
            for (int i = 0; i < model->rowCount(); ++i) {
                model->item(i)->setEnabled(ViewFits(static_cast<ChannelView>(i), type));
            }
        }
        ui_.view->setCurrentIndex(static_cast<int>(view));
    }
    for (QAction* action : ui_.views->actions()) {
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
    check(ui_.checkerAction, state_.checker, view == ChannelView::kColour);
    check(ui_.gridAction, state_.grid);
    check(ui_.chainAction, state_.chain);
    for (QAction* action : ui_.backdrops->actions()) {
        check(action, static_cast<Backdrop>(action->data().toInt()) == state_.backdrop);
    }
    for (QAction* action : ui_.zooms->actions()) {
        check(action, action->data().toInt() == state_.zoom);
    }
    {
        const QSignalBlocker block(ui_.zoom);
        const int fit = ui_.zoom->findData(kFit);
        ui_.zoom->setItemText(
            fit, state_.zoom == kFit ? tr("Fit (%1)").arg(Percent(Scale())) : tr("Fit"));
        ui_.zoom->setCurrentIndex(ui_.zoom->findData(state_.zoom));
    }
}

void CTextureViewer::UpdateReadout() {
    if (!ShowsTexture() || !mouseOver_) {
        ui_.readout->clear();
        return;
    }
    QScrollArea* area = ScrollArea();
    if (!area->viewport()->rect().contains(area->viewport()->mapFromGlobal(mouse_))) {
        ui_.readout->clear();
        return;
    }
    if (state_.chain) {
        const auto [slot, texel] = ui_.chain->LevelAt(ui_.chain->mapFromGlobal(mouse_));
        if (slot < 0) {
            ui_.readout->clear();
            return;
        }
        const auto k = static_cast<std::size_t>(slot);
        ui_.readout->setText(tr("slot %1, ").arg(slot) + PixelReadout(mip_.levels.at(k),
                                                                      chainShown_.at(k), texel.x(),
                                                                      texel.y()));
        return;
    }
    const QPoint texel = ui_.canvas->TexelAt(ui_.canvas->mapFromGlobal(mouse_));
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    ui_.readout->setText(PixelReadout(level, shown_, texel.x(), texel.y()));
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
    for (QScrollArea* area : {ui_.scroll, ui_.chainScroll}) {
        area->horizontalScrollBar()->setValue(0);
        area->verticalScrollBar()->setValue(0);
    }
}

QSize CTextureViewer::ContentSize() const {
    if (state_.chain) {
        return ui_.chain->NaturalSize();
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
    const QPoint inViewport = ui_.canvas->mapTo(ui_.scroll->viewport(), where);
    int zoom = state_.zoom;
    double scale = Scale();
    for (int i = 0; i < std::abs(steps); ++i) {
        zoom = StepFrom(scale, steps > 0 ? 1 : -1);
        scale = zoom;
    }
    SetZoom(zoom);
    scale = Scale();
    ui_.scroll->horizontalScrollBar()->setValue(static_cast<int>(std::lround(texel.x() * scale)) -
                                                inViewport.x());
    ui_.scroll->verticalScrollBar()->setValue(static_cast<int>(std::lround(texel.y() * scale)) -
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
    return ui_.pages->currentWidget() == ui_.content;
}

QScrollArea* CTextureViewer::ScrollArea() const {
    return state_.chain ? ui_.chainScroll : ui_.scroll;
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
    if (view >= 0 && view < static_cast<int>(CTextureWindowUi::kViews.size())) {
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
    const QToolBar* tools = ui_.toolBar;
    const auto* splitter = static_cast<const QSplitter*>(ui_.content);
    const int frame = 2 * ui_.scroll->frameWidth();
    // The longest read-out there is: four three-digit codes and values, the longest type name.
    const QString longest = tr("x %1, y %1: stored %2, %2, %2, %2 \u2192 shown %2, %2, %2, %2 (%3)")
                                .arg(255)
                                .arg(255)
                                .arg(QStringLiteral("argb4444"));
    const int readout = ui_.readout->fontMetrics().horizontalAdvance(longest) + 24;
    const int toolbar = tools != nullptr ? tools->sizeHint().width() + 8 : 0;
    const int width =
        std::max({CTextureWindowUi::kSideWidth + splitter->handleWidth() + picture.width() + frame,
                  toolbar, readout});
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
    const bool level = watched == ui_.canvas || watched == ui_.chain;
    if (level && event->type() == QEvent::MouseMove) {
        mouse_ = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        mouseOver_ = true;
        UpdateReadout();
    } else if (level && event->type() == QEvent::Leave) {
        mouseOver_ = false;
        UpdateReadout();
    } else if (watched == ui_.chainScroll->viewport() && event->type() == QEvent::Wheel) {
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
    } else if ((watched == ui_.scroll->viewport() || watched == ui_.chainScroll->viewport()) &&
               event->type() == QEvent::Resize && state_.zoom == kFit && !refreshing_) {
        refreshing_ = true;  // a fitted canvas must not resize the viewport into a loop
        Refresh();
        refreshing_ = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvale
