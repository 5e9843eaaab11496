#pragma once
// Files dropped on a window: a drag is taken only when it carries one local file, and the file
// is handed on once the drop has returned, since the program the drag came from waits for the
// drop and must not wait for a load or a message box as well.

#include <QObject>
#include <QString>
#include <optional>

class QMimeData;
class QWidget;

namespace korvale {

// The one local file a drag carries, or nothing: several files, a folder, a remote address or
// no address at all are not taken.
[[nodiscard]] std::optional<QString> DraggedFile(const QMimeData* data);

class CFileDropTarget : public QObject {
    Q_OBJECT

  public:
    explicit CFileDropTarget(QObject* parent) : QObject(parent) {}

    // Takes file drops on widget, before the widget's own drop handling (an edit box still
    // takes dropped text).
    void Watch(QWidget* widget);

  signals:
    // Emitted from the event loop after the drop.
    void FileDropped(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace korvale
