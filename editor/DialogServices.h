#pragma once
// The blocking parts of the dialog (file choosers, message boxes, the About box) behind one
// interface, so that tests can drive the dialog without running a nested event loop.

#include <QString>
#include <optional>

class QWidget;

namespace korvale {

struct FileRequest {
    QString title;          // window title of the chooser
    QString filter;         // e.g. "SRB Files (*.srb)"
    QString defaultSuffix;  // appended when the user types a name without one
    bool save = false;  // a save chooser (asks before overwriting) or an open chooser (must exist)
};

class DialogServices {
  public:
    virtual ~DialogServices() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) = 0;
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    virtual void ShowAbout(QWidget* parent) = 0;
};

}  // namespace korvale
