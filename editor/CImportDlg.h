#pragma once
// The choices of an import from a picture, with a live preview of the top level as it would be
// saved. The preview's import runs on a thread of its own (LatestImport), so the controls stay
// live while a large picture is made; only the newest options' preview is ever shown. The choices
// live in the dialog's variables (options_, paletteFile_); the controls only show them,
// ShowOptions() fills the controls from the variables and each control's signal writes its one
// variable back.

#include <QDialog>
#include <QImage>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "CMip.h"
#include "DialogServices.h"
#include "Image.h"
#include "Importer.h"
#include "LatestImport.h"

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
    // same options, and waits for the preview's import when one runs for them.
    [[nodiscard]] bool Result(CMip& mip, std::string& error);

    // Starts the preview now instead of after the delay; it shows once made (PreviewShown).
    void RefreshPreview();
    // Whether the preview shown is not the current options' yet: it waits, or is being made.
    [[nodiscard]] bool PreviewPending() const { return previewRevision_ != revision_; }
    // Asks for a file to take the palette from, as choosing "from a file..." does.
    void ChoosePaletteFile();

    // Closed (imported or cancelled): no preview is made or shown after this, though Result()
    // still has the one being made for the current options.
    void done(int result) override;

  signals:
    // The preview of the current options is shown (or why they cannot be imported).
    void PreviewShown();

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
    // The preview is out of date: it is greyed and says it is being made.
    void ShowComputing();
    // On this thread, once request's import is done: shown when it is still the one wanted.
    void OnPreviewReady(std::uint64_t request);
    void ShowPreview(LatestImport::Made made);
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
    int previewRevision_ = -1;   // the options the preview shown was made with
    int askedRevision_ = -1;     // the options of the last preview asked for
    std::uint64_t askedRequest_ = 0;
    bool closed_ = false;

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
    // Last, so it goes first: its destructor waits for an import still running before anything
    // that import's report would reach is gone.
    std::unique_ptr<LatestImport> imports_;
};

}  // namespace korvale
