// The main dialog driven in-process: choosers and message boxes are replaced by a script.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <bit>

#include "AppIcon.h"
#include "CAboutDlg.h"
#include "CKorvaleDlg.h"
#include "CTextureDocument.h"
#include "CTextureViewer.h"
#include "DialogUnits.h"
#include "LevelImage.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "WholeFile.h"
#include "WidgetProbe.h"

namespace korvale::test {
namespace {

class EditorTest : public testing::Test {
  protected:
    EditorTest() : dialog_(document_, services_) {}

    std::string Path(const std::string& name) const { return dir_.Path(name); }
    void Answer(const std::string& path) {
        services_.answers.emplace_back(QString::fromStdString(path));
    }
    void SetField(int i, const QString& text) { dialog_.Field(i)->setText(text); }
    QString FieldText(int i) const { return dialog_.Field(i)->text(); }

    // An SRB file with the given header values and a small texture.
    void WriteSrb(const std::string& name, std::array<float, 6> header, float metres = 1.0F) {
        CSrb srb;
        srb.header = header;
        srb.sizeInMetres = metres;
        ASSERT_TRUE(MakeMipSet(srb.mip, 3, 3, 2));
        ASSERT_GT(srb.Save(Path(name)), 0);
    }
    // A MIP file of argb1555 levels from 2^power pixels down to 1.
    void WriteMip(const std::string& name, int power) {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, 4, 0, power));
        ASSERT_EQ(mip.Save(Path(name)), 1);
    }

    // A PNG picture: the left half one colour, the right half another.
    void WritePicture(const std::string& name, int width, int height, Rgba8 left, Rgba8 right) {
        const Image picture =
            Picture(width, height, [&](int x, int) { return x < width / 2 ? left : right; });
        std::vector<std::uint8_t> png;
        ASSERT_TRUE(EncodePng(picture, true, png).Ok());
        ASSERT_TRUE(WriteFileBytes(Path(name), png).Ok());
    }
    QString Quoted(const char* text, const std::string& name) const {
        return QString(text) + QLatin1Char('\'') + QString::fromStdString(Path(name)) +
               QLatin1Char('\'');
    }

    ScratchDir dir_;
    CTextureDocument document_;
    CSrb& record_ = document_.RecordForWriting();
    ScriptedServices services_;
    CKorvaleDlg dialog_;
};

constexpr Rgba8 kRed = {255, 0, 0, 255};
constexpr Rgba8 kBlue = {0, 0, 255, 255};

Rgba8 PixelAt(const Image& image, int x, int y) {
    const auto at = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                         static_cast<std::size_t>(x));
    return {image.pixels[at], image.pixels[at + 1], image.pixels[at + 2], image.pixels[at + 3]};
}

// Sends a drag of urls to target and drops it there when the drag is taken. True when both the
// drag and the drop were taken.
bool DragAndDrop(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

TEST_F(EditorTest, LayoutFollowsTheDialogTemplate) {
    EXPECT_EQ(dialog_.windowTitle(), "Korvale");
    const DialogUnits units(dialog_.font());
    EXPECT_EQ(dialog_.size(), QSize(units.X(307), units.Y(126)));
    EXPECT_EQ(dialog_.minimumSize(), dialog_.maximumSize());
    EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog_.windowFlags() & Qt::WindowMaximizeButtonHint);

    const auto children = dialog_.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    int controls = 0;
    for (QWidget* w : children) {
        controls += qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                    qobject_cast<QLabel*>(w);
    }
    EXPECT_EQ(controls, 23);  // the template's 21 and two warning marks, hidden until damage
    EXPECT_FALSE(dialog_.MipWarning()->isVisibleTo(&dialog_));
    EXPECT_FALSE(dialog_.SrbWarning()->isVisibleTo(&dialog_));

    auto* quit = dialog_.findChild<QPushButton*>("control1");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), "Quit");
    EXPECT_TRUE(quit->isDefault());
    EXPECT_EQ(quit->geometry(), units.Rect(245, 100, 50, 14));
    EXPECT_EQ(dialog_.findChild<QLineEdit*>("control1004")->geometry(),
              units.Rect(190, 50, 105, 12));
    EXPECT_EQ(dialog_.findChild<QPushButton*>("control2")->text(), "&Load SRB...");
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no SRB Loaded");
    EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip Loaded");

    // Tab order: Quit, the three top buttons, the seven edit boxes, Save MIP, back to Quit.
    const QStringList expected = {"control2",    "control3",    "control4",    "control1000",
                                  "control1001", "control1003", "control1004", "control1005",
                                  "control1006", "control1008", "control1010", "control1"};
    QWidget* w = quit;
    for (const QString& name : expected) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus) {
            w = w->nextInFocusChain();
        }
        EXPECT_EQ(w->objectName(), name);
    }

    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    EXPECT_EQ(QApplication::focusWidget(), quit);
    for (int i = 0; i < CKorvaleDlg::kFields; ++i) {
        EXPECT_EQ(FieldText(i), "0");
    }
}

