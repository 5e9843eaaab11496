// The import dialog driven in-process: its preselected choices, the options its controls give,
// the preview and a palette taken from a file through the scripted chooser.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "CImportDlg.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "ScriptedServices.h"
#include "WholeFile.h"
#include "WidgetProbe.h"

namespace korvale::test {
namespace {

std::uint8_t Byte(int v) {
    return static_cast<std::uint8_t>(v);
}

// Opaque, with more colours than a palette holds, for pictures 300 x 40.
Rgba8 Gradient(int x, int y) {
    return {Byte(x * 255 / 299), Byte(y * 6), 90, 255};
}

template <typename W>
W* Control(const QDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// As a user's pick from the list: the entry becomes current and the combo reports it.
void Pick(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    box->setCurrentIndex(index);
    emit box->activated(index);
}

TEST(ImportDialog, AutomaticTypeAndTopSizeArePreselected) {
    struct Case {
        Image picture;
        const char* type;
        const char* width;
        const char* height;
        int levels;
    };
    const Case cases[] = {
        {Picture(64, 64,
                 [](int x, int y) {
                     return Rgba8{Byte((x / 16 + y / 16 * 4) * 16), 0, 0, 255};
                 }),
         "pal4 (automatic)", "64", "64", 7},
        {Picture(64, 64,
                 [](int x, int y) {
                     return Rgba8{Byte(x * 4), 0, 0, Byte(y * 4)};
                 }),
         "argb4444 (automatic)", "64", "64", 7},
        {Picture(300, 40, Gradient), "rgb565 (automatic)", "256", "32", 9},
    };
    for (const Case& c : cases) {
        ScriptedServices services;
        CImportDlg dialog(c.picture, "picture.png", services);
        EXPECT_EQ(dialog.windowTitle(), "Import Image");
        EXPECT_EQ(Control<QComboBox>(dialog, "type")->currentText(), c.type);
        EXPECT_EQ(Control<QComboBox>(dialog, "topWidth")->currentText(), c.width);
        EXPECT_EQ(Control<QComboBox>(dialog, "topHeight")->currentText(), c.height);
        EXPECT_EQ(Control<QSpinBox>(dialog, "levels")->value(), c.levels);
        EXPECT_EQ(Control<QSpinBox>(dialog, "levels")->maximum(), c.levels);
        EXPECT_EQ(Control<QComboBox>(dialog, "filter")->currentText(), "area");
        EXPECT_EQ(Control<QComboBox>(dialog, "palette")->currentText(), "shared by the chain");
        EXPECT_FALSE(Control<QCheckBox>(dialog, "dither")->isChecked());
    }
}

TEST(ImportDialog, OptionsFollowEveryControl) {
    const Image picture = Picture(300, 40, Gradient);
    ScriptedServices services;
    CImportDlg dialog(picture, "picture.png", services);
    auto* palette = Control<QComboBox>(dialog, "palette");
    Pick(Control<QComboBox>(dialog, "type"), "pal4");
    EXPECT_TRUE(palette->isEnabled());
    Pick(palette, "one per level");
    Pick(Control<QComboBox>(dialog, "type"), "rgb565 (automatic)");
    EXPECT_FALSE(palette->isEnabled());
    Control<QCheckBox>(dialog, "dither")->setChecked(true);
    Pick(Control<QComboBox>(dialog, "topWidth"), "128");
    Pick(Control<QComboBox>(dialog, "topHeight"), "16");
    EXPECT_EQ(Control<QSpinBox>(dialog, "levels")->value(), 8);  // the whole chain still
    Control<QSpinBox>(dialog, "levels")->setValue(3);
    Pick(Control<QComboBox>(dialog, "filter"), "catmullrom");

    const ImportOptions options = dialog.Options();
    EXPECT_EQ(options.type, 3);
    EXPECT_EQ(options.palette, PaletteMode::kPerLevel);
    EXPECT_TRUE(options.dither);
    EXPECT_EQ(options.levels, 3);
    EXPECT_EQ(options.topWidth, 128);
    EXPECT_EQ(options.topHeight, 16);
    EXPECT_EQ(options.filter, Filter::kCatmullRom);
    EXPECT_EQ(Control<QLabel>(dialog, "levelsNote")->text(), "down to 32 x 4");
}

TEST(ImportDialog, PreviewFollowsTheOptionsOnceTheyRest) {
    const Image picture = Picture(300, 40, Gradient);
    ScriptedServices services;
    CImportDlg dialog(picture, "picture.png", services);
    dialog.RefreshPreview();
    EXPECT_EQ(Control<QLabel>(dialog, "previewText")->text(), "256 x 32, rgb565, 9 levels");
    EXPECT_EQ(Control<QLabel>(dialog, "preview")->pixmap().toImage().size(), QSize(256, 32));

    Pick(Control<QComboBox>(dialog, "topWidth"), "8");
    Pick(Control<QComboBox>(dialog, "topHeight"), "4");
    Control<QSpinBox>(dialog, "levels")->setValue(2);
    EXPECT_EQ(LabelText(dialog, "previewText"),
              "256 x 32, rgb565, 9 levels");  // not yet: still changing
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return LabelText(dialog, "previewText") == "8 x 4, rgb565, 2 levels"; }));
    // Each texel a 32-pixel square, over the checkerboard.
    const QImage shown = Control<QLabel>(dialog, "preview")->pixmap().toImage();
    EXPECT_EQ(shown.size(), QSize(256, 128));
    EXPECT_EQ(shown.pixel(0, 0), shown.pixel(31, 31));
    EXPECT_NE(shown.pixel(0, 0), shown.pixel(255, 0));

