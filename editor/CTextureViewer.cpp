#include "CTextureViewer.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "CFileDropTarget.h"
#include "CLevelCanvas.h"
#include "CPaletteView.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "LocalPath.h"
#include "PixelCodec.h"
#include "PixelType.h"
#include "PngIo.h"

namespace korvale {

namespace {

constexpr double kSameScale = 1e-9;
const QString kPngFilter = QStringLiteral("PNG Images (*.png)");
// How long the status bar says what an export wrote.
constexpr int kNoticeMs = 8000;

// The text of the last load's report, in this one place.
QString LastLoadReport(const CMip& mip) {
    return QString::fromStdString(mip.loadReport.Summary());
}

bool Palettised(const CBmap& level) {
    return KindOf(level.Type()) == PixelKind::kPalettised;
}

// A palettised level decodes through its own palette only in a set with one per level.
bool OwnPalette(const CMip& mip, int slot) {
    return mip.miptype == 2 && Palettised(mip.levels.at(static_cast<std::size_t>(slot)));
}

const CCmap& LevelPalette(const CMip& mip, int slot) {
    return OwnPalette(mip, slot) ? mip.levelPalettes.at(static_cast<std::size_t>(slot))
                                 : mip.globalPalette;
}

QString MipHeaderText(const CMip& mip) {
    const QString palettes = mip.miptype == 2 ? QStringLiteral("a palette per level")
                             : mip.miptype == 0 || mip.miptype == 1
                                 ? QStringLiteral("one global palette")
                                 : QStringLiteral("unknown");
    return QStringLiteral(
               "miptype %1 (%2)\nsize 2^%3 x 2^%4 = %5 x %6\nrepeat code %7 (h %8, v %9)\n"
               "numimages %10\nlast load: %11")
        .arg(mip.miptype)
        .arg(palettes)
        .arg(mip.powerwidth)
        .arg(mip.powerheight)
        .arg(mip.Width())
        .arg(mip.Height())
        .arg(mip.RepeatCode())
        .arg(mip.hrepeat)
        .arg(mip.vrepeat)
        .arg(mip.numimages)
        .arg(LastLoadReport(mip));
}

// One row per filled slot: slot, size, pixel type and the palette the level decodes with.
std::vector<QStringList> LevelRows(const CMip& mip, const std::vector<int>& filled) {
    std::vector<QStringList> rows;
    for (const int k : filled) {
        const CBmap& level = mip.levels.at(static_cast<std::size_t>(k));
        const QString uses = !Palettised(level)   ? QStringLiteral("none")
                             : OwnPalette(mip, k) ? QStringLiteral("own")
                                                  : QStringLiteral("global");
        rows.push_back({QString::number(k),
                        QStringLiteral("%1 x %2").arg(level.Width()).arg(level.Height()),
                        QString::fromStdString(PixelTypeName(level.Type())), uses});
    }
    return rows;
}

bool ListShows(const QTreeWidget& list, const std::vector<QStringList>& rows) {
    if (list.topLevelItemCount() != static_cast<int>(rows.size())) {
        return false;
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QTreeWidgetItem* item = list.topLevelItem(static_cast<int>(i));
        for (int c = 0; c < rows[i].size(); ++c) {
            if (item->text(c) != rows[i][c]) {
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

}  // namespace

CTextureViewer::CTextureViewer(const CMip& mip, DialogServices& services, QWidget* parent)
    : QMainWindow(parent, Qt::Window), mip_(mip), services_(services) {
    setWindowTitle(QStringLiteral("Texture"));
    setObjectName(QStringLiteral("textureViewer"));
    BuildMenu();
    BuildWidgets();
    auto* drops = new CFileDropTarget(this);
    drops->Watch(this);
    connect(drops, &CFileDropTarget::FileDropped, this, &CTextureViewer::FileDropped);
    resize(900, 640);

    auto shortcut = [this](const QKeySequence& keys, void (CTextureViewer::*zoom)()) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, this, zoom);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus), &CTextureViewer::ZoomIn);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), &CTextureViewer::ZoomIn);  // plus unshifted
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus), &CTextureViewer::ZoomOut);
    auto* fit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this);
    connect(fit, &QShortcut::activated, this, [this] { SetZoom(kFit); });
    Refresh();
}

