// The main dialog driven in-process: choosers and message boxes are replaced by a script.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <bit>
#include <deque>

#include "AppIcon.h"
#include "CAboutDlg.h"
#include "CKorvaleDlg.h"
#include "CTextureViewer.h"
#include "DialogUnits.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

class ScriptedServices : public DialogServices {
  public:
    std::optional<QString> ChooseFile(QWidget*, const FileRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowMessage(QWidget*, const QString& text) override { messages.push_back(text); }
    void ShowAbout(QWidget*) override { ++abouts; }

    std::deque<std::optional<QString>> answers;
    std::vector<FileRequest> requests;
    std::vector<QString> messages;
    int abouts = 0;
};

class EditorTest : public testing::Test {
  protected:
    EditorTest() : dialog_(record_, services_) {}

    std::string Path(const std::string& name) const { return dir_.Path(name); }
    void Answer(const std::string& path) {
        services_.answers.emplace_back(QString::fromStdString(path));
    }
    void SetField(int i, const QString& text) { dialog_.Field(i)->setText(text); }
    QString FieldText(int i) const { return dialog_.Field(i)->text(); }

    // An SRB file with the given header values and a small texture.
    void WriteSrb(const std::string& name, std::array<float, 6> header) {
        CSrb srb;
        srb.header = header;
        ASSERT_TRUE(MakeMipSet(srb.mip, 3, 3, 2));
        ASSERT_GT(srb.Save(Path(name)), 0);
    }

    ScratchDir dir_;
    CSrb record_;
    ScriptedServices services_;
    CKorvaleDlg dialog_;
};

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
    EXPECT_EQ(controls, 21);

    auto* quit = dialog_.findChild<QPushButton*>("control1");
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->text(), "Quit");
    EXPECT_TRUE(quit->isDefault());
    EXPECT_EQ(quit->geometry(), units.Rect(245, 100, 50, 14));
    EXPECT_EQ(dialog_.findChild<QLineEdit*>("control1004")->geometry(),
              units.Rect(190, 50, 105, 12));
    EXPECT_EQ(dialog_.findChild<QPushButton*>("control2")->text(), "&Load SRB...");
    EXPECT_EQ(dialog_.SrbStatus(), "no SRB Loaded");
    EXPECT_EQ(dialog_.MipStatus(), "no Mip Loaded");

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

TEST_F(EditorTest, LoadSrbFillsTheFieldsAndSetsTheSizeToOne) {
    WriteSrb("tree.srb", {1.0F, 0.5F, 64.0F, 32.0F, 7.25F, 100000.0F});
    SetField(6, "12");
    Answer(Path("tree.srb"));
    dialog_.OnLoadSrb();
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Choose SRB file to load");
    EXPECT_EQ(services_.requests[0].filter, "SRB Files (*.srb)");
    EXPECT_EQ(services_.requests[0].defaultSuffix, "srb");
    EXPECT_FALSE(services_.requests[0].save);
    EXPECT_EQ(dialog_.SrbStatus(),
              QString::fromStdString("Srb loaded: '" + Path("tree.srb") + "'"));
    const QStringList shown = {"1", "0.5", "64", "32", "7.25", "100000", "1"};
    for (int i = 0; i < CKorvaleDlg::kFields; ++i) {
        EXPECT_EQ(FieldText(i), shown[i]) << i;
    }
    EXPECT_TRUE(record_.mip.levels[2].HasData());
}

TEST_F(EditorTest, RejectedOrCancelledLoadsLeaveTheFields) {
    SetField(0, "5");
    SetField(6, "3");
    WriteFile(Path("bad.srb"), Bytes{'n', 'o', 'p', 'e'});
    Answer(Path("bad.srb"));
    dialog_.OnLoadSrb();
    EXPECT_EQ(dialog_.SrbStatus(), "no Srb loaded");
    EXPECT_EQ(FieldText(0), "5");
    EXPECT_EQ(FieldText(6), "3");

    dialog_.OnLoadSrb();  // the chooser is cancelled
    EXPECT_EQ(dialog_.SrbStatus(), "no Srb loaded");
    EXPECT_EQ(services_.requests.size(), 2U);

    Answer(Path("bad.srb"));
    dialog_.OnLoadMip();
    EXPECT_EQ(dialog_.MipStatus(), "no Mip loaded");
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
    EXPECT_EQ(dialog_.SrbStatus(), QString::fromStdString("Srb saved: '" + Path("out.srb") + "'"));
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
    EXPECT_EQ(dialog_.SrbStatus(), "Srb not saved!");
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
    EXPECT_EQ(QApplication::focusWidget(), dialog_.Field(0));

    SetField(0, "3");
    SetField(6, "1001");
    dialog_.accept();
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(services_.messages.back(), "Please enter a number between 0 and 1000.");

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
    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 4, 0, 3));
    ASSERT_EQ(mip.Save(Path("wall.mip")), 1);
    Answer(Path("wall.mip"));
    dialog_.OnLoadMip();
    EXPECT_EQ(dialog_.MipStatus(),
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
    EXPECT_EQ(dialog_.MipStatus(),
              QString::fromStdString("MIP saved: '" + Path("empty.mip") + "'"));
    const Bytes bytes = ReadFile(Path("empty.mip"));
    ASSERT_EQ(bytes.size(), 44U + 76U);  // miptype 0: a global palette of zeros
    EXPECT_TRUE(
        std::all_of(bytes.begin() + 56, bytes.end(), [](std::uint8_t b) { return b == 0; }));

    Answer(Path("no/such/folder/x.mip"));
    dialog_.OnSaveMip();
    EXPECT_EQ(dialog_.MipStatus(), "MIP not saved!");
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

TEST_F(EditorTest, WindowMenuOffersMoveCloseTextureAndAbout) {
    QMenu* menu = dialog_.WindowMenu();
    const auto actions = menu->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions[0]->text(), "&Move");
    EXPECT_EQ(actions[1]->text(), "&Close");
    EXPECT_EQ(actions[2]->text(), "&Texture...");
    EXPECT_TRUE(actions[3]->isSeparator());
    EXPECT_EQ(actions[4]->text(), "&About Korvale...");
    EXPECT_EQ(dialog_.TextureViewer(), nullptr);
    actions[2]->trigger();
    ASSERT_NE(dialog_.TextureViewer(), nullptr);
    EXPECT_TRUE(dialog_.TextureViewer()->isVisible());
    EXPECT_TRUE(services_.requests.empty());
    actions[4]->trigger();
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
