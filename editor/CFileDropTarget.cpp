#include "CFileDropTarget.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace korvale {

std::optional<QString> DraggedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls()) {
        return std::nullopt;
    }
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.constFirst().isLocalFile()) {
        return std::nullopt;
    }
    const QString path = urls.constFirst().toLocalFile();
    if (!QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    return path;
}

void CFileDropTarget::Watch(QWidget* widget) {
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

bool CFileDropTarget::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!DraggedFile(drag->mimeData())) {
                // Anything else is the widget's own business (text for an edit box), or refused.
                return false;
            }
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const auto path = DraggedFile(drop->mimeData());
            if (!path) {
                return false;
            }
            drop->acceptProposedAction();
            QMetaObject::invokeMethod(
                this, [this, file = *path] { emit FileDropped(file); }, Qt::QueuedConnection);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
    }
}

}  // namespace korvale
