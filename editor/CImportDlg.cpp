#include "CImportDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CLevelCanvas.h"
#include "CSrb.h"
#include "EditorSettings.h"
#include "LevelImage.h"
#include "LevelQImage.h"
#include "LocalPath.h"
#include "PaletteSource.h"
#include "PixelType.h"
#include "PngIo.h"
#include "Resampler.h"
#include "Trace.h"

namespace korvale {

namespace {

constexpr int kLongestName = 200;  // pixels of the picture's file name shown
constexpr std::size_t kQuickPixels = std::size_t{1} << 20;  // imports at once, no wait cursor
// The palette entry that opens the chooser instead of naming a mode.
constexpr int kChooseFile = -1;

// The checkerboard's squares, smaller than the viewer's for a preview of at most kPreviewBox
// pixels; its colours are the viewer's, so transparency looks the same in both windows.
constexpr int kCheckerCell = 8;

// The wait cursor while it lives, when asked for.
class WaitCursor {
  public:
    explicit WaitCursor(bool show) : shown_(show) {
        if (shown_) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    ~WaitCursor() {
        if (shown_) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

  private:
    bool shown_;
};

// The pixel types offered, in the table's order: each name once with the code written for it
// (pal4 stands for the three palettised codes).
std::vector<std::pair<QString, int>> OfferedTypes() {
    std::vector<std::pair<QString, int>> types;
    // The table's codes run from 0 without a gap.
    for (int code = 0; const PixelTypeInfo* info = PixelTypeOf(code); ++code) {
        if (PixelTypeNamed(info->name) == code) {
            types.emplace_back(QString::fromStdString(std::string(info->name)), code);
        }
    }
    return types;
}

QString SizeText(int width, int height) {
    return CImportDlg::tr("%1 x %2").arg(width).arg(height);
}

// The level over a checkerboard, enlarged to fit a square of box pixels. Sides are powers of
// two of at most the box, so the scale is a whole number and every texel a clean square.
QImage DrawPreview(const QImage& level, int box) {
    if (level.isNull()) {
        return {};
    }
    const int scale = std::max(1, box / std::max(level.width(), level.height()));
    QImage canvas(level.width() * scale, level.height() * scale,
                  QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&canvas);
    CLevelCanvas::FillChecker(painter, canvas.rect(), QPoint(0, 0), kCheckerCell);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(canvas.rect(), level);
    return canvas;
}

}  // namespace

CImportDlg::CImportDlg(const Image& picture, const std::string& path, DialogServices& services,
                       QWidget* parent)
    : QDialog(parent), picture_(picture), services_(services) {
    setWindowTitle(tr("Import Image"));
    setModal(true);
    automaticType_ = picture_.Empty() ? 0 : AutomaticType(picture_);
    options_.type = automaticType_;
    const auto [topWidth, topHeight] = AutomaticTopSize(picture_.width, picture_.height);
    options_.topWidth = topWidth;
    options_.topHeight = topHeight;
    RestoreChoices();

    BuildControls();
    auto* name = findChild<QLabel*>(QStringLiteral("picture"));
    const QString shownPath = FromLocalPath(path);
    // A long name is shortened in the middle rather than widening the dialog; the tooltip
    // has it in full.
    name->setText(tr("%1, %2").arg(name->fontMetrics().elidedText(QFileInfo(shownPath).fileName(),
                                                                  Qt::ElideMiddle, kLongestName),
                                   SizeText(picture_.width, picture_.height)));
    name->setToolTip(shownPath);
    ShowOptions();
    // The menus line up at the width of the widest; a palette file's long name is cut short.
    const int fieldWidth = std::max(
        {type_->sizeHint().width(), palette_->sizeHint().width(), filter_->sizeHint().width()});
    for (QComboBox* box : {type_, palette_, filter_}) {
        box->setFixedWidth(fieldWidth);
    }
    imports_ = std::make_unique<LatestImport>(picture_, [this](std::uint64_t request) {
        // From the import's thread to this one; dropped if the dialog is gone by then.
        QMetaObject::invokeMethod(
            this, [this, request] { OnPreviewReady(request); }, Qt::QueuedConnection);
    });
    // The first preview comes once the dialog is up: a large picture takes a moment.
    ShowComputing();
    previewTimer_->start();
}

void CImportDlg::BuildControls() {
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    BuildTypeControls();
    BuildChainControls();

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(tr("Picture:"), picture);
    form->addRow(tr("Pixel &type:"), type_);
    form->addRow(tr("&Palette:"), palette_);
    form->addRow(QString(), dither_);
    auto* levelsRow = new QHBoxLayout;
    levelsRow->addWidget(levels_);
    levelsRow->addWidget(levelsNote_);
    form->addRow(tr("&Levels:"), levelsRow);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(topWidth_);
    sizeRow->addWidget(new QLabel(tr("x"), this));
    sizeRow->addWidget(topHeight_);
    form->addRow(tr("Top &size:"), sizeRow);
    qobject_cast<QLabel*>(form->labelForField(sizeRow))->setBuddy(topWidth_);
    qobject_cast<QLabel*>(form->labelForField(levelsRow))->setBuddy(levels_);
    form->addRow(tr("&Filter:"), filter_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    import_ = buttons->button(QDialogButtonBox::Ok);
    import_->setText(tr("&Import"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* columns = new QHBoxLayout;
    auto* formColumn = new QVBoxLayout;
    formColumn->addLayout(form);
    formColumn->addStretch(1);
    columns->addLayout(formColumn);
    columns->addSpacing(12);
    columns->addLayout(BuildPreview());
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns);
    outer->addWidget(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void CImportDlg::BuildTypeControls() {
    type_ = new QComboBox(this);
    type_->setObjectName(QStringLiteral("type"));
    for (const auto& [name, code] : OfferedTypes()) {
        type_->addItem(code == automaticType_ ? name + tr(" (automatic)") : name, code);
    }
    connect(type_, &QComboBox::currentIndexChanged, this, [this](int index) {
        options_.type = type_->itemData(index).toInt();
        OptionsChanged();
    });

    palette_ = new QComboBox(this);
    palette_->setObjectName(QStringLiteral("palette"));
    // activated, not currentIndexChanged: choosing "from a file..." again picks another file.
    connect(palette_, &QComboBox::activated, this, &CImportDlg::OnPaletteActivated);

    dither_ = new QCheckBox(tr("&Dither (error diffusion)"), this);
    dither_->setObjectName(QStringLiteral("dither"));
    connect(dither_, &QCheckBox::toggled, this, [this](bool on) {
        options_.dither = on;
        OptionsChanged();
    });
}

void CImportDlg::BuildChainControls() {
    levels_ = new QSpinBox(this);
    levels_->setObjectName(QStringLiteral("levels"));
    levelsNote_ = new QLabel(this);
    levelsNote_->setObjectName(QStringLiteral("levelsNote"));
    connect(levels_, &QSpinBox::valueChanged, this, [this](int value) {
        // The whole chain stays the whole chain when the top size changes.
        options_.levels = value >= ChainLength() ? 0 : value;
        OptionsChanged();
    });

    topWidth_ = new QComboBox(this);
    topWidth_->setObjectName(QStringLiteral("topWidth"));
    topHeight_ = new QComboBox(this);
    topHeight_->setObjectName(QStringLiteral("topHeight"));
    for (int side = 1; side <= CMip::kLargestSide; side *= 2) {
        topWidth_->addItem(QString::number(side), side);
        topHeight_->addItem(QString::number(side), side);
    }
    connect(topWidth_, &QComboBox::currentIndexChanged, this, [this](int index) {
        options_.topWidth = topWidth_->itemData(index).toInt();
        OptionsChanged();
    });
    connect(topHeight_, &QComboBox::currentIndexChanged, this, [this](int index) {
        options_.topHeight = topHeight_->itemData(index).toInt();
        OptionsChanged();
    });

    filter_ = new QComboBox(this);
    filter_->setObjectName(QStringLiteral("filter"));
    for (const std::string_view name : kFilterNames) {
        filter_->addItem(QString::fromStdString(std::string(name)),
                         static_cast<int>(FilterNamed(name).value_or(Filter::kArea)));
    }
    connect(filter_, &QComboBox::currentIndexChanged, this, [this](int index) {
        options_.filter = static_cast<Filter>(filter_->itemData(index).toInt());
        OptionsChanged();
    });
}

QLayout* CImportDlg::BuildPreview() {
    preview_ = new QLabel(this);
    preview_->setObjectName(QStringLiteral("preview"));
    preview_->setFrameShape(QFrame::StyledPanel);
    preview_->setFrameShadow(QFrame::Sunken);
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setFixedSize(kPreviewBox + 2 * preview_->frameWidth(),
                           kPreviewBox + 2 * preview_->frameWidth());
    previewText_ = new QLabel(this);
    previewText_->setObjectName(QStringLiteral("previewText"));
    previewText_->setAlignment(Qt::AlignCenter);
    previewText_->setWordWrap(true);
    previewText_->setFixedWidth(preview_->width());
    auto* column = new QVBoxLayout;
    column->addWidget(preview_);
    column->addWidget(previewText_);
    column->addStretch(1);

    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(kPreviewDelayMs);
    connect(previewTimer_, &QTimer::timeout, this, &CImportDlg::RefreshPreview);
    return column;
}

int CImportDlg::ChainLength() const {
    return std::bit_width(static_cast<unsigned>(std::max(options_.topWidth, options_.topHeight)));
}

int CImportDlg::LevelCount() const {
    return options_.levels == 0 ? ChainLength() : std::min(options_.levels, ChainLength());
}

ImportOptions CImportDlg::Options() const {
    ImportOptions options = options_;
    options.levels = LevelCount();
    return options;
}

void CImportDlg::ShowOptions() {
    const auto select = [](QComboBox* box, int data) {
        const QSignalBlocker quiet(box);
        box->setCurrentIndex(box->findData(data));
    };
    select(type_, options_.type.value_or(automaticType_));
    select(topWidth_, options_.topWidth);
    select(topHeight_, options_.topHeight);
    select(filter_, static_cast<int>(options_.filter));
    {
        const QSignalBlocker quiet(dither_);
        dither_->setChecked(options_.dither);
    }
    {
        const QSignalBlocker quiet(levels_);
        levels_->setRange(1, ChainLength());
        levels_->setValue(LevelCount());
    }
    const int bottom = LevelCount() - 1;
    levelsNote_->setText(tr("down to %1")
                             .arg(SizeText(std::max(1, options_.topWidth >> bottom),
                                           std::max(1, options_.topHeight >> bottom))));
    {
        const QSignalBlocker quiet(palette_);
        // The entries change only with the file, never under a pick being reported.
        const int fileEntry = palette_->findData(static_cast<int>(PaletteMode::kFromFile));
        const QString listed =
            fileEntry < 0 ? QString() : palette_->itemData(fileEntry, Qt::ToolTipRole).toString();
        if (palette_->count() == 0 || listed != paletteFile_) {
            palette_->clear();
            palette_->addItem(tr("shared by the chain"), static_cast<int>(PaletteMode::kShared));
            palette_->addItem(tr("one per level"), static_cast<int>(PaletteMode::kPerLevel));
            if (!paletteFile_.isEmpty()) {
                palette_->addItem(tr("from %1").arg(QFileInfo(paletteFile_).fileName()),
                                  static_cast<int>(PaletteMode::kFromFile));
                palette_->setItemData(palette_->count() - 1, paletteFile_, Qt::ToolTipRole);
            }
            palette_->addItem(tr("from a file..."), kChooseFile);
        }
        palette_->setCurrentIndex(palette_->findData(static_cast<int>(options_.palette)));
        palette_->setToolTip(options_.palette == PaletteMode::kFromFile ? paletteFile_ : QString());
    }
    const bool palettised =
        KindOf(options_.type.value_or(automaticType_)) == PixelKind::kPalettised;
    palette_->setEnabled(palettised);
}

void CImportDlg::OptionsChanged() {
    ++revision_;
    ShowOptions();
    ShowComputing();
    previewTimer_->start();  // restarts: only a pause in the changes makes a preview
}

void CImportDlg::OnPaletteActivated(int index) {
    const int data = palette_->itemData(index).toInt();
    if (data == kChooseFile) {
        ChoosePaletteFile();
        return;
    }
    options_.palette = static_cast<PaletteMode>(data);
    OptionsChanged();
}

void CImportDlg::ChoosePaletteFile() {
    const auto path = services_.ChooseFile(
        this, FileRequest{tr("Choose a file to take the palette from"),
                          tr("Palettes (*.mip *.srb *.png)"), QString(), false});
    if (!path) {
        ShowOptions();  // the menu goes back to the palette in use
        return;
    }
    std::vector<Rgba8> colours;
    LoadReport report;
    const Status read = ReadPaletteFile(LocalPath(*path), colours, report);
    if (read && !colours.empty()) {
        options_.palette = PaletteMode::kFromFile;
        options_.givenPalette = std::move(colours);
        paletteFile_ = *path;
    } else {
        services_.ShowMessage(this,
                              tr("No palette can be taken from '%1': %2.\n\nThe chain keeps a "
                                 "palette of its own, shared by every level.")
                                  .arg(*path, QString::fromStdString(read.Reason())));
        options_.palette = PaletteMode::kShared;
        options_.givenPalette.clear();
        paletteFile_.clear();
    }
    OptionsChanged();
}

void CImportDlg::RefreshPreview() {
    previewTimer_->stop();
    if (closed_) {
        return;
    }
    ShowComputing();
    askedRevision_ = revision_;
    askedRequest_ = imports_->Ask(Options());
}

void CImportDlg::ShowComputing() {
    // The old preview stays, greyed, so the dialog does not jump while the new one is made.
    preview_->setEnabled(false);
    previewText_->setText(tr("Computing preview\u2026"));
}

void CImportDlg::done(int result) {
    closed_ = true;
    previewTimer_->stop();
    if (result != QDialog::Accepted) {
        imports_->Forget();  // nothing will take a result: a preview waiting to run never starts
    }
    QDialog::done(result);
}

void CImportDlg::OnPreviewReady(std::uint64_t request) {
    // The options changed since it was asked for: a newer preview follows once they rest. Once
    // closed, the result stays where Result() can take it.
    if (closed_ || request != askedRequest_ || askedRevision_ != revision_) {
        return;
    }
    if (std::optional<LatestImport::Made> made = imports_->Take(request)) {
        ShowPreview(std::move(*made));
    }
}

void CImportDlg::ShowPreview(LatestImport::Made made) {
    previewValid_ = made.status.Ok();
    previewHeld_ = previewValid_;
    previewRevision_ = askedRevision_;
    QImage image;
    if (previewValid_) {
        previewMip_ = std::move(made.mip);
        const std::vector<int> filled = previewMip_.FilledSlots();
        const auto top = static_cast<std::size_t>(filled.front());  // a made set has levels
        const CBmap& level = previewMip_.levels[top];
        image =
            DrawPreview(LevelToQImage(level, previewMip_.levelPalettes[top], ChannelView::kColour),
                        kPreviewBox);
        const auto count = static_cast<int>(filled.size());
        previewText_->setText((count == 1 ? tr("%1, %2, 1 level") : tr("%1, %2, %3 levels"))
                                  .arg(SizeText(level.Width(), level.Height()),
                                       QString::fromStdString(PixelTypeName(level.Type())),
                                       QString::number(count)));
    } else {
        previewMip_ = CMip();
        previewText_->setText(
            tr("Cannot import: %1").arg(QString::fromStdString(made.status.Reason())));
    }
    if (image.isNull()) {
        preview_->clear();
    } else {
        preview_->setPixmap(QPixmap::fromImage(image));
    }
    preview_->setEnabled(true);
    import_->setEnabled(previewValid_);
    emit PreviewShown();
}

void CImportDlg::RestoreChoices() {
    const EditorSettings settings;
    // A type is remembered only when it was chosen over the automatic one.
    const int type = settings.value(settings::kImportType, -1).toInt();
    if (PixelTypeOf(type) != nullptr) {
        options_.type = type;
    }
    const int palette = settings.value(settings::kImportPalette, 0).toInt();
    if (palette == static_cast<int>(PaletteMode::kPerLevel)) {
        options_.palette = PaletteMode::kPerLevel;
    }
    options_.dither = settings.value(settings::kImportDither, false).toBool();
    const int filter = settings.value(settings::kImportFilter, 0).toInt();
    if (filter >= 0 && filter < static_cast<int>(kFilterNames.size())) {
        options_.filter = static_cast<Filter>(filter);
    }
}

void CImportDlg::SaveChoices() const {
    EditorSettings settings;
    const int type = options_.type.value_or(automaticType_);
    settings.setValue(settings::kImportType, type == automaticType_ ? -1 : type);
    // A palette from a file belongs to that import; the next one starts with a palette of its own.
    settings.setValue(
        settings::kImportPalette,
        static_cast<int>(options_.palette == PaletteMode::kPerLevel ? PaletteMode::kPerLevel
                                                                    : PaletteMode::kShared));
    settings.setValue(settings::kImportDither, options_.dither);
    settings.setValue(settings::kImportFilter, static_cast<int>(options_.filter));
}

bool CImportDlg::Result(CMip& mip, std::string& error) {
    SaveChoices();
    if (previewHeld_ && previewRevision_ == revision_) {
        mip = std::move(previewMip_);
        previewMip_ = CMip();
        previewHeld_ = false;  // handed over; another call imports afresh
        return true;
    }
    const WaitCursor wait(picture_.PixelCount() > kQuickPixels);
    // The preview's import of these very options, running or done but not yet shown, is the
    // import asked for: waiting for it is quicker than starting again.
    if (askedRevision_ == revision_) {
        if (std::optional<LatestImport::Made> made = imports_->Wait(askedRequest_)) {
            error = made->status.Reason();
            if (made->status.Ok()) {
                mip = std::move(made->mip);
            }
            return made->status.Ok();
        }
    }
    imports_->Forget();  // the previews asked for are all of other options
    const Status imported = ImportImage(picture_, Options(), mip);
    error = imported.Reason();
    return imported.Ok();
}

}  // namespace korvale
