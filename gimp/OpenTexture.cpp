#include "OpenTexture.h"

#include <vector>

#include "CompanionSize.h"
#include "LayerPixels.h"
#include "LevelImage.h"
#include "TextureLoad.h"
#include "TextureShape.h"
#include "Thumbnail.h"

namespace korvale::gimp {

namespace {

// The size a record gets when its companion says none: the tool's default.
constexpr float kDefaultMetres = 1.0F;

// Whether every level is palettised with one and the same palette: the set then opens as an
// indexed image. GIMP's colour map has no alpha; the layers' alpha holds each pixel's entry alpha.
bool SharesOnePalette(const CMip& mip) {
    const std::vector<int> slots = mip.FilledSlots();
    for (const int k : slots) {
        if (!mip.levels[static_cast<std::size_t>(k)].Palettised() ||
            mip.LevelPalette(k) != mip.LevelPalette(slots.front())) {
            return false;
        }
    }
    return !slots.empty();
}

void KeepShape(gint32 image, const TextureShape& shape) {
    const std::vector<std::uint8_t> bytes = EncodeShape(shape);
    GimpParasite* parasite = gimp_parasite_new(kShapeParasite, GIMP_PARASITE_PERSISTENT,
                                               static_cast<guint32>(bytes.size()), bytes.data());
    gimp_image_attach_parasite(image, parasite);
    gimp_parasite_free(parasite);
}

Status Load(const std::string& path, CSrb& record, FileKind& kind) {
    Status loaded = LoadTextureFile(path, record, kind);
    if (loaded && record.mip.FilledSlots().empty()) {
        return Status::Failure("holds no level to show").In(path);
    }
    return loaded;
}

}  // namespace

gint32 OpenTexture(const std::string& path, bool topOnly, std::string& error, std::string& damage) {
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    if (const Status loaded = Load(path, record, kind); !loaded) {
        error = loaded.Text();
        return -1;
    }
    const CMip& mip = record.mip;
    if (!mip.loadReport.Clean()) {
        damage = mip.loadReport.Summary();
    }
    const std::vector<int> slots = mip.FilledSlots();
    const CBmap& top = mip.levels[static_cast<std::size_t>(slots.front())];
    const bool indexed = SharesOnePalette(mip);
    const gint32 image =
        gimp_image_new(top.Width(), top.Height(), indexed ? GIMP_INDEXED : GIMP_RGB);
    gimp_image_undo_disable(image);
    gimp_image_set_filename(image, path.c_str());
    if (indexed) {
        std::vector<std::uint8_t> map;
        for (const Rgba8& c : PaletteColours(mip.LevelPalette(slots.front()))) {
            map.insert(map.end(), c.begin(), c.begin() + 3);
        }
        gimp_image_set_colormap(image, map.data(), CCmap::kEntries);
    }
    int position = 0;
    for (const int k : slots) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        const Image picture = LevelToImage(level, mip.LevelPalette(k));
        if (picture.Empty()) {
            continue;  // a level of an unknown pixel type: its pixels were never read
        }
        const std::string name = std::to_string(level.Width()) + " x " +
                                 std::to_string(level.Height()) + " (slot " + std::to_string(k) +
                                 ")";
        const gint32 layer = gimp_layer_new(image, name.c_str(), level.Width(), level.Height(),
                                            indexed ? GIMP_INDEXEDA_IMAGE : GIMP_RGBA_IMAGE, 100.0,
                                            GIMP_LAYER_MODE_NORMAL);
        gimp_image_insert_layer(image, layer, -1, position++);
        WriteLayer(layer, picture, indexed);
        gimp_item_set_visible(layer, position == 1);
        if (topOnly) {
            break;
        }
    }
    const float metres = kind == FileKind::kSrb ? ReadCompanionSize(path).metres : kDefaultMetres;
    KeepShape(image, ShapeOf(record, kind, metres));
    gimp_image_undo_enable(image);
    return image;
}

gint32 OpenThumbnail(const std::string& path, int size, int& width, int& height,
                     std::string& error) {
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    Image thumbnail;
    Status made = Load(path, record, kind);
    if (made) {
        made = MakeThumbnail(record.mip, size, thumbnail);
    }
    if (!made) {
        error = made.Text();
        return -1;
    }
    const CBmap& top =
        record.mip.levels[static_cast<std::size_t>(record.mip.FilledSlots().front())];
    width = top.Width();
    height = top.Height();
    const gint32 image = gimp_image_new(thumbnail.width, thumbnail.height, GIMP_RGB);
    const gint32 layer = gimp_layer_new(image, "thumbnail", thumbnail.width, thumbnail.height,
                                        GIMP_RGBA_IMAGE, 100.0, GIMP_LAYER_MODE_NORMAL);
    gimp_image_insert_layer(image, layer, -1, 0);
    WriteLayer(layer, thumbnail, false);
    return image;
}

}  // namespace korvale::gimp
