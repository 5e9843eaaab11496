#include "LayerPixels.h"

#include <gegl.h>

#include <algorithm>

#include "LevelEdit.h"

namespace korvale::gimp {

namespace {

GeglRectangle Whole(int width, int height) {
    GeglRectangle rect;
    rect.x = 0;
    rect.y = 0;
    rect.width = width;
    rect.height = height;
    return rect;
}

const Babl* Rgba() {
    return babl_format("R'G'B'A u8");
}

// The indices as the buffer holds them (an index byte, then alpha when it has alpha), or null
// when it holds none. gimp_drawable_get_format makes a new palette format on every call, so
// reading or writing with one is a conversion between two palettes: through colours, to the
// nearest entry of the other, which loses the indices (and tells apart no entries alike in
// colour but not in alpha). The buffer's own format is a plain copy.
const Babl* IndexFormat(GeglBuffer* buffer, bool alpha) {
    const Babl* format = gegl_buffer_get_format(buffer);
    const bool indices = babl_format_is_palette(format) != 0 &&
                         babl_format_get_bytes_per_pixel(format) == (alpha ? 2 : 1);
    return indices ? format : nullptr;
}

}  // namespace

std::vector<std::uint8_t> ColourMap(gint32 image) {
    gint count = 0;
    guchar* map = gimp_image_get_colormap(image, &count);
    std::vector<std::uint8_t> colours;
    if (map != nullptr) {
        // libgimp's gimp_image_get_colormap counts colours (three bytes each), unlike the
        // procedure it calls, which counts bytes: a map of a third of its length made every
        // pixel past entry 5 black, so no level kept its indices.
        colours.assign(map, map + 3 * static_cast<std::size_t>(std::max(count, 0)));
        g_free(map);
    }
    return colours;
}

Image ReadLayer(gint32 drawable, const std::vector<std::uint8_t>& colourMap, const CCmap* palette) {
    const int width = gimp_drawable_width(drawable);
    const int height = gimp_drawable_height(drawable);
    const std::size_t count = PixelCountOf(width, height);
    GeglBuffer* buffer = gimp_drawable_get_buffer(drawable);
    const GeglRectangle rect = Whole(width, height);
    Image picture;
    const bool alpha = gimp_drawable_has_alpha(drawable) != 0;
    const Babl* indexFormat = palette != nullptr && gimp_drawable_is_indexed(drawable) != 0
                                  ? IndexFormat(buffer, alpha)
                                  : nullptr;
    if (indexFormat != nullptr) {
        std::vector<std::uint8_t> bytes(count * (alpha ? 2 : 1));
        gegl_buffer_get(buffer, &rect, 1.0, indexFormat, bytes.data(), GEGL_AUTO_ROWSTRIDE,
                        GEGL_ABYSS_NONE);
        std::vector<std::uint8_t> indices(count);
        std::vector<std::uint8_t> alphas(alpha ? count : 0);
        for (std::size_t i = 0; i < count; ++i) {
            indices[i] = bytes[alpha ? 2 * i : i];
            if (alpha) {
                alphas[i] = bytes[2 * i + 1];
            }
        }
        picture = PictureOfIndexed(width, height, indices, alphas, colourMap, *palette);
    } else {
        picture.width = width;
        picture.height = height;
        picture.pixels.resize(4 * count);
        gegl_buffer_get(buffer, &rect, 1.0, Rgba(), picture.pixels.data(), GEGL_AUTO_ROWSTRIDE,
                        GEGL_ABYSS_NONE);
    }
    g_object_unref(buffer);
    return picture;
}

void WriteLayer(gint32 layer, const Image& picture, bool indexed) {
    GeglBuffer* buffer = gimp_drawable_get_buffer(layer);
    const GeglRectangle rect = Whole(picture.width, picture.height);
    const Babl* indexFormat = indexed ? IndexFormat(buffer, true) : nullptr;
    if (indexFormat != nullptr) {
        const std::size_t count = picture.PixelCount();
        std::vector<std::uint8_t> bytes(2 * count);
        for (std::size_t i = 0; i < count; ++i) {
            bytes[2 * i] = picture.indices[i];
            bytes[2 * i + 1] = picture.pixels[4 * i + 3];
        }
        gegl_buffer_set(buffer, &rect, 0, indexFormat, bytes.data(), GEGL_AUTO_ROWSTRIDE);
    } else {
        gegl_buffer_set(buffer, &rect, 0, Rgba(), picture.pixels.data(), GEGL_AUTO_ROWSTRIDE);
    }
    g_object_unref(buffer);
}

}  // namespace korvale::gimp
