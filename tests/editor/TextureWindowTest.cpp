// The texture window as a daily tool, offscreen: what it says about damaged and unopenable files,
// its title, the zoom a new set opens at, the read-out, the View menu, the chain view, copying,
// editing a level in another program, opening files from it, and what it remembers.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>
#include <functional>

#include "CChainView.h"
#include "CExternalEdit.h"
#include "CImportDlg.h"
#include "CKorvaleDlg.h"
#include "CLevelCanvas.h"
#include "CTextureDocument.h"
#include "CTextureViewer.h"
#include "EditorSettings.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "PngIo.h"
#include "ScriptedServices.h"
#include "TestSupport.h"
#include "WholeFile.h"
#include "WidgetProbe.h"
#include "WindowPlacement.h"

namespace korvale::test {
namespace {

// A level of the type whose every texel differs: stored red = 16 * (x % 16), green =
// 16 * (y % 16), blue 0, alpha 240 (codes of argb4444; pal4 uses index (x + y) % 16).
CBmap Ramp(int type, int width, int height) {
    CBmap level;
    EXPECT_TRUE(level.Allocate(type, width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto i = static_cast<std::size_t>(y * width + x);
            level.Plane(PlaneId::kR)[i] = 16 * (x % 16);
            level.Plane(PlaneId::kG)[i] = 16 * (y % 16);
            level.Plane(PlaneId::kB)[i] = 0;
            level.Plane(PlaneId::kA)[i] = 240;
            level.Plane(PlaneId::kIndex)[i] = type <= 2 ? (x + y) % 16 : 255;
        }
    }
    return level;
}

class TextureWindowTest : public testing::Test {
  protected:
    TextureWindowTest() : dialog_(document_, services_) {}

    QString Path(const std::string& name) const { return QString::fromStdString(dir_.Path(name)); }
    // A MIP file of argb1555 levels from 2^power down to 1.
    QString WriteMip(const std::string& name, int power, int type = 4) {
        CMip mip;
        EXPECT_TRUE(MakeMipSet(mip, type, 0, power));
        EXPECT_EQ(mip.Save(dir_.Path(name)), 1);
        return Path(name);
    }
    QString WriteLevelMip(const std::string& name, CBmap level, int miptype = 0,
                          const CCmap* palette = nullptr) {
        CMip mip;
        mip.miptype = miptype;
        if (palette != nullptr) {
            mip.globalPalette.CopyFrom(*palette);
        }
        EXPECT_TRUE(mip.SetLevel(std::move(level), palette));
        EXPECT_EQ(mip.Save(dir_.Path(name)), 1);
        return Path(name);
    }
    CTextureViewer* Viewer() {
        dialog_.OnTexture();
        return dialog_.TextureViewer();
    }
    void ShowViewer(QSize size = QSize(900, 640)) {
        CTextureViewer* viewer = Viewer();
        viewer->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
        // After its first showing, which places the window for the screen.
        viewer->resize(size);
        QApplication::processEvents();
    }

    ScratchDir dir_;
    CTextureDocument document_;
    CSrb& record_ = document_.RecordForWriting();
    ScriptedServices services_;
    CKorvaleDlg dialog_;
};

TEST_F(TextureWindowTest, TheTitleNamesTheSetShownAndAFailedLoadSaysSo) {
    CTextureViewer* viewer = Viewer();
    EXPECT_EQ(TitleShown(*viewer), "Texture");
    dialog_.OpenFile(WriteMip("plant.mip", 2));
    EXPECT_EQ(TitleShown(*viewer), QString::fromUtf8("plant.mip \u2014 Texture"));

    WriteFile(dir_.Path("junk.mip"), Bytes{'n', 'o', 'p', 'e'});
    services_.answers.emplace_back(Path("junk.mip"));
    dialog_.OnLoadMip();  // the set stays, and the window says which
    EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip loaded");
    EXPECT_EQ(TitleShown(*viewer), QString::fromUtf8("plant.mip \u2014 Texture"));
    EXPECT_EQ(viewer->ReportText(), "Last load failed: '" + Path("junk.mip") +
                                        "'\nfirst error at offset 0: not a MIP file: no MIP "
                                        "tag at its start\nStill shown: plant.mip");

    Image picture;
    picture.width = picture.height = 2;
    picture.pixels.assign(16, 255);
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(picture, true, png).Ok());
    ASSERT_TRUE(WriteFileBytes(dir_.Path("leaf.png"), png).Ok());
    dialog_.OpenFile(Path("leaf.png"));  // imported: not saved yet
    EXPECT_EQ(TitleShown(*viewer), QString::fromUtf8("imported: leaf.png* \u2014 Texture"));

