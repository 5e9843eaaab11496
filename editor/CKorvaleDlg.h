#pragma once
// The main dialog: four file commands, seven numeric fields, two status lines and Quit, and the
// texture window it opens from its window menu. The record is the document's; the numbers being
// typed live in the dialog's variables (values_), the edit boxes only show them, and
// ShowValues()/ReadFields() exchange the two. Besides the commands, a file reaches the document
// by name (the command line, the texture window's Open), by a drop, or back from the desktop's
// image editor. Nothing unsaved is dropped without asking.

#include <QDialog>
#include <QString>
#include <array>
#include <optional>

#include "CTextureDocument.h"
#include "DialogServices.h"

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace korvale {

class CExternalEdit;
class DialogUnits;
class CTextureViewer;

class CKorvaleDlg : public QDialog {
    Q_OBJECT

  public:
    // Control identifiers, as the commands and tests know them.
    enum Id {
        kIdQuit = 1,
        kIdLoadSrb = 2,
        kIdSaveSrb = 3,
        kIdLoadMip = 4,
        kIdField1 = 1000,
        kIdField2 = 1001,
        kIdMipStatus = 1002,
        kIdField3 = 1003,
        kIdField4 = 1004,
        kIdField5 = 1005,
        kIdField6 = 1006,
        kIdSrbStatus = 1007,
        kIdSize = 1008,
        kIdSaveMip = 1010,
    };
    static constexpr int kFields = 7;  // six header values, then the size in metres

    // The window flags of the dialog and the About box: a fixed modal frame with a caption, the
    // system menu and the close box, and no minimise or maximise button.
    static constexpr Qt::WindowFlags kFrameFlags =
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    // The question asked before unsaved work would be lost.
    static const QString kSaveChanges;

    CKorvaleDlg(CTextureDocument& document, DialogServices& services, QWidget* parent = nullptr);

    // The four commands.
    void OnLoadSrb();
    void OnSaveSrb();
    void OnLoadMip();
    void OnSaveMip();
    // Opens the texture window (or brings it to the front).
    void OnTexture();
    // Import Image: a PNG picture chosen and its import options asked for; the record's mip set
    // becomes the one made from it, and the header values and the size stay.
    void OnImportImage();
    // Opens a file as the matching command would, told by its first bytes: an SRB file as Load
    // SRB, a PNG picture imported with the automatic options, anything else as Load MIP. For
    // the file named on the command line, files dropped on the dialog or the viewer and the
    // viewer's Open. A file that cannot be opened is named in a message box with the reason,
    // since the user pressed no button and has no status line to look at.
    void OpenFile(const QString& path);
    // Edit Level Externally: the level in slot opened in the desktop's image editor and taken
    // back every time it is saved there.
    void EditExternally(int slot);
    // Reopens the texture window when it was open when the program last ended, where it was.
    void RestoreWindows();
    // Remembers the texture window (geometry, whether it is open, its view).
    void SaveWindows() const;

    // The window menu (right-click on the background, the menu key, Shift+F10).
    [[nodiscard]] QMenu* WindowMenu() const { return windowMenu_; }

    // The marks beside the status lines, shown beside the line of the last load when it found
    // damage.
    [[nodiscard]] QLabel* MipWarning() const { return mipWarning_; }
    [[nodiscard]] QLabel* SrbWarning() const { return srbWarning_; }
    [[nodiscard]] QLabel* MipStatus() const { return mipStatus_; }
    [[nodiscard]] QLabel* SrbStatus() const { return srbStatus_; }
    [[nodiscard]] CTextureDocument& Document() const { return document_; }
    [[nodiscard]] QLineEdit* Field(int index) const {
        return fields_.at(static_cast<std::size_t>(index));
    }
    // The texture window, once it has been opened.
    [[nodiscard]] CTextureViewer* TextureViewer() const { return viewer_; }

  public slots:
    void accept() override;          // Quit: closes only when every field is valid
    void reject() override;          // the cancel command (Escape, close box): runs Load SRB
    void done(int result) override;  // remembers the texture window as the program ends

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Fills the edit boxes from the variables.
    void ShowValues();
    // After Load SRB: the variables from the record.
    void TakeValues();
    // A status line's text: format with path in it (format holds no "%1" for a fixed text). A
    // path too long for the line loses its middle, so the file name stays in view; the tooltip
    // carries the text in full and the reason below it.
    static void SetStatus(QLabel* line, const QString& format, const QString& path,
                          const QString& reason);
    // The MIP line for the set shown: where it came from, what its load found and what changed
    // since; after an edit only the tooltip changes.
    void ShowMipLine();
    void ShowChanges();
    // The warning marks, from the last load.
    void ShowMarks();
    // A failed load's tooltip: what it found and which set is still loaded and shown.
    [[nodiscard]] QString FailedLoad() const;
    // Before something unsaved (when unsaved says so) is replaced or the program ends: asks
    // whether to save it. True when the caller may go on (saved, discarded, or nothing to lose).
    bool SaveBeforeLosing(bool unsaved);
    // The two saves; each returns whether the file was written (a cancelled chooser is not).
    bool SaveSrb();
    bool SaveMip();
    // Reads every edit box into the variables, in binding order. Returns the index of the
    // first field that failed (not a number, or out of range) and its message, if any.
    std::optional<std::pair<int, QString>> ReadFields();
    // ReadFields, then shows the first failure's message and puts the cursor in that field.
    // True when every field was valid.
    bool ExchangeFields();
    void BuildControls();
    // A mark beside a status line (at y in dialog units) that shows when the last load found
    // damage.
    QLabel* BuildWarningMark(const DialogUnits& units, int y, const QString& name);
    void BuildWindowMenu();
    void PopUpWindowMenu(const QPoint& globalPos);
    std::optional<QString> Choose(const QString& title, const QString& filter,
                                  const QString& suffix, bool save);
    // Each returns whether the file was loaded.
    bool LoadSrbFile(const QString& path);
    bool LoadMipFile(const QString& path);
    // Places the texture window beside or below the dialog, wholly on the screen and covering
    // none of it (the dialog moves to the screen's corner when no side has the room); a
    // remembered placement (restored) stays when it is on the screen and clear of the dialog.
    void PlaceViewer(bool restored);
    // Import Image with its choosers and messages over parent (the dialog or the viewer).
    void ImportInto(QWidget* parent);
    // Reads the picture and replaces the mip set, asking for the options or taking the automatic
    // ones. On any failure the user is told why and the record is left as it was.
    void ImportPicture(const QString& path, QWidget* parent, bool askOptions);
    // A set that would not load back as shown (a level lost on load, an unknown pixel type) is
    // offered a repair before it is saved.
    void OfferRepair();
    CTextureDocument& document_;
    DialogServices& services_;
    std::array<float, kFields> values_{};
    // The text each variable last came from (filled in, or read and accepted), so a field
    // untouched since then gives back its exact value (bit for bit, whatever its text form).
    std::array<QString, kFields> shown_{};
    std::array<QLineEdit*, kFields> fields_{};
    QLabel* srbStatus_ = nullptr;
    QLabel* mipStatus_ = nullptr;
    QLabel* mipWarning_ = nullptr;
    QLabel* srbWarning_ = nullptr;
    QPushButton* quit_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    CTextureViewer* viewer_ = nullptr;  // made when first opened, owned as a child
    CExternalEdit* externalEdit_ = nullptr;
};

}  // namespace korvale
