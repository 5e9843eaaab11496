#include "TextureIncrement.h"

#include <cstring>
#include <memory>

#include "Image.h"
#include "Inputs.h"
#include "LargestLevel.h"

namespace korvale {

namespace {

struct Unref {
    void operator()(GdkPixbuf* pixbuf) const { g_object_unref(pixbuf); }
};

}  // namespace

TextureIncrement::TextureIncrement(GdkPixbufModuleSizeFunc size,
                                   GdkPixbufModulePreparedFunc prepared,
                                   GdkPixbufModuleUpdatedFunc updated, gpointer userData)
    : size_(size), prepared_(prepared), updated_(updated), userData_(userData) {}

Status TextureIncrement::Append(std::span<const std::uint8_t> more) {
    if (refused_) {
        return Status::Failure("was refused already");
    }
    Status kept = AppendInput(more, InputKind::kTexture, bytes_);
    refused_ = !kept.Ok();
    return kept;
}

Status TextureIncrement::Finish() {
    if (refused_) {
        return Status::Failure("was refused already");
    }
    Image picture;
    if (Status decoded = DecodeLargestLevel(bytes_, picture); !decoded) {
        return decoded;
    }
    bytes_ = {};
    int width = picture.width;
    int height = picture.height;
    if (size_ != nullptr) {
        // The size may be changed to ask for a scaled picture; gdk-pixbuf scales what a loader
        // gives when the loader does not. No picture at all is asked for by a size of 0.
        size_(&width, &height, userData_);
        if (width <= 0 || height <= 0) {
            return {};
        }
    }
    const std::unique_ptr<GdkPixbuf, Unref> pixbuf(
        gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, picture.width, picture.height));
    if (!pixbuf) {
        return Status::Failure("has a level too large to hold in memory");
    }
    // Rows are rowstride apart in the pixbuf and packed in the picture; both are RGBA bytes.
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf.get());
    const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf.get()));
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * 4;
    for (std::size_t y = 0; y < static_cast<std::size_t>(picture.height); ++y) {
        std::memcpy(rows + y * stride, picture.pixels.data() + y * rowBytes, rowBytes);
    }
    if (prepared_ != nullptr) {
        prepared_(pixbuf.get(), nullptr, userData_);
    }
    if (updated_ != nullptr) {
        updated_(pixbuf.get(), 0, 0, picture.width, picture.height, userData_);
    }
    return {};
}

}  // namespace korvale
