// KIO's side of the thumbnail plugin, as the thumbnail worker behind Dolphin's previews meets it.
//   korvale_kio_thumbnail_test --list
//       the thumbnailers KIO offers (what Dolphin's preview settings list) found through
//       QT_PLUGIN_PATH: "ID\tNAME\tMIME;MIME" for each plugin of Korvale's
//   korvale_kio_thumbnail_test PLUGIN TEXTURE PNG
//       instantiates PLUGIN through its factory, as the worker does, asks it for a 128 x 128
//       thumbnail of TEXTURE and prints "same WxH" when it has the very pixels of PNG
//       (korvale-tool thumbnail's); exit 3 when the plugin gives no thumbnail.
//   korvale_kio_thumbnail_test --preview TEXTURE PNG
//       the same through KIO's preview job, as Dolphin asks: the job starts the thumbnail
//       worker, which finds the plugin by the file's MIME type.
#include <KFileItem>
#include <KIO/PreviewJob>
#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <KPluginMetaData>
#include <QGuiApplication>
#include <QImage>
#include <QMimeDatabase>
#include <QPixmap>
#include <QUrl>

#include <cstdio>

namespace {

// "same WxH" when got has the very pixels of the picture at png, "differs WxH" otherwise. In
// format, so that a picture that came as a pixmap (premultiplied, as every QPixmap with alpha
// is) is held to what premultiplying the expected one gives.
int Compare(const QImage& got, const QString& png, QImage::Format format = QImage::Format_ARGB32) {
    const QImage expected(png);
    if (expected.isNull()) {
        std::fprintf(stderr, "%s: not a picture\n", qPrintable(png));
        return 2;
    }
    const bool same = got.convertToFormat(format) == expected.convertToFormat(format);
    std::printf("%s %dx%d\n", same ? "same" : "differs", got.width(), got.height());
    return same ? 0 : 1;
}

int Preview(const QString& texture, const QString& png) {
    const QStringList plugins{QStringLiteral("korvalethumbnail")};
    const KFileItem item(QUrl::fromLocalFile(texture));
    auto* job = KIO::filePreview(KFileItemList{item}, QSize(128, 128), &plugins);
    job->setIgnoreMaximumSize(true);
    int status = 3;
    QObject::connect(
        job, &KIO::PreviewJob::gotPreview, [&](const KFileItem&, const QPixmap& preview) {
            status = Compare(preview.toImage(), png, QImage::Format_ARGB32_Premultiplied);
        });
    QObject::connect(job, &KIO::PreviewJob::failed,
                     [](const KFileItem&) { std::printf("no thumbnail\n"); });
    QObject::connect(job, &KJob::result, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc == 2 && QByteArray(argv[1]) == "--list") {
        for (const KPluginMetaData& plugin : KIO::PreviewJob::availableThumbnailerPlugins()) {
            if (plugin.pluginId().startsWith(QLatin1String("korvale"))) {
                std::printf("%s\t%s\t%s\n", qPrintable(plugin.pluginId()),
                            qPrintable(plugin.name()),
                            qPrintable(plugin.mimeTypes().join(QLatin1Char(';'))));
            }
        }
        return 0;
    }
    if (argc == 4 && QByteArray(argv[1]) == "--preview") {
        return Preview(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc != 4) {
        std::fprintf(
            stderr,
            "usage: korvale_kio_thumbnail_test --list | [--preview] [PLUGIN] TEXTURE PNG\n");
        return 2;
    }
    const KPluginMetaData metadata(QString::fromLocal8Bit(argv[1]));
    auto made = KPluginFactory::instantiatePlugin<KIO::ThumbnailCreator>(metadata);
    if (!made) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(made.errorText));
        return 2;
    }
    const QString texture = QString::fromLocal8Bit(argv[2]);
    const KIO::ThumbnailRequest request(QUrl::fromLocalFile(texture), QSize(128, 128),
                                        QMimeDatabase().mimeTypeForFile(texture).name(), 1.0, 0);
    const KIO::ThumbnailResult result = made.plugin->create(request);
    delete made.plugin;
    if (!result.isValid()) {
        std::printf("no thumbnail\n");
        return 3;
    }
    return Compare(result.image(), QString::fromLocal8Bit(argv[3]));
}