    WriteFile(dir_.Path("tag.mip"), ByteBuilder().Tag(" MIP").Data());
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.OpenFile(Path("tag.mip"));  // loaded, with no level left
    EXPECT_EQ(TitleShown(*viewer), "Texture");
}

TEST_F(TextureWindowTest, ADamagedLoadShowsTheMarkAndTheWholeReport) {
    // Six levels, 32 x 32 down to 1 x 1, cut short inside the second: five are lost.
    const QString whole = WriteMip("whole.mip", 5);
    const Bytes bytes = ReadFile(whole.toStdString());
    const std::size_t top = 44 + 76 + 12 + 20 + 12 + 32 * 32 * 2;  // header, palette, first level
    WriteFile(dir_.Path("cut.mip"), Bytes(bytes.begin(), bytes.begin() + top + 100));
    services_.answers.emplace_back(Path("cut.mip"));
    dialog_.OnLoadMip();
    const std::string summary = record_.mip.loadReport.Summary();
    ASSERT_EQ(std::count(summary.begin(), summary.end(), '\n'), 6) << summary;

    // The status line keeps its text; the mark beside it carries the report.
    EXPECT_EQ(StatusText(dialog_, kMipLine), "Mip loaded: '" + Path("cut.mip") + "'");
    EXPECT_TRUE(dialog_.MipWarning()->isVisibleTo(&dialog_));
    EXPECT_EQ(dialog_.MipWarning()->toolTip().toStdString(), summary);
    const QRect status = dialog_.findChild<QLabel*>("control1002")->geometry();
    const QRect mark = dialog_.MipWarning()->geometry();
    EXPECT_EQ(mark.left(), status.right() + 1 + (mark.left() - status.right() - 1));
    EXPECT_GT(mark.left(), status.right());
    EXPECT_LE(mark.right(), dialog_.width());

    // The texture window gives it whole, in a section that scrolls rather than cutting it off.
    ShowViewer(QSize(900, 500));
    CTextureViewer* viewer = dialog_.TextureViewer();
    auto* report = viewer->findChild<QPlainTextEdit*>("loadReport");
    ASSERT_NE(report, nullptr);
    EXPECT_TRUE(report->isVisible());
    EXPECT_EQ(report->toPlainText().toStdString(),
              "Last load: '" + dir_.Path("cut.mip") + "'\n" + summary);
    report->verticalScrollBar()->setValue(report->verticalScrollBar()->maximum());
    EXPECT_TRUE(report->verticalScrollBar()->maximum() > 0 ||
                report->document()->size().height() * report->fontMetrics().lineSpacing() <=
                    report->viewport()->height());

    // The Levels list names each lost level, greyed, with its reason; none can be selected.
    const auto* levels = viewer->findChild<QTreeWidget*>();
    ASSERT_NE(levels, nullptr);
    QStringList rows;
    for (int i = 0; i < levels->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = levels->topLevelItem(i);
        rows << item->text(0) + " " + item->text(1) +
                    (item->flags() == Qt::NoItemFlags ? " -" : "");
    }
    // The file ends at 2312: the second level's rows need 512 bytes from 2272, and each slot
    // after it finds the next four bytes, not a level header.
    EXPECT_EQ(rows.join("\n").toStdString(),
              "5 32 x 32\n"
              "4 rejected: BMAP rows need 512 bytes but 40 remain (offset 2272) -\n"
              "3 rejected: Not a BMAP (offset 2272) -\n"
              "2 rejected: Not a BMAP (offset 2276) -\n"
              "1 rejected: Not a BMAP (offset 2280) -\n"
              "0 rejected: Not a BMAP (offset 2284) -");

    // A clean load takes the mark away.
    dialog_.OpenFile(whole);
    EXPECT_FALSE(dialog_.MipWarning()->isVisibleTo(&dialog_));

    // A level whose pixel type is none of the six loads, but its pixels cannot be shown: damage.
    Bytes odd = bytes;
    const std::string text(odd.begin(), odd.end());
    // Tags are stored reversed; the second header chunk is the second level's.
    const std::size_t second = text.find("DHMB", text.find("DHMB") + 4);
    ASSERT_NE(second, std::string::npos);
    odd[second + 12] = 7;  // the type byte follows the chunk's tag and two sizes
    WriteFile(dir_.Path("odd.mip"), odd);
    dialog_.OpenFile(Path("odd.mip"));
    EXPECT_TRUE(dialog_.MipWarning()->isVisibleTo(&dialog_));
    EXPECT_NE(dialog_.MipWarning()->toolTip().indexOf("type 7"), -1)
        << dialog_.MipWarning()->toolTip().toStdString();
    dialog_.OpenFile(whole);

    // Nothing left to show: the empty page gives the report.
    WriteFile(dir_.Path("tag.mip"), ByteBuilder().Tag(" MIP").Data());
    dialog_.OpenFile(Path("tag.mip"));
    EXPECT_FALSE(viewer->ShowsTexture());
    auto* empty = viewer->findChild<QLabel*>("emptyReport");
    EXPECT_TRUE(empty->isVisible());
    EXPECT_EQ(empty->text().toStdString(),
              "Last load: '" + dir_.Path("tag.mip") + "'\n" + record_.mip.loadReport.Summary());
    EXPECT_TRUE(dialog_.MipWarning()->isVisibleTo(&dialog_));
}

TEST_F(TextureWindowTest, AFileOpenedByNameThatCannotBeOpenedIsNamedInAMessage) {
    WriteFile(dir_.Path("junk.mip"), Bytes{'n', 'o', 'p', 'e'});
    QDir(Path("")).mkdir("folder.mip");
    struct Row {
        const char* name;
        const char* reason;
    };
    const Row rows[] = {
        {"missing.mip", "No such file or directory"},
        {"folder.mip", "it is a folder"},
        {"junk.mip", "not a MIP file: no MIP tag at its start"},
    };
    for (const Row& row : rows) {
        services_.messages.clear();
        dialog_.OpenFile(Path(row.name));
        ASSERT_EQ(services_.messages.size(), 1U) << row.name;
        EXPECT_EQ(services_.messages[0],
                  "'" + Path(row.name) + "' cannot be opened: " + row.reason + ".");
        EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip loaded");
    }
    services_.messages.clear();
    dialog_.OpenFile(WriteMip("fine.mip", 1));
    EXPECT_TRUE(services_.messages.empty());
}

TEST_F(TextureWindowTest, AnotherFileOpensAtItsTopLevelFittedAndTheSameFileKeepsTheView) {
    ShowViewer(QSize(800, 300));
    CTextureViewer* viewer = dialog_.TextureViewer();
    dialog_.OpenFile(WriteMip("big.mip", 8));  // 256 x 256: larger than the view
    const QSize room = viewer->ScrollArea()->maximumViewportSize();
    ASSERT_LT(room.height(), 256);
    EXPECT_EQ(viewer->ViewState().slot, 8);
    EXPECT_EQ(viewer->ViewState().zoom, CTextureViewer::kFit);
    EXPECT_LE(viewer->Canvas()->width(), room.width());
    EXPECT_LE(viewer->Canvas()->height(), room.height());
    // The zoom box says how large Fit draws it.
    const int percent = static_cast<int>(std::lround(viewer->Scale() * 100));
    EXPECT_EQ(viewer->ZoomBox()->currentText(), QStringLiteral("Fit (%1%)").arg(percent));

    viewer->SelectSlot(4);  // 16 x 16, chosen by the user
    viewer->SetZoom(16);
    dialog_.OpenFile(WriteMip("small.mip", 5));  // another file, though it has slot 4
    EXPECT_EQ(viewer->ViewState().slot, 5);
    // The largest whole step that fits: 32 x 32 at 8x is 256, which the view does not hold.
    EXPECT_EQ(viewer->ViewState().zoom, room.height() >= 128 ? 4 : 2);

    viewer->SelectSlot(3);
    viewer->SetZoom(2);
    dialog_.OpenFile(Path("small.mip"));  // the same file again: the level and zoom stay
    EXPECT_EQ(viewer->ViewState().slot, 3);
    EXPECT_EQ(viewer->ViewState().zoom, 2);

    dialog_.OpenFile(WriteMip("tiny.mip", 2));  // no slot 4: the top level, 4 x 4 at 16x
    EXPECT_EQ(viewer->ViewState().slot, 2);
    EXPECT_EQ(viewer->ViewState().zoom, 16);
}

TEST_F(TextureWindowTest, KeyboardZoomKeepsTheMiddleAndTheReadoutFollowsTheMouse) {
    dialog_.OpenFile(WriteLevelMip("ramp.mip", Ramp(5, 128, 128)));
    ShowViewer(QSize(700, 500));
    CTextureViewer* viewer = dialog_.TextureViewer();
    viewer->SetZoom(16);  // 2048 x 2048: scrolls both ways, at 8x too
    QScrollArea* area = viewer->ScrollArea();
    area->horizontalScrollBar()->setValue(700);
    area->verticalScrollBar()->setValue(500);
    const QPoint middle = area->viewport()->rect().center();
    const auto texelAt = [&](QPoint inViewport) {
        return viewer->Canvas()->TexelAt(viewer->Canvas()->mapFrom(area->viewport(), inViewport));
    };
    const QPoint before = texelAt(middle);
    QTest::keyClick(viewer, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(viewer->Scale(), 8.0);
    EXPECT_EQ(texelAt(middle), before);
    QTest::keyClick(viewer, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(texelAt(middle), before);

    // The mouse at (40, 40) of the canvas at scroll (0, 0) is over texel (2, 2) at 16x; the
    // read-out follows a scroll of 160 pixels (ten texels) without the mouse moving.
    area->horizontalScrollBar()->setValue(0);
    area->verticalScrollBar()->setValue(0);
    MoveMouse(viewer->Canvas(), viewer->Canvas()->mapFrom(area->viewport(), QPoint(40, 40)));
    EXPECT_TRUE(LabelText(*viewer, "readout").startsWith("x 2, y 2: stored 2, 2, 0, 15"))
        << LabelText(*viewer, "readout").toStdString();
    area->horizontalScrollBar()->setValue(160);
    EXPECT_TRUE(LabelText(*viewer, "readout").startsWith("x 12, y 2: stored 12, 2, 0, 15"))
        << LabelText(*viewer, "readout").toStdString();
    // And a zoom: at 8x the same place of the view is over texel ((160 + 40) / 16 ... ) as the
    // canvas says.
    QTest::keyClick(viewer, Qt::Key_Minus, Qt::ControlModifier);
    const QPoint now = texelAt(QPoint(40, 40));
    EXPECT_TRUE(LabelText(*viewer, "readout")
                    .startsWith(QStringLiteral("x %1, y %2:").arg(now.x()).arg(now.y())))
        << LabelText(*viewer, "readout").toStdString();
}

TEST_F(TextureWindowTest, TheViewMenuListsViewsZoomsBackgroundGridAndHighlight) {
    CTextureViewer* viewer = Viewer();
    struct Entry {
        const char* text;
        QKeySequence keys;
    };
    const Entry entries[] = {
        {"All Levels &Side by Side", QKeySequence("Ctrl+L")},
        {"&Colour", QKeySequence("Alt+1")},
        {"&Alpha", QKeySequence("Alt+2")},
        {"&Index (grey)", QKeySequence("Alt+3")},
        {"Index (&palette)", QKeySequence("Alt+4")},
        {"Zoom &In", QKeySequence("Ctrl++")},
        {"Zoom &Out", QKeySequence("Ctrl+-")},
        {"&Fit to Window", QKeySequence("Ctrl+0")},
        {"1x", QKeySequence("Ctrl+1")},
        {"2x", QKeySequence("Ctrl+2")},
        {"4x", QKeySequence("Ctrl+4")},
        {"8x", QKeySequence("Ctrl+8")},
        {"16x", QKeySequence()},
        {"Alpha over &Background", QKeySequence("Ctrl+B")},
        {"Bac&kground", QKeySequence()},
        {"Pixel &Grid (from 8x)", QKeySequence("Ctrl+G")},
        {"Highlight &Next Palette Colour", QKeySequence("]")},
        {"Highlight &Previous Palette Colour", QKeySequence("[")},
        {"&Clear Highlight", QKeySequence("Esc")},
    };
    QStringList texts;
    for (QAction* action : viewer->ViewMenu()->actions()) {
        if (!action->isSeparator()) {
            texts.append(action->text());
        }
    }
    ASSERT_EQ(texts.size(), static_cast<int>(std::size(entries)));
    for (const Entry& entry : entries) {
        const auto actions = viewer->ViewMenu()->actions();
        const auto found = std::find_if(actions.begin(), actions.end(),
                                        [&](QAction* a) { return a->text() == entry.text; });
        ASSERT_NE(found, actions.end()) << entry.text;
        EXPECT_EQ((*found)->shortcut(), entry.keys) << entry.text;
    }

    // A 2 x 1 level: transparent, then opaque red.
    CBmap level;
    ASSERT_TRUE(level.Allocate(5, 2, 1));
    level.Plane(PlaneId::kR)[1] = 240;
    level.Plane(PlaneId::kA)[1] = 240;
    dialog_.OpenFile(WriteLevelMip("two.mip", std::move(level)));
    viewer->SetZoom(8);
    const auto drawn = [viewer](int x) {
        return Painted(*viewer->Canvas(), QRect(0, 0, 16, 8)).pixel(x, 4);
    };
    EXPECT_EQ(drawn(9), qRgb(255, 0, 0));
    viewer->SetGrid(true);  // on the first pixel of each texel past the first
    EXPECT_TRUE(viewer->ViewState().grid);
    EXPECT_EQ(drawn(8), qRgb(191, 64, 64));  // half grey over red
    EXPECT_EQ(drawn(9), qRgb(255, 0, 0));
    viewer->SetZoom(4);  // below 8x: no grid
    EXPECT_EQ(Painted(*viewer->Canvas(), QRect(0, 0, 8, 4)).pixel(4, 2), qRgb(255, 0, 0));
    viewer->SetZoom(8);
    for (const auto& [backdrop, colour] :
         {std::pair{Backdrop::kBlack, qRgb(0, 0, 0)},
          std::pair{Backdrop::kWhite, qRgb(255, 255, 255)},
          std::pair{Backdrop::kChecker, CLevelCanvas::kCheckerLight}}) {
        viewer->SetBackdrop(backdrop);
        EXPECT_EQ(drawn(1), colour);
    }

    // ] and [ walk the palette highlight of a palettised level, through "none".
    dialog_.OpenFile(WriteLevelMip("pal.mip", Ramp(0, 4, 4)));
    viewer->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(viewer));
    QTest::keyClick(viewer, Qt::Key_BracketRight);
    EXPECT_EQ(viewer->ViewState().highlight, 0);
    QTest::keyClick(viewer, Qt::Key_BracketRight);
    EXPECT_EQ(viewer->ViewState().highlight, 1);
    QTest::keyClick(viewer, Qt::Key_BracketLeft);
    QTest::keyClick(viewer, Qt::Key_BracketLeft);
    EXPECT_EQ(viewer->ViewState().highlight, -1);
    QTest::keyClick(viewer, Qt::Key_BracketLeft);
    EXPECT_EQ(viewer->ViewState().highlight, 15);
}

TEST_F(TextureWindowTest, TheChainViewShowsEveryLevelLargestFirstAndAClickSelects) {
    dialog_.OpenFile(WriteMip("chain.mip", 3));  // 8, 4, 2 and 1 pixels
    ShowViewer();
    CTextureViewer* viewer = dialog_.TextureViewer();
    viewer->SetZoom(4);
    QTest::keyClick(viewer, Qt::Key_L, Qt::ControlModifier);
    ASSERT_TRUE(viewer->ViewState().chain);
    CChainView* chain = viewer->Chain();
    EXPECT_TRUE(chain->isVisible());
    int left = -1;
    for (const int slot : {3, 2, 1, 0}) {
        const QRect r = LevelRect(*chain, slot);
        EXPECT_EQ(r.size(), QSize(4 << slot, 4 << slot)) << slot;
        EXPECT_GT(r.left(), left) << slot;  // side by side, largest first
        EXPECT_EQ(r.top(), LevelRect(*chain, 3).top());
        left = r.right();
    }
    EXPECT_EQ(CChainView::LevelLabel(3, QSize(8, 8)), "slot 3: 8 x 8");
    EXPECT_EQ(viewer->ViewState().slot, 3);
    QTest::mouseClick(chain, Qt::LeftButton, {}, LevelRect(*chain, 1).center());
    EXPECT_EQ(viewer->ViewState().slot, 1);
    EXPECT_EQ(viewer->LevelList()->currentItem()->text(0), "1");
    // The level drawn is the level's own.
    const QImage shot = chain->grab().toImage();
    const Image top = LevelToImage(record_.mip.levels[3], record_.mip.levelPalettes[3]);
    const QPoint at = LevelRect(*chain, 3).topLeft();
    EXPECT_EQ(QColor(shot.pixel(at + QPoint(1, 1))).rgb(),
              qRgb(top.pixels[0], top.pixels[1], top.pixels[2]));
}

TEST_F(TextureWindowTest, CopyPutsTheLevelWithItsAlphaOnTheClipboard) {
    CBmap level;
    ASSERT_TRUE(level.Allocate(5, 2, 1));
    level.Plane(PlaneId::kR)[0] = 240;  // argb4444 red 15, alpha 8: 255, 0, 0, 136
    level.Plane(PlaneId::kA)[0] = 128;
    level.Plane(PlaneId::kG)[1] = 240;
    level.Plane(PlaneId::kA)[1] = 240;
    dialog_.OpenFile(WriteLevelMip("copy.mip", std::move(level)));
    ShowViewer();
    QTest::keyClick(dialog_.TextureViewer(), Qt::Key_C, Qt::ControlModifier);
    const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(copied.size(), QSize(2, 1));
    EXPECT_EQ(copied.pixel(0, 0), qRgba(255, 0, 0, 136));
    EXPECT_EQ(copied.pixel(1, 0), qRgba(0, 255, 0, 255));
}

// The desktop's image editor played by a function that rewrites the picture the way editors
// save: a new file renamed over the old one.
void Repaint(const QString& path, const std::function<void(Image&)>& change) {
    Image picture;
    ASSERT_TRUE(ReadPicture(path.toStdString(), picture).Ok());
    change(picture);
    picture.palette.clear();  // written back as plain RGBA, as most editors do
    picture.indices.clear();
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(picture, true, png).Ok());
    const std::string saved = path.toStdString() + ".saving";
    WriteFile(saved, Bytes(png.begin(), png.end()));
    ASSERT_EQ(std::rename(saved.c_str(), path.toStdString().c_str()), 0);
}

void Paint(Image& picture, int x, int y, Rgba8 colour) {
    std::copy(colour.begin(), colour.end(),
              picture.pixels.begin() + 4 * (static_cast<std::ptrdiff_t>(y) * picture.width + x));
}

TEST_F(TextureWindowTest, ALevelEditedExternallyComesBackInItsTypeAndPalette) {
    CCmap palette;
    for (int i = 0; i < 16; ++i) {
        palette.Entry(i) = Colour{i * 17, 0, 255 - i * 17, 255};
    }
    struct Row {
        const char* name;
        CBmap level;
        Rgba8 painted;                // the colour the editor paints at (1, 0)
        std::array<int, 5> expected;  // the level's stored r, g, b, a, index there afterwards
    };
    Row rows[] = {
        // pal4: (40, 0, 210) is nearest entry 2 (34, 0, 221), which the level keeps.
        {"pal4.mip", Ramp(0, 4, 4), {40, 0, 210, 255}, {34, 0, 221, 255, 2}},
        // argb4444: each channel to its nearest 4-bit code, stored shifted up.
        {"argb.mip", Ramp(5, 4, 4), {255, 100, 0, 119}, {240, 96, 0, 112, 255}},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int type = row.level.Type();
        dialog_.OpenFile(WriteLevelMip(row.name, std::move(row.level), 0, &palette));
        ShowViewer();
        services_.edit = [&](const QString& path) {
            Repaint(path, [&](Image& picture) { Paint(picture, 1, 0, row.painted); });
        };
        dialog_.TextureViewer()->EditExternallyAction()->trigger();
        ASSERT_EQ(services_.opened.size(), 1U);
        EXPECT_TRUE(services_.opened[0].endsWith(QString(row.name).replace(".mip", "-4x4.png")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog_.TextureViewer()->isWindowModified(); }));
        const CBmap& level = record_.mip.levels[2];
        EXPECT_EQ(level.Type(), type);
        for (int p = 0; p < CBmap::kPlanes; ++p) {
            EXPECT_EQ(level.Plane(static_cast<PlaneId>(p))[1],
                      row.expected[static_cast<std::size_t>(p)])
                << p;
        }
        EXPECT_EQ(level.Plane(PlaneId::kIndex)[0], type == 0 ? 0 : 255);  // the rest as it was
        EXPECT_TRUE(StatusTip(dialog_, kMipLine).contains("The set has changed"));
        EXPECT_TRUE(TitleShown(*dialog_.TextureViewer()).contains("*"));
        // Save MIP writes the edited set.
        services_.answers.emplace_back(Path(std::string("saved-") + row.name));
        dialog_.OnSaveMip();
        CMip saved;
        ASSERT_EQ(saved.Load(dir_.Path(std::string("saved-") + row.name)), 1);
        EXPECT_EQ(saved.levels[2].Plane(PlaneId::kR)[1], row.expected[0]);
        EXPECT_FALSE(dialog_.TextureViewer()->isWindowModified());
        services_.opened.clear();
    }
}

