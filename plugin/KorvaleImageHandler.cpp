#include "KorvaleImageHandler.h"

#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QVariant>

#include <cstdio>
#include <cstring>
#include <optional>

#include "ChunkStream.h"
#include "LevelImage.h"
#include "TextureFile.h"
#include "Trace.h"

namespace korvale {

namespace {

// More than any texture file holds; a larger device is not one of ours.
constexpr qint64 kMaxBytes = qint64{1} << 30;

// The tag a device starts with, read as the loaders read it (little-endian), or 0.
std::uint32_t TagAt(QIODevice* device) {
    const QByteArray head = device->peek(4);
    if (head.size() != 4) {
        return 0;
    }
    std::uint32_t tag = 0;
    for (int i = 3; i >= 0; --i) {
        tag = tag << 8 | static_cast<std::uint8_t>(head[i]);
    }
    return tag;
}

// The device's remaining bytes, or nothing when they are more than a texture file can be.
std::optional<QByteArray> ReadAll(QIODevice* device) {
    QByteArray bytes;
    for (;;) {
        const QByteArray block = device->read(64 * 1024);
        if (block.isEmpty()) {
            return bytes;
        }
        if (bytes.size() + block.size() > kMaxBytes) {
            return std::nullopt;
        }
        bytes.append(block);
    }
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
    const std::uint32_t tag = TagAt(device);
    return tag == tag::kMip || tag == tag::kSrb;
}

bool KorvaleImageHandler::canRead() const {
    if (tried_) {
        return current_ < static_cast<int>(slots_.size());
    }
    if (!StartsWithTag(device())) {
        return false;
    }
    setFormat(TagAt(device()) == tag::kMip ? "mip" : "srb");
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
    const std::optional<QByteArray> bytes = ReadAll(device());
    if (!bytes || bytes->size() < 4) {
        return false;
    }
    // The loaders' trace is noise in somebody else's application; it is dropped for this thread
    // only, so the host's own output is never touched.
    const TraceTo quiet(nullptr);
    TextureKind kind = TextureKind::kMip;
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                             static_cast<std::size_t>(bytes->size()));
    if (!LoadTexture(data, "", record_, kind)) {
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
