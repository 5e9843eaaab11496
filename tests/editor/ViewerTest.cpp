// The texture window and what it draws, offscreen.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>
#include <array>
#include <vector>

#include "CChainView.h"
#include "CKorvaleDlg.h"
#include "CLevelCanvas.h"
#include "CPaletteView.h"
#include "CTextureDocument.h"
#include "CTextureViewer.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "LevelQImage.h"
#include "PngIo.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "WidgetProbe.h"
#include "WindowPlacement.h"

namespace korvale::test {
namespace {

using Pixel = std::array<int, 5>;  // stored r, g, b, a, index

CBmap Level(int type, int width, const std::vector<Pixel>& pixels) {
    CBmap level;
    EXPECT_TRUE(level.Allocate(type, width, static_cast<int>(pixels.size()) / width));
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        for (int p = 0; p < CBmap::kPlanes; ++p) {
            level.Plane(static_cast<PlaneId>(p))[i] = pixels[i][static_cast<std::size_t>(p)];
        }
    }
    return level;
}

// Entry 3 and entry 15 of the palette the palettised fixtures use.
CCmap TwoColourPalette() {
    CCmap palette;
    palette.Entry(3) = Colour{10, 20, 30, 40};
    palette.Entry(15) = Colour{255, 0, 128, 255};
    return palette;
}

CBmap PalettisedLevel() {
    return Level(0, 2, {{10, 20, 30, 40, 3}, {255, 0, 128, 255, 15}});
}

TEST(LevelQImage, EveryPixelTypeInEveryView) {
    struct Row {
        int type;
        Pixel stored;
        QRgb colour;  // full scale, straight alpha
        QRgb alpha, indexGrey, indexPalette;
    };
    const auto c = [](int r, int g, int b, int a = 255) { return qRgba(r, g, b, a); };
    const QRgb w = c(255, 255, 255);
    const QRgb four = c(136, 255, 17, 119);  // argb4444 0x80 0xF0 0x10 0x70 at full scale
    const Row rows[] = {
        {0, {10, 20, 30, 40, 3}, c(10, 20, 30, 40), c(40, 40, 40), c(51, 51, 51), c(10, 20, 30)},
        {0, {255, 0, 128, 255, 15}, c(255, 0, 128), w, w, c(255, 0, 128)},
        // 16-bit: each code at full scale; the index views show the colours.
        {3, {128, 4, 8, 255, 255}, c(132, 4, 8), w, c(132, 4, 8), c(132, 4, 8)},
        {3, {248, 252, 248, 255, 255}, w, w, w, w},
        {4, {248, 0, 0, 128, 255}, c(255, 0, 0), w, c(255, 0, 0), c(255, 0, 0)},
        {4, {0, 248, 8, 0, 255}, c(0, 255, 8, 0), c(0, 0, 0), c(0, 255, 8, 0), c(0, 255, 8, 0)},
        {5, {0x80, 0xF0, 0x10, 0x70, 255}, four, c(119, 119, 119), four, four},
    };
    for (const Row& row : rows) {
        const CBmap level = Level(row.type, 1, {row.stored});
        const CCmap palette = TwoColourPalette();
        auto at = [&](ChannelView view) { return LevelToQImage(level, palette, view).pixel(0, 0); };
        EXPECT_EQ(at(ChannelView::kColour), row.colour) << row.type;
        EXPECT_EQ(at(ChannelView::kAlpha), row.alpha) << row.type;
        EXPECT_EQ(at(ChannelView::kIndexGrey), row.indexGrey) << row.type;
        EXPECT_EQ(at(ChannelView::kIndexPalette), row.indexPalette) << row.type;
        EXPECT_EQ(qAlpha(LevelToQImage(level, palette, ChannelView::kColour, {false}).pixel(0, 0)),
                  255);
    }
    EXPECT_TRUE(LevelToQImage(CBmap(), CCmap(), ChannelView::kColour).isNull());
}

TEST(LevelQImage, AHighlightedIndexDarkensEveryOtherPixel) {
    const QImage image =
        LevelToQImage(PalettisedLevel(), TwoColourPalette(), ChannelView::kColour, {true, 3});
    EXPECT_EQ(image.pixel(0, 0), qRgba(10, 20, 30, 40));
    EXPECT_EQ(image.pixel(1, 0), qRgba(63, 0, 32, 255));
}

TEST(LevelQImage, PixelReadoutGivesStoredCodesAndShownValues) {
    struct Row {
        CBmap level;
        int x;
        const char* text;
    };
    // Stored are the channel codes (a plane's 240 is a 4-bit 15), shown the 8-bit values.
    Row rows[] = {
        {Level(5, 1, {{32, 128, 0, 240, 255}}), 0,
         "x 0, y 0: stored 2, 8, 0, 15 \u2192 shown 34, 136, 0, 255 (argb4444)"},
        {Level(4, 2, {{0, 0, 0, 0, 255}, {248, 0, 0, 128, 255}}), 1,
         "x 1, y 0: stored 31, 0, 0, 1 \u2192 shown 255, 0, 0, 255 (argb1555)"},
        {Level(3, 1, {{248, 252, 0, 255, 255}}), 0,
         "x 0, y 0: stored 31, 63, 0 \u2192 shown 255, 255, 0, 255 (rgb565)"},
        {PalettisedLevel(), 0, "x 0, y 0: index 3 \u2192 shown 10, 20, 30, 40 (pal4)"},
        {PalettisedLevel(), 2, ""},  // outside the level
    };
    for (const Row& row : rows) {
        const Image shown = LevelToImage(row.level, TwoColourPalette());
        EXPECT_EQ(PixelReadout(row.level, shown, row.x, 0), QString::fromUtf8(row.text));
    }
}

TEST(LevelCanvas, NearestNeighbourOverACheckerboard) {
    CLevelCanvas canvas;
    QImage level(2, 1, QImage::Format_ARGB32);
    level.setPixel(0, 0, qRgba(0, 0, 0, 0));
    level.setPixel(1, 0, qRgb(255, 0, 0));
    canvas.Show(level, 16.0, Backdrop::kChecker);
    EXPECT_EQ(canvas.size(), QSize(32, 16));
    const QImage drawn = Painted(canvas, QRect(0, 0, 32, 16));
    // The transparent texel shows squares of 12 pixels.
    EXPECT_EQ(drawn.pixel(0, 0), CLevelCanvas::kCheckerLight);
    EXPECT_EQ(drawn.pixel(11, 11), CLevelCanvas::kCheckerLight);
    EXPECT_EQ(drawn.pixel(12, 0), CLevelCanvas::kCheckerDark);
    EXPECT_EQ(drawn.pixel(0, 12), CLevelCanvas::kCheckerDark);
    EXPECT_EQ(drawn.pixel(15, 15), CLevelCanvas::kCheckerLight);
    EXPECT_EQ(drawn.pixel(16, 0), qRgb(255, 0, 0));
    EXPECT_EQ(drawn.pixel(31, 15), qRgb(255, 0, 0));
    // A part scrolled into view is drawn as at the same place of the whole.
    const QImage part = Painted(canvas, QRect(12, 4, 8, 8));
    EXPECT_EQ(part.pixel(3, 0), CLevelCanvas::kCheckerDark);
    EXPECT_EQ(part.pixel(4, 0), qRgb(255, 0, 0));
    EXPECT_EQ(canvas.TexelAt(QPoint(15, 3)), QPoint(0, 0));
    EXPECT_EQ(canvas.TexelAt(QPoint(16, 3)), QPoint(1, 0));
    EXPECT_EQ(canvas.TexelAt(QPoint(32, 3)), QPoint(-1, -1));
}

TEST(WindowPlacement, BesideTheDialogWhereTheRoomIsLargest) {
    const QRect screen(0, 0, 1280, 1024);
    const QRect dialog(410, 400, 460, 220);
    const QSize preferred(900, 640);
    const QSize minimum(500, 300);
    // Below: 900 x 396 beats 402 x 640 on the right.
    EXPECT_EQ(PlaceBeside(dialog, preferred, minimum, screen), QRect(380, 628, 900, 396));
    // A dialog at the left edge of a wide screen: the whole window to its right.
    EXPECT_EQ(PlaceBeside(QRect(0, 100, 460, 220), preferred, minimum, QRect(0, 0, 1920, 1080)),
              QRect(468, 100, 900, 640));
    // No room anywhere: to the right, kept on the screen.
    EXPECT_EQ(PlaceBeside(QRect(100, 100, 600, 500), preferred, minimum, QRect(0, 0, 800, 600)),
              QRect(0, 0, 800, 600));
}

// A mip set with a palettised 2 x 1 level (own palette) and a 1 x 1 argb1555 level.
class ViewerTest : public testing::Test {
  protected:
    ViewerTest() : viewer_(document_, services_) {
        mip_.miptype = 2;
        mip_.SetRepeatCode(1);
        const CCmap palette = TwoColourPalette();
        EXPECT_TRUE(mip_.SetLevel(PalettisedLevel(), &palette));
        EXPECT_TRUE(mip_.SetLevel(Level(4, 1, {{248, 0, 0, 128, 255}})));
        viewer_.Refresh();
    }