TEST_F(TextureWindowTest, AnEditedPictureOfTheWrongSizeIsRefusedAndAPaletteCanBeRebuilt) {
    dialog_.OpenFile(WriteLevelMip("pal.mip", Ramp(0, 4, 4)));
    ShowViewer();
    services_.edit = [](const QString& path) {
        Repaint(path, [](Image& picture) {
            picture.width = 2;
            picture.pixels.resize(2 * 4 * 4);
        });
    };
    dialog_.EditExternally(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !services_.messages.empty(); }));
    EXPECT_EQ(services_.messages[0],
              "The edited picture is 2 x 4, but the level it replaces (slot 2) is 4 x 4: it was "
              "not taken.");
    EXPECT_FALSE(dialog_.TextureViewer()->isWindowModified());

    // A colour far from every entry gets one of its own when the palette is rebuilt.
    dialog_.TextureViewer()->RebuildPaletteAction()->setChecked(true);
    services_.edit = [](const QString& path) {
        Repaint(path, [](Image& picture) { Paint(picture, 0, 0, {1, 254, 3, 255}); });
    };
    dialog_.EditExternally(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog_.TextureViewer()->isWindowModified(); }));
    const CBmap& level = record_.mip.levels[2];
    EXPECT_EQ(level.Plane(PlaneId::kG)[0], 254);
    EXPECT_EQ(record_.mip.globalPalette.Entry(level.Plane(PlaneId::kIndex)[0]).g, 254);
}

