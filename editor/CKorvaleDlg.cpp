#include "CKorvaleDlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <span>

#include "AppIcon.h"
#include "CExternalEdit.h"
#include "CFileDropTarget.h"
#include "CImportDlg.h"
#include "CTextureViewer.h"
#include "CompanionSize.h"
#include "DialogUnits.h"
#include "EditorSettings.h"
#include "FileKind.h"
#include "Importer.h"
#include "Inputs.h"
#include "LevelExport.h"
#include "LocalPath.h"
#include "PngIo.h"
#include "Saving.h"
#include "ValueText.h"
#include "WindowPlacement.h"

namespace korvale {

namespace {

// The dialog's own texts (its controls, status lines, choosers and About entry) are fixed and
// stay as they are in every language; everything else goes through tr().
const QString kSrbFilter = QStringLiteral("SRB Files (*.srb)");
const QString kMipFilter = QStringLiteral("MIP Files (*.mip)");
const QString kAboutEntry = QStringLiteral("&About Korvale...");
constexpr float kMaxHeaderValue = 100000.0F;
constexpr float kMaxSize = 1000.0F;

// The warning marks beside the status lines (x, w, h in dialog units, and the line's y): in the
// margin right of the lines, so nothing of the dialog's own layout moves.
constexpr int kWarningX = 297;
constexpr int kWarningW = 9;
constexpr int kWarningH = 10;
constexpr int kSrbLineY = 13;
constexpr int kMipLineY = 33;

// The dialog's layout in dialog units, in tab order.
enum class Kind { kDefaultButton, kButton, kEdit, kLabel, kStatus };
struct Control {
    int id;  // 0 for labels
    Kind kind;
    const char* text;
    int x, y, w, h;
};
constexpr Control kLayout[] = {
    {CKorvaleDlg::kIdQuit, Kind::kDefaultButton, "Quit", 245, 100, 50, 14},
    {CKorvaleDlg::kIdLoadSrb, Kind::kButton, "&Load SRB...", 10, 10, 50, 15},
    {CKorvaleDlg::kIdSaveSrb, Kind::kButton, "&Save SRB...", 65, 10, 50, 15},
    {CKorvaleDlg::kIdLoadMip, Kind::kButton, "Load MIP...", 65, 30, 50, 15},
    {CKorvaleDlg::kIdField1, Kind::kEdit, "", 48, 50, 105, 12},
    {0, Kind::kLabel, "1.0", 17, 50, 28, 10},
    {CKorvaleDlg::kIdField2, Kind::kEdit, "", 48, 65, 105, 12},
    {0, Kind::kLabel, "1.0", 15, 66, 30, 10},
    {CKorvaleDlg::kIdField3, Kind::kEdit, "", 48, 80, 105, 12},
    {0, Kind::kLabel, "Width?", 17, 80, 28, 10},
    {CKorvaleDlg::kIdField4, Kind::kEdit, "", 190, 50, 105, 12},
    {0, Kind::kLabel, "Height?", 150, 50, 35, 10},
    {CKorvaleDlg::kIdField5, Kind::kEdit, "", 190, 65, 105, 12},
    {0, Kind::kLabel, "Middle?", 150, 65, 35, 10},
    {CKorvaleDlg::kIdField6, Kind::kEdit, "", 190, 80, 105, 12},
    {0, Kind::kLabel, "Bottom?", 150, 80, 35, 10},
    {CKorvaleDlg::kIdMipStatus, Kind::kStatus, "no Mip Loaded", 120, 33, 175, 10},
    {CKorvaleDlg::kIdSrbStatus, Kind::kStatus, "no SRB Loaded", 120, 13, 175, 12},
    {CKorvaleDlg::kIdSize, Kind::kEdit, "", 48, 95, 105, 12},
    {0, Kind::kLabel, "Size (Metres)", 5, 95, 41, 15},
    {CKorvaleDlg::kIdSaveMip, Kind::kButton, "Save MIP...", 10, 30, 50, 15},
};

// The edit boxes in binding order: six header values, then the size.
constexpr int kFieldIds[CKorvaleDlg::kFields] = {
    CKorvaleDlg::kIdField1, CKorvaleDlg::kIdField2, CKorvaleDlg::kIdField3, CKorvaleDlg::kIdField4,
    CKorvaleDlg::kIdField5, CKorvaleDlg::kIdField6, CKorvaleDlg::kIdSize};

QString RangeMessage(float max) {
    return CKorvaleDlg::tr("Please enter a number between 0 and %1.")
        .arg(QString::fromStdString(FloatToText(max)));
}

// What a load found wrong, when it found anything.
QString Findings(const LoadReport& report) {
    return report.Clean() ? QString() : QString::fromStdString(report.Summary());
}

// The lines of a tooltip below its text, the empty ones left out.
QString Lines(const QStringList& lines) {
    QStringList kept;
    for (const QString& line : lines) {
        if (!line.isEmpty()) {
            kept << line;
        }
    }
    return kept.join(QLatin1Char('\n'));
}

// Which levels a save of mip changes the colours of (a palette its miptype cannot keep), for the
// status tooltip; empty when none.
QString RecolouredLevels(const CMip& mip) {
    const std::vector<int> changed = mip.SlotsRecolouredBySave();
    if (changed.empty()) {
        return {};
    }
    QStringList names;
    for (const int k : changed) {
        names << QString::number(k);
    }
    return QCoreApplication::translate(
               "korvale::CKorvaleDlg",
               "Saved with other colours in slot %1: with miptype %2 the file keeps %3.")
        .arg(names.join(QStringLiteral(", ")))
        .arg(mip.miptype)
        .arg(mip.SavesGlobalPalette()
                 ? QCoreApplication::translate("korvale::CKorvaleDlg", "only the global palette")
                 : QCoreApplication::translate("korvale::CKorvaleDlg", "no palette"));
}

QWidget* MakeControl(const Control& c, QWidget* parent) {
    const QString text = QString::fromLatin1(c.text);
    switch (c.kind) {
        case Kind::kDefaultButton:
        case Kind::kButton: {
            auto* button = new QPushButton(text, parent);
            // Enter presses the focused button; from anywhere else it presses Quit.
            button->setAutoDefault(true);
            button->setDefault(c.kind == Kind::kDefaultButton);
            return button;
        }
        case Kind::kEdit:
            return new QLineEdit(parent);
        case Kind::kLabel: {
            auto* label = new QLabel(text, parent);
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
            label->setWordWrap(true);
            return label;
        }
        case Kind::kStatus:
            break;
    }
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

}  // namespace

const QString CKorvaleDlg::kSaveChanges = QStringLiteral("Save changes?");

CKorvaleDlg::CKorvaleDlg(CTextureDocument& document, DialogServices& services, QWidget* parent)
    : QDialog(parent), document_(document), services_(services) {
    setWindowTitle(QStringLiteral("Korvale"));
    setWindowFlags(kFrameFlags);
    setWindowIcon(KorvaleIcon());
    BuildControls();
    BuildWindowMenu();
    connect(&document_, &CTextureDocument::ValuesLoaded, this, &CKorvaleDlg::TakeValues);
    connect(&document_, &CTextureDocument::SetReplaced, this, &CKorvaleDlg::ShowMipLine);
    connect(&document_, &CTextureDocument::SetEdited, this, &CKorvaleDlg::ShowChanges);
    connect(&document_, &CTextureDocument::LoadFinished, this, &CKorvaleDlg::ShowMarks);
    for (QLineEdit* field : fields_) {
        connect(field, &QLineEdit::textEdited, &document_, &CTextureDocument::ValuesTyped);
    }
    externalEdit_ = new CExternalEdit(document_, services_, this);
    connect(externalEdit_, &CExternalEdit::Refused, this, [this](const QString& message) {
        services_.ShowMessage(viewer_ != nullptr && viewer_->isVisible()
                                  ? static_cast<QWidget*>(viewer_)
                                  : static_cast<QWidget*>(this),
                              message);
    });
    ShowValues();
    quit_->setFocus();
    // The edit boxes take dropped text as before; only a dropped file is taken from them.
    auto* drops = new CFileDropTarget(this);
    drops->Watch(this);
    for (QLineEdit* field : fields_) {
        drops->Watch(field);
    }
    connect(drops, &CFileDropTarget::FileDropped, this, &CKorvaleDlg::OpenFile);
}

void CKorvaleDlg::BuildControls() {
    const DialogUnits units(font());
    setFixedSize(units.X(307), units.Y(126));
    QWidget* previous = nullptr;
    for (const Control& c : kLayout) {
        QWidget* widget = MakeControl(c, this);
        if (c.kind == Kind::kEdit) {
            const auto* at = std::find(std::begin(kFieldIds), std::end(kFieldIds), c.id);
            fields_[static_cast<std::size_t>(at - std::begin(kFieldIds))] =
                static_cast<QLineEdit*>(widget);
        } else if (c.kind == Kind::kStatus) {
            (c.id == kIdSrbStatus ? srbStatus_ : mipStatus_) = static_cast<QLabel*>(widget);
        }
        widget->setGeometry(units.Rect(c.x, c.y, c.w, c.h));
        if (c.id != 0) {
            widget->setObjectName(QStringLiteral("control%1").arg(c.id));
            widget->setProperty("controlId", c.id);
        }
        if (c.kind != Kind::kLabel && c.kind != Kind::kStatus) {
            if (previous != nullptr) {
                setTabOrder(previous, widget);
            }
            previous = widget;
        }
    }
    srbWarning_ = BuildWarningMark(units, kSrbLineY, QStringLiteral("srbWarning"));
    mipWarning_ = BuildWarningMark(units, kMipLineY, QStringLiteral("mipWarning"));

    quit_ = findChild<QPushButton*>(QStringLiteral("control%1").arg(kIdQuit));
    connect(quit_, &QPushButton::clicked, this, &CKorvaleDlg::accept);
    auto command = [this](int id, void (CKorvaleDlg::*handler)()) {
        auto* button = findChild<QPushButton*>(QStringLiteral("control%1").arg(id));
        connect(button, &QPushButton::clicked, this, handler);
    };
    command(kIdLoadSrb, &CKorvaleDlg::OnLoadSrb);
    command(kIdSaveSrb, &CKorvaleDlg::OnSaveSrb);
    command(kIdLoadMip, &CKorvaleDlg::OnLoadMip);
    command(kIdSaveMip, &CKorvaleDlg::OnSaveMip);
}

QLabel* CKorvaleDlg::BuildWarningMark(const DialogUnits& units, int y, const QString& name) {
    auto* warning = new QLabel(this);
    warning->setObjectName(name);
    const QRect mark = units.Rect(kWarningX, y, kWarningW, kWarningH);
    warning->setGeometry(mark);
    const int side = std::min(mark.width(), mark.height());
    warning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    warning->setAlignment(Qt::AlignCenter);
    warning->hide();
    return warning;
}

void CKorvaleDlg::BuildWindowMenu() {
    // The window manager's own window menu cannot be extended from here, so the dialog offers
    // one of its own with the entries a dialog's window menu has, and the About entry.
    windowMenu_ = new QMenu(this);
    QAction* move = windowMenu_->addAction(tr("&Move"));
    connect(move, &QAction::triggered, this, [this] {
        if (QWindow* window = windowHandle()) {
            window->startSystemMove();
        }
    });
    QAction* close = windowMenu_->addAction(tr("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    connect(close, &QAction::triggered, this, &CKorvaleDlg::reject);
    QAction* texture = windowMenu_->addAction(tr("&Texture..."));
    texture->setObjectName(QStringLiteral("textureAction"));
    texture->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));  // shown; the dialog's own works
    connect(texture, &QAction::triggered, this, &CKorvaleDlg::OnTexture);
    QAction* import = windowMenu_->addAction(tr("&Import Image..."));
    import->setObjectName(QStringLiteral("importAction"));
    connect(import, &QAction::triggered, this, &CKorvaleDlg::OnImportImage);
    windowMenu_->addSeparator();
    QAction* about = windowMenu_->addAction(kAboutEntry);
    about->setObjectName(QStringLiteral("aboutAction"));
    connect(about, &QAction::triggered, this, [this] { services_.ShowAbout(this); });

    auto* shiftF10 = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
    connect(shiftF10, &QShortcut::activated, this,
            [this] { PopUpWindowMenu(mapToGlobal(QPoint(0, 0))); });
    auto* ctrlT = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_T), this);
    connect(ctrlT, &QShortcut::activated, this, &CKorvaleDlg::OnTexture);
}

