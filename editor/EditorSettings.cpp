#include "EditorSettings.h"

#include <QDir>
#include <QFileInfo>

namespace korvale {

namespace {

QString FolderKey(const QString& kind) {
    // A title is not a safe key: slashes would make groups of it.
    return QStringLiteral("folders/") + QString::fromLatin1(kind.toUtf8().toHex());
}

}  // namespace

QStringList RecentFiles() {
    return EditorSettings().value(settings::kRecentFiles).toStringList();
}

void AddRecentFile(const QString& path) {
    QStringList files = RecentFiles();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kMaxRecentFiles) {
        files.removeLast();
    }
    EditorSettings().setValue(settings::kRecentFiles, files);
}

void ClearRecentFiles() {
    EditorSettings().remove(settings::kRecentFiles);
}

QString LastFolder(const QString& kind) {
    const QString folder = EditorSettings().value(FolderKey(kind)).toString();
    return QFileInfo(folder).isDir() ? folder : QString();
}

void RememberFolder(const QString& kind, const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    EditorSettings().setValue(FolderKey(kind), QDir::cleanPath(folder));
}

}  // namespace korvale