TEST_F(TextureWindowTest, OpenAndOpenRecentOpenFilesByTheirFirstBytes) {
    CTextureViewer* viewer = Viewer();
    CSrb srb;
    srb.header = {7, 0, 0, 0, 0, 0};
    ASSERT_TRUE(MakeMipSet(srb.mip, 4, 0, 2));
    ASSERT_GT(srb.Save(dir_.Path("tree.dat")), 0);
    services_.answers.emplace_back(Path("tree.dat"));
    viewer->OpenAction()->trigger();
    EXPECT_EQ(services_.requests.back().title, "Open Texture");
    EXPECT_EQ(StatusText(dialog_, kSrbLine), "Srb loaded: '" + Path("tree.dat") + "'");
    EXPECT_EQ(dialog_.Field(0)->text(), "7");

    dialog_.OpenFile(WriteMip("wall.mip", 1));
    emit viewer->RecentMenu()->aboutToShow();
    QStringList listed;
    for (QAction* action : viewer->RecentMenu()->actions()) {
        listed.append(action->text());
    }
    EXPECT_EQ(listed, (QStringList{Path("wall.mip"), Path("tree.dat"), "", "&Clear List"}));
    viewer->RecentMenu()->actions()[1]->trigger();  // tree.dat again, as an SRB file
    EXPECT_EQ(RecentFiles(), (QStringList{Path("tree.dat"), Path("wall.mip")}));
}