TEST_F(EditorTest, LoadSrbFillsTheFieldsAndTakesTheSizeFromItsCompanion) {
    WriteSrb("tree.srb", {1.0F, 0.5F, 64.0F, 32.0F, 7.25F, 100000.0F}, 2.5F);
    SetField(6, "12");
    Answer(Path("tree.srb"));
    dialog_.OnLoadSrb();
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Choose SRB file to load");
    EXPECT_EQ(services_.requests[0].filter, "SRB Files (*.srb)");
    EXPECT_EQ(services_.requests[0].defaultSuffix, "srb");
    EXPECT_FALSE(services_.requests[0].save);
    EXPECT_EQ(StatusText(dialog_, kSrbLine),
              QString::fromStdString("Srb loaded: '" + Path("tree.srb") + "'"));
    const QStringList shown = {"1", "0.5", "64", "32", "7.25", "100000", "2.5"};
    for (int i = 0; i < CKorvaleDlg::kFields; ++i) {
        EXPECT_EQ(FieldText(i), shown[i]) << i;
    }
    EXPECT_TRUE(StatusTip(dialog_, kSrbLine)
                    .endsWith(Quoted("Size (Metres) 2.5: from the companion ", "tree.yrq")))
        << StatusTip(dialog_, kSrbLine).toStdString();
    EXPECT_TRUE(record_.mip.levels[2].HasData());

    // Saved again, the companion keeps 2.5.
    Answer(Path("again.srb"));
    dialog_.OnSaveSrb();
    const Bytes yrq = ReadFile(Path("again.yrq"));
    ASSERT_EQ(yrq.size(), 116U);  // "again": n = 7, fill 1
    EXPECT_EQ(Bytes(yrq.begin() + 92, yrq.begin() + 96), (Bytes{0x00, 0x00, 0x20, 0x40}));

    // Without a companion of its own (one copied beside a copy names the other object) the
    // size is 1, and the tooltip says why.
    std::filesystem::copy_file(Path("tree.srb"), Path("copy.srb"));
    std::filesystem::copy_file(Path("tree.yrq"), Path("copy.yrq"));
    std::filesystem::copy_file(Path("tree.srb"), Path("alone.srb"));
    struct Case {
        const char* srb;
        QString tip;
    };
    for (const Case& c :
         {Case{"copy.srb",
               Quoted("Size (Metres) 1: the companion ", "copy.yrq") + " is for the object 'tree'"},
          Case{"alone.srb", Quoted("Size (Metres) 1: no companion ", "alone.yrq")}}) {
        SetField(6, "12");
        Answer(Path(c.srb));
        dialog_.OnLoadSrb();
        EXPECT_EQ(FieldText(6), "1") << c.srb;
        EXPECT_TRUE(StatusTip(dialog_, kSrbLine).endsWith(c.tip))
            << StatusTip(dialog_, kSrbLine).toStdString();
    }
}

TEST_F(EditorTest, RejectedOrCancelledLoadsLeaveTheFields) {
    SetField(0, "5");
    SetField(6, "3");
    WriteFile(Path("bad.srb"), Bytes{'n', 'o', 'p', 'e'});
    Answer(Path("bad.srb"));
    dialog_.OnLoadSrb();
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no Srb loaded");
    EXPECT_EQ(FieldText(0), "5");
    EXPECT_EQ(FieldText(6), "3");

    dialog_.OnLoadSrb();  // the chooser is cancelled
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no Srb loaded");
    EXPECT_EQ(services_.requests.size(), 2U);

    Answer(Path("bad.srb"));
    dialog_.OnLoadMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip loaded");
    EXPECT_EQ(services_.requests.back().title, "Choose MIP file to load");
    EXPECT_EQ(services_.requests.back().filter, "MIP Files (*.mip)");
}