void CTextureViewer::BuildMenu() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    import_ = file->addAction(QStringLiteral("&Import Image..."));
    import_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(import_, &QAction::triggered, this, &CTextureViewer::ImportRequested);
    file->addSeparator();
    exportLevel_ = file->addAction(QStringLiteral("Export &Level..."));
    exportLevel_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    connect(exportLevel_, &QAction::triggered, this, &CTextureViewer::ExportLevel);
    exportAll_ = file->addAction(QStringLiteral("Export &All Levels..."));
    exportAll_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E));
    connect(exportAll_, &QAction::triggered, this, &CTextureViewer::ExportAllLevels);
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    connect(close, &QAction::triggered, this, &QWidget::close);
}

void CTextureViewer::BuildWidgets() {
    pages_ = new QStackedWidget(this);
    setCentralWidget(pages_);
    empty_ = new QLabel(QStringLiteral("No texture loaded"), pages_);
    empty_->setObjectName(QStringLiteral("noTexture"));
    empty_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(empty_);
    content_ = new QWidget(pages_);
    pages_->addWidget(content_);

    auto* side = new QWidget(content_);
    side->setFixedWidth(270);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(Caption(QStringLiteral("Levels"), side));
    levels_ = new QTreeWidget(side);
    levels_->setHeaderLabels({QStringLiteral("Slot"), QStringLiteral("Size"),
                              QStringLiteral("Type"), QStringLiteral("Palette")});
    levels_->setRootIsDecorated(false);
    levels_->setUniformRowHeights(true);
    levels_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Room for all nine slots and the header row.
    levels_->setMinimumHeight(levels_->fontMetrics().lineSpacing() * 10 + 16);
    sideLayout->addWidget(levels_);
    connect(levels_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr) {
            SelectSlot(item->data(0, Qt::UserRole).toInt());
        }
    });

    sideLayout->addWidget(Caption(QStringLiteral("Header"), side));
    header_ = new QLabel(side);
    header_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    header_->setWordWrap(true);
    header_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    sideLayout->addWidget(header_);

    paletteBox_ = new QWidget(side);
    auto* paletteLayout = new QVBoxLayout(paletteBox_);
    paletteLayout->setContentsMargins(0, 0, 0, 0);
    paletteLayout->addWidget(Caption(QStringLiteral("Palette"), paletteBox_));
    palette_ = new CPaletteView(paletteBox_);
    paletteLayout->addWidget(palette_);
    swatchText_ = new QLabel(paletteBox_);
    paletteLayout->addWidget(swatchText_);
    sideLayout->addWidget(paletteBox_);
    sideLayout->addStretch(1);
    connect(palette_, &CPaletteView::SwatchHovered, this, &CTextureViewer::SetHighlight);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("View:"), content_));
    view_ = new QComboBox(content_);
    view_->addItems({QStringLiteral("Colour"), QStringLiteral("Alpha"),
                     QStringLiteral("Index (grey)"), QStringLiteral("Index (palette)")});
    controls->addWidget(view_);
    connect(view_, &QComboBox::activated, this,
            [this](int index) { SetView(static_cast<ChannelView>(index)); });
    checker_ = new QCheckBox(QStringLiteral("Alpha over checkerboard"), content_);
    controls->addWidget(checker_);
    connect(checker_, &QCheckBox::toggled, this, &CTextureViewer::SetChecker);
    controls->addSpacing(12);
    controls->addWidget(new QLabel(QStringLiteral("Zoom:"), content_));
    zoom_ = new QComboBox(content_);
    for (const int step : kZoomSteps) {
        zoom_->addItem(QStringLiteral("%1x").arg(step), step);
    }
    zoom_->addItem(QStringLiteral("Fit"), kFit);
    zoom_->setToolTip(QStringLiteral("Ctrl+plus, Ctrl+minus, Ctrl+0 to fit; Ctrl+wheel"));
    controls->addWidget(zoom_);
    connect(zoom_, &QComboBox::activated, this,
            [this](int index) { SetZoom(zoom_->itemData(index).toInt()); });
    controls->addStretch(1);

    scroll_ = new QScrollArea(content_);
    scroll_->setBackgroundRole(QPalette::Dark);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setWidgetResizable(false);
    canvas_ = new CLevelCanvas;
    scroll_->setWidget(canvas_);
    scroll_->viewport()->installEventFilter(this);
    connect(canvas_, &CLevelCanvas::TexelHovered, this, &CTextureViewer::ShowPixel);
    connect(canvas_, &CLevelCanvas::ZoomRequested, this, &CTextureViewer::ZoomAround);

    auto* right = new QVBoxLayout;
    right->addLayout(controls);
    right->addWidget(scroll_, 1);
    auto* layout = new QHBoxLayout(content_);
    layout->addWidget(side);
    layout->addLayout(right, 1);

    readout_ = new QLabel(this);
    statusBar()->addWidget(readout_, 1);
}