TEST(EditorSettingsTest, RecentFilesAndFoldersAreKept) {
    for (int i = 0; i < kMaxRecentFiles + 2; ++i) {
        AddRecentFile(QStringLiteral("/t/%1.mip").arg(i));
    }
    AddRecentFile("/t/5.mip");
    const QStringList recent = RecentFiles();
    ASSERT_EQ(recent.size(), kMaxRecentFiles);
    EXPECT_EQ(recent.mid(0, 3), (QStringList{"/t/5.mip", "/t/9.mip", "/t/8.mip"}));
    EXPECT_FALSE(recent.contains("/t/1.mip"));
    ClearRecentFiles();
    EXPECT_TRUE(RecentFiles().isEmpty());

    ScratchDir dir;
    const QString file = QString::fromStdString(dir.Path("a.mip"));
    RememberFolder("mip", file);
    EXPECT_EQ(LastFolder("mip"), QString::fromStdString(dir.Root().string()));
    EXPECT_EQ(LastFolder("srb"), "");
}

TEST_F(TextureWindowTest, TheWindowAndItsViewComeBackAfterARestart) {
    dialog_.OpenFile(WriteMip("wall.mip", 3));
    ShowViewer();
    CTextureViewer* viewer = dialog_.TextureViewer();
    viewer->setGeometry(QRect(120, 380, 600, 200));  // clear of a dialog at the top left
    viewer->SetView(ChannelView::kAlpha);
    viewer->SetZoom(4);
    viewer->SetChecker(false);
    viewer->SetBackdrop(Backdrop::kWhite);
    dialog_.done(QDialog::Accepted);  // Quit

    CTextureDocument record;
    ScriptedServices services;
    CKorvaleDlg again(record, services);
    again.RestoreWindows();
    CTextureViewer* restored = again.TextureViewer();
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(restored->isVisible());
    EXPECT_EQ(restored->geometry(), QRect(120, 380, 600, 200));
    EXPECT_EQ(restored->ViewState().view, ChannelView::kAlpha);
    EXPECT_EQ(restored->ViewState().zoom, 4);
    EXPECT_FALSE(restored->ViewState().checker);
    EXPECT_EQ(restored->ViewState().backdrop, Backdrop::kWhite);

    restored->close();
    again.done(QDialog::Accepted);
    CTextureDocument third;
    CKorvaleDlg closed(third, services);
    closed.RestoreWindows();
    EXPECT_EQ(closed.TextureViewer(), nullptr);  // it was closed at the end
}

