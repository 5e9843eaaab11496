// The editor as a document: nothing unsaved is lost without asking, changes of the set can be
// taken back, and the status lines and the texture window say what is shown.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "CAboutDlg.h"
#include "CKorvaleDlg.h"
#include "CTextureDocument.h"
#include "CTextureViewer.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "ScriptedServices.h"
#include "SetBuilder.h"
#include "TestSupport.h"
#include "WholeFile.h"
#include "WidgetProbe.h"

namespace korvale::test {
namespace {

class DocumentTest : public testing::Test {
  public:  // the steps of a table reach the fixture through a reference
    DocumentTest() : dialog_(document_, services_) {}

    QString Path(const std::string& name) const { return QString::fromStdString(dir_.Path(name)); }
    void Answer(const QString& path) { services_.answers.emplace_back(path); }
    // A MIP file of argb4444 levels from 2^power down to 1, each pixel the colour code given.
    QString WriteMip(const std::string& name, int power) {
        CMip mip;
        EXPECT_TRUE(MakeMipSet(mip, 4, 0, power));
        EXPECT_EQ(mip.Save(dir_.Path(name)), 1);
        return Path(name);
    }
    QString WriteSrb(const std::string& name) {
        CSrb srb;
        srb.header = {1, 2, 3, 4, 5, 6};
        EXPECT_TRUE(MakeMipSet(srb.mip, 3, 3, 2));
        EXPECT_GT(srb.Save(dir_.Path(name)), 0);
        return Path(name);
    }
    // A 4 x 4 picture of one colour.
    QString WritePicture(const std::string& name, Rgba8 colour) {
        const Image picture = Picture(4, 4, [&](int, int) { return colour; });
        std::vector<std::uint8_t> png;
        EXPECT_TRUE(EncodePng(picture, true, png).Ok());
        EXPECT_TRUE(WriteFileBytes(dir_.Path(name), png).Ok());
        return Path(name);
    }
    // The user types into the size field, as a key press does (setText alone is no typing).
    void Type(int field, const QString& text) {
        QLineEdit* edit = dialog_.Field(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    // A level edited in another program: the top level's first pixel changed.
    void EditTopLevel() {
        ASSERT_TRUE(document_
                        .Edit(
                            [](CMip& set) {
                                CBmap& top = set.levels[set.FilledSlots().front()];
                                top.Plane(PlaneId::kR)[0] ^= 1;
                                return Status();
                            },
                            "edited")
                        .Ok());
    }
    bool Ended() const { return dialog_.result() == QDialog::Accepted; }

    ScratchDir dir_;
    CTextureDocument document_;
    ScriptedServices services_;
    CKorvaleDlg dialog_;
};

constexpr Rgba8 kRed = {255, 0, 0, 255};
constexpr Rgba8 kGreen = {0, 255, 0, 255};

TEST_F(DocumentTest, WhatIsUnsavedFollowsTypingImportsEditsLoadsAndSaves) {
    struct Step {
        const char* what;
        std::function<void(DocumentTest&)> run;
        bool values;
        bool texture;
    };
    const std::vector<Step> steps = {
        {"Load MIP", [](DocumentTest& t) { t.dialog_.OpenFile(t.WriteMip("a.mip", 2)); }, false,
         false},
        {"typed", [](DocumentTest& t) { t.Type(6, "2.5"); }, true, false},
        {"Load MIP keeps the typed values",
         [](DocumentTest& t) { t.dialog_.OpenFile(t.WriteMip("b.mip", 3)); }, true, false},
        {"external edit", [](DocumentTest& t) { t.EditTopLevel(); }, true, true},
        {"Save MIP saves only the set",
         [](DocumentTest& t) {
             t.Answer(t.Path("c.mip"));
             t.dialog_.OnSaveMip();
         },
         true, false},
        {"import",
         [](DocumentTest& t) {
             t.services_.saveChoices = {SaveChoice::kDiscard};
             t.dialog_.OpenFile(t.WritePicture("leaf.png", kRed));
         },
         true, true},
        {"Save SRB saves both",
         [](DocumentTest& t) {
             t.Answer(t.Path("d.srb"));
             t.dialog_.OnSaveSrb();
         },
         false, false},
        {"typed again", [](DocumentTest& t) { t.Type(0, "7"); }, true, false},
        {"Load SRB",
         [](DocumentTest& t) {
             t.services_.saveChoices = {SaveChoice::kDiscard};
             t.Answer(t.WriteSrb("e.srb"));
             t.dialog_.OnLoadSrb();
         },
         false, false},
    };
    for (const Step& step : steps) {
        step.run(*this);
        EXPECT_EQ(document_.ValuesUnsaved(), step.values) << step.what;
        EXPECT_EQ(document_.TextureUnsaved(), step.texture) << step.what;
    }
}

TEST_F(DocumentTest, QuitAsksOnlyWhenSomethingIsUnsavedAndDiscardEndsCancelKeeps) {
    dialog_.OpenFile(WriteMip("a.mip", 2));
    dialog_.accept();  // nothing unsaved: ends at once
    EXPECT_TRUE(Ended());
    EXPECT_TRUE(services_.saveQuestions.empty());

    dialog_.setResult(QDialog::Rejected);
    dialog_.OpenFile(WritePicture("leaf.png", kRed));
    services_.saveChoices = {SaveChoice::kCancel};
    dialog_.accept();
    EXPECT_FALSE(Ended());
    ASSERT_EQ(services_.saveQuestions.size(), 1U);
    EXPECT_EQ(services_.saveQuestions[0], "Save changes?");
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.accept();
    EXPECT_TRUE(Ended());
    EXPECT_TRUE(services_.requests.empty());  // no chooser: nothing was saved
}

TEST_F(DocumentTest, SaveInThePromptRunsTheSaveThatKeepsTheWork) {
    struct Row {
        const char* what;
        bool typed;         // a value typed
        bool fromMip;       // the set loaded from a MIP file (else imported)
        QString answer;     // the chooser's answer; empty cancels it
        const char* title;  // the chooser that must come up
        bool ends;
    };
    const QString missing = Path("no/such/folder/x");
    const std::vector<Row> rows = {
        {"only the set, from a MIP file", false, true, Path("out.mip"), "Save MIP...", true},
        {"the values typed too", true, true, Path("out.srb"), "Save SRB...", true},
        {"an imported set", false, false, Path("out2.srb"), "Save SRB...", true},
        {"the chooser cancelled", false, false, QString(), "Save SRB...", false},
        {"the save refused", false, true, missing + ".mip", "Save MIP...", false},
    };
    for (const Row& row : rows) {
        CTextureDocument document;
        ScriptedServices services;
        CKorvaleDlg dialog(document, services);
        if (row.fromMip) {
            dialog.OpenFile(WriteMip("in.mip", 2));
            ASSERT_TRUE(document
                            .Edit(
                                [](CMip& set) {
                                    set.levels[2].Plane(PlaneId::kR)[0] ^= 1;
                                    return Status();
                                },
                                "edited")
                            .Ok());
        } else {
            dialog.OpenFile(WritePicture("leaf.png", kRed));
        }
        if (row.typed) {
            dialog.Field(6)->selectAll();
            QTest::keyClicks(dialog.Field(6), "2.5");
        }
        services.saveChoices = {SaveChoice::kSave};
        if (!row.answer.isEmpty()) {
            services.answers.emplace_back(row.answer);
        }
        dialog.accept();
        ASSERT_EQ(services.requests.size(), 1U) << row.what;
        EXPECT_EQ(services.requests[0].title, row.title) << row.what;
        EXPECT_EQ(dialog.result() == QDialog::Accepted, row.ends) << row.what;
        EXPECT_EQ(document.AnythingUnsaved(), !row.ends) << row.what;
    }
}

TEST_F(DocumentTest, LoadsAskAfterTheirChooserAndOnlyWhenTheyWouldLoseWork) {
    dialog_.OpenFile(WriteMip("a.mip", 2));
    const QString b = WriteMip("b.mip", 3);
    Type(6, "2.5");
    Answer(b);
    dialog_.OnLoadMip();  // only values typed: Load MIP keeps them, nothing to ask
    EXPECT_TRUE(services_.saveQuestions.empty());
    EXPECT_EQ(document_.SetPath(), b);

    Answer(WriteSrb("c.srb"));
    services_.saveChoices = {SaveChoice::kCancel};
    dialog_.OnLoadSrb();  // would drop the typed values: asks, after the chooser
    EXPECT_EQ(services_.requests.size(), 2U);
    EXPECT_EQ(services_.saveQuestions.size(), 1U);
    EXPECT_EQ(document_.SetPath(), b);  // cancelled: nothing loaded
    EXPECT_EQ(dialog_.Field(6)->text(), "2.5");

    dialog_.OnLoadSrb();  // the chooser cancelled: nothing asked
    EXPECT_EQ(services_.saveQuestions.size(), 1U);

    dialog_.OpenFile(WritePicture("leaf.png", kRed));
    services_.saveChoices = {SaveChoice::kCancel};
    dialog_.OpenFile(b);  // a dropped or recent file asks when the set is unsaved
    EXPECT_EQ(services_.saveQuestions.size(), 2U);
    EXPECT_EQ(document_.SetFrom(), CTextureDocument::From::kImport);
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.OpenFile(b);
    EXPECT_EQ(document_.SetPath(), b);
    EXPECT_EQ(dialog_.Field(6)->text(), "2.5");  // the values stay
}

TEST_F(DocumentTest, UndoAndRedoTakeBackImportsAndEditsSeveralStepsDeep) {
    const QString a = WriteMip("a.mip", 2);
    dialog_.OpenFile(a);
    dialog_.OnTexture();
    CTextureViewer* viewer = dialog_.TextureViewer();
    QAction* undo = viewer->UndoAction();
    QAction* redo = viewer->RedoAction();
    EXPECT_EQ(undo->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(redo->shortcut(), QKeySequence("Ctrl+Shift+Z"));
    EXPECT_FALSE(undo->isEnabled());  // a load is not taken back

    const int r0 = document_.Mip().levels[2].Plane(PlaneId::kR)[0];
    EditTopLevel();
    const QString leaf = WritePicture("leaf.png", kRed);
    dialog_.OpenFile(leaf);  // unsaved: asks (unscripted: cancels)
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.OpenFile(leaf);
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.OpenFile(WritePicture("moss.png", kGreen));
    EXPECT_EQ(TitleShown(*viewer), QString::fromUtf8("imported: moss.png* \u2014 Texture"));

    struct Expect {
        QString title;
        QString mipLine;
        bool unsaved;
    };
    const QString mark = QString::fromUtf8(" \u2014 Texture");
    const std::vector<Expect> back = {
        {"imported: leaf.png*" + mark, "Mip imported: '" + leaf + "'", true},
        {"a.mip*" + mark, "Mip loaded: '" + a + "'", true},
        {"a.mip" + mark, "Mip loaded: '" + a + "'", false},  // as loaded: nothing unsaved
    };
    for (const Expect& step : back) {
        ASSERT_TRUE(undo->isEnabled());
        undo->trigger();
        EXPECT_EQ(TitleShown(*viewer), step.title);
        EXPECT_EQ(StatusText(dialog_, kMipLine), step.mipLine);
        EXPECT_EQ(document_.TextureUnsaved(), step.unsaved);
    }
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(document_.Mip().levels[2].Plane(PlaneId::kR)[0], r0);
    redo->trigger();
    EXPECT_NE(document_.Mip().levels[2].Plane(PlaneId::kR)[0], r0);
    redo->trigger();
    redo->trigger();
    EXPECT_EQ(TitleShown(*viewer), QString::fromUtf8("imported: moss.png* \u2014 Texture"));
    EXPECT_FALSE(redo->isEnabled());
}

TEST_F(DocumentTest, TheMipLineFollowsTheSetAndTheMarkSitsBesideTheDamagedLoad) {
    const QString srb = WriteSrb("tree.srb");
    Answer(srb);
    dialog_.OnLoadSrb();
    EXPECT_EQ(StatusText(dialog_, kMipLine), "Mip loaded: '" + srb + "'");

    // An SRB file cut short inside its set: the mark is beside the SRB line, not the MIP line.
    Bytes whole = ReadFile(srb.toStdString());
    whole.resize(whole.size() - 8);
    WriteFile(dir_.Path("cut.srb"), whole);
    Answer(Path("cut.srb"));
    dialog_.OnLoadSrb();
    EXPECT_TRUE(dialog_.SrbWarning()->isVisibleTo(&dialog_));
    EXPECT_FALSE(dialog_.MipWarning()->isVisibleTo(&dialog_));

    // A failed MIP load: the fixed text, and the tooltip says which set is still shown.
    WriteFile(dir_.Path("junk.mip"), Bytes{'n', 'o', 'p', 'e'});
    Answer(Path("junk.mip"));
    dialog_.OnLoadMip();
    EXPECT_EQ(StatusText(dialog_, kMipLine), "no Mip loaded");
    EXPECT_TRUE(
        StatusTip(dialog_, kMipLine).endsWith("Still loaded and shown: '" + Path("cut.srb") + "'."))
        << StatusTip(dialog_, kMipLine).toStdString();
    EXPECT_TRUE(dialog_.MipWarning()->isVisibleTo(&dialog_));
    EXPECT_FALSE(dialog_.SrbWarning()->isVisibleTo(&dialog_));
}

TEST_F(DocumentTest, ALongPathLosesItsMiddleSoTheFileNameStaysInView) {
    const QString deep = Path(std::string(60, 'd') + "-folder");
    ASSERT_TRUE(QDir().mkpath(deep));
    const QString path = deep + "/stone.mip";
    {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, 4, 0, 2));
        ASSERT_EQ(mip.Save(path.toStdString()), 1);
    }
    dialog_.OpenFile(path);
    const auto* line = dialog_.MipStatus();
    EXPECT_TRUE(line->text().startsWith("Mip loaded: '"));
    EXPECT_TRUE(line->text().endsWith("stone.mip'")) << line->text().toStdString();
    EXPECT_TRUE(line->text().contains(QChar(0x2026)));  // the ellipsis
    EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
    EXPECT_TRUE(line->toolTip().startsWith("Mip loaded: '" + path + "'"));
}

TEST_F(DocumentTest, AnImportedSetsReportSaysWhereItCameFrom) {
    const QString leaf = WritePicture("leaf.png", kRed);
    dialog_.OpenFile(leaf);
    dialog_.OnTexture();
    EXPECT_EQ(dialog_.TextureViewer()->ReportText(), "Imported from '" + leaf + "'");
}

TEST_F(DocumentTest, TheHighlightClearsOnANewSetAndEscapeAndNeedsAPalette) {
    dialog_.OpenFile(WritePicture("leaf.png", kRed));  // one colour: a palettised set
    dialog_.OnTexture();
    CTextureViewer* viewer = dialog_.TextureViewer();
    ASSERT_TRUE(viewer->HighlightNextAction()->isEnabled());
    viewer->SetHighlight(0);
    viewer->findChild<QAction*>("clearHighlight")->trigger();  // Escape
    EXPECT_EQ(viewer->ViewState().highlight, -1);
    viewer->SetHighlight(0);
    viewer->SelectSlot(0);  // another level
    EXPECT_EQ(viewer->ViewState().highlight, -1);
    viewer->SetHighlight(0);
    services_.saveChoices = {SaveChoice::kDiscard};
    dialog_.OpenFile(WriteMip("wall.mip", 2));  // argb4444: no palette
    EXPECT_EQ(viewer->ViewState().highlight, -1);
    EXPECT_FALSE(viewer->HighlightNextAction()->isEnabled());
}

TEST(WindowFrames, TheDialogAndTheAboutBoxHaveNoMinimiseOrMaximiseButton) {
    const Qt::WindowFlags expected =
        Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    CTextureDocument document;
    ScriptedServices services;
    const CKorvaleDlg dialog(document, services);
    const CAboutDlg about;
    for (const QWidget* window :
         {static_cast<const QWidget*>(&dialog), static_cast<const QWidget*>(&about)}) {
        const Qt::WindowFlags flags = window->windowFlags();
        EXPECT_EQ(flags & ~Qt::WindowType_Mask, expected & ~Qt::WindowType_Mask)
            << window->windowTitle().toStdString();
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
        EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    }
}

}  // namespace
}  // namespace korvale::test