TEST_F(EditorTest, EscapeAndTheCloseBoxRunLoadSrbAndOnlyQuitCloses) {
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    QTest::keyClick(&dialog_, Qt::Key_Escape);
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Choose SRB file to load");
    EXPECT_TRUE(dialog_.isVisible());
    dialog_.close();
    EXPECT_EQ(services_.requests.size(), 2U);
    EXPECT_TRUE(dialog_.isVisible());
    QTest::keyClick(&dialog_, Qt::Key_Return);  // Quit is the default button
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
}

TEST_F(EditorTest, SaveSrbReportsABadFieldButSavesEveryVisibleValue) {
    SetField(0, "200000");  // out of range
    SetField(1, "abc");     // not a number: keeps its previous value, 0
    SetField(2, "64");      // after the failing fields, still read
    SetField(5, "-0.5");
    SetField(6, "2.5");
    Answer(Path("out.srb"));
    dialog_.OnSaveSrb();
    EXPECT_EQ(services_.requests[0].title, "Save SRB...");
    EXPECT_TRUE(services_.requests[0].save);
    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_EQ(services_.messages[0], "Please enter a number between 0 and 100000.");
    EXPECT_EQ(StatusText(dialog_, kSrbLine),
              QString::fromStdString("Srb saved: '" + Path("out.srb") + "'"));
    CSrb saved;
    ASSERT_EQ(saved.Load(Path("out.srb")), 1);
    EXPECT_EQ(saved.header, (std::array<float, 6>{200000.0F, 0.0F, 64.0F, 0.0F, 0.0F, -0.5F}));
    const Bytes yrq = ReadFile(Path("out.yrq"));
    ASSERT_EQ(yrq.size(), 116U);
    EXPECT_EQ(yrq[95], 0x40);  // 2.5 is 0x40200000

    SetField(0, "1");
    SetField(5, "1");
    Answer(Path("out.srb"));
    dialog_.OnSaveSrb();
    ASSERT_EQ(services_.messages.size(), 2U);
    EXPECT_EQ(services_.messages[1], "Please enter a number.");

    Answer(Path("no/such/folder/x.srb"));
    dialog_.OnSaveSrb();
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "Srb not saved!");
}

TEST_F(EditorTest, SaveSrbWarnsWhenItsCompanionBelongsToAnotherSrbFile) {
    WriteSrb("road.night.srb", {1, 1, 1, 1, 1, 1});
    const auto* mark = dialog_.findChild<QLabel*>(QStringLiteral("srbWarning"));
    ASSERT_NE(mark, nullptr);
    Answer(Path("road.day.srb"));
    dialog_.OnSaveSrb();
    EXPECT_EQ(StatusText(dialog_, kSrbLine),
              QString::fromStdString("Srb saved: '" + Path("road.day.srb") + "'"));
    EXPECT_TRUE(
        StatusTip(dialog_, kSrbLine).contains("road.yrq is also the companion of road.night.srb"));
    EXPECT_FALSE(mark->isHidden());
    EXPECT_TRUE(mark->toolTip().contains("road.night.srb"));

    Answer(Path("lane.srb"));  // a companion of its own: no warning, and the mark goes
    dialog_.OnSaveSrb();
    EXPECT_FALSE(StatusTip(dialog_, kSrbLine).contains("companion"));
    EXPECT_TRUE(mark->isHidden());
}

TEST_F(EditorTest, QuitStaysOpenUntilEveryFieldIsValid) {
    WriteSrb("neg.srb", {-3.0F, 1, 1, 1, 1, 1});
    Answer(Path("neg.srb"));
    dialog_.OnLoadSrb();
    EXPECT_EQ(FieldText(0), "-3");
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));

    dialog_.accept();
    EXPECT_TRUE(dialog_.isVisible());
    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_EQ(services_.messages[0], "Please enter a number between 0 and 100000.");
    // The message cannot say which field: the focus does, with the text selected to retype.
    EXPECT_EQ(QApplication::focusWidget(), dialog_.Field(0));
    EXPECT_EQ(dialog_.Field(0)->selectedText(), "-3");

    SetField(0, "3");
    SetField(6, "1001");
    dialog_.accept();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(services_.messages.back(), "Please enter a number between 0 and 1000.");
    EXPECT_EQ(QApplication::focusWidget(), dialog_.Field(6));
    EXPECT_EQ(dialog_.Field(6)->selectedText(), "1001");

    SetField(6, " 1000 ");
    dialog_.accept();
    EXPECT_FALSE(dialog_.isVisible());
}

