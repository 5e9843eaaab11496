#pragma once
// The choices of an import from a picture, with a live preview of the top level as it would be
// saved. The choices live in the dialog's variables (options_, paletteFile_); the controls only
// show them, ShowOptions() fills the controls from the variables and each control's signal
// writes its one variable back.

#include <QDialog>
#include <QImage>
#include <QString>
#include <string>

#include "CMip.h"
#include "DialogServices.h"
#include "Image.h"
#include "Importer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QPushButton;
class QSpinBox;
class QTimer;

namespace korvale {

class CImportDlg : public QDialog {
    Q_OBJECT

  public:
    // The preview is drawn to fit a square of this many pixels.
    static constexpr int kPreviewBox = 256;
    // How long the controls must rest before the preview is made again.
    static constexpr int kPreviewDelayMs = 150;

    // picture is the PNG as read (it must outlive the dialog); path is the file it was read from,
    // in the file system's encoding, shown by name beside the picture's size.
    CImportDlg(const Image& picture, const std::string& path, DialogServices& services,
               QWidget* parent = nullptr);

    // The options the controls show, with the type, level count and top size always explicit.
    // The repeat code stays 0 and there are no hand-made levels: the dialog offers neither.
    [[nodiscard]] ImportOptions Options() const;
    // Makes the set with Options() and remembers the choices for the next import. On failure
    // mip is unchanged and error says why. Reuses the preview's set when it was made with the
    // same options.
    [[nodiscard]] bool Result(CMip& mip, std::string& error);

    // Makes the preview now instead of after the delay.
    void RefreshPreview();
    // Asks for a file to take the palette from, as choosing "from a file..." does.
    void ChoosePaletteFile();

  private:
    // The last import's choices (type, palette mode, dither, filter), from and to the settings.
    void RestoreChoices();
    void SaveChoices() const;
    // The controls, in steps: the type, palette and dither; the levels, top size and filter;
    // the preview beside them (returned as its column).
    void BuildControls();
    void BuildTypeControls();
    void BuildChainControls();
    QLayout* BuildPreview();
    // Fills every control from the variables, without any control reporting a change.
    void ShowOptions();
    // After a variable changed: the controls follow and the preview is made again later.
    void OptionsChanged();
    void OnPaletteActivated(int index);
    [[nodiscard]] int ChainLength() const;
    [[nodiscard]] int LevelCount() const;

    const Image& picture_;
    DialogServices& services_;
    int automaticType_ = 0;

    ImportOptions options_;  // levels 0: the whole chain, whatever the top size
    QString paletteFile_;    // where options_.givenPalette came from

    // The last preview, kept for Result() while the options stay as they were.
    CMip previewMip_;
    bool previewValid_ = false;  // the last preview's import succeeded
    bool previewHeld_ = false;   // and previewMip_ still holds its set
    int revision_ = 0;           // counts changes of the options
    int previewRevision_ = -1;

    QComboBox* type_ = nullptr;
    QComboBox* palette_ = nullptr;
    QCheckBox* dither_ = nullptr;
    QSpinBox* levels_ = nullptr;
    QLabel* levelsNote_ = nullptr;
    QComboBox* topWidth_ = nullptr;
    QComboBox* topHeight_ = nullptr;
    QComboBox* filter_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* previewText_ = nullptr;
    QPushButton* import_ = nullptr;
    QTimer* previewTimer_ = nullptr;
};

}  // namespace korvale