TEST(ImportChoices, TheLastImportsChoicesComeBack) {
    Image picture;
    picture.width = picture.height = 4;
    for (int i = 0; i < 16; ++i) {
        picture.pixels.insert(picture.pixels.end(), {static_cast<std::uint8_t>(i * 16), 0, 0, 255});
    }
    ScriptedServices services;
    {
        CImportDlg first(picture, "a.png", services);
        first.findChild<QComboBox*>("type")->setCurrentIndex(3);  // argb4444
        first.findChild<QCheckBox*>("dither")->setChecked(true);
        first.findChild<QComboBox*>("filter")->setCurrentIndex(2);  // catmullrom
        CMip made;
        std::string error;
        ASSERT_TRUE(first.Result(made, error)) << error;
    }
    const CImportDlg second(picture, "b.png", services);
    const ImportOptions options = second.Options();
    EXPECT_EQ(options.type, 5);
    EXPECT_TRUE(options.dither);
    EXPECT_EQ(options.filter, Filter::kCatmullRom);
}

TEST(WindowPlacement, OnA1280By800ScreenTheWindowFitsBesideOrBelowTheDialog) {
    const QRect screen(0, 0, 1280, 800);
    const QRect dialog(371, 289, 537, 221);  // centred, as the window manager puts it
    const QSize preferred(900, 640);
    const QSize minimum(400, 260);
    const QRect placed = PlaceBeside(dialog, preferred, minimum, screen);
    EXPECT_FALSE(placed.intersects(dialog));
    EXPECT_TRUE(screen.contains(placed));
    // Below, under the dialog's left edge: 900 x 282 beats 364 x 640 beside it.
    EXPECT_EQ(placed, QRect(371, 518, 900, 282));
}