TEST_F(EditorTest, AFieldTypedBackToItsEarlierTextTakesThatValueAgain) {
    SetField(0, "5");
    Answer(Path("five.srb"));
    dialog_.OnSaveSrb();
    SetField(0, "0");
    Answer(Path("zero.srb"));
    dialog_.OnSaveSrb();
    CSrb saved;
    ASSERT_EQ(saved.Load(Path("zero.srb")), 1);
    EXPECT_EQ(saved.header[0], 0.0F);

    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    SetField(6, "1001");
    dialog_.accept();
    EXPECT_TRUE(dialog_.isVisible());
    SetField(6, "0");  // the text shown before, now valid again
    dialog_.accept();
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(services_.messages.size(), 1U);
}

TEST_F(EditorTest, EnterPressesTheFocusedButtonAndQuitFromAField) {
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    auto* save = dialog_.findChild<QPushButton*>("control3");
    save->setFocus();
    QTest::keyClick(save, Qt::Key_Return);
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Save SRB...");
    EXPECT_TRUE(dialog_.isVisible());

    dialog_.Field(2)->setFocus();
    EXPECT_TRUE(dialog_.findChild<QPushButton*>("control1")->isDefault());
    QTest::keyClick(dialog_.Field(2), Qt::Key_Return);
    EXPECT_FALSE(dialog_.isVisible());
    EXPECT_EQ(dialog_.result(), QDialog::Accepted);
    EXPECT_EQ(services_.requests.size(), 1U);
}

TEST_F(EditorTest, LoadMipThenSaveSrbWritesTheNewTextureWithTheVisibleValues) {
    WriteMip("wall.mip", 3);
    Answer(Path("wall.mip"));
    dialog_.OnLoadMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine),
              QString::fromStdString("Mip loaded: '" + Path("wall.mip") + "'"));
    SetField(3, "16");
    SetField(6, "4");
    Answer(Path("wall.srb"));
    dialog_.OnSaveSrb();
    EXPECT_TRUE(services_.messages.empty());
    const Bytes srb = ReadFile(Path("wall.srb"));
    ASSERT_GT(srb.size(), 96U);
    EXPECT_EQ(Bytes(srb.begin() + 96, srb.end()), ReadFile(Path("wall.mip")));
    CSrb loaded;
    ASSERT_EQ(loaded.Load(Path("wall.srb")), 1);
    EXPECT_EQ(loaded.header, (std::array<float, 6>{0, 0, 0, 16, 0, 0}));
}

TEST_F(EditorTest, SaveMipBeforeAnyLoadWritesAnEmptySet) {
    Answer(Path("empty.mip"));
    dialog_.OnSaveMip();
    EXPECT_EQ(services_.requests[0].title, "Save MIP...");
    EXPECT_EQ(services_.requests[0].defaultSuffix, "mip");
    EXPECT_EQ(StatusText(dialog_, kMipLine),
              QString::fromStdString("MIP saved: '" + Path("empty.mip") + "'"));
    const Bytes bytes = ReadFile(Path("empty.mip"));
    ASSERT_EQ(bytes.size(), 44U + 76U);  // miptype 0: a global palette of zeros
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 56, bytes.end(), [](std::uint8_t b) { return b == 0; }));

    Answer(Path("no/such/folder/x.mip"));
    dialog_.OnSaveMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), "MIP not saved!");
}

