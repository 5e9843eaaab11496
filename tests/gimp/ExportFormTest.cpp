// The GIMP export dialog's form: what it opens with for a texture and which of the procedure's
// choices it gives for what a person left in it.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "ExportForm.h"

namespace korvale::gimp {
namespace {

// An SRB texture's shape with values a text does not all carry exactly: 0.1, 2.5, -0, a NaN
// with a payload, 100001 (beyond the editor's range) and 6; a companion of 2.7 m.
TextureShape SrbShape() {
    TextureShape shape;
    shape.srb = true;
    shape.values = {0x3dcccccdU, 0x40200000U, 0x80000000U, 0x7fc00001U, 0x47c35080U, 0x40c00000U};
    shape.metres = 0x402ccccdU;
    return shape;
}

TEST(ExportFormTest, OpensWithEveryChoiceLikeTheOriginalAndTheTexturesValues) {
    const ExportForm form = FormFor(SrbShape());
    EXPECT_EQ(form.type, 0U);
    EXPECT_EQ(form.palette, 0U);
    EXPECT_EQ(form.filter, 0U);
    EXPECT_FALSE(form.dither);
    EXPECT_FALSE(form.levelsFromImage);
    EXPECT_EQ(form.topWidth, 0);
    EXPECT_EQ(form.topHeight, 0);
    const std::array<std::string, 6> values = {"0.1", "2.5", "-0", "nan", "100001", "6"};
    EXPECT_EQ(form.values, values);
    EXPECT_EQ(form.metres, "2.7");
}

TEST(ExportFormTest, OpensWithNoValuesForAMipTextureOrANewImage) {
    TextureShape mip = SrbShape();
    mip.srb = false;
    for (const std::optional<TextureShape>& shape :
         {std::optional(mip), std::optional<TextureShape>()}) {
        const ExportForm form = FormFor(shape);
        EXPECT_EQ(form.values, (std::array<std::string, 6>{}));
        EXPECT_EQ(form.metres, "");
    }
}

TEST(ExportFormTest, EveryDropDownStartsWithLikeTheOriginal) {
    for (const auto entries :
         {ExportForm::TypeEntries(), ExportForm::PaletteEntries(), ExportForm::FilterEntries()}) {
        ASSERT_FALSE(entries.empty());
        EXPECT_STREQ(entries[0].label, "Like the original");
        EXPECT_STREQ(entries[0].choice, "");
    }
}

// What the person changes, and the choices that gives (every other choice empty or zero).
struct Edit {
    const char* what;
    std::function<void(ExportForm&)> change;
    std::function<void(ExportChoices&)> expected;
};

// gtest prints a parameter in the test's name; the edit's own name says it.
void PrintTo(const Edit& edit, std::ostream* out) {
    *out << edit.what;
}

class ExportFormEditTest : public testing::TestWithParam<Edit> {};

TEST_P(ExportFormEditTest, GivesTheChoicesOfWhatWasChanged) {
    const ExportForm shown = FormFor(SrbShape());
    ExportForm left = shown;
    GetParam().change(left);
    ExportChoices expected;
    GetParam().expected(expected);
    const ExportChoices choices = ChoicesOf(shown, left);
    EXPECT_EQ(choices.type, expected.type);
    EXPECT_EQ(choices.palette, expected.palette);
    EXPECT_EQ(choices.filter, expected.filter);
    EXPECT_EQ(choices.dither, expected.dither);
    EXPECT_EQ(choices.levelsFromImage, expected.levelsFromImage);
    EXPECT_EQ(choices.topWidth, expected.topWidth);
    EXPECT_EQ(choices.topHeight, expected.topHeight);
    EXPECT_EQ(choices.values, expected.values);
    EXPECT_EQ(choices.metres, expected.metres);
}

INSTANTIATE_TEST_SUITE_P(
    Edits, ExportFormEditTest,
    testing::Values(
        // Left as it opened: like the original, the values and size not passed on, so the NaN
        // and the value beyond the editor's range go out bit for bit.
        Edit{"Nothing", [](ExportForm&) {}, [](ExportChoices&) {}},
        Edit{"Type", [](ExportForm& f) { f.type = 3; },
             [](ExportChoices& c) { c.type = "argb1555"; }},
        Edit{"TypePal4", [](ExportForm& f) { f.type = 1; },
             [](ExportChoices& c) { c.type = "pal4"; }},
        Edit{"TypeOutOfRange", [](ExportForm& f) { f.type = 99; }, [](ExportChoices&) {}},
        Edit{"Palette", [](ExportForm& f) { f.palette = 2; },
             [](ExportChoices& c) { c.palette = "per-level"; }},
        Edit{"PaletteKept", [](ExportForm& f) { f.palette = 3; },
             [](ExportChoices& c) { c.palette = "keep"; }},
        Edit{"Filter", [](ExportForm& f) { f.filter = 4; },
             [](ExportChoices& c) { c.filter = "cubic"; }},
        Edit{"Dither", [](ExportForm& f) { f.dither = true; },
             [](ExportChoices& c) { c.dither = true; }},
        Edit{"LevelsFromImage", [](ExportForm& f) { f.levelsFromImage = true; },
             [](ExportChoices& c) { c.levelsFromImage = true; }},
        Edit{"TopSize",
             [](ExportForm& f) {
                 f.topWidth = 32;
                 f.topHeight = 16;
             },
             [](ExportChoices& c) {
                 c.topWidth = 32;
                 c.topHeight = 16;
             }},
        // Half a size is no size: the export stays like the original.
        Edit{"TopWidthOnly", [](ExportForm& f) { f.topWidth = 32; }, [](ExportChoices&) {}},
        // One value edited sends all six, the others as shown.
        Edit{"OneValue", [](ExportForm& f) { f.values[1] = "9"; },
             [](ExportChoices& c) { c.values = "0.1,9,-0,nan,100001,6"; }},
        Edit{"Metres", [](ExportForm& f) { f.metres = "3.5"; },
             [](ExportChoices& c) { c.metres = "3.5"; }},
        // An emptied value is passed on as it is, for the export to refuse.
        Edit{"EmptiedValue", [](ExportForm& f) { f.values[0] = ""; },
             [](ExportChoices& c) { c.values = ",2.5,-0,nan,100001,6"; }}),
    [](const testing::TestParamInfo<Edit>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace korvale::gimp
