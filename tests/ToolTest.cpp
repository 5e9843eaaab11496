// korvale-tool's commands run in-process: exit status, standard output and standard error.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CSrb.h"
#include "CompanionFile.h"
#include "CompanionSize.h"
#include "Image.h"
#include "Inputs.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "TestSupport.h"
#include "ToolRunner.h"

namespace korvale::test {
namespace {

class ToolTest : public testing::Test {
  protected:
    void SetUp() override {
        CSrb srb;
        srb.header = {1.0F, 0.1F, 64.0F, 32.0F, 0.5F, 3.0F};
        srb.sizeInMetres = 1.0F;
        ASSERT_TRUE(MakeMipSet(srb.mip, 5, 0, 2));
        ASSERT_EQ(srb.Save(dir_.Path("tree.srb")), 4);
        ASSERT_EQ(srb.mip.Save(dir_.Path("tree.mip")), 1);
    }
    ScratchDir dir_;
};

TEST_F(ToolTest, InfoPrintsTheLoaderTraceThenASummary) {
    ToolRun r = InProcess({"info", dir_.Path("tree.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind("Loading mip: '" + dir_.Path("tree.mip") + "'\ndatasize: 18\n", 0), 0U)
        << r.out;
    EXPECT_NE(r.out.find("CBmap::Load\nBMAP. Type=5, Size=(4*4), BPR=8, unknown=0\n"),
              std::string::npos);
    EXPECT_NE(
        r.out.find(
            "numimages: 3\nslot 2: type 5, 4 x 4\nslot 1: type 5, 2 x 2\nslot 0: type 5, 1 x 1\n"),
        std::string::npos)
        << r.out;

    r = InProcess({"info", dir_.Path("tree.srb")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("datasize: 18\n", 0), 0U) << r.out;
    EXPECT_NE(r.out.find("SRB header values: 1 0.1 64 32 0.5 3\nsize in metres: 1 (from the "
                         "companion '" +
                         dir_.Path("tree.yrq") + "')\nmiptype: 0\n"),
              std::string::npos)
        << r.out;
}

TEST_F(ToolTest, InfoOfDamagedFilesExitsAsTheLoaderSays) {
    WriteFile(dir_.Path("junk.mip"), Bytes{'j', 'u', 'n', 'k'});
    ToolRun r = InProcess({"info", dir_.Path("junk.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Loading mip: '" + dir_.Path("junk.mip") + "'\n");
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("junk.mip") +
                         ": not an SRB or MIP file (no MIP tag at its start)\n");

    Bytes srb = ReadFile(dir_.Path("tree.srb"));
    srb[8] = 96;  // the SRB size word
    WriteFile(dir_.Path("bad.srb"), srb);
    r = InProcess({"info", dir_.Path("bad.srb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("header was rejected"), std::string::npos) << r.err;

    srb.resize(96);
    srb[8] = 84;
    WriteFile(dir_.Path("short.srb"), srb);
    r = InProcess({"info", dir_.Path("short.srb")});
    EXPECT_EQ(r.status, 3);  // the six values are shown, and the missing set is damage
    EXPECT_NE(r.out.find("no mip set follows"), std::string::npos) << r.out;

    // Damage inside the levels: the load goes on, and the summary and the exit status say so.
    Bytes mip = ReadFile(dir_.Path("tree.mip"));
    mip[120] = 'X';  // the first level's tag
    WriteFile(dir_.Path("hurt.mip"), mip);
    r = InProcess({"info", dir_.Path("hurt.mip")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("CBmap::Load\nNot a BMAP\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("load: first error at offset 120: Not a BMAP\nlevel rejected (slot 2)"),
              std::string::npos)
        << r.out;
    // Under its header what loaded would not load back: saved only when repaired.
    r = InProcess({"convert", dir_.Path("hurt.mip"), dir_.Path("saved.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("saved.mip")));
    r = InProcess({"convert", "--repair", dir_.Path("hurt.mip"), dir_.Path("saved.mip")});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("saved.mip")));  // what loaded is still saved
    r = InProcess({"info", dir_.Path("tree.mip")});
    EXPECT_NE(r.out.find("load: loaded cleanly\n"), std::string::npos) << r.out;
}

TEST_F(ToolTest, InfoJsonIsTheSummaryAloneForScripts) {
    const ToolRun r = InProcess({"info", "--json", dir_.Path("tree.srb")});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);  // the trace is not mixed in
    EXPECT_EQ(json["kind"], "srb");
    EXPECT_EQ(json["header"][2], 64.0);
    EXPECT_EQ(json["mip"]["numimages"], 3);
    ASSERT_EQ(json["levels"].size(), 3U);
    EXPECT_EQ(json["levels"][0]["slot"], 2);
    EXPECT_EQ(json["levels"][0]["typeName"], "argb4444");
    EXPECT_EQ(json["levels"][0]["palette"], "none");
    EXPECT_EQ(json["load"]["clean"], true);
}

TEST_F(ToolTest, ConvertReproducesFilesByteForByte) {
    ToolRun r = InProcess({"convert", dir_.Path("tree.mip"), dir_.Path("copy.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("copy.mip")), ReadFile(dir_.Path("tree.mip")));
    EXPECT_NE(r.out.find("saved MIP: '" + dir_.Path("copy.mip") + "'\n"), std::string::npos);

    std::filesystem::create_directory(dir_.Path("out"));
    r = InProcess({"convert", dir_.Path("tree.srb"), dir_.Path("out/tree.srb"), "--size", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("out/tree.srb")), ReadFile(dir_.Path("tree.srb")));
    EXPECT_EQ(ReadFile(dir_.Path("out/tree.yrq")), ReadFile(dir_.Path("tree.yrq")));
}

// An SRB file's size in metres lives in its companion: info shows it and where it came from,
// and convert keeps it unless --size says otherwise.
TEST_F(ToolTest, TheCompanionsSizeIsShownAndKeptByConvert) {
    ToolRun r =
        InProcess({"convert", "--size", "2.5", dir_.Path("tree.srb"), dir_.Path("big.srb")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = InProcess({"info", dir_.Path("big.srb")});
    EXPECT_NE(r.out.find("SRB header values: 1 0.1 64 32 0.5 3\nsize in metres: 2.5 (from the "
                         "companion '" +
                         dir_.Path("big.yrq") + "')\n"),
              std::string::npos)
        << r.out;
    r = InProcess({"info", "--json", dir_.Path("big.srb")});
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["companion"]["path"], dir_.Path("big.yrq"));
    EXPECT_EQ(json["companion"]["found"], "read");
    EXPECT_EQ(json["companion"]["sizeInMetres"], 2.5);

    r = InProcess({"convert", dir_.Path("big.srb"), dir_.Path("again.srb")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("again.yrq")), CompanionBytes("again", 2.5F));
    r = InProcess({"convert", dir_.Path("big.srb"), dir_.Path("given.srb"), "--size", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("given.yrq")), CompanionBytes("given", 7.0F));

    // Without a companion of its own the size is 1, and info says why.
    std::filesystem::copy_file(dir_.Path("big.yrq"), dir_.Path("copied.yrq"));
    std::filesystem::copy_file(dir_.Path("big.srb"), dir_.Path("copied.srb"));
    std::filesystem::copy_file(dir_.Path("big.srb"), dir_.Path("alone.srb"));
    r = InProcess({"info", dir_.Path("copied.srb")});
    EXPECT_NE(r.out.find("size in metres: 1 (the companion '" + dir_.Path("copied.yrq") +
                         "' is for the object 'big')\n"),
              std::string::npos)
        << r.out;
    r = InProcess({"info", "--json", dir_.Path("alone.srb")});
    EXPECT_EQ(nlohmann::json::parse(r.out)["companion"]["found"], "missing");
    r = InProcess({"convert", dir_.Path("copied.srb"), dir_.Path("one.srb")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("one.yrq")), CompanionBytes("one", 1.0F));
    // A MIP file has no companion: no size line.
    r = InProcess({"info", dir_.Path("tree.mip")});
    EXPECT_EQ(r.out.find("size in metres"), std::string::npos) << r.out;
}

TEST_F(ToolTest, ConvertBetweenKinds) {
    ToolRun r =
        InProcess({"convert", "--size", "2.5", dir_.Path("tree.mip"), dir_.Path("new.SRB")});
    EXPECT_EQ(r.status, 0) << r.err;
    const Bytes srb = ReadFile(dir_.Path("new.SRB"));
    ASSERT_GT(srb.size(), 96U);
    EXPECT_TRUE(
        std::all_of(srb.begin() + 24, srb.begin() + 48, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(Bytes(srb.begin() + 96, srb.end()), ReadFile(dir_.Path("tree.mip")));
    const Bytes yrq = ReadFile(dir_.Path("new.yrq"));
    ASSERT_EQ(yrq.size(), 116U);  // name "new": n = 5, fill 3
    EXPECT_EQ(Bytes(yrq.begin() + 92, yrq.begin() + 96), (Bytes{0x00, 0x00, 0x20, 0x40}));  // 2.5

    r = InProcess({"convert", dir_.Path("tree.srb"), dir_.Path("back.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("back.mip")), ReadFile(dir_.Path("tree.mip")));
}

TEST_F(ToolTest, UsageErrorsAndFailuresAreClearMessages) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::string mip = dir_.Path("tree.mip");
    const std::vector<Case> cases = {
        {{}, 2, "usage: korvale-tool info [--json] FILE..."},
        {{"frobnicate"}, 2, "korvale-tool: unknown command 'frobnicate'"},
        {{"info"}, 2, "korvale-tool: info needs a FILE"},
        {{"convert", mip}, 2, "korvale-tool: convert needs IN and OUT"},
        {{"convert", mip, dir_.Path("x.png")}, 2, "OUT must end in .srb or .mip"},
        {{"convert", mip, dir_.Path("x.srb"), "--size"}, 2, "--size needs a value"},
        {{"convert", mip, dir_.Path("x.srb"), "--size", "abc"},
         2,
         "--size takes a number from 0 to 1000, not 'abc'"},
        {{"convert", mip, dir_.Path("x.srb"), "--size", "1001"}, 2, "--size takes a number"},
        {{"convert", mip, dir_.Path("x.srb"), "--frobnicate"}, 2, "unknown option '--frobnicate'"},
        {{"info", mip, "--force"}, 2, "unknown option '--force'"},
        {{"info", dir_.Path("missing.mip")},
         1,
         "korvale-tool: " + dir_.Path("missing.mip") + ": cannot open: No such file or directory"},
        {{"info", dir_.Root().string()}, 1, "is a folder, not a file"},
        {{"convert", mip, dir_.Path("no/folder/x.mip")},
         1,
         "could not be saved: cannot create a file in " + dir_.Path("no/folder") +
             ": No such file or directory\n"},
        {{"convert", mip, dir_.Path("no/folder/x.srb")}, 1, "could not be saved"},
    };
    for (const Case& c : cases) {
        const ToolRun r = InProcess(c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    const ToolRun help = InProcess({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: korvale-tool info [--json] FILE...\n", 0), 0U);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"tree.mip", "tree.srb", "tree.yrq"}));
}

Image Gradient(int width, int height) {
    return Picture(width, height, [&](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 255 / std::max(1, width - 1)),
                     static_cast<std::uint8_t>(y * 255 / std::max(1, height - 1)), 77,
                     static_cast<std::uint8_t>(x < width / 2 ? 255 : 160)};
    });
}

TEST_F(ToolTest, ExportThenImportGivesTheSameLevelForEveryType) {
    for (const auto& [type, name] : std::vector<std::pair<int, std::string>>{
             {0, "pal4"}, {3, "rgb565"}, {4, "argb1555"}, {5, "argb4444"}}) {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, type, 0, 3));
        ASSERT_EQ(mip.Save(dir_.Path("set.mip")), 1);
        ToolRun r = InProcess({"export", dir_.Path("set.mip"), dir_.Path("top.png"), "--force"});
        ASSERT_EQ(r.status, 0) << r.err;
        r = InProcess({"import", dir_.Path("top.png"), dir_.Path("back.mip"), "--type", name,
                       "--levels", "1", "-f"});
        ASSERT_EQ(r.status, 0) << r.err;
        CMip back;
        (void)CaptureStdout([&] { ASSERT_EQ(back.Load(dir_.Path("back.mip")), 1); });
        EXPECT_TRUE(SameLevel(back.levels[3], mip.levels[3])) << name;
        if (type == 0) {
            EXPECT_EQ(back.globalPalette, mip.globalPalette);
        }
    }
}

TEST_F(ToolTest, ImportReusesThePaletteOfAnotherFile) {
    CMip palettised;
    ASSERT_TRUE(MakeMipSet(palettised, 0, 0, 2));
    ASSERT_EQ(palettised.Save(dir_.Path("pal.mip")), 1);
    WritePng(dir_.Path("picture.png"), Gradient(32, 32));
    const ToolRun r =
        InProcess({"import", dir_.Path("picture.png"), dir_.Path("out.srb"), "--palette",
                   dir_.Path("pal.mip"), "--values", "1,2,3,4,5,6", "--size", "2.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "imported '" + dir_.Path("picture.png") + "' into '" + dir_.Path("out.srb") +
                         "': 6 levels from 32 x 32, pal4, one shared palette\n");
    CSrb srb;
    (void)CaptureStdout([&] { ASSERT_EQ(srb.Load(dir_.Path("out.srb")), 1); });
    EXPECT_EQ(srb.mip.globalPalette, palettised.globalPalette);
    EXPECT_EQ(srb.header[5], 6.0F);
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("out.yrq")));
}

TEST_F(ToolTest, CompareReportsPsnrPerLevel) {
    ToolRun r = InProcess({"compare", dir_.Path("tree.mip"), dir_.Path("tree.srb")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("slot 2: 4 x 4, colour PSNR inf dB, alpha PSNR inf dB, largest "
                         "difference 0\n"),
              std::string::npos)
        << r.out;
    // Red off by 10 in one of two opaque pixels: MSE 100 / 6 over three channels.
    Image a;
    a.width = 2;
    a.height = 1;
    a.pixels = {100, 50, 50, 255, 0, 0, 0, 255};
    Image b = a;
    b.pixels[0] = 110;
    WritePng(dir_.Path("a.png"), a);
    WritePng(dir_.Path("b.png"), b);
    r = InProcess({"compare", dir_.Path("a.png"), dir_.Path("b.png")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "slot 1: 2 x 1, colour PSNR 35.91 dB, alpha PSNR inf dB, largest "
              "difference 10, 1 of 2 pixels differ\n");
    r = InProcess({"compare", dir_.Path("a.png"), dir_.Path("b.png"), "--min-psnr", "40"});
    EXPECT_EQ(r.status, 1);
    r = InProcess({"compare", dir_.Path("a.png"), dir_.Path("tree.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("slot 2: only in B\nslot 1: 2 x 1 in A but 2 x 2 in B\n"),
              std::string::npos)
        << r.out;

    // A source picture whose size no slot takes stands for the chain an import builds from it:
    // 100 x 60 rounds to 128 x 64, eight levels.
    WritePng(dir_.Path("source.png"), Gradient(100, 60));
    r = InProcess({"import", dir_.Path("source.png"), dir_.Path("made.mip"), "--type", "argb4444"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = InProcess({"compare", dir_.Path("source.png"), dir_.Path("made.mip"), "--min-psnr", "30"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("slot 7: 128 x 64, colour PSNR ", 0), 0U) << r.out;
    EXPECT_NE(r.out.find("slot 0: 1 x 1, colour PSNR "), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("only in"), std::string::npos) << r.out;
}

TEST_F(ToolTest, BadPicturesFailClearlyAndWriteNothing) {
    WritePng(dir_.Path("good.png"), Gradient(8, 8));
    const Bytes good = ReadFile(dir_.Path("good.png"));
    WriteFile(dir_.Path("cut.png"), Bytes(good.begin(), good.begin() + 40));
    WriteFile(dir_.Path("text.png"), Bytes{'h', 'e', 'l', 'l', 'o'});
    Bytes huge = good;  // IHDR claims 20000 x 20000 (its CRC no longer matches either)
    huge[16] = 0;
    huge[17] = 0;
    huge[18] = 0x4E;
    huge[19] = 0x20;
    huge[20] = 0;
    huge[21] = 0;
    huge[22] = 0x4E;
    huge[23] = 0x20;
    WriteFile(dir_.Path("huge.png"), huge);
    for (const std::string name : {"cut.png", "text.png", "huge.png", "none.png"}) {
        const ToolRun r = InProcess({"import", dir_.Path(name), dir_.Path("out.mip")});
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(r.err.rfind("korvale-tool: " + dir_.Path(name) + ": ", 0), 0U) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path("out.mip"))) << name;
    }

    // Many files: a bad one is named and the others are still made.
    const ToolRun r = InProcess({"import", dir_.Path("good.png"), dir_.Path("text.png"), "-o",
                                 dir_.Path("made"), "-j", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 imported, 1 failed\n");
    EXPECT_NE(r.err.find(dir_.Path("text.png") + ": "), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("made/good.mip")));
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("made/text.mip")));
}

TEST_F(ToolTest, ExportWritesEveryLevelOrASheet) {
    ToolRun r = InProcess({"export", dir_.Path("tree.srb"), "--all", dir_.Path("levels")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("levels/tree-4x4.png")));
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("levels/tree-1x1.png")));
    r = InProcess({"export", dir_.Path("tree.mip"), "--sheet", dir_.Path("sheet.png")});
    EXPECT_EQ(r.status, 0) << r.err;
    Image sheet;
    ASSERT_TRUE(ReadPicture(dir_.Path("sheet.png"), sheet).Ok());
    EXPECT_EQ(sheet.width, 4 + 2 + 1);
    EXPECT_EQ(sheet.height, 4);
    EXPECT_EQ(sheet.pixels[4 * (3 * 7 + 6) + 3], 0);  // below the 1 x 1 level: transparent
}

// The painter's round trip: export, change a pixel, import like the original. Everything the
// game relies on is the original's, and the top level differs only in the painted pixel.
TEST_F(ToolTest, ImportLikeAnOriginalKeepsItsTypePaletteLevelsAndValues) {
    const std::vector<Rgba8> colours = {
        {200, 30, 30, 255}, {30, 200, 30, 255}, {30, 30, 200, 255}, {250, 250, 250, 255}};
    WritePng(dir_.Path("four.png"), Picture(8, 8, [&](int x, int y) {
                 return colours[static_cast<std::size_t>((x / 2 + y) % 4)];
             }));
    ToolRun r = InProcess({"import", dir_.Path("four.png"), dir_.Path("made.srb"), "--levels", "3",
                           "--repeat", "2", "--values", "1,2,3,4,5,6", "--size", "2.5"});
    ASSERT_EQ(r.status, 0) << r.err;
    CSrb original;
    (void)CaptureStdout([&] { ASSERT_EQ(original.Load(dir_.Path("made.srb")), 1); });
    for (const int k : original.mip.FilledSlots()) {  // a code import alone never makes
        CBmap& level = original.mip.levels[static_cast<std::size_t>(k)];
        CBmap coded;
        ASSERT_TRUE(coded.Allocate(1, level.Width(), level.Height()));
        for (const PlaneId p :
             {PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA, PlaneId::kIndex}) {
            std::ranges::copy(std::as_const(level).Plane(p), coded.Plane(p).begin());
        }
        level = std::move(coded);
    }
    original.sizeInMetres = 2.5F;
    ASSERT_GT(original.Save(dir_.Path("orig.srb")), 0);

    r = InProcess({"export", dir_.Path("orig.srb"), dir_.Path("top.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    Image top;
    ASSERT_TRUE(ReadPicture(dir_.Path("top.png"), top).Ok());
    top.palette.clear();  // as a painter saves it: plain RGBA
    top.indices.clear();
    std::copy_n(colours[3].begin(), 4, top.pixels.begin());  // pixel (0, 0) painted white
    WritePng(dir_.Path("painted.png"), top);

    r = InProcess({"import", dir_.Path("painted.png"), dir_.Path("back.srb"), "--like",
                   dir_.Path("orig.srb"), "--palette", "keep"});
    ASSERT_EQ(r.status, 0) << r.err;
    CSrb back;
    (void)CaptureStdout([&] { ASSERT_EQ(back.Load(dir_.Path("back.srb")), 1); });
    EXPECT_EQ(back.header, original.header);
    EXPECT_EQ(back.mip.FilledSlots(), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(back.mip.RepeatCode(), 2);
    EXPECT_EQ(back.mip.miptype, original.mip.miptype);
    EXPECT_EQ(back.mip.globalPalette, original.mip.globalPalette);
    EXPECT_EQ(back.mip.levels[3].Type(), 1);
    const auto before = original.mip.levels[3].Plane(PlaneId::kIndex);
    const auto after = back.mip.levels[3].Plane(PlaneId::kIndex);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        changed += before[i] != after[i] ? 1 : 0;
    }
    EXPECT_EQ(changed, 1U);
    EXPECT_NE(before[0], after[0]);
    EXPECT_EQ(ReadCompanionSize(dir_.Path("back.srb")).metres, 2.5F);  // the companion's size too

    // A 16-bit original made from a picture of many colours: its smaller levels were averaged
    // from the picture, not from the stored top. Only the painted pixel's footprint changes.
    WritePng(dir_.Path("many.png"), Picture(16, 16, [](int x, int y) {
                 return Rgba8{static_cast<std::uint8_t>((x * 37 + y * 91) % 256),
                              static_cast<std::uint8_t>((x * 53 + y * 29) % 256),
                              static_cast<std::uint8_t>((x * 11 + y * 71) % 256), 255};
             }));
    ASSERT_EQ(
        InProcess({"import", dir_.Path("many.png"), dir_.Path("many.mip"), "--type", "argb4444"})
            .status,
        0);
    ASSERT_EQ(InProcess({"export", dir_.Path("many.mip"), dir_.Path("many-top.png")}).status, 0);
    Image painted;
    ASSERT_TRUE(ReadPicture(dir_.Path("many-top.png"), painted).Ok());
    std::copy_n(std::array<std::uint8_t, 4>{255, 0, 255, 255}.begin(), 4, painted.pixels.begin());
    WritePng(dir_.Path("many-painted.png"), painted);
    ASSERT_EQ(InProcess({"import", dir_.Path("many-painted.png"), dir_.Path("many-back.mip"),
                         "--like", dir_.Path("many.mip")})
                  .status,
              0);
    r = InProcess({"compare", dir_.Path("many.mip"), dir_.Path("many-back.mip")});
    for (const std::string level :
         {"slot 4: 16 x 16", "slot 3: 8 x 8", "slot 2: 4 x 4", "slot 1: 2 x 2", "slot 0: 1 x 1"}) {
        const std::size_t at = r.out.find(level);
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        EXPECT_TRUE(line.ends_with("largest difference 0") ||
                    line.find(", 1 of ") != std::string::npos)
            << line;
    }
    EXPECT_NE(r.out.find("slot 4: 16 x 16, colour PSNR"), std::string::npos);
    EXPECT_NE(r.out.find(", 1 of 256 pixels differ"), std::string::npos) << r.out;
}

TEST_F(ToolTest, BatchExportWritesEveryLevelOnceAndRefusesClashes) {
    ToolRun r = InProcess({"export", dir_.Path("tree.mip"), dir_.Path("tree.srb"), "-o",
                           dir_.Path("out"), "--all", "-j", "2"});
    EXPECT_EQ(r.status, 1);  // tree.mip and tree.srb both name their levels tree-WxH.png
    EXPECT_EQ(r.out, "0 exported, 2 failed\n");
    EXPECT_NE(r.err.find(dir_.Path("tree.mip") + ", " + dir_.Path("tree.srb")), std::string::npos)
        << r.err;

    std::filesystem::copy_file(dir_.Path("tree.srb"), dir_.Path("bush.srb"));
    r = InProcess({"export", dir_.Path("tree.mip"), dir_.Path("bush.srb"), "-o", dir_.Path("out"),
                   "--all", "-j", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 exported, 0 failed\n");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path("out"))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"bush-1x1.png", "bush-2x2.png", "bush-4x4.png",
                                               "tree-1x1.png", "tree-2x2.png", "tree-4x4.png"}));

    r = InProcess({"export", dir_.Path("tree.mip"), "-o", dir_.Path("one"), "--sheet"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("one/tree-sheet.png")));
}

// Two threads at a time write what one file at a time writes, byte for byte, for pictures of
// every pixel type: the workers share nothing that changes the result.
TEST(ToolBatch, ManyFilesOnTwoThreadsGiveWhatOneAtATimeGives) {
    ScratchDir dir;
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) {
        names.push_back("pic" + std::to_string(i));
        const int width = 8 << (i % 3);
        Image picture = Picture(width, 8, [i](int x, int y) {
            const auto alpha = i % 4 == 0 ? 255 : i % 4 == 1 ? (x < 4 ? 0 : 255) : 100 + x * 2;
            return Rgba8{static_cast<std::uint8_t>(x * 9 + i * 30),
                         static_cast<std::uint8_t>(y * 31), static_cast<std::uint8_t>(i * 20),
                         static_cast<std::uint8_t>(alpha)};
        });
        if (i % 4 == 3) {  // at most 16 colours: pal4
            picture = Picture(width, 8, [i](int x, int y) {
                return Rgba8{static_cast<std::uint8_t>((x + y) % 4 * 60),
                             static_cast<std::uint8_t>(i * 20), 40, 255};
            });
        }
        WritePng(dir.Path(names.back() + ".png"), picture);
    }
    std::vector<std::string> import = {"import"};
    std::vector<std::string> exportAll = {"export"};
    for (const std::string& name : names) {
        import.push_back(dir.Path(name + ".png"));
        exportAll.push_back(dir.Path("batch/" + name + ".mip"));
        ToolRun one = InProcess({"import", dir.Path(name + ".png"), dir.Path(name + ".mip")});
        ASSERT_EQ(one.status, 0) << one.err;
        one = InProcess({"export", dir.Path(name + ".mip"), "--all", dir.Path("levels")});
        ASSERT_EQ(one.status, 0) << one.err;
    }
    import.insert(import.end(), {"-o", dir.Path("batch"), "-j", "2"});
    exportAll.insert(exportAll.end(), {"-o", dir.Path("batch-levels"), "-j", "2"});
    exportAll.push_back("--all");
    ToolRun r = InProcess(import);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "8 imported, 0 failed\n");
    r = InProcess(exportAll);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "8 exported, 0 failed\n");
    for (const std::string& name : names) {
        EXPECT_EQ(ReadFile(dir.Path("batch/" + name + ".mip")), ReadFile(dir.Path(name + ".mip")))
            << name;
    }
    std::vector<std::string> levels;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("levels"))) {
        levels.push_back(entry.path().filename().string());
        EXPECT_EQ(ReadFile(dir.Path("batch-levels/" + levels.back())), ReadFile(entry.path()))
            << levels.back();
    }
    EXPECT_GT(levels.size(), 8U * 4U);
}

}  // namespace
}  // namespace korvale::test