// A set that lost its top level on load would come back one slot off: Save MIP refuses it
// unless the offered repair is taken, and the repaired file loads back cleanly.
TEST_F(EditorTest, SaveMipRefusesASetThatWouldNotLoadBackUnlessRepaired) {
    WriteMip("hurt.mip", 2);
    Bytes bytes = ReadFile(Path("hurt.mip"));
    std::fill_n(bytes.begin() + 120, 4, std::uint8_t{'X'});  // the top level's BMAP tag
    WriteFile(Path("hurt.mip"), bytes);
    Answer(Path("hurt.mip"));
    dialog_.OnLoadMip();

    services_.yes = false;
    Answer(Path("out.mip"));
    dialog_.OnSaveMip();
    ASSERT_EQ(services_.questions.size(), 1U);
    EXPECT_EQ(StatusText(dialog_, kMipLine), "MIP not saved!");
    EXPECT_NE(StatusTip(dialog_, kMipLine).indexOf("slot"), -1)
        << StatusTip(dialog_, kMipLine).toStdString();
    EXPECT_FALSE(std::filesystem::exists(Path("out.mip")));

    services_.yes = true;
    Answer(Path("out.mip"));
    dialog_.OnSaveMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("MIP saved: ", "out.mip"));
    CMip back;
    ASSERT_EQ(back.Load(Path("out.mip")), 1);
    EXPECT_TRUE(back.loadReport.Clean()) << back.loadReport.Summary();
}

TEST_F(EditorTest, HeaderValuesRoundTripBitForBitThroughTheFields) {
    const std::array<float, 6> odd = {
        0.1F, 1e-40F, -0.0F, std::bit_cast<float>(0x7FC12345U), 3.4028235e38F, 16777217.0F};
    WriteSrb("odd.srb", odd);
    Answer(Path("odd.srb"));
    dialog_.OnLoadSrb();
    Answer(Path("again.srb"));
    dialog_.OnSaveSrb();  // out-of-range values are reported, and saved as they were
    const Bytes before = ReadFile(Path("odd.srb"));
    const Bytes after = ReadFile(Path("again.srb"));
    EXPECT_EQ(Bytes(after.begin() + 24, after.begin() + 48),
              Bytes(before.begin() + 24, before.begin() + 48));
    EXPECT_EQ(after, before);
}

TEST_F(EditorTest, WindowMenuOffersMoveCloseTextureImportAndAbout) {
    QMenu* menu = dialog_.WindowMenu();
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_EQ(actions[0]->text(), "&Move");
    EXPECT_EQ(actions[1]->text(), "&Close");
    EXPECT_EQ(actions[2]->text(), "&Texture...");
    EXPECT_EQ(actions[3]->text(), "&Import Image...");
    EXPECT_TRUE(actions[4]->isSeparator());
    EXPECT_EQ(actions[5]->text(), "&About Korvale...");
    EXPECT_EQ(dialog_.TextureViewer(), nullptr);
    actions[2]->trigger();
    ASSERT_NE(dialog_.TextureViewer(), nullptr);
    EXPECT_TRUE(dialog_.TextureViewer()->isVisible());
    EXPECT_TRUE(services_.requests.empty());
    actions[5]->trigger();
    EXPECT_EQ(services_.abouts, 1);
    actions[1]->trigger();  // Close is the cancel command: Load SRB
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Choose SRB file to load");

    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog_));
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(5, 5),
                                 dialog_.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&dialog_, &rightClick);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    QTest::keyClick(&dialog_, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
}