void CTextureViewer::Refresh() {
    const std::vector<int> filled = mip_.FilledSlots();
    exportLevel_->setEnabled(!filled.empty());
    exportAll_->setEnabled(!filled.empty());
    if (filled.empty()) {
        pages_->setCurrentWidget(empty_);
        statusBar()->hide();
        shown_ = Image();
        canvas_->Show(QImage(), 1.0, state_.checker);
        readout_->clear();
        return;
    }
    pages_->setCurrentWidget(content_);
    statusBar()->show();
    if (std::find(filled.begin(), filled.end(), state_.slot) == filled.end()) {
        state_.slot = filled.front();
    }
    const int slot = state_.slot;
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(slot));
    const CCmap& palette = LevelPalette(mip_, slot);

    {
        // Rebuilt only when the rows change: a click on the list lands here while the list is
        // still handling it, and must not delete the item under the mouse.
        const std::vector<QStringList> rows = LevelRows(mip_, filled);
        const QSignalBlocker block(levels_);
        if (!ListShows(*levels_, rows)) {
            levels_->clear();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                auto* item = new QTreeWidgetItem(levels_, rows[i]);
                item->setData(0, Qt::UserRole, filled[i]);
            }
        }
        const auto at = std::find(filled.begin(), filled.end(), slot) - filled.begin();
        levels_->setCurrentItem(levels_->topLevelItem(static_cast<int>(at)));
    }
    header_->setText(MipHeaderText(mip_));

    shown_ = LevelToImage(level, palette);
    const bool palettised = Palettised(level);
    const int highlight = palettised ? state_.highlight : -1;
    paletteBox_->setVisible(palettised);
    palette_->Show(shown_.palette, highlight);
    swatchText_->setText(palette_->SwatchText(highlight));

    const ChannelView view =
        ViewFits(state_.view, level.Type()) ? state_.view : ChannelView::kColour;
    {
        const QSignalBlocker block(view_);
        if (auto* model = qobject_cast<QStandardItemModel*>(view_->model())) {
            for (int i = 0; i < model->rowCount(); ++i) {
                model->item(i)->setEnabled(ViewFits(static_cast<ChannelView>(i), level.Type()));
            }
        }
        view_->setCurrentIndex(static_cast<int>(view));
    }
    {
        const QSignalBlocker block(checker_);
        checker_->setChecked(state_.checker);
        checker_->setEnabled(view == ChannelView::kColour);
    }
    {
        const QSignalBlocker block(zoom_);
        zoom_->setCurrentIndex(zoom_->findData(state_.zoom));
    }
    const bool alpha = state_.checker && view == ChannelView::kColour;
    canvas_->Show(ShownToQImage(shown_, view, LevelPaint{alpha, highlight}), Scale(), alpha);
    ShowPixel(hoveredTexel_);
}

