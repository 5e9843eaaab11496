#include "ExportForm.h"

#include <bit>

#include "ValueText.h"

namespace korvale::gimp {

namespace {

constexpr std::array kTypes = {
    FormEntry{"Like the original", ""}, FormEntry{"Palettised, 16 colours (pal4)", "pal4"},
    FormEntry{"RGB 565", "rgb565"},     FormEntry{"ARGB 1555", "argb1555"},
    FormEntry{"ARGB 4444", "argb4444"},
};
constexpr std::array kPalettes = {
    FormEntry{"Like the original", ""},
    FormEntry{"One shared by every level", "shared"},
    FormEntry{"One per level", "per-level"},
    FormEntry{"Kept from the original", "keep"},
};
constexpr std::array kFilters = {
    FormEntry{"Like the original", ""},   FormEntry{"Area average", "area"},
    FormEntry{"Mitchell", "mitchell"},    FormEntry{"Catmull-Rom", "catmullrom"},
    FormEntry{"Cubic B-spline", "cubic"},
};

std::string ChoiceAt(std::span<const FormEntry> entries, std::size_t index) {
    return index < entries.size() ? entries[index].choice : "";
}

}  // namespace

std::span<const FormEntry> ExportForm::TypeEntries() {
    return kTypes;
}
std::span<const FormEntry> ExportForm::PaletteEntries() {
    return kPalettes;
}
std::span<const FormEntry> ExportForm::FilterEntries() {
    return kFilters;
}

ExportForm FormFor(const std::optional<TextureShape>& shape) {
    ExportForm form;
    if (shape && shape->srb) {
        for (std::size_t i = 0; i < form.values.size(); ++i) {
            form.values[i] = FloatToText(std::bit_cast<float>(shape->values[i]));
        }
        form.metres = FloatToText(std::bit_cast<float>(shape->metres));
    }
    return form;
}

ExportChoices ChoicesOf(const ExportForm& shown, const ExportForm& left) {
    ExportChoices choices;
    choices.type = ChoiceAt(ExportForm::TypeEntries(), left.type);
    choices.palette = ChoiceAt(ExportForm::PaletteEntries(), left.palette);
    choices.filter = ChoiceAt(ExportForm::FilterEntries(), left.filter);
    choices.dither = left.dither;
    choices.levelsFromImage = left.levelsFromImage;
    // A size needs both sides; half of one is no choice.
    if (left.topWidth > 0 && left.topHeight > 0) {
        choices.topWidth = left.topWidth;
        choices.topHeight = left.topHeight;
    }
    // All six go together, so one edited value sends the other five as they are shown.
    if (left.values != shown.values) {
        for (std::size_t i = 0; i < left.values.size(); ++i) {
            choices.values += (i == 0 ? "" : ",") + left.values[i];
        }
    }
    if (left.metres != shown.metres) {
        choices.metres = left.metres;
    }
    return choices;
}

}  // namespace korvale::gimp