    CTextureDocument document_;
    CMip& mip_ = document_.RecordForWriting().mip;
    ScriptedServices services_;
    CTextureViewer viewer_;
};

TEST_F(ViewerTest, ListsTheLevelsLargestFirstWithTheirPalettes) {
    EXPECT_EQ(TitleShown(viewer_), "Texture");
    QTreeWidget* list = viewer_.LevelList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    const QStringList first = {"1", "2 x 1", "pal4", "own"};
    const QStringList second = {"0", "1 x 1", "argb1555", "none"};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list->topLevelItem(0)->text(c), first[c]);
        EXPECT_EQ(list->topLevelItem(1)->text(c), second[c]);
    }
    EXPECT_EQ(viewer_.ViewState().slot, 1);
    EXPECT_EQ(LabelText(viewer_, "header").toStdString(),
              "miptype 2 (a palette per level)\nsize 2^1 x 2^0 = 2 x 1\nrepeat code 1 (h 1, v 0)\n"
              "numimages 2");
    EXPECT_EQ(viewer_.ReportText(), "not loaded from a file");
}

TEST_F(ViewerTest, ZoomStepsAndThePixelUnderTheCursor) {
    EXPECT_EQ(viewer_.Scale(), 1.0);
    for (const double expected : {2.0, 4.0, 8.0, 16.0, 16.0}) {
        viewer_.ZoomIn();
        EXPECT_EQ(viewer_.Scale(), expected);
    }
    viewer_.ZoomOut();
    EXPECT_EQ(viewer_.Scale(), 8.0);
    EXPECT_EQ(viewer_.Canvas()->size(), QSize(16, 8));

    MoveMouse(viewer_.Canvas(), QPoint(8 + 3, 5));
    EXPECT_EQ(LabelText(viewer_, "readout"),
              QString::fromUtf8("x 1, y 0: index 15 \u2192 shown 255, 0, 128, 255 (pal4)"));
    viewer_.SelectSlot(0);
    MoveMouse(viewer_.Canvas(), QPoint(2, 2));
    EXPECT_EQ(
        LabelText(viewer_, "readout"),
        QString::fromUtf8("x 0, y 0: stored 31, 0, 0, 1 \u2192 shown 255, 0, 0, 255 (argb1555)"));

    viewer_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&viewer_));
    viewer_.SetZoom(CTextureViewer::kFit);  // a 1 x 1 level fills the viewport's shorter side
    const QSize room = viewer_.ScrollArea()->maximumViewportSize();
    EXPECT_EQ(viewer_.Canvas()->width(), std::min(room.width(), room.height()));
    viewer_.ZoomOut();
    EXPECT_EQ(viewer_.Scale(), 16.0);

    QWheelEvent wheel(QPointF(4, 4), viewer_.Canvas()->mapToGlobal(QPointF(4, 4)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewer_.Canvas(), &wheel);
    EXPECT_EQ(viewer_.Scale(), 8.0);

    QTest::keyClick(&viewer_, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(viewer_.Scale(), 16.0);
    QTest::keyClick(&viewer_, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(viewer_.Scale(), 8.0);
    QTest::keyClick(&viewer_, Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(viewer_.ViewState().zoom, CTextureViewer::kFit);
}

TEST_F(ViewerTest, HoveringASwatchPicksOutItsPixels) {
    CPaletteView* palette = viewer_.PaletteView();
    ASSERT_TRUE(palette->isVisibleTo(&viewer_));
    MoveMouse(palette, palette->SwatchRect(3).center());
    EXPECT_EQ(viewer_.ViewState().highlight, 3);
    EXPECT_EQ(palette->toolTip(), "index 3: R 10 G 20 B 30 A 40");
    const QImage drawn = Painted(*viewer_.Canvas(), QRect(0, 0, 2, 1));
    EXPECT_EQ(drawn.pixel(1, 0), qRgb(63, 0, 32));  // index 15, darkened

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(palette, &leave);
    EXPECT_EQ(viewer_.ViewState().highlight, -1);
    EXPECT_EQ(Painted(*viewer_.Canvas(), QRect(1, 0, 1, 1)).pixel(0, 0), qRgb(255, 0, 128));

    // Every level side by side: picked out there too, and again after the view changed.
    viewer_.SetChain(true);
    MoveMouse(palette, palette->SwatchRect(3).center());
    viewer_.SetView(ChannelView::kIndexPalette);
    const QPoint second = LevelRect(*viewer_.Chain(), 1).topLeft() + QPoint(1, 0);
    EXPECT_EQ(viewer_.Chain()->grab(QRect(second, QSize(1, 1))).toImage().pixel(0, 0),
              qRgb(63, 0, 32));
    viewer_.SetChain(false);

    viewer_.SelectSlot(0);  // a 16-bit level has no palette
    EXPECT_FALSE(palette->isVisibleTo(&viewer_));
}

TEST_F(ViewerTest, ExportLevelWritesTheSelectedLevelAsThePictureTheToolWrites) {
    ScratchDir dir;
    document_.SavedMip("wall.mip");  // exports are named after the file
    services_.answers.emplace_back(QString::fromStdString(dir.Path("top.png")));
    viewer_.ExportLevelAction()->trigger();
    ASSERT_EQ(services_.requests.size(), 1U);
    EXPECT_EQ(services_.requests[0].title, "Export Level...");
    EXPECT_EQ(services_.requests[0].filter, "PNG Images (*.png)");
    EXPECT_TRUE(services_.requests[0].save);
    EXPECT_EQ(services_.requests[0].suggestedName, "wall-2x1.png");
    Image top;
    ASSERT_TRUE(ReadPicture(dir.Path("top.png"), top).Ok());
    EXPECT_EQ(top.width, 2);
    EXPECT_EQ(top.pixels, (std::vector<std::uint8_t>{10, 20, 30, 40, 255, 0, 128, 255}));
    EXPECT_EQ(top.indices, (std::vector<std::uint8_t>{3, 15}));  // indexed, as it is stored

    services_.answers.emplace_back(QString::fromStdString(dir.Path("gone/top.png")));
    viewer_.ExportLevel();
    ASSERT_EQ(services_.messages.size(), 1U);
    EXPECT_EQ(services_.messages[0].toStdString(),
              "The level could not be written to '" + dir.Path("gone/top.png") +
                  "': cannot create a file in " + dir.Path("gone") +
                  ": No such file or directory.");

    CTextureDocument empty;
    const CTextureViewer nothing(empty, services_);
    EXPECT_FALSE(nothing.ExportLevelAction()->isEnabled());
    EXPECT_FALSE(nothing.ExportAllAction()->isEnabled());
}

TEST_F(ViewerTest, ExportAllLevelsNamesThemAfterTheTextureAndAsksBeforeReplacing) {
    ScratchDir dir;
    const QString folder = QString::fromStdString(dir.Root().string());
    document_.SavedMip("wall.mip");  // exports are named after the file
    WriteFile(dir.Path("wall-1x1.png"), Bytes{'o', 'l', 'd'});
    services_.yes = false;
    services_.answers.emplace_back(folder);
    viewer_.ExportAllAction()->trigger();
    ASSERT_EQ(services_.folderTitles.size(), 1U);
    EXPECT_EQ(services_.folderTitles[0], "Export All Levels into Folder");
    ASSERT_EQ(services_.questions.size(), 1U);
    EXPECT_EQ(services_.questions[0],
              "One file is already in '" + folder + "': wall-1x1.png.\n\nReplace it?");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"wall-1x1.png"}));
    EXPECT_EQ(ReadFile(dir.Path("wall-1x1.png")), (Bytes{'o', 'l', 'd'}));

    services_.yes = true;
    services_.answers.emplace_back(folder);
    viewer_.ExportAllLevels();
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"wall-1x1.png", "wall-2x1.png"}));
    Image small;
    ASSERT_TRUE(ReadPicture(dir.Path("wall-1x1.png"), small).Ok());
    EXPECT_EQ(small.pixels, (std::vector<std::uint8_t>{255, 0, 0, 255}));  // argb1555 at full scale
    EXPECT_TRUE(services_.messages.empty());
}

