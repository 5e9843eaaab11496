#include "CLevelActions.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <vector>

#include "CTextureDocument.h"
#include "DialogServices.h"
#include "Export.h"
#include "LevelExport.h"
#include "LevelQImage.h"
#include "LocalPath.h"

namespace korvale {

CLevelActions::CLevelActions(QWidget& parent, DialogServices& services,
                             const CTextureDocument& document)
    : parent_(parent), services_(services), document_(document) {}

bool CLevelActions::WriteLevel(int slot, const QString& path) {
    ExportRequest request;
    request.slot = slot;
    std::vector<ExportFile> files;
    Status written = EncodeExport(document_.Mip(), std::string(), LocalPath(path), request, files);
    if (written) {
        written = WriteExport(files, true);  // the chooser asked before replacing a file
    }
    if (!written) {
        services_.ShowMessage(&parent_, tr("The level could not be written to '%1': %2.")
                                            .arg(path, QString::fromStdString(written.Reason())));
        return false;
    }
    return true;
}

std::optional<QString> CLevelActions::ExportLevel(int slot) {
    const CBmap& level = document_.Mip().levels.at(static_cast<std::size_t>(slot));
    const QString name = FromLocalPath(LevelFileName(LocalPath(document_.TextureName()), level));
    const auto path =
        services_.ChooseFile(&parent_, FileRequest{tr("Export Level..."), tr("PNG Images (*.png)"),
                                                   QStringLiteral("png"), true, name});
    if (!path || !WriteLevel(slot, *path)) {
        return std::nullopt;
    }
    return tr("Level %1 x %2 written to '%3'").arg(level.Width()).arg(level.Height()).arg(*path);
}

std::optional<QString> CLevelActions::ExportAll() {
    const CMip& mip = document_.Mip();
    const auto folder = services_.ChooseFolder(&parent_, tr("Export All Levels into Folder"));
    if (!folder) {
        return std::nullopt;
    }
    ExportRequest request;
    request.mode = ExportMode::kAll;
    std::vector<ExportFile> files;
    Status written =
        EncodeExport(mip, LocalPath(document_.TextureName()), LocalPath(*folder), request, files);
    QStringList existing;
    for (const ExportFile& file : files) {
        const QString path = FromLocalPath(file.path);
        if (QFile::exists(path)) {
            existing.append(QFileInfo(path).fileName());
        }
    }
    // The folder chooser cannot ask about the files, so the question comes here.
    if (!existing.isEmpty() &&
        !services_.Ask(
            &parent_,
            (existing.size() == 1
                 ? tr("One file is already in '%1': %2.\n\nReplace it?")
                 : tr("%1 files are already in '%2': %3.\n\nReplace them?").arg(existing.size()))
                .arg(*folder, existing.join(QStringLiteral(", "))))) {
        return std::nullopt;
    }
    if (written) {
        written = WriteExport(files, true);
    }
    if (!written) {
        services_.ShowMessage(&parent_,
                              tr("The levels could not be written to '%1': %2.")
                                  .arg(*folder, QString::fromStdString(written.Reason())));
        return std::nullopt;
    }
    const std::size_t count = mip.FilledSlots().size();
    return count == 1 ? tr("1 level written to '%1'").arg(*folder)
                      : tr("%1 levels written to '%2'").arg(count).arg(*folder);
}

QString CLevelActions::Copy(int slot) {
    const CMip& mip = document_.Mip();
    const CBmap& level = mip.levels.at(static_cast<std::size_t>(slot));
    QApplication::clipboard()->setImage(
        LevelToQImage(level, mip.LevelPalette(slot), ChannelView::kColour));
    return tr("Level %1 x %2 copied").arg(level.Width()).arg(level.Height());
}

}  // namespace korvale
