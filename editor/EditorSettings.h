#pragma once
// What the editor remembers between runs, in one QSettings file
// (~/.config/Korvale/korvale.conf on Linux): the texture window's geometry, whether it was open
// and how it showed levels, the import dialog's last choices, the last folder of each kind of
// chooser and the recently opened files. Nothing else is stored.

#include <QSettings>
#include <QString>
#include <QStringList>

namespace korvale {

inline constexpr const char* kOrganisationName = "Korvale";
inline constexpr const char* kApplicationName = "korvale";

// The settings file of the running user. Every reader and writer goes through this, so the
// file's place does not depend on what the application object was named.
class EditorSettings : public QSettings {
  public:
    EditorSettings()
        : QSettings(QString::fromLatin1(kOrganisationName), QString::fromLatin1(kApplicationName)) {
    }
};

// Keys, so a reader and a writer cannot drift apart.
namespace settings {
inline const QString kViewerGeometry = QStringLiteral("texture/geometry");
inline const QString kViewerOpen = QStringLiteral("texture/open");
inline const QString kViewerView = QStringLiteral("texture/view");
inline const QString kViewerZoom = QStringLiteral("texture/zoom");
inline const QString kViewerChecker = QStringLiteral("texture/checkerboard");
inline const QString kViewerBackground = QStringLiteral("texture/background");
inline const QString kImportType = QStringLiteral("import/type");
inline const QString kImportPalette = QStringLiteral("import/palette");
inline const QString kImportDither = QStringLiteral("import/dither");
inline const QString kImportFilter = QStringLiteral("import/filter");
inline const QString kRecentFiles = QStringLiteral("recentFiles");
}  // namespace settings

// How many files Open Recent lists.
inline constexpr int kMaxRecentFiles = 8;

[[nodiscard]] QStringList RecentFiles();
// Puts path first in the recent files (once), keeping at most kMaxRecentFiles.
void AddRecentFile(const QString& path);
void ClearRecentFiles();

// The folder a chooser of this kind (its title names it) last chose a file in, or empty.
[[nodiscard]] QString LastFolder(const QString& kind);
// Remembers the folder of path (or path itself when it is a folder) for choosers of this kind.
void RememberFolder(const QString& kind, const QString& path);

}  // namespace korvale
