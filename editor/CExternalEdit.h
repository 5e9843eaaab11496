#pragma once
// A level edited in the desktop's image editor: the level is written as a PNG into a private
// temporary folder and opened there, and every time the editor saves the file the picture is
// read back into the level, as a change of the document (so Undo takes it back). When the
// document shows another set, the watches stop: the levels being edited belonged to the old one.
// The level keeps its pixel type; a palettised level keeps its palette (the picture's colours are
// mapped to it) unless rebuilding the palette was asked for.

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "DialogServices.h"
#include "Image.h"

class QWidget;

namespace korvale {

class CTextureDocument;

class CExternalEdit : public QObject {
    Q_OBJECT

  public:
    // How long a file must rest after a change before it is read: editors write in pieces.
    static constexpr int kSettleMs = 250;

    CExternalEdit(CTextureDocument& document, DialogServices& services, QObject* parent = nullptr);

    // Writes the level in slot as <base>-<w>x<h>.png into the private folder, opens it in the
    // desktop's editor and watches it; what fails is told to the user (over parent).
    void Start(int slot, const QString& base, QWidget* parent);
    // Stops watching every file: the set they came from is gone (a load, an import, an undo).
    void StopAll();
    // Whether a palettised level gets a new palette made from the edited picture (for a set with
    // a shared palette, one for every palettised level) instead of keeping its own.
    void SetRebuildPalette(bool on) { rebuildPalette_ = on; }

  signals:
    // The level in slot was replaced by the edited picture.
    void LevelReplaced(int slot);
    // An edited picture was not taken; message says why.
    void Refused(const QString& message);

  private:
    void Changed(const QString& path);
    void ReadSettled();
    // Forgets a file whose watch could not be set.
    void StopWatching(const QString& path);
    // Reads the picture back into the level in slot. False with message set when the picture
    // cannot be taken (the level gone, the wrong size); the set is then unchanged.
    [[nodiscard]] bool TakeBack(int slot, const Image& picture, QString& message);
    CTextureDocument& document_;
    DialogServices& services_;
    std::unique_ptr<QTemporaryDir> folder_;  // made on the first edit
    QFileSystemWatcher watcher_;
    QTimer settle_;
    std::map<QString, int> slots_;             // watched path -> slot
    std::map<QString, QByteArray> lastTaken_;  // the bytes last written or taken, per path
    std::set<QString> pending_;
    bool rebuildPalette_ = false;
};

}  // namespace korvale
