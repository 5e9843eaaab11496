#include "CTextureDocument.h"

#include <QFileInfo>

#include "CompanionSize.h"
#include "LevelEdit.h"
#include "LevelExport.h"
#include "LocalPath.h"
#include "ValueText.h"

namespace korvale {

CTextureDocument::CTextureDocument(QObject* parent) : QObject(parent) {}

void CTextureDocument::SetReplacedByHand() {
    emit SetReplaced(true);
}

bool CTextureDocument::LoadSrb(const QString& path) {
    // A load that fails part-way has read some of the header; the values stay as they were.
    const auto header = record_.header;
    if (record_.Load(LocalPath(path)) <= 0) {
        record_.header = header;
        Finish(path, From::kSrb, true);
        return false;
    }
    // The SRB file holds no size; a save wrote it into the companion beside it.
    const CompanionSize size = ReadCompanionSize(LocalPath(path));
    record_.sizeInMetres = size.metres;
    sizeFrom_ = tr("Size (Metres) %1: %2")
                    .arg(QString::fromStdString(FloatToText(size.metres)),
                         QString::fromStdString(size.Describe()));
    valuesTyped_ = false;
    Loaded(path, From::kSrb);
    emit ValuesLoaded();
    return true;
}

bool CTextureDocument::LoadMip(const QString& path) {
    if (record_.mip.Load(LocalPath(path)) <= 0) {
        Finish(path, From::kMip, true);
        return false;
    }
    Loaded(path, From::kMip);
    return true;
}

void CTextureDocument::Loaded(const QString& path, From kind) {
    const bool otherFile = path != setPath_;
    from_ = kind;
    setPath_ = path;
    changes_.clear();
    undo_.clear();
    redo_.clear();
    revision_ = savedRevision_ = nextRevision_++;
    Finish(path, kind, false);
    emit SetReplaced(otherFile);
    emit UndoChanged();
}

void CTextureDocument::Finish(const QString& path, From kind, bool failed) {
    last_.path = path;
    last_.kind = kind;
    last_.failed = failed;
    last_.report = record_.mip.loadReport;
    emit LoadFinished();
    emit UnsavedChanged();
}

void CTextureDocument::Import(CMip made, const QString& picturePath) {
    Snapshot before = Take(std::move(record_.mip));
    record_.mip = std::move(made);
    from_ = From::kImport;
    setPath_ = picturePath;
    changes_ = tr("Imported from '%1'; not saved yet.").arg(picturePath);
    Push(std::move(before));
    emit SetReplaced(true);
}

Status CTextureDocument::Edit(const std::function<Status(CMip&)>& edit, const QString& what) {
    Snapshot before = Take(CopySet(record_.mip));
    if (Status done = edit(record_.mip); !done) {
        return done;
    }
    changes_ = what;
    Push(std::move(before));
    emit SetEdited();
    return {};
}

CTextureDocument::Snapshot CTextureDocument::Take(CMip set) const {
    return Snapshot{std::move(set), setPath_, from_, changes_, revision_};
}

void CTextureDocument::Push(Snapshot before) {
    undo_.push_back(std::move(before));
    if (undo_.size() > kUndoSteps) {
        undo_.pop_front();
    }
    redo_.clear();
    revision_ = nextRevision_++;
    emit UnsavedChanged();
    emit UndoChanged();
}

void CTextureDocument::Restore(std::deque<Snapshot>& from, std::deque<Snapshot>& to) {
    if (from.empty()) {
        return;
    }
    Snapshot next = std::move(from.back());
    from.pop_back();
    const bool otherFile = next.path != setPath_;
    to.push_back(Take(std::move(record_.mip)));
    record_.mip = std::move(next.set);
    setPath_ = next.path;
    from_ = next.from;
    changes_ = next.changes;
    revision_ = next.revision;
    if (otherFile) {
        emit SetReplaced(true);
    } else {
        emit SetEdited();
    }
    emit UnsavedChanged();
    emit UndoChanged();
}

void CTextureDocument::Undo() {
    Restore(undo_, redo_);
}

void CTextureDocument::Redo() {
    Restore(redo_, undo_);
}

void CTextureDocument::SetValues(const std::array<float, CSrb::kHeaderValues>& header,
                                 float metres) {
    record_.header = header;
    record_.sizeInMetres = metres;
}

void CTextureDocument::ValuesTyped() {
    if (!valuesTyped_) {
        valuesTyped_ = true;
        emit UnsavedChanged();
    }
}

void CTextureDocument::SavedSrb(const QString& path) {
    valuesTyped_ = false;
    Saved(path, From::kSrb);
}

void CTextureDocument::SavedMip(const QString& path) {
    Saved(path, From::kMip);
}

void CTextureDocument::Saved(const QString& path, From kind) {
    from_ = kind;
    setPath_ = path;
    changes_.clear();
    savedRevision_ = revision_;
    emit UnsavedChanged();
}

QString CTextureDocument::ShownName() const {
    if (from_ == From::kNothing || setPath_.isEmpty()) {
        return {};
    }
    const QString name = QFileInfo(setPath_).fileName();
    return from_ == From::kImport ? tr("imported: %1").arg(name) : name;
}

QString CTextureDocument::TextureName() const {
    const QString base =
        setPath_.isEmpty() ? QString() : FromLocalPath(TextureBaseName(LocalPath(setPath_)));
    return base.isEmpty() ? QStringLiteral("texture") : base;
}

}  // namespace korvale
