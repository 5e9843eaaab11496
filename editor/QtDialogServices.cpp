#include "QtDialogServices.h"

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
    } else {
        chooser.setAcceptMode(QFileDialog::AcceptOpen);
        chooser.setFileMode(QFileDialog::ExistingFile);
    }
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return chooser.selectedFiles().constFirst();
}

void QtDialogServices::ShowMessage(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Korvale"), text);
}

void QtDialogServices::ShowAbout(QWidget* parent) {
    CAboutDlg about(parent);
    about.exec();
}

}  // namespace korvale
