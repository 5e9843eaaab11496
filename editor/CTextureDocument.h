#pragma once
// The open document: the record (header values, size and mip set), where its set and its values
// came from, the last load and what it found, and what has not been saved. Only the document
// changes the record; the main dialog, the texture window and the external edit show it and
// hear of every change through its signals, so no window keeps a copy of its own.
//
// Two things can be unsaved: the values, when typed since the last Load SRB or Save SRB; and the
// texture, when imported, edited in another program or given a new palette since the last load
// or save of either kind. Changes of the set can be taken back and done again.

#include <QObject>
#include <QString>
#include <deque>
#include <functional>

#include "CSrb.h"
#include "LoadReport.h"
#include "Status.h"

namespace korvale {

class CTextureDocument : public QObject {
    Q_OBJECT

  public:
    // Where the set shown came from.
    enum class From { kNothing, kSrb, kMip, kImport };
    // How many changes of the set Undo can take back.
    static constexpr std::size_t kUndoSteps = 16;

    // The last load, whatever it loaded, and what it found.
    struct LastLoad {
        QString path;  // empty before the first load
        From kind = From::kNothing;
        bool failed = false;
        LoadReport report;
    };

    explicit CTextureDocument(QObject* parent = nullptr);

    [[nodiscard]] const CSrb& Record() const { return record_; }
    [[nodiscard]] const CMip& Mip() const { return record_.mip; }
    // For a set made by hand (tests, the paint benchmark): the caller says what changed with
    // SetReplacedByHand().
    [[nodiscard]] CSrb& RecordForWriting() { return record_; }
    void SetReplacedByHand();

    // The loads. Load SRB takes the set, the header values and the size (from the companion
    // beside the file); Load MIP takes only the set. Each returns whether the file loaded; a
    // failed load leaves the set and the values as they were and records what it found.
    bool LoadSrb(const QString& path);
    bool LoadMip(const QString& path);
    // A set made from the picture at path replaces the one shown.
    void Import(CMip made, const QString& picturePath);
    // Changes the set in place (a level put back from an image editor, a palette rebuilt). A
    // failing edit must leave the set unchanged; nothing is then recorded. what describes the
    // change for the status tooltip.
    Status Edit(const std::function<Status(CMip&)>& edit, const QString& what);
    // The header values and the size about to be saved with an SRB file.
    void SetValues(const std::array<float, CSrb::kHeaderValues>& header, float metres);
    // A value was typed into the dialog.
    void ValuesTyped();
    // After a save that succeeded: the set (and for an SRB file the values) are that file's.
    void SavedSrb(const QString& path);
    void SavedMip(const QString& path);

    [[nodiscard]] bool ValuesUnsaved() const { return valuesTyped_; }
    [[nodiscard]] bool TextureUnsaved() const { return revision_ != savedRevision_; }
    [[nodiscard]] bool AnythingUnsaved() const { return ValuesUnsaved() || TextureUnsaved(); }

    [[nodiscard]] From SetFrom() const { return from_; }
    // The file the set came from (the SRB or MIP file, the picture imported), or empty.
    [[nodiscard]] const QString& SetPath() const { return setPath_; }
    // What the title names: "plant.mip", "imported: plant.png"; empty when nothing is loaded.
    [[nodiscard]] QString ShownName() const;
    // The base name exported and externally edited levels are called after.
    [[nodiscard]] QString TextureName() const;
    // Where Size (Metres) of the last Load SRB came from, for the status tooltip.
    [[nodiscard]] const QString& SizeFrom() const { return sizeFrom_; }
    // What changed in the set since it was loaded or saved, for the status tooltip.
    [[nodiscard]] const QString& Changes() const { return changes_; }
    [[nodiscard]] const LastLoad& Last() const { return last_; }

    [[nodiscard]] bool CanUndo() const { return !undo_.empty(); }
    [[nodiscard]] bool CanRedo() const { return !redo_.empty(); }
    void Undo();
    void Redo();

  signals:
    // Another set is shown: otherFile when it came from another file than the one before (it
    // opens at its top level, fitted), else the same file again (the level and zoom stay).
    void SetReplaced(bool otherFile);
    // The set shown changed in place (a level edited, a palette rebuilt).
    void SetEdited();
    // The header values and the size were loaded.
    void ValuesLoaded();
    // A load finished (loaded or not): its report and where the set came from are new.
    void LoadFinished();
    // What is unsaved, or whether Undo and Redo can do anything, may have changed.
    void UnsavedChanged();
    void UndoChanged();

  private:
    // A set as it was before a change, with where it came from.
    struct Snapshot {
        CMip set;
        QString path;
        From from = From::kNothing;
        QString changes;
        int revision = 0;
    };
    [[nodiscard]] Snapshot Take(CMip set) const;
    // Makes snapshot the set shown, keeping the one shown in other.
    void Restore(std::deque<Snapshot>& from, std::deque<Snapshot>& to);
    void Push(Snapshot before);
    // After a load that succeeded: nothing to take back, nothing unsaved in the set.
    void Loaded(const QString& path, From kind);
    void Finish(const QString& path, From kind, bool failed);
    void Saved(const QString& path, From kind);

    CSrb record_;
    From from_ = From::kNothing;
    QString setPath_;
    QString sizeFrom_;
    QString changes_;
    LastLoad last_;
    bool valuesTyped_ = false;
    int revision_ = 0;       // counts the sets shown; every change makes a new one
    int savedRevision_ = 0;  // the one last loaded or saved
    int nextRevision_ = 1;
    std::deque<Snapshot> undo_;
    std::deque<Snapshot> redo_;
};

}  // namespace korvale
