#pragma once
// The real choosers and message boxes.

#include "DialogServices.h"

namespace korvale {

class QtDialogServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) override;
    void ShowMessage(QWidget* parent, const QString& text) override;
    void ShowAbout(QWidget* parent) override;
};

}  // namespace korvale
