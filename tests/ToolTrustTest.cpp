// What korvale-tool promises a user who points it at many files: nothing lost (saves on disk
// before they count, outputs never replaced unasked or written twice), nothing misreported
// (damage and cut-short files said by every command, saves reported by what was written), and
// the palette a level is shown with is the one it is exported and saved with.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "CSrb.h"
#include "Inputs.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "SetBuilder.h"
#include "TestSupport.h"
#include "ToolRunner.h"

namespace korvale::test {
namespace {

class ToolTrust : public testing::Test {
  protected:
    void SetUp() override {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, 5, 0, 3));
        ASSERT_EQ(mip.Save(dir_.Path("tree.mip")), 1);
        WritePng(dir_.Path("wall.png"), Picture(8, 8, [](int x, int y) {
                     return Rgba8{static_cast<std::uint8_t>(x * 30),
                                  static_cast<std::uint8_t>(y * 30), 90, 255};
                 }));
    }
    std::string Text(const std::string& name) const {
        const Bytes b = ReadFile(dir_.Path(name));
        return {b.begin(), b.end()};
    }
    ScratchDir dir_;
};

TEST_F(ToolTrust, BatchInputsThatWouldWriteOneOutputAreAllRefused) {
    std::filesystem::create_directories(dir_.Path("a"));
    std::filesystem::create_directories(dir_.Path("b"));
    std::filesystem::copy_file(dir_.Path("wall.png"), dir_.Path("a/wall.png"));
    std::filesystem::copy_file(dir_.Path("wall.png"), dir_.Path("b/wall.png"));
    std::filesystem::copy_file(dir_.Path("wall.png"), dir_.Path("road.day.png"));
    const ToolRun r = InProcess({"import", dir_.Path("a/wall.png"), dir_.Path("b/wall.png"),
                                 dir_.Path("road.day.png"), "-o", dir_.Path("out"), "-j", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 imported, 2 failed\n");
    for (const char* name : {"a/wall.png", "b/wall.png"}) {
        EXPECT_NE(r.err.find(dir_.Path(name)), std::string::npos) << r.err;
    }
    // Only the last extension goes; the clashing name is written by neither.
    EXPECT_EQ(std::vector<std::string>{"road.day.mip"}, [&] {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path("out"))) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }());

    // An SRB file's companion is named up to the first dot: two outputs can share one.
    std::filesystem::copy_file(dir_.Path("wall.png"), dir_.Path("road.night.png"));
    const ToolRun srb = InProcess({"import", dir_.Path("road.day.png"), dir_.Path("road.night.png"),
                                   "-o", dir_.Path("srb"), "--srb"});
    EXPECT_EQ(srb.status, 1);
    EXPECT_EQ(srb.out, "0 imported, 2 failed\n");
    EXPECT_NE(srb.err.find(dir_.Path("srb/road.yrq")), std::string::npos) << srb.err;

    const ToolRun all = InProcess({"export", dir_.Path("tree.mip"), "--all", dir_.Path("lv")});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("lv/tree-8x8.png")));
}

