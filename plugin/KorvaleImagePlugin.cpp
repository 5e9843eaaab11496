#include "KorvaleImagePlugin.h"

#include <memory>

#include "KorvaleImageHandler.h"

namespace korvale {

QImageIOPlugin::Capabilities KorvaleImagePlugin::capabilities(QIODevice* device,
                                                              const QByteArray& format) const {
    if (format == "mip" || format == "srb") {
        return CanRead;
    }
    if (!format.isEmpty() || device == nullptr || !device->isReadable()) {
        return {};
    }
    return KorvaleImageHandler::StartsWithTag(device) ? Capabilities(CanRead) : Capabilities();
}

QImageIOHandler* KorvaleImagePlugin::create(QIODevice* device, const QByteArray& format) const {
    // Qt takes ownership of the handler.
    auto* handler = std::make_unique<KorvaleImageHandler>().release();
    handler->setDevice(device);
    handler->setFormat(format);
    return handler;
}

}  // namespace korvale