class ViewerInDialogTest : public testing::Test {
  protected:
    ViewerInDialogTest() : dialog_(document_, services_) {}

    void Load(void (CKorvaleDlg::*command)(), const std::string& path) {
        services_.answers.emplace_back(QString::fromStdString(path));
        (dialog_.*command)();
    }
    bool Empty() const {
        QLabel* message = dialog_.TextureViewer()->findChild<QLabel*>("noTexture");
        return !dialog_.TextureViewer()->ShowsTexture() &&
               message->isVisibleTo(dialog_.TextureViewer()) &&
               message->text() == "No texture loaded" &&
               !dialog_.TextureViewer()->statusBar()->isVisibleTo(dialog_.TextureViewer());
    }

    ScratchDir dir_;
    CTextureDocument document_;
    CSrb& record_ = document_.RecordForWriting();
    ScriptedServices services_;
    CKorvaleDlg dialog_;
};

TEST_F(ViewerInDialogTest, CtrlTOpensItAndEveryLoadRefreshesIt) {
    dialog_.setWindowModality(Qt::ApplicationModal);  // as the program runs it
    dialog_.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog_));
    QTest::keyClick(&dialog_, Qt::Key_T, Qt::ControlModifier);
    CTextureViewer* viewer = dialog_.TextureViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->parent(), &dialog_);
    EXPECT_TRUE(Empty());

    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 0, 2, 3));
    ASSERT_EQ(mip.Save(dir_.Path("set.mip")), 1);
    Load(&CKorvaleDlg::OnLoadMip, dir_.Path("set.mip"));
    EXPECT_TRUE(viewer->ShowsTexture());
    EXPECT_EQ(viewer->LevelList()->topLevelItemCount(), 4);
    EXPECT_EQ(viewer->LevelList()->topLevelItem(0)->text(1), "8 x 8");
    // It takes input while the dialog is modal: a click on the list, a zoom key.
    viewer->activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([viewer] { return QApplication::activeWindow() == viewer; }));
    QTreeWidget* list = viewer->LevelList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->topLevelItem(1)).center());
    EXPECT_EQ(viewer->ViewState().slot, 2);
    // The 8 x 8 level opened at the largest step that fits: 16x.
    EXPECT_EQ(viewer->Scale(), 16.0);
    QTest::keyClick(viewer, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(viewer->Scale(), 8.0);

    // An SRB header with no mip set after it: the set stays, the report is new.
    CSrb srb;
    ASSERT_GT(srb.Save(dir_.Path("full.srb")), 0);
    const Bytes bytes = ReadFile(dir_.Path("full.srb"));
    WriteFile(dir_.Path("header.srb"), Bytes(bytes.begin(), bytes.begin() + CSrb::kHeaderBytes));
    Load(&CKorvaleDlg::OnLoadSrb, dir_.Path("header.srb"));
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no Srb loaded");
    EXPECT_EQ(viewer->LevelList()->topLevelItemCount(), 4);
    EXPECT_TRUE(viewer->ReportText().contains("no mip set follows the SRB header"));

    WriteFile(dir_.Path("tag.mip"), ByteBuilder().Tag(" MIP").Data());  // the levels are gone
    Load(&CKorvaleDlg::OnLoadMip, dir_.Path("tag.mip"));
    EXPECT_TRUE(Empty());

    viewer->close();
    EXPECT_FALSE(viewer->isVisible());
    EXPECT_TRUE(dialog_.isVisible());
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "no Srb loaded");  // closing it ran no command
}

}  // namespace
}  // namespace korvale::test