// Without --force an existing output is left byte for byte, named, and counted as failed.
TEST_F(ToolTrust, ExistingOutputsAreReplacedOnlyWhenForced) {
    const std::string mip = dir_.Path("tree.mip");
    const std::string png = dir_.Path("wall.png");
    std::filesystem::create_directories(dir_.Path("lv"));
    std::filesystem::create_directories(dir_.Path("batch"));
    struct Case {
        std::vector<std::string> args;
        std::string existing;  // the output that is there already
    };
    const std::vector<Case> cases = {
        {{"convert", mip, dir_.Path("old.mip")}, "old.mip"},
        {{"convert", mip, dir_.Path("old.srb")}, "old.yrq"},  // the companion counts too
        {{"import", png, dir_.Path("old.mip")}, "old.mip"},
        {{"import", png, "-o", dir_.Path("batch")}, "batch/wall.mip"},
        {{"export", mip, dir_.Path("old.png")}, "old.png"},
        {{"export", mip, "--sheet", dir_.Path("old.png")}, "old.png"},
        {{"export", mip, "--all", dir_.Path("lv")}, "lv/tree-2x2.png"},
        {{"export", mip, "-o", dir_.Path("batch"), "--level", "1"}, "batch/tree.png"},
    };
    const Bytes old = {'o', 'l', 'd'};
    for (const Case& c : cases) {
        WriteFile(dir_.Path(c.existing), old);
        ToolRun r = InProcess(c.args);
        EXPECT_EQ(r.status, 1) << c.existing;
        EXPECT_NE(r.err.find(dir_.Path(c.existing) + " exists; --force replaces it"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(ReadFile(dir_.Path(c.existing)), old) << c.existing;
        std::vector<std::string> forced = c.args;
        forced.push_back("--force");
        r = InProcess(forced);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(ReadFile(dir_.Path(c.existing)), old) << c.existing;
        std::filesystem::remove(dir_.Path(c.existing));
    }
}

TEST_F(ToolTrust, DashIsStandardOutputOnlyForOneExportedLevel) {
    ToolRun r = InProcess({"export", dir_.Path("tree.mip"), "-", "--level", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    Image level;
    ASSERT_TRUE(ReadPng(Bytes(r.out.begin(), r.out.end()), level).Ok());
    EXPECT_EQ(level.width, 2);
    EXPECT_NE(r.err.find("wrote slot 1 (2 x 2, argb4444) to '-'"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("-")));

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"convert", dir_.Path("tree.mip"), "-"},
                                               {"import", dir_.Path("wall.png"), "-"},
                                               {"import", dir_.Path("wall.png"), "-o", "-"},
                                               {"export", dir_.Path("tree.mip"), "--all", "-"},
                                               {"export", dir_.Path("tree.mip"), "--sheet", "-"},
                                               {"export", dir_.Path("tree.mip"), "-o", "-"}}) {
        r = InProcess(args);
        EXPECT_EQ(r.status, 2) << args.back() << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("-")));
}

