#include "QtDialogServices.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "CAboutDlg.h"

namespace korvale {

std::optional<QString> QtDialogServices::ChooseFile(QWidget* parent, const FileRequest& request) {
    QFileDialog chooser(parent, request.title);
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
    return chooser.selectedFiles().constFirst();
}

std::optional<QString> QtDialogServices::ChooseFolder(QWidget* parent, const QString& title) {
    QFileDialog chooser(parent, title);
    chooser.setFileMode(QFileDialog::Directory);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return chooser.selectedFiles().constFirst();
}

void QtDialogServices::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Korvale"), text);
}

bool QtDialogServices::Ask(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("Korvale"), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void QtDialogServices::ShowAbout(QWidget* parent) {
    CAboutDlg about(parent);
    about.exec();
}

bool QtDialogServices::RunModal(QDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace korvale
