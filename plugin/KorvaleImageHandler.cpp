#include "KorvaleImageHandler.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QVariant>

#include <cstdio>
#include <cstring>
#include <vector>

#include "FileKind.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale {

namespace {

// What the device's first bytes say it is, without moving it on.
FileKind KindAt(QIODevice* device) {
    const QByteArray head = device->peek(static_cast<qint64>(RecognitionBytes()));
    return RecogniseFile(std::span(reinterpret_cast<const std::uint8_t*>(head.constData()),
                                   static_cast<std::size_t>(head.size())))
        .kind;
}

QImage ToQImage(const Image& picture) {
    QImage image(picture.width, picture.height, QImage::Format_RGBA8888);
    const auto rowBytes = static_cast<std::size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(image.scanLine(y),
                    picture.pixels.data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    }
    return image;
}

}  // namespace

KorvaleImageHandler::KorvaleImageHandler() = default;
KorvaleImageHandler::~KorvaleImageHandler() = default;

bool KorvaleImageHandler::StartsWithTag(QIODevice* device) {
    if (device == nullptr) {
        return false;
    }
    const FileKind kind = KindAt(device);
    return kind == FileKind::kMip || kind == FileKind::kSrb;
}

bool KorvaleImageHandler::canRead() const {
    if (tried_) {
        return current_ < static_cast<int>(slots_.size());
    }
    if (!StartsWithTag(device())) {
        return false;
    }
    setFormat(QByteArray(SignatureOf(KindAt(device()))->extension.data(),
                         static_cast<qsizetype>(SignatureOf(KindAt(device()))->extension.size())));
    return true;
}

bool KorvaleImageHandler::Load() const {
    if (tried_) {
        return !slots_.empty();
    }
    tried_ = true;
    if (device() == nullptr) {
        return false;
    }
    QIODevice* from = device();
    const ByteSource source = [from](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        const qint64 got =
            from->read(reinterpret_cast<char*>(buffer.data()), static_cast<qint64>(buffer.size()));
        return got < 0 ? -1 : static_cast<std::ptrdiff_t>(got);
    };
    std::vector<std::uint8_t> bytes;
    if (!ReadInputFrom(source, InputKind::kTexture, std::string(), bytes)) {
        return false;
    }
    // The loaders' trace is noise in somebody else's application; it is dropped for this thread
    // only, so the host's own output is never touched.
    const TraceTo quiet(nullptr);
    FileKind kind = FileKind::kUnknown;
    if (!LoadTexture(bytes, "", record_, kind)) {
        return false;
    }
    slots_ = record_.mip.FilledSlots();
    return !slots_.empty();
}

bool KorvaleImageHandler::read(QImage* image) {
    if (!Load() || current_ >= static_cast<int>(slots_.size())) {
        return false;
    }
    const auto slot = static_cast<std::size_t>(slots_[static_cast<std::size_t>(current_)]);
    const CMip& mip = record_.mip;
    *image = ToQImage(LevelToImage(mip.levels[slot], mip.LevelPalette(static_cast<int>(slot))));
    ++current_;
    return !image->isNull();
}

int KorvaleImageHandler::imageCount() const {
    return Load() ? static_cast<int>(slots_.size()) : 0;
}

bool KorvaleImageHandler::jumpToImage(int imageNumber) {
    if (!Load() || imageNumber < 0 || imageNumber >= static_cast<int>(slots_.size())) {
        return false;
    }
    current_ = imageNumber;
    return true;
}

bool KorvaleImageHandler::jumpToNextImage() {
    return jumpToImage(current_ + 1);
}

int KorvaleImageHandler::currentImageNumber() const {
    return current_;
}

bool KorvaleImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == ImageFormat;
}

QVariant KorvaleImageHandler::option(ImageOption option) const {
    if (option == ImageFormat) {
        return QImage::Format_RGBA8888;
    }
    if (option != Size || !Load() || current_ >= static_cast<int>(slots_.size())) {
        return {};
    }
    const CBmap& level =
        record_.mip.levels[static_cast<std::size_t>(slots_[static_cast<std::size_t>(current_)])];
    return QSize(level.Width(), level.Height());
}

}  // namespace korvale