TEST_F(TextureWindowTest, TheWindowIsSmallEnoughToGoBesideTheDialog) {
    const QSize least = Viewer()->minimumSizeHint();
    EXPECT_LE(least.width(), 400);
    EXPECT_LE(least.height(), 260);
}

TEST_F(TextureWindowTest, TheSizeAskedForAPictureAreaHoldsItWithTheWholeToolBar) {
    dialog_.OpenFile(WriteMip("big.mip", 8));
    for (const QSize picture : {QSize(256, 256), QSize(256, 200), QSize(512, 384)}) {
        CTextureViewer* viewer = Viewer();
        ShowViewer(viewer->LeastSize(picture));
        QApplication::processEvents();
        const auto* scroll = viewer->findChild<QScrollArea*>("levelScroll");
        ASSERT_NE(scroll, nullptr);
        EXPECT_GE(scroll->viewport()->width(), picture.width()) << picture.width();
        EXPECT_GE(scroll->viewport()->height(), picture.height()) << picture.height();
        // A tool bar too narrow for its buttons hides the rest behind its extension button.
        const auto* tools = viewer->findChild<QToolBar*>("viewToolBar");
        ASSERT_NE(tools, nullptr);
        const auto* more = tools->findChild<QWidget*>("qt_toolbar_ext_button");
        EXPECT_TRUE(more == nullptr || !more->isVisible()) << picture.width();
        EXPECT_TRUE(viewer->findChild<QWidget*>("zoomBox")->isVisible());
    }
}