TEST_F(ToolTrust, AFileCutShortInsideItsHeaderIsReportedSo) {
    Bytes head = ReadFile(dir_.Path("tree.mip"));
    head.resize(40);  // inside numimages
    WriteFile(dir_.Path("head.mip"), head);
    ToolRun r = InProcess({"info", dir_.Path("head.mip")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("col: 7\nrepeat: 1 (h=1, v=0)\nnumimages: (not in the file)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("the file is cut short"), std::string::npos) << r.out;
    r = InProcess({"info", "--json", dir_.Path("head.mip")});
    EXPECT_EQ(r.status, 3);
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["mip"]["col"], 7);
    EXPECT_TRUE(json["mip"]["numimages"].is_null());
    EXPECT_EQ(json["load"]["cutShort"], true);
}

// export and compare do their work, then say what the load found, as info and convert do.
TEST_F(ToolTrust, EveryCommandThatLoadsReportsDamage) {
    Bytes cut = ReadFile(dir_.Path("tree.mip"));
    cut.resize(cut.size() - 3);  // inside the last level's rows
    WriteFile(dir_.Path("cut.mip"), cut);
    struct Case {
        std::vector<std::string> args;
        std::string written;
    };
    const std::vector<Case> cases = {
        {{"export", dir_.Path("cut.mip"), dir_.Path("top.png")}, "top.png"},
        {{"export", dir_.Path("cut.mip"), "-o", dir_.Path("many")}, "many/cut.png"},
        {{"compare", dir_.Path("cut.mip"), dir_.Path("cut.mip")}, ""},
        // The lost bottom level would leave the header one level too long: only a repair saves.
        {{"convert", dir_.Path("cut.mip"), dir_.Path("saved.mip"), "--repair"}, "saved.mip"},
    };
    for (const Case& c : cases) {
        const ToolRun r = InProcess(c.args);
        EXPECT_EQ(r.status, 3) << c.args[0] << r.err;
        EXPECT_NE(r.err.find(dir_.Path("cut.mip")), std::string::npos) << r.err;
        if (!c.written.empty()) {
            EXPECT_TRUE(std::filesystem::exists(dir_.Path(c.written))) << c.written;
        }
    }
    // A palette file says what is wrong with it: its damage, or the PNG reader's reason.
    ToolRun r = InProcess(
        {"import", dir_.Path("wall.png"), dir_.Path("p.mip"), "--palette", dir_.Path("cut.mip")});
    EXPECT_NE(r.err.find(dir_.Path("cut.mip") + ": first error"), std::string::npos) << r.err;
    Bytes png = ReadFile(dir_.Path("wall.png"));
    png.resize(30);
    WriteFile(dir_.Path("short.png"), png);
    r = InProcess(
        {"import", dir_.Path("wall.png"), dir_.Path("q.mip"), "--palette", dir_.Path("short.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("is neither a PNG"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir_.Path("short.png") + ": "), std::string::npos) << r.err;
}

// tree.mip is argb4444 from 8 x 8 down with a global palette: its top level's chunk starts at 120.
constexpr std::size_t kTopLevel = 44 + 76;

TEST_F(ToolTrust, ConvertRefusesASetThatWouldNotReloadAsItLoadedAndRepairsItWhenAsked) {
    Bytes bytes = ReadFile(dir_.Path("tree.mip"));
    bytes[kTopLevel + 26] = 0x50;  // a width past the limit: the top level is rejected
    WriteFile(dir_.Path("top.mip"), bytes);
    for (const std::string out : {"out.mip", "out.srb"}) {
        const ToolRun r = InProcess({"convert", dir_.Path("top.mip"), dir_.Path(out)});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(dir_.Path(out) +
                             ": could not be saved: the header (powerwidth 3, powerheight 3, "
                             "numimages 4) would read the level of slot 2 into slot 3"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("; korvale-tool convert --repair writes the levels under a header "
                             "made from them\n"),
                  std::string::npos)
            << r.err;
        EXPECT_EQ(r.out.find("saved"), std::string::npos) << r.out;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path(out)));
    }
    ToolRun r = InProcess({"convert", dir_.Path("top.mip"), dir_.Path("out.mip"), "--repair"});
    EXPECT_EQ(r.status, 3) << "the damage is still reported";
    EXPECT_NE(r.out.find("repaired: powerwidth 3 -> 2\nrepaired: powerheight 3 -> 2\n"
                         "repaired: numimages 4 -> 3\nsaved MIP: '" +
                         dir_.Path("out.mip") + "'\n"),
              std::string::npos)
        << r.out;
    r = InProcess({"info", dir_.Path("out.mip")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("slot 2: type 5, 4 x 4\n"), std::string::npos) << r.out;
    r = InProcess({"convert", "-q", "--repair", dir_.Path("top.mip"), dir_.Path("q.srb")});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
}

TEST_F(ToolTrust, ALevelOfAnUnknownPixelTypeIsDamage) {
    Bytes bytes = ReadFile(dir_.Path("tree.mip"));
    bytes[kTopLevel + 24] = 7;  // the top level's type byte
    WriteFile(dir_.Path("seven.mip"), bytes);
    const std::string finding =
        "level in slot 3 at offset 144: pixel type 7 is none of the six; its pixels were not read";
    ToolRun r = InProcess({"info", dir_.Path("seven.mip")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("slot 3: type 7, 8 x 8\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(finding), std::string::npos) << r.out;
    r = InProcess({"info", "--json", dir_.Path("seven.mip")});
    EXPECT_EQ(r.status, 3);
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["load"]["clean"], false);
    EXPECT_EQ(json["load"]["unknownTypeLevels"],
              nlohmann::json::parse(R"([{"slot": 3, "offset": 144, "type": 7}])"));

    r = InProcess({"convert", dir_.Path("seven.mip"), dir_.Path("out.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir_.Path("seven.mip") + ": " + finding), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(dir_.Path("out.mip") +
                         ": could not be saved: the level in slot 3 has a pixel type none of "
                         "the six"),
              std::string::npos)
        << r.err;
    r = InProcess({"convert", dir_.Path("seven.mip"), dir_.Path("out.mip"), "--repair"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("repaired: slot 3 dropped: its pixel type 7 is none of the six, so its "
                         "pixels were never read\nrepaired: powerwidth 3 -> 2\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(InProcess({"info", dir_.Path("out.mip")}).status, 0);
}

TEST_F(ToolTrust, AnSrbFileWithAnEmptyObjectNameIsSavedAndSaidSo) {
    const ToolRun r = InProcess({"convert", "-q", dir_.Path("tree.mip"), dir_.Path(".hidden.srb")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(std::filesystem::exists(dir_.Path(".hidden.srb")));
    EXPECT_EQ(ReadFile(dir_.Path(".yrq")).size(), 112U);  // n = 2, two fill bytes
}

TEST_F(ToolTrust, MessagesNameTheRightFileAndCause) {
    WritePng(dir_.Path("odd.png"), Picture(5, 5, [](int, int) { return Rgba8{1, 2, 3, 255}; }));
    ToolRun r =
        InProcess({"import", dir_.Path("wall.png"), dir_.Path("odd.png"), dir_.Path("x.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("odd.png") +
                         ": a level of 5 x 5 has no place in a chain from 8 x 8\n");

    r = InProcess({"convert", dir_.Path("tree.mip"), dir_.Path("no/x.mip")});
    EXPECT_EQ(r.err.find("previous"), std::string::npos) << r.err;

    const std::string png = dir_.Path("wall.png");
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {{"import", png, dir_.Path("a.mip"), "--size", "3x5"}, 2},
        {{"import", png, dir_.Path("a.mip"), "--values", "1,2,3,4,5,6"}, 2},
        {{"import", png, dir_.Path("a.mip"), "--size", "2.5"}, 2},
        {{"import", png, "-o", dir_.Path("o"), "--values", "1,2,3,4,5,6"}, 2},
        {{"convert", dir_.Path("tree.mip"), dir_.Path("b.mip"), "--size", "2"}, 2},
        {{"import", png, dir_.Path("a.srb"), "--values", "1,2,3,4,5,100001"}, 2},
        {{"import", png, dir_.Path("a.srb"), "--values", "-1,2,3,4,5,6"}, 2},
        // The editor's reader: a leading '+' and a tiny exponent are numbers.
        {{"import", png, dir_.Path("c.srb"), "--values", "1e-50,+2,0,0,0,100000"}, 0},
    };
    for (const Case& c : cases) {
        r = InProcess(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
    }
    CSrb back;
    (void)CaptureStdout([&] { ASSERT_EQ(back.Load(dir_.Path("c.srb")), 1); });
    EXPECT_EQ(back.header[1], 2.0F);
    EXPECT_EQ(back.header[5], 100000.0F);
}

TEST_F(ToolTrust, APaletteFileWithoutAPalettisedLevelIsRefused) {
    CMip sixteen;
    ASSERT_TRUE(MakeMipSet(sixteen, 3, 3, 2));
    ASSERT_EQ(sixteen.Save(dir_.Path("rgb.mip")), 1);
    const ToolRun r = InProcess(
        {"import", dir_.Path("wall.png"), dir_.Path("x.mip"), "--palette", dir_.Path("rgb.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("rgb.mip") +
                         ": holds no palettised level, so no palette to reuse\n");
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("x.mip")));
}

// A level with its own palette in a set whose miptype keeps only the global one: it is shown,
// described and exported with its own, and a save that cannot keep it says so.
TEST_F(ToolTrust, ALevelsPaletteIsTheOneItsPixelsWereReadWith) {
    CMip own;
    ASSERT_TRUE(MakeMipSet(own, 0, 2, 1));
    ASSERT_EQ(own.Save(dir_.Path("own.mip")), 1);
    Bytes bytes = ReadFile(dir_.Path("own.mip"));
    bytes[24] = 0;  // miptype 0, each level still carrying its CMAP chunk
    WriteFile(dir_.Path("own0.mip"), bytes);

    ToolRun r = InProcess({"info", "--json", dir_.Path("own0.mip")});
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["levels"][0]["palette"], "own");

    r = InProcess({"export", dir_.Path("own0.mip"), dir_.Path("top.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    Image top;
    ASSERT_TRUE(ReadPicture(dir_.Path("top.png"), top).Ok());
    const Colour first = own.levelPalettes[1].Entry(0);
    EXPECT_EQ(top.palette.at(0),
              (Rgba8{static_cast<std::uint8_t>(first.r), static_cast<std::uint8_t>(first.g),
                     static_cast<std::uint8_t>(first.b), static_cast<std::uint8_t>(first.a)}));

    r = InProcess({"convert", dir_.Path("own0.mip"), dir_.Path("saved.mip"), "--recolour"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(dir_.Path("saved.mip") +
                         ": the levels in slots 1, 0 change colour: with miptype 0 only the "
                         "global palette is saved"),
              std::string::npos)
        << r.err;
    r = InProcess({"convert", dir_.Path("own.mip"), dir_.Path("kept.mip")});
    EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace korvale::test
