#include "KorvaleThumbnailer.h"

#include <KPluginFactory>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <string>

#include "Image.h"
#include "TextureLoad.h"
#include "Thumbnail.h"

namespace korvale {

KorvaleThumbnailer::KorvaleThumbnailer(QObject* parent, const QVariantList& args)
    : KIO::ThumbnailCreator(parent, args) {}

KIO::ThumbnailResult KorvaleThumbnailer::create(const KIO::ThumbnailRequest& request) {
    // The thumbnail worker hands over local files only (the metadata does not ask for remote
    // ones), so the path is the URL's.
    const QString path = request.url().toLocalFile();
    const QSize target = request.targetSize();
    const int size = std::min(target.width(), target.height());
    if (path.isEmpty() || size <= 0) {
        return KIO::ThumbnailResult::fail();
    }
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    // The loaders' trace goes nowhere: the worker's output is not ours to fill.
    if (!LoadTextureFile(std::string(QFile::encodeName(path).constData()), record, kind, nullptr)) {
        return KIO::ThumbnailResult::fail();
    }
    Image picture;
    if (!MakeThumbnail(record.mip, size, picture)) {
        return KIO::ThumbnailResult::fail();
    }
    QImage image(picture.width, picture.height, QImage::Format_RGBA8888);
    if (image.isNull()) {
        return KIO::ThumbnailResult::fail();
    }
    const auto rowBytes = static_cast<std::size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y),
                    picture.pixels.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    }
    return KIO::ThumbnailResult::pass(image);
}

}  // namespace korvale

// The factory KIO's thumbnail worker instantiates, with the metadata (the MIME types, the name
// Dolphin's preview settings list) compiled into the plugin.
K_PLUGIN_FACTORY_WITH_JSON(KorvaleThumbnailerFactory, "korvalethumbnail.json",
                           registerPlugin<korvale::KorvaleThumbnailer>();)

#include "KorvaleThumbnailer.moc"