void CTextureViewer::ShowPixel(QPoint texel) {
    hoveredTexel_ = texel;
    if (!ShowsTexture()) {
        readout_->clear();
        return;
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    readout_->setText(PixelReadout(level, shown_, texel.x(), texel.y()));
}

void CTextureViewer::SelectSlot(int slot) {
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

void CTextureViewer::SetHighlight(int index) {
    state_.highlight = index;
    Refresh();
}

void CTextureViewer::SetZoom(int zoom) {
    const bool known =
        zoom == kFit || std::find(kZoomSteps.begin(), kZoomSteps.end(), zoom) != kZoomSteps.end();
    state_.zoom = known ? zoom : 1;
    Refresh();
}

void CTextureViewer::ZoomIn() {
    const double scale = Scale();
    const auto* next = std::find_if(kZoomSteps.begin(), kZoomSteps.end(),
                                    [scale](int step) { return step > scale + kSameScale; });
    SetZoom(next != kZoomSteps.end() ? *next : kZoomSteps.back());
}

void CTextureViewer::ZoomOut() {
    const double scale = Scale();
    const auto next = std::find_if(kZoomSteps.rbegin(), kZoomSteps.rend(),
                                   [scale](int step) { return step < scale - kSameScale; });
    SetZoom(next != kZoomSteps.rend() ? *next : kZoomSteps.front());
}

void CTextureViewer::ZoomAround(int steps, QPointF texel, QPoint where) {
    // The texel under the mouse stays under it.
    const QPoint inViewport = canvas_->mapTo(scroll_->viewport(), where);
    for (int i = 0; i < std::abs(steps); ++i) {
        steps > 0 ? ZoomIn() : ZoomOut();
    }
    const double scale = Scale();
    scroll_->horizontalScrollBar()->setValue(static_cast<int>(std::lround(texel.x() * scale)) -
                                             inViewport.x());
    scroll_->verticalScrollBar()->setValue(static_cast<int>(std::lround(texel.y() * scale)) -
                                           inViewport.y());
}

void CTextureViewer::SetTextureName(const QString& base) {
    textureName_ = base.isEmpty() ? QStringLiteral("texture") : base;
}

bool CTextureViewer::WriteLevel(int slot, const QString& path) {
    std::vector<std::uint8_t> png;
    std::string error;
    if (!EncodeLevelPng(mip_, slot, LevelView::kFullScale, png, error) ||
        !WriteFileBytes(LocalPath(path), png, error)) {
        services_.ShowMessage(this, QStringLiteral("The level could not be written to '%1': %2.")
                                        .arg(path, QString::fromStdString(error)));
        return false;
    }
    return true;
}

void CTextureViewer::ExportLevel() {
    if (!ShowsTexture()) {
        return;
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    const QString name = FromLocalPath(LevelFileName(LocalPath(textureName_), level));
    const auto path =
        services_.ChooseFile(this, FileRequest{QStringLiteral("Export Level..."), kPngFilter,
                                               QStringLiteral("png"), true, name});
    if (path && WriteLevel(state_.slot, *path)) {
        statusBar()->showMessage(QStringLiteral("Level %1 x %2 written to '%3'")
                                     .arg(level.Width())
                                     .arg(level.Height())
                                     .arg(*path),
                                 kNoticeMs);
    }
}

void CTextureViewer::ExportAllLevels() {
    const std::vector<int> filled = mip_.FilledSlots();
    if (filled.empty()) {
        return;
    }
    const auto folder =
        services_.ChooseFolder(this, QStringLiteral("Export All Levels into Folder"));
    if (!folder) {
        return;
    }
    const QDir dir(*folder);
    const std::string base = LocalPath(textureName_);
    QStringList paths;
    QStringList existing;
    for (const int k : filled) {
        const std::string name = LevelFileName(base, mip_.levels.at(static_cast<std::size_t>(k)));
        paths.append(dir.filePath(FromLocalPath(name)));
        if (QFile::exists(paths.back())) {
            existing.append(FromLocalPath(name));
        }
    }
    // The folder chooser cannot ask about the files, so the question comes here.
    if (!existing.isEmpty() &&
        !services_.Ask(
            this,
            QStringLiteral("%1 already in '%2': %3.\n\nReplace %4?")
                .arg(existing.size() == 1 ? QStringLiteral("One file is")
                                          : QStringLiteral("%1 files are").arg(existing.size()),
                     *folder, existing.join(QStringLiteral(", ")),
                     existing.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")))) {
        return;
    }
    for (std::size_t i = 0; i < filled.size(); ++i) {
        if (!WriteLevel(filled[i], paths.at(static_cast<int>(i)))) {
            return;  // the rest would most likely fail for the same reason
        }
    }
    statusBar()->showMessage(
        QStringLiteral("%1 %2 written to '%3'")
            .arg(filled.size())
            .arg(filled.size() == 1 ? QStringLiteral("level") : QStringLiteral("levels"), *folder),
        kNoticeMs);
}

double CTextureViewer::Scale() const {
    if (state_.zoom != kFit) {
        return state_.zoom;
    }
    if (!ShowsTexture()) {
        return 1.0;
    }
    const CBmap& level = mip_.levels.at(static_cast<std::size_t>(state_.slot));
    const QSize room = scroll_->maximumViewportSize();
    if (level.Width() <= 0 || level.Height() <= 0 || room.isEmpty()) {
        return 1.0;
    }
    return std::min(static_cast<double>(room.width()) / level.Width(),
                    static_cast<double>(room.height()) / level.Height());
}

bool CTextureViewer::ShowsTexture() const {
    return pages_->currentWidget() == content_;
}

QString CTextureViewer::HeaderText() const {
    return ShowsTexture() ? header_->text() : QString();
}

QString CTextureViewer::StatusText() const {
    return readout_->text();
}

bool CTextureViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scroll_->viewport() && event->type() == QEvent::Resize && state_.zoom == kFit &&
        !refreshing_) {
        refreshing_ = true;  // a fitted canvas must not resize the viewport into a loop
        Refresh();
        refreshing_ = false;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace korvale
