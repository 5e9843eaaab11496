// korvale-tool pointed at a whole game folder: names that are not UTF-8, files that do not load,
// the same file given twice, trees of folders, and outputs that cannot be written. Every input
// gets its say, once, and nothing a script reads is lost or split.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "CSrb.h"
#include "Inputs.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "SetBuilder.h"
#include "TestSupport.h"
#include "ToolRunner.h"

namespace korvale::test {
namespace {

class ToolFolder : public testing::Test {
  protected:
    void SetUp() override {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, 5, 0, 3));
        ASSERT_EQ(mip.Save(dir_.Path("tree.mip")), 1);
        CSrb srb;
        srb.header = {1.0F, 2.0F, 3.0F, 4.0F, 5.0F, 6.0F};
        ASSERT_TRUE(MakeMipSet(srb.mip, 3, 0, 2));
        ASSERT_GT(srb.Save(dir_.Path("bush.srb")), 0);
    }
    ScratchDir dir_;
};

// Every line of text a JSON object of its own: what a script's line reader sees.
std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));  // throws on anything but one object
        EXPECT_TRUE(lines.back().is_object()) << line;
    }
    return lines;
}

// Runs body with the scratch folder as the working folder, so names can be given relative.
template <typename Body>
void InFolder(const ScratchDir& dir, Body body) {
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Root());
    body();
    std::filesystem::current_path(before);
}

TEST_F(ToolFolder, InfoJsonWritesANameThatIsNotUtf8AndKeepsItsBytes) {
    std::filesystem::copy_file(dir_.Path("tree.mip"), dir_.Path("b\xff.mip"));
    InFolder(dir_, [] {
        const ToolRun r = InProcess({"info", "--json", "tree.mip", "b\xff.mip", "bush.srb"});
        EXPECT_EQ(r.status, 0) << r.err;
        const std::vector<nlohmann::json> lines = JsonLines(r.out);
        ASSERT_EQ(lines.size(), 3U) << r.out;
        EXPECT_EQ(lines[0]["file"], "tree.mip");
        EXPECT_FALSE(lines[0].contains("fileBase64"));     // only where the name needs it
        EXPECT_EQ(lines[1]["file"], "b\xEF\xBF\xBD.mip");  // U+FFFD for the byte FF
        EXPECT_EQ(lines[1]["fileBase64"], "Yv8ubWlw");     // 62 FF 2E 6D 69 70
        EXPECT_EQ(lines[1]["levels"].size(), 4U);
        EXPECT_EQ(lines[2]["file"], "bush.srb");
    });
}

TEST_F(ToolFolder, InfoJsonGivesEveryFileOneLineEvenWhenItDoesNotLoad) {
    WriteFile(dir_.Path("junk.mip"), Bytes{'j', 'u', 'n', 'k'});
    const ToolRun r = InProcess({"info", "--json", dir_.Path("tree.mip"), dir_.Path("missing.mip"),
                                 dir_.Path("junk.mip"), dir_.Path("bush.srb")});
    EXPECT_EQ(r.status, 1);
    const std::vector<nlohmann::json> lines = JsonLines(r.out);
    ASSERT_EQ(lines.size(), 4U) << r.out;
    EXPECT_EQ(lines[0]["load"]["clean"], true);
    EXPECT_TRUE(lines[0]["error"].is_null());
    EXPECT_EQ(lines[1]["file"], dir_.Path("missing.mip"));
    EXPECT_EQ(lines[1]["load"]["clean"], false);  // select(.load.clean | not) finds it
    EXPECT_EQ(lines[1]["error"], "cannot open: No such file or directory");
    EXPECT_TRUE(lines[1]["mip"].is_null());
    EXPECT_EQ(lines[1]["levels"], nlohmann::json::array());
    EXPECT_EQ(lines[2]["error"], "not an SRB or MIP file (no MIP tag at its start)");
    EXPECT_EQ(lines[3]["kind"], "srb");
    // The failures are still said on standard error.
    EXPECT_NE(r.err.find(dir_.Path("missing.mip") + ": cannot open"), std::string::npos);

    // One file is one line too, so a glob that matches one file reads as well as many.
    const ToolRun one = InProcess({"info", "--json", dir_.Path("tree.mip")});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(std::count(one.out.begin(), one.out.end(), '\n'), 1) << one.out;
    EXPECT_EQ(JsonLines(one.out).at(0)["file"], dir_.Path("tree.mip"));
}