void CKorvaleDlg::OnTexture() {
    if (viewer_ == nullptr) {
        // A child window of the dialog, so it takes input while the dialog runs modally.
        viewer_ = new CTextureViewer(document_, services_, this);
        viewer_->RestoreSettings();
        connect(viewer_, &CTextureViewer::ImportRequested, this, [this] { ImportInto(viewer_); });
        connect(viewer_, &CTextureViewer::FileDropped, this, &CKorvaleDlg::OpenFile);
        connect(viewer_, &CTextureViewer::OpenRequested, this, &CKorvaleDlg::OpenFile);
        connect(viewer_, &CTextureViewer::EditExternallyRequested, this,
                &CKorvaleDlg::EditExternally);
        connect(viewer_, &CTextureViewer::RebuildPaletteToggled, externalEdit_,
                &CExternalEdit::SetRebuildPalette);
        // Placed anew when nothing was remembered, or what was would cover the dialog or lie
        // off the screen.
        const bool restored = viewer_->RestoreGeometry();
        PlaceViewer(restored);
        viewer_->show();
        // The window manager may frame a main window more thickly than the dialog (a resize
        // handle at the bottom): once it is shown in its own frame, the placement is checked
        // again with that frame.
        if (viewer_->windowHandle() != nullptr) {
            viewer_->windowHandle()->installEventFilter(this);
        }
        // A set loaded before the window opened is new to it; its size is known once shown.
        if (!document_.Mip().FilledSlots().empty()) {
            viewer_->ShowNewSet();
        }
    }
    viewer_->Refresh();
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

namespace {

// What the window manager adds around a window: its title bar and borders.
QMargins FrameOf(const QWidget& window) {
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

}  // namespace

bool CKorvaleDlg::eventFilter(QObject* watched, QEvent* event) {
    if (viewer_ != nullptr && watched == viewer_->windowHandle() &&
        event->type() == QEvent::Expose && viewer_->isVisible()) {
        watched->removeEventFilter(this);
        PlaceViewer(true);
    }
    return QDialog::eventFilter(watched, event);
}

void CKorvaleDlg::PlaceViewer(bool restored) {
    const QScreen* display = screen();
    if (display == nullptr) {
        return;
    }
    // Before the window manager has framed the viewer, it is taken to frame it as the dialog.
    const QMargins own = FrameOf(*viewer_);
    const QMargins frame = viewer_->isVisible() && !own.isNull() ? own : FrameOf(*this);
    const QRect screenRect = display->availableGeometry();
    if (restored &&
        !NeedsPlacing(viewer_->geometry().marginsAdded(frame), frameGeometry(), screenRect)) {
        return;
    }
    // A picture area of 256 x 256 screen pixels; on a low screen (600 lines) 200 lines of it.
    const double ratio = std::max(1.0, display->devicePixelRatio());
    const int side = static_cast<int>(256 / ratio);
    const QSize picture(side, screenRect.height() < 700 ? std::min(side, 200) : side);
    const QSize least = viewer_->LeastSize(picture).expandedTo(viewer_->minimumSizeHint());
    const PairPlacement placed =
        PlacePair(frameGeometry(), viewer_->size().expandedTo(least).grownBy(frame),
                  least.grownBy(frame), screenRect);
    if (placed.dialog != frameGeometry()) {
        move(placed.dialog.topLeft());
    }
    viewer_->setGeometry(placed.window.marginsRemoved(frame));
}

void CKorvaleDlg::RestoreWindows() {
    if (EditorSettings().value(settings::kViewerOpen, false).toBool()) {
        OnTexture();
        activateWindow();  // the dialog keeps the keyboard, as at any start
    }
}

void CKorvaleDlg::SaveWindows() const {
    EditorSettings().setValue(settings::kViewerOpen, viewer_ != nullptr && viewer_->isVisible());
    if (viewer_ != nullptr) {
        viewer_->SaveSettings();
    }
}

void CKorvaleDlg::EditExternally(int slot) {
    QWidget* parent = viewer_ != nullptr ? static_cast<QWidget*>(viewer_) : this;
    externalEdit_->Start(slot, document_.TextureName(), parent);
}

void CKorvaleDlg::PopUpWindowMenu(const QPoint& globalPos) {
    windowMenu_->popup(globalPos);
}

void CKorvaleDlg::contextMenuEvent(QContextMenuEvent* event) {
    PopUpWindowMenu(event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(0, 0))
                                                                   : event->globalPos());
    event->accept();
}

void CKorvaleDlg::SetStatus(QLabel* line, const QString& format, const QString& path,
                            const QString& reason) {
    const QString full = format.contains(QStringLiteral("%1")) ? format.arg(path) : format;
    QString shown = full;
    if (full != format) {
        const QFontMetrics metrics(line->font());
        const int room = line->width() - metrics.horizontalAdvance(format.arg(QString()));
        shown = format.arg(metrics.elidedText(path, Qt::ElideMiddle, std::max(room, 0)));
    }
    line->setText(shown);
    line->setProperty("fullText", full);
    line->setToolTip(reason.isEmpty() ? full : full + QLatin1Char('\n') + reason);
}

void CKorvaleDlg::ShowMipLine() {
    const QString& path = document_.SetPath();
    switch (document_.SetFrom()) {
        case CTextureDocument::From::kNothing:
            SetStatus(mipStatus_, QStringLiteral("no Mip loaded"), QString(), QString());
            return;
        case CTextureDocument::From::kImport:
            SetStatus(mipStatus_, tr("Mip imported: '%1'"), path, document_.Changes());
            return;
        case CTextureDocument::From::kSrb:
        case CTextureDocument::From::kMip:
            break;
    }
    const CTextureDocument::LastLoad& last = document_.Last();
    const bool fromLoad = !last.failed && last.path == path;
    SetStatus(mipStatus_, QStringLiteral("Mip loaded: '%1'"), path,
              Lines({fromLoad ? Findings(last.report) : QString(), document_.Changes()}));
}

void CKorvaleDlg::ShowChanges() {
    // The line keeps what it says (loaded, saved); the tooltip adds what changed since.
    const QString full = mipStatus_->property("fullText").toString();
    const QString text = full.isEmpty() ? mipStatus_->text() : full;
    const CTextureDocument::LastLoad& last = document_.Last();
    const bool fromLoad = !last.failed && last.path == document_.SetPath();
    mipStatus_->setToolTip(
        Lines({text, fromLoad ? Findings(last.report) : QString(), document_.Changes()}));
}

void CKorvaleDlg::ShowMarks() {
    const CTextureDocument::LastLoad& last = document_.Last();
    const QString findings = Findings(last.report);
    const bool srb = last.kind == CTextureDocument::From::kSrb;
    for (QLabel* mark : {srbWarning_, mipWarning_}) {
        const bool beside = (mark == srbWarning_) == srb && !findings.isEmpty();
        mark->setVisible(beside);
        mark->setToolTip(beside ? findings : QString());
    }
}

QString CKorvaleDlg::FailedLoad() const {
    const QString still = document_.Mip().FilledSlots().empty() || document_.SetPath().isEmpty()
                              ? tr("No set is loaded.")
                              : tr("Still loaded and shown: '%1'.").arg(document_.SetPath());
    return Lines({Findings(document_.Last().report), still});
}

void CKorvaleDlg::TakeValues() {
    const CSrb& record = document_.Record();
    std::copy(record.header.begin(), record.header.end(), values_.begin());
    values_[kFields - 1] = record.sizeInMetres;
    ShowValues();
}

void CKorvaleDlg::ShowValues() {
    for (std::size_t i = 0; i < kFields; ++i) {
        shown_[i] = QString::fromStdString(FloatToText(values_[i]));
        fields_[i]->setText(shown_[i]);
    }
}

std::optional<std::pair<int, QString>> CKorvaleDlg::ReadFields() {
    std::optional<std::pair<int, QString>> firstFailure;
    for (std::size_t i = 0; i < kFields; ++i) {
        const QString text = fields_[i]->text();
        const float max = i + 1 == kFields ? kMaxSize : kMaxHeaderValue;
        QString failure;
        if (text != shown_[i]) {  // an untouched field keeps its exact value
            if (const auto parsed = TextToFloat(text.toStdString())) {
                values_[i] = *parsed;
                shown_[i] = text;  // the text the variable now holds, for the next exchange
            } else {
                failure = tr("Please enter a number.");
            }
        }
        if (failure.isEmpty() && !(values_[i] >= 0.0F && values_[i] <= max)) {
            failure = RangeMessage(max);
        }
        if (!failure.isEmpty() && !firstFailure) {
            firstFailure.emplace(static_cast<int>(i), failure);
        }
    }
    return firstFailure;
}

std::optional<QString> CKorvaleDlg::Choose(const QString& title, const QString& filter,
                                           const QString& suffix, bool save) {
    return services_.ChooseFile(this, FileRequest{title, filter, suffix, save});
}

bool CKorvaleDlg::SaveBeforeLosing(bool unsaved) {
    if (!unsaved) {
        return true;
    }
    QWidget* parent = viewer_ != nullptr && viewer_->isActiveWindow()
                          ? static_cast<QWidget*>(viewer_)
                          : static_cast<QWidget*>(this);
    switch (services_.AskToSave(parent, kSaveChanges)) {
        case SaveChoice::kDiscard:
            return true;
        case SaveChoice::kCancel:
            return false;
        case SaveChoice::kSave:
            break;
    }
    // A set from a MIP file whose values nobody typed goes back into a MIP file.
    if (!document_.ValuesUnsaved() && document_.SetFrom() == CTextureDocument::From::kMip) {
        return SaveMip();
    }
    return SaveSrb();
}

void CKorvaleDlg::OnLoadSrb() {
    const auto path =
        Choose(QStringLiteral("Choose SRB file to load"), kSrbFilter, QStringLiteral("srb"), false);
    if (path && SaveBeforeLosing(document_.AnythingUnsaved())) {
        LoadSrbFile(*path);
    }
}

bool CKorvaleDlg::LoadSrbFile(const QString& path) {
    if (!document_.LoadSrb(path)) {
        SetStatus(srbStatus_, QStringLiteral("no Srb loaded"), QString(), FailedLoad());
        return false;
    }
    SetStatus(srbStatus_, QStringLiteral("Srb loaded: '%1'"), path,
              Lines({Findings(document_.Last().report), document_.SizeFrom()}));
    AddRecentFile(path);
    return true;
}

void CKorvaleDlg::OfferRepair() {
    const Status reloads = document_.Mip().CheckReloadsAsShown();
    if (reloads) {
        return;
    }
    // Declined, the save goes ahead and is refused, its status saying why.
    if (!services_.Ask(this, tr("The set would not load back as it is shown: %1.\n\nRepair it "
                                "(keep the levels that hold data, under a header made from "
                                "them) and save?")
                                 .arg(QString::fromStdString(reloads.Reason())))) {
        return;
    }
    (void)document_.Edit(
        [](CMip& set) {
            (void)set.RepairHeader();
            return Status();
        },
        tr("The set was repaired before it was saved."));
}

void CKorvaleDlg::OnSaveSrb() {
    (void)SaveSrb();
}

bool CKorvaleDlg::SaveSrb() {
    const auto path =
        Choose(QStringLiteral("Save SRB..."), kSrbFilter, QStringLiteral("srb"), true);
    if (!path) {
        return false;
    }
    OfferRepair();
    // Every field is read; a failing one is pointed out, and the save still goes ahead with
    // the values on screen.
    (void)ExchangeFields();
    std::array<float, CSrb::kHeaderValues> header{};
    std::copy(values_.begin(), values_.begin() + CSrb::kHeaderValues, header.begin());
    document_.SetValues(header, values_[kFields - 1]);
    // Told by what was written: an SRB file whose name starts with its dot has an empty object
    // name, and the integer result of such a save is 0 although both files were written.
    const QString recoloured = RecolouredLevels(document_.Mip());
    const Status saved = document_.Record().SaveFiles(LocalPath(*path));
    if (saved) {
        document_.SavedSrb(*path);
        // Another SRB file in the folder whose companion this save just replaced is said
        // beside the line, not only in its tooltip: that file's object is now this one's.
        const QString shared = QString::fromStdString(SharedCompanionWarning(LocalPath(*path)));
        SetStatus(srbStatus_, QStringLiteral("Srb saved: '%1'"), *path,
                  Lines({recoloured, shared}));
        ShowMarks();
        if (!shared.isEmpty()) {
            srbWarning_->setToolTip(Lines({srbWarning_->toolTip(), shared}));
            srbWarning_->setVisible(true);
        }
    } else {
        SetStatus(srbStatus_, QStringLiteral("Srb not saved!"), QString(),
                  QString::fromStdString(saved.Reason()));
    }
    return saved.Ok();
}

void CKorvaleDlg::OnLoadMip() {
    const auto path =
        Choose(QStringLiteral("Choose MIP file to load"), kMipFilter, QStringLiteral("mip"), false);
    if (path && SaveBeforeLosing(document_.TextureUnsaved())) {
        LoadMipFile(*path);
    }
}

bool CKorvaleDlg::LoadMipFile(const QString& path) {
    if (!document_.LoadMip(path)) {
        SetStatus(mipStatus_, QStringLiteral("no Mip loaded"), QString(), FailedLoad());
        return false;
    }
    AddRecentFile(path);
    return true;
}

void CKorvaleDlg::OnSaveMip() {
    (void)SaveMip();
}

bool CKorvaleDlg::SaveMip() {
    const auto path =
        Choose(QStringLiteral("Save MIP..."), kMipFilter, QStringLiteral("mip"), true);
    if (!path) {
        return false;
    }
    OfferRepair();
    const QString recoloured = RecolouredLevels(document_.Mip());
    const Status saved = document_.Mip().SaveFile(LocalPath(*path));
    if (saved) {
        document_.SavedMip(*path);
        SetStatus(mipStatus_, QStringLiteral("MIP saved: '%1'"), *path, recoloured);
    } else {
        SetStatus(mipStatus_, QStringLiteral("MIP not saved!"), QString(),
                  QString::fromStdString(saved.Reason()));
    }
    return saved.Ok();
}

void CKorvaleDlg::OnImportImage() {
    ImportInto(this);
}

void CKorvaleDlg::ImportInto(QWidget* parent) {
    const auto path = services_.ChooseFile(
        parent, FileRequest{tr("Choose PNG image to import"), tr("PNG Images (*.png)"),
                            QStringLiteral("png"), false});
    if (path) {
        ImportPicture(*path, parent, true);
    }
}

void CKorvaleDlg::ImportPicture(const QString& path, QWidget* parent, bool askOptions) {
    const auto refuse = [&](const std::string& reason) {
        services_.ShowMessage(parent, tr("No image can be imported from '%1': %2.")
                                          .arg(path, QString::fromStdString(reason)));
    };
    Image picture;
    if (const Status read = ReadPicture(LocalPath(path), picture); !read) {
        refuse(read.Reason());
        return;
    }
    std::string error;
    CMip made;
    if (askOptions) {
        CImportDlg options(picture, LocalPath(path), services_, parent);
        if (!services_.RunModal(options)) {
            return;  // cancelled
        }
        if (!options.Result(made, error)) {
            refuse(error);
            return;
        }
    } else if (const Status imported = ImportImage(picture, ImportOptions{}, made); !imported) {
        refuse(imported.Reason());
        return;
    }
    document_.Import(std::move(made), path);
    AddRecentFile(path);
}

void CKorvaleDlg::OpenFile(const QString& given) {
    // Named on the command line, a path may be relative; the status lines show where it was.
    const QString path = QFileInfo(given).absoluteFilePath();
    QWidget* parent = viewer_ != nullptr && viewer_->isActiveWindow()
                          ? static_cast<QWidget*>(viewer_)
                          : static_cast<QWidget*>(this);
    const auto cannotOpen = [&](const QString& reason) {
        services_.ShowMessage(parent, tr("'%1' cannot be opened: %2.").arg(path, reason));
    };
    QFile file(path);
    const QString unreadable = QFileInfo(path).isDir()           ? tr("it is a folder")
                               : !file.open(QIODevice::ReadOnly) ? file.errorString()
                                                                 : QString();
    if (!unreadable.isEmpty()) {
        // Bound to fail: run so the status line says what a failed Load MIP says, while the
        // message says why.
        (void)LoadMipFile(path);
        cannotOpen(unreadable);
        return;
    }
    const QByteArray start = file.read(static_cast<qint64>(RecognitionBytes()));
    file.close();
    const FileKind kind =
        RecogniseFile(std::span(reinterpret_cast<const std::uint8_t*>(start.constData()),
                                static_cast<std::size_t>(start.size())))
            .kind;
    // An SRB file brings its values too; anything else only a set. A file that is no texture
    // at all fails to load and replaces nothing, so there is nothing to ask.
    const bool unsaved = kind == FileKind::kSrb       ? document_.AnythingUnsaved()
                         : kind == FileKind::kUnknown ? false
                                                      : document_.TextureUnsaved();
    if (!SaveBeforeLosing(unsaved)) {
        return;
    }
    bool loaded = true;
    if (kind == FileKind::kSrb) {
        loaded = LoadSrbFile(path);
    } else if (kind == FileKind::kPng) {
        ImportPicture(path, parent, false);  // says itself why a picture was refused
    } else {
        loaded = LoadMipFile(path);
    }
    if (!loaded) {
        const std::string& reason = document_.Last().report.FirstError();
        cannotOpen(reason.empty() ? tr("it is not a texture file")
                                  : QString::fromStdString(reason));
    }
}

bool CKorvaleDlg::ExchangeFields() {
    const auto failure = ReadFields();
    if (!failure) {
        return true;
    }
    services_.ShowMessage(this, failure->second);
    QLineEdit* field = fields_[static_cast<std::size_t>(failure->first)];
    field->setFocus();
    field->selectAll();
    return false;
}

void CKorvaleDlg::accept() {
    // Stays open until a failing field is corrected, and when a save asked for did not happen.
    if (ExchangeFields() && SaveBeforeLosing(document_.AnythingUnsaved())) {
        QDialog::accept();
    }
}

void CKorvaleDlg::reject() {
    OnLoadSrb();
}

void CKorvaleDlg::done(int result) {
    SaveWindows();
    QDialog::done(result);
}

void CKorvaleDlg::closeEvent(QCloseEvent* event) {
    // The close box is the cancel command, like Escape; only Quit ends the dialog.
    event->ignore();
    reject();
}

}  // namespace korvale
