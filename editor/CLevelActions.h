#pragma once
// What the Texture window does with its levels besides showing them: export one to a PNG file,
// export every level into a folder, copy one to the clipboard. Each asks through the dialog
// services, so the tests script the choosers, and gives back the notice for the window's status
// bar, or nothing when the user cancelled or the write failed (the services already said why).

#include <QCoreApplication>
#include <QString>
#include <optional>

class QWidget;

namespace korvale {

class CTextureDocument;
class DialogServices;

class CLevelActions {
    Q_DECLARE_TR_FUNCTIONS(CLevelActions)

  public:
    CLevelActions(QWidget& parent, DialogServices& services, const CTextureDocument& document);

    // Export Level: the level in slot to a PNG file the user names.
    std::optional<QString> ExportLevel(int slot);
    // Export All Levels: every level into a folder the user picks, as <name>-<w>x<h>.png,
    // asking before replacing files already there.
    std::optional<QString> ExportAll();
    // Copy: the level in slot, at full scale with its alpha.
    QString Copy(int slot);

  private:
    bool WriteLevel(int slot, const QString& path);

    QWidget& parent_;
    DialogServices& services_;
    const CTextureDocument& document_;
};

}  // namespace korvale