// A level with its own palette in a set whose miptype keeps only the global one.
TEST_F(ToolFolder, ConvertRefusesToChangeColoursUnlessAsked) {
    CMip own;
    ASSERT_TRUE(MakeMipSet(own, 0, 2, 1));
    ASSERT_EQ(own.Save(dir_.Path("own.mip")), 1);
    Bytes bytes = ReadFile(dir_.Path("own.mip"));
    bytes[24] = 0;  // miptype 0, each level still carrying its CMAP chunk
    WriteFile(dir_.Path("own0.mip"), bytes);

    for (const std::string out : {"saved.mip", "saved.srb"}) {
        const ToolRun r = InProcess({"convert", dir_.Path("own0.mip"), dir_.Path(out)});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(dir_.Path(out) +
                             ": not saved: the levels in slots 1, 0 would change colour: with "
                             "miptype 0 only the global palette is saved, and they use other "
                             "colours; miptype 2 keeps each level's own palette, --recolour "
                             "saves them with the colours changed\n"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir_.Path(out)));
    }
    const ToolRun r =
        InProcess({"convert", dir_.Path("own0.mip"), dir_.Path("saved.mip"), "--recolour"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(dir_.Path("saved.mip") + ": the levels in slots 1, 0 change colour"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("saved.mip")));
}

