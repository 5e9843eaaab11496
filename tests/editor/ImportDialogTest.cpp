// The import dialog driven in-process: its preselected choices, the options its controls give,
// the preview (made on a thread of its own, the newest options winning) and a palette taken from
// a file through the scripted chooser.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "CImportDlg.h"
#include "EditorSettings.h"
#include "MemStream.h"
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

// Asks for the preview now and waits until it is shown.
bool Preview(CImportDlg& dialog) {
    dialog.RefreshPreview();
    return QTest::qWaitFor([&] { return !dialog.PreviewPending(); }, 30000);
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
    ASSERT_TRUE(Preview(dialog));
    EXPECT_EQ(Control<QLabel>(dialog, "previewText")->text(), "256 x 32, rgb565, 9 levels");
    EXPECT_EQ(Control<QLabel>(dialog, "preview")->pixmap().toImage().size(), QSize(256, 32));

    Pick(Control<QComboBox>(dialog, "topWidth"), "8");
    Pick(Control<QComboBox>(dialog, "topHeight"), "4");
    Control<QSpinBox>(dialog, "levels")->setValue(2);
    // Not yet: still changing. The old preview stays, greyed, until the new one is made.
    EXPECT_EQ(LabelText(dialog, "previewText"), "Computing preview\u2026");
    EXPECT_FALSE(Control<QLabel>(dialog, "preview")->isEnabled());
    EXPECT_EQ(Control<QLabel>(dialog, "preview")->pixmap().toImage().size(), QSize(256, 32));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return LabelText(dialog, "previewText") == "8 x 4, rgb565, 2 levels"; }));
    // Each texel a 32-pixel square, over the checkerboard.
    EXPECT_TRUE(Control<QLabel>(dialog, "preview")->isEnabled());
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
    ASSERT_TRUE(Preview(dialog));
    EXPECT_EQ(LabelText(dialog, "previewText"), "Cannot import: the picture is empty");
    EXPECT_TRUE(Control<QLabel>(dialog, "preview")->pixmap().toImage().isNull());
    EXPECT_FALSE(
        Control<QDialogButtonBox>(dialog, "buttons")->button(QDialogButtonBox::Ok)->isEnabled());
    CMip mip;
    std::string error;
    EXPECT_FALSE(dialog.Result(mip, error));
    EXPECT_EQ(error, "the picture is empty");
}

// Opaque, with many colours: large enough that an import takes a moment.
Image BigGradient(int side) {
    return Picture(side, side, [side](int x, int y) {
        return Rgba8{Byte(x * 255 / (side - 1)), Byte(y * 255 / (side - 1)), 90, 255};
    });
}

Bytes MipBytes(const CMip& mip) {
    test::MemStream stream;
    EXPECT_EQ(mip.Save(stream.Get()), 1);
    return stream.Written();
}

TEST(ImportDialog, RapidChangesEndWithTheNewestOptionsPreview) {
    // 512 x 512: rgb565 at 256 x 256 by default. Each step's preview, worked out by hand.
    struct Step {
        const char* control;
        const char* pick;  // an entry of the menu, or the level count
        const char* shows;
        int settleMs;  // events handled before the next step: some previews land, most do not
    };
    const Step steps[] = {
        {"topWidth", "128", "128 x 256, rgb565, 9 levels", 0},
        {"topHeight", "64", "128 x 64, rgb565, 8 levels", 5},
        {"type", "argb4444", "128 x 64, argb4444, 8 levels", 0},
        {"filter", "catmullrom", "128 x 64, argb4444, 8 levels", 20},
        {"levels", "3", "128 x 64, argb4444, 3 levels", 0},
        {"type", "pal4", "128 x 64, pal4, 3 levels", 1},
        {"topWidth", "32", "32 x 64, pal4, 3 levels", 0},
    };
    const Image picture = BigGradient(512);
    ScriptedServices services;
    CImportDlg dialog(picture, "big.png", services);
    QString expected = "256 x 256, rgb565, 9 levels";
    std::vector<QString> shown;
    QObject::connect(&dialog, &CImportDlg::PreviewShown, [&] {
        // Whatever lands must be the preview of the options the controls show at that moment.
        shown.push_back(LabelText(dialog, "previewText"));
        EXPECT_EQ(shown.back(), expected) << "preview " << shown.size();
    });
    for (const Step& step : steps) {
        if (std::string_view(step.control) == "levels") {
            Control<QSpinBox>(dialog, step.control)
                ->setValue(QString::fromLatin1(step.pick).toInt());
        } else {
            Pick(Control<QComboBox>(dialog, step.control), QString::fromLatin1(step.pick));
        }
        expected = QString::fromLatin1(step.shows);
        EXPECT_TRUE(dialog.PreviewPending());
        dialog.RefreshPreview();  // at once, as if each change had rested
        QTest::qWait(step.settleMs);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.PreviewPending(); }, 30000));
    ASSERT_FALSE(shown.empty());
    const std::size_t afterNewest = shown.size();
    QTest::qWait(300);  // anything older still on its way would land now
    EXPECT_EQ(shown.size(), afterNewest);
    EXPECT_EQ(LabelText(dialog, "previewText"), "32 x 64, pal4, 3 levels");
    // 32 x 64 enlarged 4 times to fit 256.
    EXPECT_EQ(Control<QLabel>(dialog, "preview")->pixmap().toImage().size(), QSize(128, 256));
}

