#include "CExternalEdit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "CTextureDocument.h"
#include "Inputs.h"
#include "LevelEdit.h"
#include "LevelExport.h"
#include "LocalPath.h"
#include "PngIo.h"
#include "WholeFile.h"

namespace korvale {

namespace {

// The file's bytes as the editor left them, within a picture's cap; empty when it cannot be
// read (gone for a moment while the editor replaces it, say).
QByteArray FileBytes(const QString& path) {
    std::vector<std::uint8_t> bytes;
    if (!ReadInput(LocalPath(path), InputKind::kPicture, bytes)) {
        return {};
    }
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

}  // namespace

CExternalEdit::CExternalEdit(CTextureDocument& document, DialogServices& services, QObject* parent)
    : QObject(parent), document_(document), services_(services) {
    connect(&document_, &CTextureDocument::SetReplaced, this, &CExternalEdit::StopAll);
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMs);
    connect(&settle_, &QTimer::timeout, this, &CExternalEdit::ReadSettled);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &CExternalEdit::Changed);
    // An editor that saves by writing a new file and renaming it over the old one shows up as
    // a change of the folder (the watch on the old file is gone with it).
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] {
        for (const auto& [path, slot] : slots_) {
            if (QFileInfo::exists(path) && FileBytes(path) != lastTaken_[path]) {
                Changed(path);
            }
        }
    });
}

void CExternalEdit::Start(int slot, const QString& base, QWidget* parent) {
    const auto refuse = [&](const QString& reason) {
        services_.ShowMessage(parent, tr("The level cannot be edited externally: %1.").arg(reason));
    };
    const CMip& mip = document_.Mip();
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        return;  // the menu offers no level to edit then
    }
    if (!folder_ || !folder_->isValid()) {
        folder_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                  QStringLiteral("/korvale-edit-XXXXXX"));
        if (!folder_->isValid()) {
            const QString reason = folder_->errorString();
            folder_.reset();
            refuse(tr("no private folder can be made in '%1': %2").arg(QDir::tempPath(), reason));
            return;
        }
    }
    const CBmap& level = mip.levels[static_cast<std::size_t>(slot)];
    const QString path =
        QDir(folder_->path()).filePath(FromLocalPath(LevelFileName(LocalPath(base), level)));
    std::vector<std::uint8_t> png;
    Status written = EncodeLevelPng(mip, slot, LevelView::kFullScale, png);
    if (written) {
        written = WriteFileBytes(LocalPath(path), png);
    }
    if (!written) {
        refuse(QString::fromStdString(written.Reason()));
        return;
    }
    slots_[path] = slot;
    lastTaken_[path] =
        QByteArray(reinterpret_cast<const char*>(png.data()), static_cast<qsizetype>(png.size()));
    // Adding a watch already on is refused but harmless, so what counts is whether the file's
    // watch is on. The folder's only adds saves by rename; without it saves in place still show.
    watcher_.addPath(path);
    watcher_.addPath(folder_->path());
    if (!watcher_.files().contains(path)) {
        refuse(tr("the file '%1' cannot be watched for the editor's saves").arg(path));
        StopWatching(path);
        return;
    }
    if (!services_.OpenWithDesktop(path)) {
        services_.ShowMessage(
            parent, tr("No program to edit pictures could be started. The level is in '%1': "
                       "edit and save it there, and Korvale takes it back.")
                        .arg(path));
    }
}

void CExternalEdit::StopWatching(const QString& path) {
    slots_.erase(path);
    lastTaken_.erase(path);
    pending_.erase(path);
}

void CExternalEdit::StopAll() {
    if (!watcher_.files().isEmpty()) {
        watcher_.removePaths(watcher_.files());
    }
    if (!watcher_.directories().isEmpty()) {
        watcher_.removePaths(watcher_.directories());
    }
    slots_.clear();
    lastTaken_.clear();
    pending_.clear();
    settle_.stop();
}

void CExternalEdit::Changed(const QString& path) {
    if (slots_.count(path) == 0) {
        return;
    }
    pending_.insert(path);
    settle_.start();  // restarts: only a pause in the writes reads the file
}

void CExternalEdit::ReadSettled() {
    const std::set<QString> paths = std::move(pending_);
    pending_.clear();
    for (const QString& path : paths) {
        const auto at = slots_.find(path);
        if (at == slots_.end()) {
            continue;
        }
        // A save by rename replaced the file the watch was on.
        // Should that fail, the folder's watch still sees the next save by rename.
        if (!watcher_.files().contains(path) && QFileInfo::exists(path)) {
            watcher_.addPath(path);
        }
        const QByteArray bytes = FileBytes(path);
        if (bytes.isEmpty() || bytes == lastTaken_[path]) {
            continue;  // gone for a moment, or touched without a change
        }
        Image picture;
        QString message;
        const std::span<const std::uint8_t> data(
            reinterpret_cast<const std::uint8_t*>(bytes.data()),
            static_cast<std::size_t>(bytes.size()));
        if (const Status read = ReadPng(data, picture); !read) {
            message = tr("The edited picture '%1' cannot be read: %2.")
                          .arg(path, QString::fromStdString(read.Reason()));
        } else if (TakeBack(at->second, picture, message)) {
            lastTaken_[path] = bytes;
            emit LevelReplaced(at->second);
            continue;
        }
        lastTaken_[path] = bytes;  // refused once; the next save is looked at again
        emit Refused(message);
    }
}

bool CExternalEdit::TakeBack(int slot, const Image& picture, QString& message) {
    const CMip& mip = document_.Mip();
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        message = tr("The level edited is no longer in the set.");
        return false;
    }
    const CBmap& old = mip.levels[static_cast<std::size_t>(slot)];
    if (picture.width != old.Width() || picture.height != old.Height()) {
        message = tr("The edited picture is %1 x %2, but the level it replaces (slot %3) is "
                     "%4 x %5: it was not taken.")
                      .arg(picture.width)
                      .arg(picture.height)
                      .arg(slot)
                      .arg(old.Width())
                      .arg(old.Height());
        return false;
    }
    const QString what = tr("The set has changed: level %1 x %2 (slot %3) was edited in another "
                            "program. Save MIP or Save SRB writes it.")
                             .arg(old.Width())
                             .arg(old.Height())
                             .arg(slot);
    const bool rebuild = rebuildPalette_;
    const Status stored =
        document_.Edit([&](CMip& set) { return PutBackLevel(set, slot, picture, rebuild); }, what);
    if (!stored) {
        message = tr("The edited picture cannot be stored in the level: %1.")
                      .arg(QString::fromStdString(stored.Reason()));
        return false;
    }
    return true;
}

}  // namespace korvale