TEST_F(EditorTest, ImportImageReplacesTheSetAndKeepsTheValues) {
    WriteSrb("tree.srb", {1, 2, 3, 4, 5, 6});
    Answer(Path("tree.srb"));
    dialog_.OnLoadSrb();
    SetField(6, "2.5");
    dialog_.OnTexture();
    WritePicture("leaf.png", 8, 4, kRed, kBlue);
    Answer(Path("leaf.png"));
    services_.run = [](QDialog& options) {  // the user picks rgb565 and imports
        auto* type = options.findChild<QComboBox*>("type");
        type->setCurrentIndex(type->findText("rgb565"));
        return true;
    };
    dialog_.findChild<QAction*>("importAction")->trigger();

    EXPECT_EQ(services_.requests.back().title, "Choose PNG image to import");
    EXPECT_EQ(services_.requests.back().filter, "PNG Images (*.png)");
    EXPECT_FALSE(services_.requests.back().save);
    EXPECT_EQ(services_.modals, 1);
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip imported: ", "leaf.png"));
    EXPECT_EQ(StatusText(dialog_, kSrbLine), Quoted("Srb loaded: ", "tree.srb"));
    EXPECT_EQ(record_.mip.FilledSlots(), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(record_.mip.levels[3].Type(), 3);
    EXPECT_EQ(dialog_.TextureViewer()->LevelList()->topLevelItem(0)->text(1), "8 x 4");
    EXPECT_EQ(FieldText(0), "1");
    EXPECT_EQ(FieldText(6), "2.5");

    Answer(Path("leaf.srb"));
    dialog_.OnSaveSrb();
    CSrb saved;
    ASSERT_EQ(saved.Load(Path("leaf.srb")), 1);
    EXPECT_EQ(saved.header, (std::array<float, 6>{1, 2, 3, 4, 5, 6}));
    const Image top = LevelToImage(saved.mip.levels[3], saved.mip.levelPalettes[3]);
    ASSERT_EQ(top.width, 8);
    EXPECT_EQ(PixelAt(top, 0, 0), kRed);
    EXPECT_EQ(PixelAt(top, 7, 3), kBlue);
}

TEST_F(EditorTest, AFailedOrCancelledImportLeavesTheRecord) {
    WriteMip("wall.mip", 3);
    Answer(Path("wall.mip"));
    dialog_.OnLoadMip();
    WriteFile(Path("fake.png"), Bytes{'n', 'o', 'p', 'e'});
    WritePicture("leaf.png", 8, 4, kRed, kBlue);

    dialog_.OnImportImage();  // the chooser is cancelled
    Answer(Path("fake.png"));
    dialog_.OnImportImage();
    services_.run = [](QDialog&) { return false; };  // the options are cancelled
    Answer(Path("leaf.png"));
    dialog_.OnImportImage();

    EXPECT_EQ(services_.requests.size(), 4U);
    EXPECT_EQ(services_.modals, 1);
    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_TRUE(services_.messages[0].startsWith(
        Quoted("No image can be imported from ", "fake.png") + ": "))
        << services_.messages[0].toStdString();
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip loaded: ", "wall.mip"));
    EXPECT_EQ(record_.mip.FilledSlots(), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_EQ(record_.mip.levels[3].Type(), 4);
}

TEST_F(EditorTest, OpenFileTellsSrbMipAndPngApartByTheirFirstBytes) {
    WriteSrb("tree.dat", {7, 0, 0, 0, 0, 0});
    WriteMip("wall.dat", 2);
    WritePicture("leaf.dat", 2, 2, kRed, kBlue);
    WriteFile(Path("junk.mip"), Bytes{'n', 'o', 'p', 'e'});

    dialog_.OpenFile(QString::fromStdString(Path("tree.dat")));
    EXPECT_EQ(StatusText(dialog_, kSrbLine), Quoted("Srb loaded: ", "tree.dat"));
    EXPECT_EQ(FieldText(0), "7");
    dialog_.OpenFile(QString::fromStdString(Path("wall.dat")));
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip loaded: ", "wall.dat"));
    EXPECT_EQ(record_.mip.FilledSlots(), (std::vector<int>{2, 1, 0}));
    dialog_.OpenFile(QString::fromStdString(Path("leaf.dat")));
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip imported: ", "leaf.dat"));
    EXPECT_EQ(services_.modals, 0);              // the automatic options, no dialog
    EXPECT_EQ(record_.mip.levels[1].Type(), 0);  // two colours: pal4
    dialog_.OpenFile(QString::fromStdString(Path("junk.mip")));
    EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip loaded");
    EXPECT_EQ(StatusTip(dialog_, kMipLine),
              "no Mip loaded\nfirst error at offset 0: not a MIP file: no MIP tag at its start\n" +
                  Quoted("Still loaded and shown: ", "leaf.dat") + ".");
    EXPECT_TRUE(services_.saveQuestions.empty());  // nothing to lose to a file that is no texture
    EXPECT_EQ(StatusText(dialog_, kSrbLine), Quoted("Srb loaded: ", "tree.dat"));
    // Nobody pressed a button, so a file that cannot be opened is named in a message.
    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_EQ(
        services_.messages[0],
        Quoted("", "junk.mip") + " cannot be opened: not a MIP file: no MIP tag at its start.");
}

TEST_F(EditorTest, ADroppedFileOpensOnTheDialogItsFieldsAndTheViewer) {
    WriteSrb("tree.srb", {1, 2, 3, 4, 5, 6});
    WritePicture("leaf.png", 2, 2, kRed, kBlue);
    WriteMip("wall.mip", 2);
    auto url = [this](const char* name) {
        return QUrl::fromLocalFile(QString::fromStdString(Path(name)));
    };
    // Only one local file is taken: not two, not a folder, not a remote address.
    EXPECT_FALSE(DragAndDrop(&dialog_, {url("tree.srb"), url("leaf.png")}));
    EXPECT_FALSE(DragAndDrop(&dialog_, {url("")}));
    EXPECT_FALSE(DragAndDrop(&dialog_, {QUrl("https://example.org/tree.srb")}));

    ASSERT_TRUE(DragAndDrop(&dialog_, {url("tree.srb")}));
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no SRB Loaded");  // opened once the drop has returned
    EXPECT_TRUE(QTest::qWaitFor([&] { return StatusText(dialog_, kSrbLine) != "no SRB Loaded"; }));
    EXPECT_EQ(StatusText(dialog_, kSrbLine), Quoted("Srb loaded: ", "tree.srb"));

    dialog_.OnTexture();
    ASSERT_TRUE(DragAndDrop(dialog_.TextureViewer(), {url("leaf.png")}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return StatusText(dialog_, kMipLine).startsWith("Mip imported"); }));
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip imported: ", "leaf.png"));

    services_.saveChoices = {SaveChoice::kDiscard};  // the import is not kept
    ASSERT_TRUE(DragAndDrop(dialog_.Field(2), {url("wall.mip")}));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return StatusText(dialog_, kMipLine).startsWith("Mip loaded"); }));
    EXPECT_EQ(FieldText(2), "3");  // the field took no text from the drop
}