TEST(ImportDialog, ClosingWhileThePreviewIsMadeIsClean) {
    struct Case {
        const char* name;
        bool deleteLater;  // closed by the user, or destroyed at once
        int sleepMs;       // before closing, without handling events: the result is on its way
    };
    const Case cases[] = {
        {"destroyed while the import runs", false, 0},
        {"rejected while the import runs", true, 0},
        {"destroyed with its result posted", false, 400},
        {"rejected with its result posted", true, 400},
    };
    const Image picture = BigGradient(1024);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServices services;
        int shown = 0;
        {
            auto dialog = std::make_unique<CImportDlg>(picture, "big.png", services);
            QObject::connect(dialog.get(), &CImportDlg::PreviewShown, [&shown] { ++shown; });
            dialog->show();
            Pick(Control<QComboBox>(*dialog, "filter"), "catmullrom");
            dialog->RefreshPreview();
            EXPECT_TRUE(dialog->PreviewPending());
            std::this_thread::sleep_for(std::chrono::milliseconds(c.sleepMs));
            if (c.deleteLater) {
                dialog->reject();
                dialog.release()->deleteLater();
            }
        }
        QTest::qWait(100);  // the deferred delete, and any report that was still queued
        EXPECT_EQ(shown, 0);
    }
}

TEST(ImportDialog, AcceptingGivesTheImportOfTheCurrentOptions) {
    // The options after every case's changes, written out: pal4, 64 x 32, the whole chain.
    ImportOptions current;
    current.type = 0;
    current.topWidth = 64;
    current.topHeight = 32;
    current.levels = 7;
    const Image picture = BigGradient(512);
    CMip direct;
    ASSERT_TRUE(ImportImage(picture, current, direct).Ok());
    const Bytes expected = MipBytes(direct);

    struct Case {
        const char* name;
        int previewAfter;  // changes made before a preview is asked for (3: after all of them)
        bool waitForIt;    // the preview asked for is shown before Import is pressed
    };
    const Case cases[] = {
        {"before any preview is asked for", 4, false},
        {"while the preview of these options is made", 3, false},
        {"once the preview of these options is shown", 3, true},
        {"while an older options' preview is made", 2, false},
        {"after an older options' preview was shown", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EditorSettings().clear();  // each case starts from the automatic choices
        ScriptedServices services;
        CImportDlg dialog(picture, "big.png", services);
        const std::function<void()> changes[] = {
            [&] { Pick(Control<QComboBox>(dialog, "type"), "pal4"); },
            [&] { Pick(Control<QComboBox>(dialog, "topWidth"), "64"); },
            [&] { Pick(Control<QComboBox>(dialog, "topHeight"), "32"); },
        };
        for (int i = 0; i < 3; ++i) {
            if (i == c.previewAfter) {
                dialog.RefreshPreview();
                if (c.waitForIt) {
                    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.PreviewPending(); }, 30000));
                }
            }
            changes[i]();
        }
        if (c.previewAfter == 3) {
            dialog.RefreshPreview();
            if (c.waitForIt) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.PreviewPending(); }, 30000));
                EXPECT_EQ(LabelText(dialog, "previewText"), "64 x 32, pal4, 7 levels");
            }
        }
        CMip mip;
        std::string error;
        ASSERT_TRUE(dialog.Result(mip, error)) << error;
        EXPECT_EQ(mip.FilledSlots(), (std::vector<int>{6, 5, 4, 3, 2, 1, 0}));
        EXPECT_EQ(MipBytes(mip), expected);
    }
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
