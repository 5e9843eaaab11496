#include "ExportTexture.h"

#include <bit>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

#include "ImportJob.h"
#include "LayerPixels.h"
#include "OpenTexture.h"
#include "Saving.h"
#include "TextureShape.h"
#include "ValueText.h"

namespace korvale::gimp {

namespace {

std::vector<gint32> Layers(gint32 image) {
    gint count = 0;
    gint* ids = gimp_image_get_layers(image, &count);
    std::vector<gint32> layers(ids, ids + count);
    g_free(ids);
    return layers;
}

// What the image shows at its own size: its visible layers of that size merged. Layers of
// other sizes are levels of their own and stay out of it, shown or not.
Status TopPicture(gint32 image, const CCmap* palette, Image& picture) {
    const gint32 copy = gimp_image_duplicate(image);
    const int width = gimp_image_width(copy);
    const int height = gimp_image_height(copy);
    bool any = false;
    for (const gint32 layer : Layers(copy)) {
        const bool level =
            gimp_drawable_width(layer) != width || gimp_drawable_height(layer) != height;
        if (level) {
            gimp_item_set_visible(layer, FALSE);
        }
        any = any || (!level && gimp_item_get_visible(layer));
    }
    if (!any) {
        gimp_image_delete(copy);
        return Status::Failure("the image shows no layer of its own size (" +
                               std::to_string(width) + " x " + std::to_string(height) + ")");
    }
    const gint32 merged = gimp_image_merge_visible_layers(copy, GIMP_CLIP_TO_IMAGE);
    picture = ReadLayer(merged, ColourMap(copy), palette);
    gimp_image_delete(copy);
    return {};
}

// The first layer of each size other than the image's, by size.
std::map<std::pair<int, int>, gint32> LevelLayers(gint32 image) {
    std::map<std::pair<int, int>, gint32> levels;
    const std::pair<int, int> own{gimp_image_width(image), gimp_image_height(image)};
    for (const gint32 layer : Layers(image)) {
        const std::pair<int, int> size{gimp_drawable_width(layer), gimp_drawable_height(layer)};
        if (size != own) {
            levels.emplace(size, layer);
        }
    }
    return levels;
}

// The six values and the size the choices give, over what the record holds.
Status TakeValues(const ExportChoices& choices, CSrb& record) {
    if (!choices.values.empty()) {
        std::istringstream in(choices.values);
        std::string item;
        std::size_t i = 0;
        while (std::getline(in, item, ',')) {
            const std::optional<float> value = TextToFloat(item);
            if (!value || i == record.header.size()) {
                return Status::Failure("the values must be six numbers separated by commas, not '" +
                                       choices.values + "'");
            }
            record.header[i++] = *value;
        }
        if (i != record.header.size()) {
            return Status::Failure("the values must be six numbers separated by commas, not '" +
                                   choices.values + "'");
        }
    }
    if (!choices.metres.empty()) {
        const std::optional<float> metres = TextToFloat(choices.metres);
        if (!metres) {
            return Status::Failure("the size in metres must be a number, not '" + choices.metres +
                                   "'");
        }
        record.sizeInMetres = *metres;
    }
    return {};
}

// The import's choices into job, over what an original gave it.
Status TakeChoices(const ExportChoices& choices, ImportJob& job) {
    LoadReport report;
    if (Status taken = TakeChoiceTexts(
            ImportChoiceTexts{choices.type, choices.palette, choices.filter}, job, report);
        !taken) {
        return taken;
    }
    if (!report.Clean()) {
        g_message("%s", report.Summary().c_str());
    }
    job.options.dither = choices.dither;
    if (choices.topWidth != 0) {
        job.options.topWidth = choices.topWidth;
        job.options.topHeight = choices.topHeight;
    }
    return {};
}

// Like the original: every level from its layer or from the level above.
Status Rebuild(gint32 image, const TextureShape& shape, CSrb& record, std::string& note) {
    std::map<int, Image> pictures;
    const auto levels = LevelLayers(image);
    const std::vector<std::uint8_t> map = ColourMap(image);
    bool top = true;
    for (int k = CMip::kSlots - 1; k >= 0; --k) {
        const TextureShape::Slot& slot = shape.slots[static_cast<std::size_t>(k)];
        if (slot.type == CBmap::kEmptyType) {
            continue;
        }
        const CCmap* palette = &shape.levelPalettes[static_cast<std::size_t>(k)];
        if (top) {
            top = false;
            if (Status shown = TopPicture(image, palette, pictures[k]); !shown) {
                return shown;
            }
            continue;
        }
        if (const auto found = levels.find({slot.width, slot.height}); found != levels.end()) {
            pictures[k] = ReadLayer(found->second, map, palette);
        }
    }
    std::vector<int> generated;
    if (Status rebuilt = RebuildLike(shape, pictures, record, generated); !rebuilt) {
        return rebuilt;
    }
    if (!generated.empty()) {
        note = std::to_string(generated.size()) +
               (generated.size() == 1 ? " level had no layer of its size and was"
                                      : " levels had no layer of their size and were") +
               " made from the level above";
    }
    return {};
}

// With the import's choices: the image's top picture, and the other layers as hand-made levels.
Status Import(gint32 image, const std::optional<TextureShape>& shape, const ExportChoices& choices,
              CSrb& record, std::string& note) {
    ImportJob job;
    if (shape) {
        auto original = std::make_shared<CSrb>();
        if (Status shaped = ShapeRecord(*shape, *original); !shaped) {
            return shaped;
        }
        LikeChoices like;
        like.type = !choices.type.empty();
        if (!choices.palette.empty()) {
            like.palette = choices.palette;
        }
        if (Status taken = ImportLikeRecord(original, shape->srb ? FileKind::kSrb : FileKind::kMip,
                                            std::bit_cast<float>(shape->metres), like, job);
            !taken) {
            return taken;
        }
        // The original kept here has no pixels of its own to keep.
        job.original.reset();
    }
    if (Status taken = TakeChoices(choices, job); !taken) {
        return taken;
    }
    Image picture;
    if (Status shown = TopPicture(image, nullptr, picture); !shown) {
        return shown;
    }
    std::vector<Image> handMade;
    if (!choices.levelsFromImage) {
        for (const auto& [size, layer] : LevelLayers(image)) {
            handMade.push_back(ReadLayer(layer, {}, nullptr));
        }
    }
    return ImportPictures(picture, std::move(handMade), job, record, note);
}

}  // namespace

std::optional<TextureShape> KeptShape(gint32 image) {
    GimpParasite* parasite = gimp_image_get_parasite(image, kShapeParasite);
    if (parasite == nullptr) {
        return std::nullopt;
    }
    const auto* data = static_cast<const std::uint8_t*>(gimp_parasite_data(parasite));
    TextureShape shape;
    const Status decoded = DecodeShape(
        std::span(data, static_cast<std::size_t>(gimp_parasite_data_size(parasite))), shape);
    gimp_parasite_free(parasite);
    if (!decoded) {
        g_message("%s; the image goes out as a new texture", decoded.Reason().c_str());
        return std::nullopt;
    }
    return shape;
}

Status ExportTexture(gint32 image, const std::string& path, bool asSrb,
                     const ExportChoices& choices, std::string& note) {
    const std::optional<TextureShape> shape = KeptShape(image);
    CSrb record;
    Status made = shape && choices.LikeOriginal() ? Rebuild(image, *shape, record, note)
                                                  : Import(image, shape, choices, record, note);
    if (made) {
        made = TakeValues(choices, record);
    }
    if (!made) {
        return std::move(made).In(path);
    }
    return SaveRecord(record, path, asSrb);
}

}  // namespace korvale::gimp
