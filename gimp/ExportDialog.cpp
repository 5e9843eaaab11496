#include "ExportDialog.h"

#include <libgimp/gimp.h>
#include <libgimp/gimpui.h>

#include <vector>

namespace korvale::gimp {

namespace {

constexpr const char* kSrbLabels[CSrb::kHeaderValues] = {
    "Value 1:", "Value 2:", "Value 3:", "Value 4:", "Value 5:", "Value 6:"};

// Adds a labelled widget as the next row of table.
void AddRow(GtkWidget* table, int& row, const char* label, GtkWidget* widget) {
    GtkWidget* text = gtk_label_new_with_mnemonic(label);
    gtk_misc_set_alignment(GTK_MISC(text), 0.0, 0.5);
    gtk_label_set_mnemonic_widget(GTK_LABEL(text), widget);
    gtk_table_attach(GTK_TABLE(table), text, 0, 1, row, row + 1, GTK_FILL, GTK_FILL, 0, 0);
    gtk_table_attach(GTK_TABLE(table), widget, 1, 2, row, row + 1,
                     static_cast<GtkAttachOptions>(GTK_EXPAND | GTK_FILL), GTK_FILL, 0, 0);
    ++row;
}

GtkWidget* Choice(std::span<const FormEntry> entries, std::size_t active) {
    GtkWidget* combo = gtk_combo_box_text_new();
    for (const FormEntry& entry : entries) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(combo), entry.label);
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), static_cast<gint>(active));
    return combo;
}

std::size_t Chosen(GtkWidget* combo) {
    const gint active = gtk_combo_box_get_active(GTK_COMBO_BOX(combo));
    return active < 0 ? 0 : static_cast<std::size_t>(active);
}

GtkWidget* Size(int value) {
    GtkWidget* spin = gtk_spin_button_new_with_range(0, 4096, 1);
    gtk_spin_button_set_value(GTK_SPIN_BUTTON(spin), value);
    return spin;
}

GtkWidget* Text(const std::string& value) {
    GtkWidget* entry = gtk_entry_new();
    gtk_entry_set_text(GTK_ENTRY(entry), value.c_str());
    return entry;
}

}  // namespace

bool RunExportDialog(const char* formatName, bool asSrb, const ExportForm& shown,
                     ExportForm& left) {
    gimp_ui_init("korvale", FALSE);
    GtkWidget* dialog = gimp_export_dialog_new(formatName, "korvale", nullptr);
    GtkWidget* table = gtk_table_new(1, 2, FALSE);
    gtk_table_set_row_spacings(GTK_TABLE(table), 6);
    gtk_table_set_col_spacings(GTK_TABLE(table), 12);
    gtk_container_set_border_width(GTK_CONTAINER(table), 12);
    gtk_box_pack_start(GTK_BOX(gimp_export_dialog_get_content_area(dialog)), table, TRUE, TRUE, 0);

    int row = 0;
    GtkWidget* type = Choice(ExportForm::TypeEntries(), shown.type);
    AddRow(table, row, "Pixel _type:", type);
    GtkWidget* palette = Choice(ExportForm::PaletteEntries(), shown.palette);
    AddRow(table, row, "_Palette:", palette);
    GtkWidget* dither = gtk_check_button_new_with_mnemonic("_Dither (error diffusion)");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(dither), shown.dither);
    AddRow(table, row, "", dither);
    GtkWidget* fromImage =
        gtk_check_button_new_with_mnemonic("Make every _level from the image, not from layers");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(fromImage), shown.levelsFromImage);
    AddRow(table, row, "", fromImage);
    GtkWidget* filter = Choice(ExportForm::FilterEntries(), shown.filter);
    AddRow(table, row, "_Filter:", filter);
    GtkWidget* width = Size(shown.topWidth);
    AddRow(table, row, "Top level _width (0: like the original):", width);
    GtkWidget* height = Size(shown.topHeight);
    AddRow(table, row, "Top level _height:", height);
    std::vector<GtkWidget*> values;
    GtkWidget* metres = nullptr;
    if (asSrb) {
        for (std::size_t i = 0; i < shown.values.size(); ++i) {
            values.push_back(Text(shown.values[i]));
            AddRow(table, row, kSrbLabels[i], values.back());
        }
        metres = Text(shown.metres);
        AddRow(table, row, "_Size (metres):", metres);
    }
    gtk_widget_show_all(dialog);

    const bool exported = gimp_dialog_run(GIMP_DIALOG(dialog)) == GTK_RESPONSE_OK;
    left = shown;
    if (exported) {
        left.type = Chosen(type);
        left.palette = Chosen(palette);
        left.filter = Chosen(filter);
        left.dither = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(dither)) != FALSE;
        left.levelsFromImage = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(fromImage)) != FALSE;
        left.topWidth = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(width));
        left.topHeight = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(height));
        for (std::size_t i = 0; i < values.size(); ++i) {
            left.values[i] = gtk_entry_get_text(GTK_ENTRY(values[i]));
        }
        if (metres != nullptr) {
            left.metres = gtk_entry_get_text(GTK_ENTRY(metres));
        }
    }
    gtk_widget_destroy(dialog);
    return exported;
}

}  // namespace korvale::gimp
