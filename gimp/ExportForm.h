#pragma once
// What the export dialog shows and what a person leaves in it, apart from GTK: the choices it
// offers, the values it starts from and the procedure's choices it turns into. The SRB values
// and size are passed on only when their text was edited, so that values a text cannot carry
// exactly (a NaN's payload) or that are out of the editor's range go out bit for bit.

#include <array>
#include <optional>
#include <span>
#include <string>

#include "CSrb.h"
#include "ExportChoices.h"
#include "TextureShape.h"

namespace korvale::gimp {

// One entry of a drop-down: what it shows and the choice's text ("" like the original).
struct FormEntry {
    const char* label;
    const char* choice;
};

struct ExportForm {
    // The entries of each drop-down; the first of each is "like the original".
    [[nodiscard]] static std::span<const FormEntry> TypeEntries();
    [[nodiscard]] static std::span<const FormEntry> PaletteEntries();
    [[nodiscard]] static std::span<const FormEntry> FilterEntries();

    std::size_t type = 0;  // an index into TypeEntries()
    std::size_t palette = 0;
    std::size_t filter = 0;
    bool dither = false;
    bool levelsFromImage = false;
    int topWidth = 0;  // 0: like the original
    int topHeight = 0;
    std::array<std::string, CSrb::kHeaderValues> values;
    std::string metres;
};

// The form a dialog opens with for an image opened from a texture of shape (or a new one):
// every choice like the original, the values and size as the texture holds them.
[[nodiscard]] ExportForm FormFor(const std::optional<TextureShape>& shape);

// The procedure's choices for a form that opened as shown and was left as left. An entry index
// out of range counts as the first.
[[nodiscard]] ExportChoices ChoicesOf(const ExportForm& shown, const ExportForm& left);

}  // namespace korvale::gimp
