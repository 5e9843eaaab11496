#pragma once
// The blocking parts of the dialog (file and folder choosers, message boxes, the About box and
// any other modal dialog) and the hand-over of a file to the desktop behind one interface, so
// that tests can drive the dialog without running a nested event loop or another program.

#include <QString>
#include <optional>

class QDialog;
class QWidget;

namespace korvale {

struct FileRequest {
    QString title;          // window title of the chooser
    QString filter;         // e.g. "SRB Files (*.srb)"
    QString defaultSuffix;  // appended when the user types a name without one
    bool save = false;  // a save chooser (asks before overwriting) or an open chooser (must exist)
    QString suggestedName = {};  // a save chooser starts with this file name
};

// The answers to "Save changes?".
enum class SaveChoice { kSave, kDiscard, kCancel };

class DialogServices {
  public:
    virtual ~DialogServices() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFile(QWidget* parent, const FileRequest& request) = 0;
    // An existing folder, or nothing when the user cancelled.
    virtual std::optional<QString> ChooseFolder(QWidget* parent, const QString& title) = 0;
    virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
    // A yes-or-no question; true for yes.
    virtual bool Ask(QWidget* parent, const QString& question) = 0;
    // Whether to save unsaved work before it is lost: Save, Discard or Cancel.
    virtual SaveChoice AskToSave(QWidget* parent, const QString& question) = 0;
    virtual void ShowAbout(QWidget* parent) = 0;
    // Runs a modal dialog the caller made; true when the user accepted it.
    virtual bool RunModal(QDialog& dialog) = 0;
    // Opens a file in the desktop's default program for its type (for a PNG, the image
    // editor); false when no program could be started.
    virtual bool OpenWithDesktop(const QString& path) = 0;
};

}  // namespace korvale
