#pragma once
// The real choosers and message boxes. Each kind of chooser starts in the folder it last chose
// from (remembered with the settings).

#include <QCoreApplication>

#include "DialogServices.h"

namespace korvale {

class QtDialogServices : public DialogServices {
    Q_DECLARE_TR_FUNCTIONS(QtDialogServices)

  public:
    std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> ChooseFolder(QWidget* parent, const QString& title) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool Ask(QWidget* parent, const QString& question) override;
    SaveChoice AskToSave(QWidget* parent, const QString& question) override;
    void ShowAbout(QWidget* parent) override;
    bool RunModal(QDialog& dialog) override;
    bool OpenWithDesktop(const QString& path) override;
};

}  // namespace korvale
