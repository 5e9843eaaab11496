// korvale-tool over a tree of folders and the conventions a script relies on: each file once
// however it is named, a tree mirrored rather than flattened, and every output that cannot mean
// what was asked refused with its reason.

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "CSrb.h"
#include "CompanionSize.h"
#include "PictureBuilder.h"
#include "SetBuilder.h"
#include "TestSupport.h"
#include "ToolRunner.h"

namespace korvale::test {
namespace {

namespace fs = std::filesystem;

Image Tile(int side, int seed) {
    return Picture(side, side, [seed](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 16 + seed * 7),
                     static_cast<std::uint8_t>(y * 16), static_cast<std::uint8_t>(seed * 40), 255};
    });
}

std::set<std::string> FilesUnder(const fs::path& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            files.insert(fs::relative(e.path(), root).string());
        }
    }
    return files;
}

class ToolTree : public testing::Test {
  protected:
    ScratchDir dir_;
};

// Two pictures named x.png in two folders would clash when flattened; -r keeps the tree.
TEST_F(ToolTree, RecursiveImportAndExportMirrorTheTree) {
    for (const std::string folder : {"pics/a", "pics/b/c", "pics/empty"}) {
        fs::create_directories(dir_.Path(folder));
    }
    WritePng(dir_.Path("pics/a/x.png"), Tile(16, 1));
    WritePng(dir_.Path("pics/b/x.PNG"), Tile(8, 2));
    WritePng(dir_.Path("pics/b/c/y.png"), Tile(4, 3));
    WritePng(dir_.Path("pics/top.png"), Tile(2, 4));
    WriteFile(dir_.Path("pics/a/notes.txt"), Bytes{'h', 'i'});  // not a kind import takes

    ToolRun r = InProcess({"import", "-r", dir_.Path("pics"), "-o", dir_.Path("mips")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 imported, 0 failed\n");
    EXPECT_EQ(FilesUnder(dir_.Path("mips")),
              (std::set<std::string>{"a/x.mip", "b/x.mip", "b/c/y.mip", "top.mip"}));

    r = InProcess({"export", "--recursive", dir_.Path("mips"), "-o", dir_.Path("pngs")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 exported, 0 failed\n");
    EXPECT_EQ(FilesUnder(dir_.Path("pngs")),
              (std::set<std::string>{"a/x.png", "b/x.png", "b/c/y.png", "top.png"}));
    r = InProcess({"export", "-r", dir_.Path("mips/b"), "--all", "-o", dir_.Path("all")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FilesUnder(dir_.Path("all")),
              (std::set<std::string>{"x-8x8.png", "x-4x4.png", "x-2x2.png", "x-1x1.png",
                                     "c/y-4x4.png", "c/y-2x2.png", "c/y-1x1.png"}));

    // Without -r a folder is refused, and why, and the other inputs are still done.
    r = InProcess(
        {"import", dir_.Path("pics"), dir_.Path("pics/top.png"), "-o", dir_.Path("flat")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "1 imported, 1 failed\n");
    EXPECT_NE(
        r.err.find(dir_.Path("pics") + ": is a folder; -r (--recursive) takes the files in it"),
        std::string::npos)
        << r.err;
    // -r is for a batch, whose -o folder holds the tree.
    EXPECT_EQ(InProcess({"import", "-r", dir_.Path("pics/top.png"), dir_.Path("t.mip")}).status, 2);
}

// The same file named twice, or by two paths, is one input: no clash, one line, one count.
TEST_F(ToolTree, AFileNamedTwiceIsTakenOnce) {
    fs::create_directories(dir_.Path("a"));
    WritePng(dir_.Path("a/x.png"), Tile(4, 1));
    fs::create_symlink(dir_.Path("a/x.png"), dir_.Path("link.png"));
    const std::string viaDot = dir_.Path("a/./x.png");
    ToolRun r = InProcess(
        {"import", dir_.Path("a/x.png"), viaDot, dir_.Path("a/x.png"), "-o", dir_.Path("out")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 imported, 0 failed\n");
    EXPECT_EQ(r.err, "");

    r = InProcess({"info", "--json", dir_.Path("out/x.mip"), dir_.Path("out/../out/x.mip"),
                   dir_.Path("out/x.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
    // A link and its target are one file too; the first name given is the one used.
    r = InProcess({"import", dir_.Path("link.png"), dir_.Path("a/x.png"), "-o", dir_.Path("out2")});
    EXPECT_EQ(r.out, "1 imported, 0 failed\n") << r.err;
    EXPECT_TRUE(fs::exists(dir_.Path("out2/link.mip")));
}

// Every output that cannot be what was asked is refused, with the reason, before any work.
TEST_F(ToolTree, OutputsThatCannotMeanWhatWasAskedAreRefused) {
    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 5, 0, 2));
    ASSERT_EQ(mip.Save(dir_.Path("t5.mip")), 1);
    WritePng(dir_.Path("p.png"), Tile(4, 1));
    WritePng(dir_.Path("p2.png"), Tile(2, 2));
    WritePng(dir_.Path("p2b.png"), Tile(2, 3));
    fs::create_directories(dir_.Path("folder.mip"));
    fs::create_symlink(dir_.Path("nowhere/x.mip"), dir_.Path("dangling.mip"));
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;  // found in standard error
    };
    const std::vector<Case> cases = {
        // Said at once, and --force cannot make a folder a file.
        {{"convert", "t5.mip", "folder.mip"}, 1, "folder.mip is a folder; name a file"},
        {{"convert", "t5.mip", "folder.mip", "-f"}, 1, "folder.mip is a folder; name a file"},
        {{"convert", "t5.mip", "dangling.mip", "-f"},
         1,
         "dangling.mip is a symbolic link to '" + dir_.Path("nowhere/x.mip") +
             "', which does not exist"},
        {{"export", "t5.mip", "out.jpg"}, 2, "OUT must end in .png, not 'out.jpg'"},
        {{"import", "a.png", "b.png", "-o", "A", "-o", "B"}, 2, "-o given twice ('A' and 'B')"},
        {{"import", "p.png", "x.mip", "--size", "4x4", "--size", "2x2"},
         2,
         "--size given twice as WxH ('2x2' is the second)"},
        {{"compare", "t5.mip", "t5.mip", "extra.mip"}, 2, "'extra.mip' is one too many"},
        {{"import", "p.png", "p2.png", "p2b.png", "two.mip"},
         1,
         "p2b.png: is a second picture of 2 x 2, as is p2.png: give one picture per level"},
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir_.Root());
    for (const Case& c : cases) {
        const ToolRun r = InProcess(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args.back() << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_.Path("two.mip")));
    EXPECT_TRUE(fs::is_symlink(dir_.Path("dangling.mip")));
    fs::current_path(before);
}

// What every command agrees on: the trace only when asked, --version everywhere, type names
// beside codes, and what a save wrote named.
TEST_F(ToolTree, TheCommandsAgreeOnTraceVersionAndNames) {
    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 5, 0, 1));
    ASSERT_EQ(mip.Save(dir_.Path("t5.mip")), 1);
    ToolRun r = InProcess({"convert", dir_.Path("t5.mip"), dir_.Path("c.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "saved MIP: '" + dir_.Path("c.mip") + "'\n");
    r = InProcess({"convert", "-v", dir_.Path("t5.mip"), dir_.Path("d.mip")});
    EXPECT_EQ(r.out.rfind("Loading mip: '" + dir_.Path("t5.mip") + "'\n", 0), 0U) << r.out;

    for (const std::string command : {"info", "convert", "import", "export", "thumbnail"}) {
        r = InProcess({command, "--version"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_EQ(r.out.rfind("korvale-tool ", 0), 0U) << command << ": " << r.out;
    }
    r = InProcess({"info", dir_.Path("t5.mip")});
    EXPECT_NE(r.out.find("slot 1: type 5 (argb4444), 2 x 2\n"), std::string::npos) << r.out;

    // --palette keep of a 16-bit original keeps nothing: said, and the import still done.
    WritePng(dir_.Path("p.png"), Tile(2, 1));
    r = InProcess({"import", dir_.Path("p.png"), dir_.Path("k.mip"), "--like", dir_.Path("t5.mip"),
                   "--palette", "keep"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("t5.mip") +
                         ": has no palette to keep (its levels are argb4444): --palette keep "
                         "changes nothing\n");
}

// road.day.srb and road.night.srb share road.yrq: the second save says it replaced the first's.
TEST_F(ToolTree, ASaveWarnsWhenItsCompanionBelongsToAnotherSrbFile) {
    WritePng(dir_.Path("p.png"), Tile(4, 1));
    ToolRun r = InProcess({"import", dir_.Path("p.png"), dir_.Path("road.day.srb")});
    EXPECT_EQ(r.err, "") << r.err;
    r = InProcess({"import", dir_.Path("p.png"), dir_.Path("road.night.srb"), "--size", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("road.night.srb") +
                         ": not written: " + dir_.Path("road.yrq") +
                         " exists (the companion of road.day.srb); --force replaces it\n");
    r = InProcess(
        {"import", dir_.Path("p.png"), dir_.Path("road.night.srb"), "--size", "3", "--force"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("road.night.srb") +
                         ": road.yrq is also the companion of road.day.srb (a companion is named "
                         "after the SRB file's name up to its first dot), and this save replaced "
                         "it\n");
    r = InProcess({"convert", "-f", dir_.Path("road.day.srb"), dir_.Path("road.dusk.srb")});
    EXPECT_NE(r.err.find("road.yrq is also the companion of road.day.srb, road.night.srb"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(InProcess({"convert", dir_.Path("road.day.srb"), dir_.Path("lane.srb")}).err, "");
}

// A batch export of a damaged file says what the load found, not just that it found something.
TEST_F(ToolTree, BatchExportSaysWhatTheDamageIs) {
    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 5, 0, 2));
    ASSERT_EQ(mip.Save(dir_.Path("t.mip")), 1);
    Bytes cut = ReadFile(dir_.Path("t.mip"));
    cut.resize(cut.size() - 1);
    WriteFile(dir_.Path("cut.mip"), cut);
    const ToolRun r = InProcess({"export", dir_.Path("cut.mip"), "-o", dir_.Path("out")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(dir_.Path("cut.mip") + ": first error at offset "), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("cut short"), std::string::npos) << r.err;
}

// info --json over a folder of a hundred and more textures plus every damaged and oddly named
// file: exactly one JSON object per line and per distinct input, read back line by line.
TEST_F(ToolTree, InfoJsonOverAGameFolderGivesOneLinePerDistinctInput) {
    for (int i = 0; i < 120; ++i) {
        const std::string folder = "pics/f" + std::to_string(i % 6);
        fs::create_directories(dir_.Path(folder));
        WritePng(dir_.Path(folder + "/t" + std::to_string(i) + ".png"), Tile(1 << (i % 5), i));
    }
    ASSERT_EQ(InProcess({"import", "-r", dir_.Path("pics"), "-o", dir_.Path("tex"), "-q"}).status,
              0);
    std::vector<std::string> inputs;
    for (const std::string& name : FilesUnder(dir_.Path("tex"))) {
        inputs.push_back(dir_.Path("tex/" + name));
    }
    const Bytes good = ReadFile(inputs.front());
    const std::vector<std::pair<std::string, Bytes>> odd = {
        {"cut.mip", Bytes(good.begin(), good.end() - 5)},
        {"empty.mip", Bytes{}},
        {"junk.srb", Bytes{'j', 'u', 'n', 'k'}},
        {"new\nline.mip", good},
        {"not utf8 \xC3\x28.mip", good},
        {"-dash.mip", good},
        {"quote\"and\\slash.mip", good},
    };
    for (const auto& [name, bytes] : odd) {
        WriteFile(dir_.Path(name), bytes);
        inputs.push_back(dir_.Path(name));
    }
    inputs.push_back(dir_.Path("missing.mip"));
    inputs.push_back(dir_.Path("tex"));  // a folder
    const std::size_t distinct = inputs.size();
    inputs.push_back(dir_.Path("tex/../") + "cut.mip");  // again, by another path
    inputs.push_back(inputs.front());

    std::vector<std::string> args = {"info", "--json", "--"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const ToolRun r = InProcess(args);
    EXPECT_EQ(r.status, 1);  // the worst: files that do not load
    std::istringstream lines(r.out);
    std::vector<std::string> files;
    for (std::string line; std::getline(lines, line);) {
        const nlohmann::json object = nlohmann::json::parse(line);
        ASSERT_TRUE(object.is_object()) << line;
        ASSERT_TRUE(object.contains("load")) << line;
        files.push_back(object["file"]);
    }
    EXPECT_EQ(files.size(), distinct);
    EXPECT_EQ(std::set<std::string>(files.begin(), files.end()).size(), distinct);
}

}  // namespace
}  // namespace korvale::test
