#include "QtDialogServices.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "CAboutDlg.h"
#include "EditorSettings.h"

namespace korvale {

namespace {

// Choosers for the same kind of file share their folder: loading and saving MIP files, say.
QString FolderKind(const FileRequest& request) {
    return request.defaultSuffix.isEmpty() ? request.title : request.defaultSuffix;
}

}  // namespace

std::optional<QString> QtDialogServices::ChooseFile(QWidget* parent, const FileRequest& request) {
    QFileDialog chooser(parent, request.title);
    const QString kind = FolderKind(request);
    if (const QString folder = LastFolder(kind); !folder.isEmpty()) {
        chooser.setDirectory(folder);
    }
    chooser.setNameFilter(request.filter);
    chooser.setDefaultSuffix(request.defaultSuffix);
    if (request.save) {
        chooser.setAcceptMode(QFileDialog::AcceptSave);
        chooser.setFileMode(QFileDialog::AnyFile);  // asks before replacing an existing file
        if (!request.suggestedName.isEmpty()) {
            chooser.selectFile(request.suggestedName);
        }
    } else {
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        chooser.setFileMode(QFileDialog::ExistingFile);
    }
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    RememberFolder(kind, chooser.selectedFiles().constFirst());
    return chooser.selectedFiles().constFirst();
}

std::optional<QString> QtDialogServices::ChooseFolder(QWidget* parent, const QString& title) {
    QFileDialog chooser(parent, title);
    if (const QString folder = LastFolder(title); !folder.isEmpty()) {
        chooser.setDirectory(folder);
    }
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    RememberFolder(title, chooser.selectedFiles().constFirst());
    return chooser.selectedFiles().constFirst();
}

void QtDialogServices::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, tr("Korvale"), text);
}

bool QtDialogServices::Ask(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, tr("Korvale"), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

SaveChoice QtDialogServices::AskToSave(QWidget* parent, const QString& question) {
    // Enter saves, Escape cancels: neither loses anything.
    switch (QMessageBox::question(parent, tr("Korvale"), question,
                                  QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                  QMessageBox::Save)) {
        case QMessageBox::Save:
            return SaveChoice::kSave;
        case QMessageBox::Discard:
            return SaveChoice::kDiscard;
        default:
            return SaveChoice::kCancel;
    }
}

void QtDialogServices::ShowAbout(QWidget* parent) {
    CAboutDlg about(parent);
    about.exec();
}

bool QtDialogServices::RunModal(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogServices::OpenWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace korvale
