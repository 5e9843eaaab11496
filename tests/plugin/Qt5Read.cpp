// A Qt 5 application reading a texture through QImageReader, as Gwenview does: prints "same"
// when its largest level (the first image) has the very pixels of the PNG korvale-tool exported
// for it, and the format the reader found. Usage: korvale_qt5_read TEXTURE PNG
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: korvale_qt5_read TEXTURE PNG\n");
        return 2;
    }
    QImageReader texture(QString::fromLocal8Bit(argv[1]));
    texture.setDecideFormatFromContent(true);    // known by its first bytes, whatever its name
    const QByteArray format = texture.format();  // before reading: a read resets the reader
    const QImage got = texture.read();
    const QImage expected = QImage(QString::fromLocal8Bit(argv[2]));
    if (got.isNull() || expected.isNull()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(texture.errorString()));
        return 1;
    }
    const bool same = got.convertToFormat(QImage::Format_ARGB32) ==
                      expected.convertToFormat(QImage::Format_ARGB32);
    std::printf("%s %s %dx%d\n", same ? "same" : "differs", format.constData(), got.width(),
                got.height());
    return same ? 0 : 1;
}