TEST_F(EditorTest, StatusTooltipsAddTheLoadReportAndTheSaveReason) {
    WriteFile(Path("tag.mip"), ByteBuilder().Tag(" MIP").Data());
    Answer(Path("tag.mip"));
    dialog_.OnLoadMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), Quoted("Mip loaded: ", "tag.mip"));
    EXPECT_EQ(StatusTip(dialog_, kMipLine).toStdString(),
              "Mip loaded: '" + Path("tag.mip") +
                  "'\nfirst error at offset 4: no MPHD header\nthe file is cut short");

    WriteSrb("tree.srb", {1, 2, 3, 4, 5, 6});
    Answer(Path("tree.srb"));
    dialog_.OnLoadSrb();
    // A clean load says only where the size came from.
    EXPECT_EQ(StatusTip(dialog_, kSrbLine),
              StatusText(dialog_, kSrbLine) + "\n" +
                  Quoted("Size (Metres) 1: from the companion ", "tree.yrq"));

    const std::string missing = Path("no/such/folder");
    Answer(missing + "/x.srb");
    dialog_.OnSaveSrb();
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "Srb not saved!");
    EXPECT_EQ(StatusTip(dialog_, kSrbLine).toStdString(),
              "Srb not saved!\ncannot create a file in " + missing + ": No such file or directory");
    Answer(missing + "/x.mip");
    dialog_.OnSaveMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), "MIP not saved!");
    EXPECT_EQ(StatusTip(dialog_, kMipLine).toStdString(),
              "MIP not saved!\ncannot create a file in " + missing + ": No such file or directory");
}

TEST(AboutBox, ShowsTheNameAndIconAndClosesOnOk) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), "About Korvale");
    const DialogUnits units(about.font());
    EXPECT_EQ(about.size(), QSize(units.X(235), units.Y(55)));
    bool named = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        named = named || label->text() == "Korvale Version 1.0";
    }
    EXPECT_TRUE(named);
    EXPECT_FALSE(about.findChild<QLabel*>("aboutIcon")->pixmap().isNull());
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::mouseClick(about.findChild<QPushButton*>("aboutOk"), Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AppIcon, SixteenColoursInBothSizes) {
    for (const int size : {32, 16}) {
        const QImage image = KorvaleIconImage(size);
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(image.colorCount(), 16);
    }
    const QIcon icon = KorvaleIcon();
    EXPECT_EQ(icon.availableSizes().size(), 2);
}

TEST(DialogUnitsTest, ScaleWithTheFontsBaseUnits) {
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.X(4), 6);
    EXPECT_EQ(units.Y(8), 13);
    EXPECT_EQ(units.Rect(307, 126, 50, 14), QRect(461, 205, 75, 23));
}

}  // namespace
}  // namespace korvale::test
