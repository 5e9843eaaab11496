#pragma once
// The real choosers and message boxes.

#include "DialogServices.h"

namespace korvale {

class QtDialogServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) override;
    std::optional<QString> ChooseFolder(QWidget* parent, const QString& title) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    bool Ask(QWidget* parent, const QString& question) override;
    void ShowAbout(QWidget* parent) override;
    bool RunModal(QDialog& dialog) override;
};

}  // namespace korvale