// A picture whose size is a power of two is the source of its import too: its chain is compared,
// over the levels the set holds.
TEST_F(ToolFolder, ComparePictureAgainstItsImportOfAnySize) {
    WritePng(dir_.Path("square.png"), Picture(64, 64, [](int x, int y) {
                 return Rgba8{static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
                              static_cast<std::uint8_t>((x ^ y) * 4), 255};
             }));
    struct Case {
        std::vector<std::string> importOptions;
        std::vector<std::string> slots;  // the lines compare prints, in order
    };
    const std::vector<Case> cases = {
        {{},
         {"slot 6: 64 x 64", "slot 5: 32 x 32", "slot 4: 16 x 16", "slot 3: 8 x 8", "slot 2: 4 x 4",
          "slot 1: 2 x 2", "slot 0: 1 x 1"}},
        {{"--levels", "3"}, {"slot 6: 64 x 64", "slot 5: 32 x 32", "slot 4: 16 x 16"}},
        {{"--levels", "1"}, {"slot 6: 64 x 64"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {
            "import", dir_.Path("square.png"), dir_.Path("sq.mip"), "-f", "--type", "rgb565"};
        args.insert(args.end(), c.importOptions.begin(), c.importOptions.end());
        ASSERT_EQ(InProcess(args).status, 0);
        const ToolRun r = InProcess(
            {"compare", dir_.Path("square.png"), dir_.Path("sq.mip"), "--min-psnr", "30"});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        std::istringstream lines(r.out);
        std::vector<std::string> seen;
        for (std::string line; std::getline(lines, line);) {
            seen.push_back(line.substr(0, line.find(',')));
        }
        EXPECT_EQ(seen, c.slots) << r.out;
    }
}

// 161 x 161 stripes of two colours become 128 x 128 of many greys: the type is chosen for the
// level as it is stored, not for the picture before it was reduced.
TEST_F(ToolFolder, TheAutomaticTypeIsJudgedOnTheStoredTopLevel) {
    auto stripes = [](int x, int) {
        return x % 2 == 0 ? Rgba8{0, 0, 0, 255} : Rgba8{255, 255, 255, 255};
    };
    WritePng(dir_.Path("wide.png"), Picture(161, 161, stripes));
    WritePng(dir_.Path("own.png"), Picture(64, 64, stripes));  // stored at its own size
    for (const auto& [name, type] :
         std::vector<std::pair<std::string, std::string>>{{"wide", "rgb565"}, {"own", "pal4"}}) {
        ASSERT_EQ(InProcess({"import", dir_.Path(name + ".png"), dir_.Path(name + ".mip")}).status,
                  0);
        const ToolRun r = InProcess({"info", "--json", dir_.Path(name + ".mip")});
        EXPECT_EQ(JsonLines(r.out).at(0)["levels"][0]["typeName"], type) << name;
    }
}

TEST_F(ToolFolder, ThumbnailWritesToStandardOutputAndSaysWhatTheLoadFound) {
    ToolRun r = InProcess({"thumbnail", "-s", "4", dir_.Path("tree.mip"), "-"});
    EXPECT_EQ(r.status, 0) << r.err;
    Image thumb;
    ASSERT_TRUE(ReadPng(Bytes(r.out.begin(), r.out.end()), thumb).Ok()) << r.err;
    EXPECT_EQ(thumb.width, 4);
    EXPECT_FALSE(std::filesystem::exists(dir_.Path("-")));

    Bytes cut = ReadFile(dir_.Path("tree.mip"));
    cut.resize(cut.size() - 3);  // inside the last level's rows
    WriteFile(dir_.Path("cut.mip"), cut);
    r = InProcess({"thumbnail", dir_.Path("cut.mip"), dir_.Path("cut.png")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(dir_.Path("cut.mip") + ": first error at offset"), std::string::npos)
        << r.err;

    // Only the top level, and it rejected (a width past the limit): nothing to draw, and why.
    CMip one;
    ASSERT_TRUE(MakeMipSet(one, 5, 0, 0));
    ASSERT_EQ(one.Save(dir_.Path("one.mip")), 1);
    Bytes bytes = ReadFile(dir_.Path("one.mip"));
    bytes[44 + 76 + 26] = 0x50;
    WriteFile(dir_.Path("gone.mip"), bytes);
    r = InProcess({"thumbnail", dir_.Path("gone.mip"), dir_.Path("gone.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir_.Path("gone.mip") +
                         ": holds no level to draw: the load rejected every level it found\n"),
              std::string::npos)
        << r.err;
}

TEST_F(ToolFolder, ImportLikeADamagedOriginalExitsThree) {
    Bytes cut = ReadFile(dir_.Path("tree.mip"));
    cut.resize(cut.size() - 3);
    WriteFile(dir_.Path("cut.mip"), cut);
    WritePng(dir_.Path("wall.png"), Picture(8, 8, [](int x, int y) {
                 return Rgba8{static_cast<std::uint8_t>(x * 30), static_cast<std::uint8_t>(y * 30),
                              90, 255};
             }));
    const ToolRun r = InProcess(
        {"import", dir_.Path("wall.png"), dir_.Path("out.mip"), "--like", dir_.Path("cut.mip")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find(dir_.Path("cut.mip") + ": first error"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("out.mip")));  // the work is still done
}

// An SRB file cut short or without its mip set is damage, said as fully as a MIP file's.
TEST_F(ToolFolder, SrbDamageIsReportedWithItsOffset) {
    const Bytes srb = ReadFile(dir_.Path("bush.srb"));
    WriteFile(dir_.Path("cut.srb"), Bytes(srb.begin(), srb.begin() + 50));   // inside SRH2's tag
    WriteFile(dir_.Path("bare.srb"), Bytes(srb.begin(), srb.begin() + 96));  // no mip set
    Bytes wrong = srb;
    wrong[8] = 96;  // the SRB size word
    WriteFile(dir_.Path("wrong.srb"), wrong);

    ToolRun r = InProcess({"info", dir_.Path("cut.srb")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("miptype: (not in the file)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("load: first error at offset 48: SRH2 header rejected\n"
                         "the file is cut short\n"),
              std::string::npos)
        << r.out;

    r = InProcess({"info", dir_.Path("bare.srb")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("SRB header values: 1 2 3 4 5 6\nsize in metres: 1 (no companion '" +
                         dir_.Path("bare.yrq") + "')\nmiptype: (not in the file)\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("no levels\nload: first error at offset 96: no mip set follows the SRB "
                         "header\nthe file is cut short\n"),
              std::string::npos)
        << r.out;
    r = InProcess({"info", "--json", dir_.Path("bare.srb")});
    EXPECT_EQ(r.status, 3);
    const nlohmann::json bare = JsonLines(r.out).at(0);
    EXPECT_EQ(bare["header"][5], 6.0);
    EXPECT_TRUE(bare["mip"]["miptype"].is_null());
    EXPECT_EQ(bare["load"]["firstErrorOffset"], 96);

    r = InProcess({"info", dir_.Path("wrong.srb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir_.Path("wrong.srb") +
                         ": not a valid SRB file (its header was rejected at offset 8: not an "
                         "SRB header)\n"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace korvale::test
