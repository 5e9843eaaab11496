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

// The warning mark beside the MIP status line (x, y, w, h in dialog units): in the margin right
// of the line, so nothing of the dialog's own layout moves.
constexpr int kWarningMark[] = {297, 33, 9, 10};

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

// What the last load found wrong, when it found anything.
QString LoadFindings(const CMip& mip) {
    return mip.loadReport.Clean() ? QString() : QString::fromStdString(mip.loadReport.Summary());
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

CKorvaleDlg::CKorvaleDlg(CSrb& record, DialogServices& services, QWidget* parent)
    : QDialog(parent), record_(record), services_(services) {
    setWindowTitle(QStringLiteral("Korvale"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowIcon(KorvaleIcon());
    BuildControls();
    BuildWindowMenu();
    externalEdit_ = new CExternalEdit(record_.mip, services_, this);
    connect(externalEdit_, &CExternalEdit::LevelReplaced, this, &CKorvaleDlg::LevelEdited);
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
    BuildWarningMark(units);

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

void CKorvaleDlg::BuildWarningMark(const DialogUnits& units) {
    mipWarning_ = new QLabel(this);
    mipWarning_->setObjectName(QStringLiteral("mipWarning"));
    const QRect mark =
        units.Rect(kWarningMark[0], kWarningMark[1], kWarningMark[2], kWarningMark[3]);
    mipWarning_->setGeometry(mark);
    const int side = std::min(mark.width(), mark.height());
    mipWarning_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side, side));
    mipWarning_->setAlignment(Qt::AlignCenter);
    mipWarning_->hide();
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
        viewer_ = new CTextureViewer(record_.mip, services_, this);
        viewer_->SetTextureName(textureName_);
        viewer_->SetSource({setName_, lastLoad_, lastLoadFailed_});
        viewer_->SetChanged(!changes_.isEmpty());
        viewer_->RestoreSettings();
        connect(viewer_, &CTextureViewer::ImportRequested, this, [this] { ImportInto(viewer_); });
        connect(viewer_, &CTextureViewer::FileDropped, this, &CKorvaleDlg::OpenFile);
        connect(viewer_, &CTextureViewer::OpenRequested, this, &CKorvaleDlg::OpenFile);
        connect(viewer_, &CTextureViewer::EditExternallyRequested, this,
                &CKorvaleDlg::EditExternally);
        connect(viewer_, &CTextureViewer::RebuildPaletteToggled, externalEdit_,
                &CExternalEdit::SetRebuildPalette);
        if (!viewer_->RestoreGeometry()) {
            PlaceViewer();
        }
        viewer_->show();
        // A set loaded before the window opened is new to it; its size is known once shown.
        if (!record_.mip.FilledSlots().empty()) {
            viewer_->ShowNewSet();
        }
    }
    viewer_->Refresh();
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

void CKorvaleDlg::PlaceViewer() {
    const QScreen* display = screen();
    if (display == nullptr) {
        return;
    }
    // The window manager frames the viewer as it framed the dialog.
    const QMargins frame(geometry().left() - frameGeometry().left(),
                         geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    const QRect placed =
        PlaceBeside(frameGeometry(), viewer_->size().grownBy(frame),
                    viewer_->minimumSizeHint().grownBy(frame), display->availableGeometry());
    viewer_->setGeometry(placed.marginsRemoved(frame));
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

void CKorvaleDlg::RecordChanged() {
    if (viewer_ != nullptr) {
        viewer_->Refresh();
    }
}

void CKorvaleDlg::Loaded(const QString& path, bool ok, const QString& shown) {
    lastLoad_ = path;
    lastLoadFailed_ = !ok;
    const LoadReport& report = record_.mip.loadReport;
    mipWarning_->setVisible(!report.Clean());
    mipWarning_->setToolTip(report.Clean() ? QString() : QString::fromStdString(report.Summary()));
    if (ok) {
        setName_ = shown;
        changes_.clear();
        externalEdit_->StopAll();  // the levels being edited belonged to the set replaced
        AddRecentFile(path);
    }
    if (viewer_ != nullptr) {
        viewer_->SetSource({setName_, lastLoad_, lastLoadFailed_});
        viewer_->SetChanged(!changes_.isEmpty());
        if (ok) {
            viewer_->ShowNewSet();
        }
    }
}

void CKorvaleDlg::EditExternally(int slot) {
    QWidget* parent = viewer_ != nullptr ? static_cast<QWidget*>(viewer_) : this;
    externalEdit_->Start(slot, textureName_.isEmpty() ? QStringLiteral("texture") : textureName_,
                         parent);
}

void CKorvaleDlg::LevelEdited(int slot) {
    const CBmap& level = record_.mip.levels.at(static_cast<std::size_t>(slot));
    changes_ = tr("The set has changed: level %1 x %2 (slot %3) was edited in another program. "
                  "Save MIP or Save SRB writes it.")
                   .arg(level.Width())
                   .arg(level.Height())
                   .arg(slot);
    const QString findings = LoadFindings(record_.mip);
    SetStatus(mipStatus_, mipStatus_->text(),
              findings.isEmpty() ? changes_ : findings + QLatin1Char('\n') + changes_);
    if (viewer_ != nullptr) {
        viewer_->SetChanged(true);
    }
    RecordChanged();
}

void CKorvaleDlg::PopUpWindowMenu(const QPoint& globalPos) {
    windowMenu_->popup(globalPos);
}

void CKorvaleDlg::contextMenuEvent(QContextMenuEvent* event) {
    PopUpWindowMenu(event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(0, 0))
                                                                   : event->globalPos());
    event->accept();
}

void CKorvaleDlg::SetStatus(QLabel* line, const QString& text, const QString& reason) {
    line->setText(text);
    line->setToolTip(reason.isEmpty() ? text : text + QLatin1Char('\n') + reason);
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

void CKorvaleDlg::OnLoadSrb() {
    const auto path =
        Choose(QStringLiteral("Choose SRB file to load"), kSrbFilter, QStringLiteral("srb"), false);
    if (path) {
        LoadSrbFile(*path);
    }
}

bool CKorvaleDlg::LoadSrbFile(const QString& path) {
    const int loaded = record_.Load(LocalPath(path));
    if (loaded <= 0) {
        SetStatus(srbStatus_, QStringLiteral("no Srb loaded"), LoadFindings(record_.mip));
        Loaded(path, false, QString());  // a failed load can still have changed the report
        return false;
    }
    // The SRB file holds no size; a save wrote it into the companion beside it.
    const CompanionSize size = ReadCompanionSize(LocalPath(path));
    const QString sizeFrom = tr("Size (Metres) %1: %2")
                                 .arg(QString::fromStdString(FloatToText(size.metres)),
                                      QString::fromStdString(size.Describe()));
    const QString findings = LoadFindings(record_.mip);
    SetStatus(srbStatus_, QStringLiteral("Srb loaded: '%1'").arg(path),
              findings.isEmpty() ? sizeFrom : findings + QLatin1Char('\n') + sizeFrom);
    SetTextureFile(path);
    std::copy(record_.header.begin(), record_.header.end(), values_.begin());
    values_[kFields - 1] = size.metres;
    ShowValues();
    Loaded(path, true, QFileInfo(path).fileName());
    return true;
}

void CKorvaleDlg::OfferRepair() {
    const Status reloads = record_.mip.CheckReloadsAsShown();
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
    (void)record_.mip.RepairHeader();
    changes_ = tr("The set was repaired before it was saved.");
    RecordChanged();
}

void CKorvaleDlg::OnSaveSrb() {
    const auto path =
        Choose(QStringLiteral("Save SRB..."), kSrbFilter, QStringLiteral("srb"), true);
    if (!path) {
        return;
    }
    OfferRepair();
    // Every field is read; a failing one is pointed out, and the save still goes ahead with
    // the values on screen.
    (void)ExchangeFields();
    std::copy(values_.begin(), values_.begin() + CSrb::kHeaderValues, record_.header.begin());
    record_.sizeInMetres = values_[kFields - 1];
    // Told by what was written: an SRB file whose name starts with its dot has an empty object
    // name, and the integer result of such a save is 0 although both files were written.
    const QString recoloured = RecolouredLevels(record_.mip);
    const Status saved = record_.SaveFiles(LocalPath(*path));
    if (saved) {
        Saved(*path);
    }
    SetStatus(
        srbStatus_,
        saved ? QStringLiteral("Srb saved: '%1'").arg(*path) : QStringLiteral("Srb not saved!"),
        saved ? recoloured : QString::fromStdString(saved.Reason()));
}

void CKorvaleDlg::OnLoadMip() {
    const auto path =
        Choose(QStringLiteral("Choose MIP file to load"), kMipFilter, QStringLiteral("mip"), false);
    if (path) {
        LoadMipFile(*path);
    }
}

bool CKorvaleDlg::LoadMipFile(const QString& path) {
    const bool loaded = record_.mip.Load(LocalPath(path)) > 0;
    SetStatus(
        mipStatus_,
        loaded ? QStringLiteral("Mip loaded: '%1'").arg(path) : QStringLiteral("no Mip loaded"),
        LoadFindings(record_.mip));
    if (loaded) {
        SetTextureFile(path);
    }
    Loaded(path, loaded, QFileInfo(path).fileName());
    return loaded;
}

void CKorvaleDlg::OnSaveMip() {
    const auto path =
        Choose(QStringLiteral("Save MIP..."), kMipFilter, QStringLiteral("mip"), true);
    if (!path) {
        return;
    }
    OfferRepair();
    const QString recoloured = RecolouredLevels(record_.mip);
    const Status saved = record_.mip.SaveFile(LocalPath(*path));
    if (saved) {
        Saved(*path);
    }
    SetStatus(
        mipStatus_,
        saved ? QStringLiteral("MIP saved: '%1'").arg(*path) : QStringLiteral("MIP not saved!"),
        saved ? recoloured : QString::fromStdString(saved.Reason()));
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
    record_.mip = std::move(made);
    SetStatus(mipStatus_, tr("Image imported: '%1'").arg(path));
    SetTextureFile(path);
    Loaded(path, true, tr("imported: %1").arg(QFileInfo(path).fileName()));
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
    bool loaded = true;
    if (kind == FileKind::kSrb) {
        loaded = LoadSrbFile(path);
    } else if (kind == FileKind::kPng) {
        ImportPicture(path, parent, false);  // says itself why a picture was refused
    } else {
        loaded = LoadMipFile(path);
    }
    if (!loaded) {
        const std::string& reason = record_.mip.loadReport.FirstError();
        cannotOpen(reason.empty() ? tr("it is not a texture file")
                                  : QString::fromStdString(reason));
    }
}

void CKorvaleDlg::Saved(const QString& path) {
    // The set shown is now that file's.
    setName_ = QFileInfo(path).fileName();
    changes_.clear();
    SetTextureFile(path);
    if (viewer_ != nullptr) {
        viewer_->SetSource({setName_, lastLoad_, lastLoadFailed_});
        viewer_->SetChanged(false);
    }
}

void CKorvaleDlg::SetTextureFile(const QString& path) {
    textureName_ = FromLocalPath(TextureBaseName(LocalPath(path)));
    if (viewer_ != nullptr) {
        viewer_->SetTextureName(textureName_);
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
    if (ExchangeFields()) {
        QDialog::accept();
    }  // otherwise stays open until the field is corrected
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
