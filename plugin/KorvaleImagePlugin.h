#pragma once
// Korvale's Qt image-format plugin: any Qt 6 or Qt 5 application opens MIP and SRB files through
// QImageReader, each level of detail an image of its own, largest first.

#include <QImageIOPlugin>

namespace korvale {

class KorvaleImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "korvale.json")

  public:
    // Reading only: for the keys "mip" and "srb", or for a device whose first bytes are a MIP
    // or SRB tag whatever the file is called.
    [[nodiscard]] Capabilities capabilities(QIODevice* device,
                                            const QByteArray& format) const override;
    [[nodiscard]] QImageIOHandler* create(QIODevice* device,
                                          const QByteArray& format = QByteArray()) const override;
};

}  // namespace korvale