    CMip mip;
    std::string error;
    ASSERT_TRUE(dialog.Result(mip, error));
    EXPECT_EQ(mip.FilledSlots(), (std::vector<int>{3, 2}));
}

TEST(ImportDialog, AFailedImportShowsItsReasonAndCannotBeAccepted) {
    const Image empty;
    ScriptedServices services;
    CImportDlg dialog(empty, "empty.png", services);
    dialog.RefreshPreview();
    EXPECT_EQ(LabelText(dialog, "previewText"), "Cannot import: the picture is empty");
    EXPECT_TRUE(Control<QLabel>(dialog, "preview")->pixmap().toImage().isNull());
    EXPECT_FALSE(
        Control<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->isEnabled());
    CMip mip;
    std::string error;
    EXPECT_FALSE(dialog.Result(mip, error));
    EXPECT_EQ(error, "the picture is empty");
}

class ImportDialogPalette : public testing::Test {
  protected:
    QString Write(const char* name, const std::vector<std::uint8_t>& bytes) {
        const QString path = dir_.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(WriteFileBytes(path.toStdString(), bytes).Ok());
        return path;
    }

    QTemporaryDir dir_;
    const Image picture_ = Picture(300, 40, Gradient);
    ScriptedServices services_;
    CImportDlg dialog_{picture_, "picture.png", services_};
};

TEST_F(ImportDialogPalette, AGoodFileGivesThePalette) {
    const std::vector<Rgba8> colours = {{255, 0, 0, 255}, {0, 0, 255, 128}};
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodeIndexedPng(2, 1, std::vector<std::uint8_t>{0, 1}, colours, png).Ok());
    services_.answers.push_back(Write("two.png", png));
    Pick(Control<QComboBox>(dialog_, "type"), "pal4");
    Pick(Control<QComboBox>(dialog_, "palette"), "from a file...");

    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].filter, "Palettes (*.mip *.srb *.png)");
    EXPECT_TRUE(services_.messages.empty());
    EXPECT_EQ(dialog_.Options().palette, PaletteMode::kFromFile);
    EXPECT_EQ(dialog_.Options().givenPalette, colours);
    EXPECT_EQ(Control<QComboBox>(dialog_, "palette")->currentText(), "from two.png");
}

TEST_F(ImportDialogPalette, ABadFileIsNamedAndTheChainKeepsItsOwnPalette) {
    const QString path = Write("bad.mip", {'n', 'o', 'p', 'e'});
    services_.answers.push_back(path);
    Pick(Control<QComboBox>(dialog_, "type"), "pal4");
    Pick(Control<QComboBox>(dialog_, "palette"), "from a file...");

    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_TRUE(services_.messages[0].startsWith("No palette can be taken from '" + path +
                                                 "': is neither a PNG nor an SRB or MIP file.\n"));
    EXPECT_EQ(dialog_.Options().palette, PaletteMode::kShared);
    EXPECT_TRUE(dialog_.Options().givenPalette.empty());
    EXPECT_EQ(Control<QComboBox>(dialog_, "palette")->currentText(), "shared by the chain");
}

}  // namespace
}  // namespace korvale::test