TEST_F(TextureWindowTest, ALevelIsDrawnWithThePaletteItsPixelsWereReadWith) {
    // A set with a global palette whose level came with a CMAP chunk of its own: the level's
    // palette is the one its pixels mean.
    CCmap own;
    own.Entry(1) = Colour{0, 200, 0, 255};
    CMip& mip = record_.mip;
    CBmap level;
    ASSERT_TRUE(level.Allocate(0, 1, 1));
    level.Plane(PlaneId::kIndex)[0] = 1;
    ASSERT_TRUE(mip.SetLevel(std::move(level), &own));
    mip.globalPalette.Entry(1) = Colour{200, 0, 0, 255};
    mip.miptype = 0;
    ShowViewer();
    dialog_.TextureViewer()->SetZoom(1);
    EXPECT_EQ(Painted(*dialog_.TextureViewer()->Canvas(), QRect(0, 0, 1, 1)).pixel(0, 0),
              qRgb(0, 200, 0));
}

// Marks every string it is asked for, so a string on screen without the mark did not go
// through tr().
class MarkingTranslator : public QTranslator {
  public:
    QString translate(const char*, const char* source, const char* = nullptr,
                      int = -1) const override {
        return QStringLiteral("\u00ab") + QString::fromUtf8(source) + QStringLiteral("\u00bb");
    }
    bool isEmpty() const override { return false; }
};

TEST(Translation, EveryStringOfTheTextureWindowGoesThroughTr) {
    MarkingTranslator marks;
    QCoreApplication::installTranslator(&marks);
    CTextureDocument document;
    ASSERT_TRUE(MakeMipSet(document.RecordForWriting().mip, 0, 2, 2));
    ScriptedServices services;
    CTextureViewer viewer(document, services);
    std::vector<std::pair<QString, QString>> texts;  // where, what
    const auto marked = [](const QString& text) {
        return text.isEmpty() || text.contains(QStringLiteral("\u00ab"));
    };
    for (QAction* action : viewer.findChildren<QAction*>()) {
        if (!action->isSeparator() && !action->text().startsWith('/')) {
            texts.emplace_back("action", action->text());
        }
    }
    for (QMenu* menu : viewer.findChildren<QMenu*>()) {
        texts.emplace_back("menu", menu->title());
    }
    for (QLabel* label : viewer.findChildren<QLabel*>()) {
        texts.emplace_back("label " + label->objectName(), label->text());
    }
    for (QComboBox* box : viewer.findChildren<QComboBox*>()) {
        for (int i = 0; i < box->count(); ++i) {
            texts.emplace_back("combo", box->itemText(i));
        }
    }
    const QTreeWidgetItem* header = viewer.LevelList()->headerItem();
    for (int c = 0; c < header->columnCount(); ++c) {
        texts.emplace_back("column", header->text(c));
    }
    texts.emplace_back("title", viewer.windowTitle());
    QCoreApplication::removeTranslator(&marks);
    for (const auto& [where, text] : texts) {
        // Numbers, palette indices and pixel type names are not words.
        static const QRegularExpression kNotWords(
            QStringLiteral("^[0-9 x,:()%-]*$|^(pal4|rgb565|argb1555|argb4444)$"));
        EXPECT_TRUE(marked(text) || kNotWords.match(text).hasMatch())
            << where.toStdString() << ": " << text.toStdString();
    }
}

}  // namespace
}  // namespace korvale::test
