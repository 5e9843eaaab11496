// The real korvale-tool binary, for what the in-process tests cannot show: a pipe on standard
// input read once, PNG bytes on standard output, the system calls a save makes, the status
// main() hands back, and the many-file commands on their threads in a process of their own.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>

#include <sys/wait.h>

#include "CSrb.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "TestSupport.h"
#include "ToolRunner.h"

namespace korvale::test {
namespace {

class ToolEndToEnd : public testing::Test {
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

TEST_F(ToolEndToEnd, StandardInputIsReadOnceFromAPipe) {
    // The same summary, less the companion's size: a pipe has no file beside it.
    std::string byPath = Tool(dir_, {"info", dir_.Path("tree.srb")}).out;
    const std::string sizeLine =
        "size in metres: 1 (from the companion '" + dir_.Path("tree.yrq") + "')\n";
    ASSERT_NE(byPath.find(sizeLine), std::string::npos) << byPath;
    byPath.erase(byPath.find(sizeLine), sizeLine.size());
    for (const std::string name : {"-", "/dev/stdin"}) {
        const ToolRun r = Tool(dir_, {"info", name}, dir_.Path("tree.srb"));
        EXPECT_EQ(r.status, 0) << name << r.err;
        EXPECT_EQ(r.out, byPath) << name;
    }
    ToolRun r = Tool(dir_, {"convert", "-", dir_.Path("piped.mip")}, dir_.Path("tree.mip"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("piped.mip")), ReadFile(dir_.Path("tree.mip")));

    // A pipe in and a PNG out: the one level's bytes, and nothing else, on standard output.
    r = Tool(dir_, {"export", "-", "-", "--level", "1"}, dir_.Path("tree.mip"));
    ASSERT_EQ(r.status, 0) << r.err;
    Image level;
    ASSERT_TRUE(ReadPng(Bytes(r.out.begin(), r.out.end()), level).Ok());
    EXPECT_EQ(level.width, 2);
    EXPECT_NE(r.err.find("wrote slot 1 (2 x 2, argb4444) to '-'"), std::string::npos) << r.err;
}

// The command's status is the process's: success, a failure, a usage error, damage.
TEST_F(ToolEndToEnd, TheExitStatusIsTheCommandsStatus) {
    Bytes mip = ReadFile(dir_.Path("tree.mip"));
    mip[120] = 'X';  // the first level's tag
    WriteFile(dir_.Path("hurt.mip"), mip);
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases = {
        {{"info", dir_.Path("tree.mip")}, 0},
        {{"info", dir_.Path("missing.mip")}, 1},
        {{}, 2},
        {{"info", dir_.Path("hurt.mip")}, 3},
    };
    for (const Case& c : cases) {
        const ToolRun r = Tool(dir_, c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
    }
    const ToolRun r = Tool(dir_, {"info", dir_.Path("tree.mip")});
    EXPECT_EQ(r.out.rfind("Loading mip: '" + dir_.Path("tree.mip") + "'\ndatasize: 18\n", 0), 0U)
        << r.out;
}

// A result that cannot be written is a failure, whatever the command: a full disk under standard
// output is said, and the status is 1.
TEST_F(ToolEndToEnd, AFullStandardOutputFailsTheCommand) {
    for (const std::string& command :
         {"info " + dir_.Path("tree.mip"), "info --json " + dir_.Path("tree.srb"),
          "compare " + dir_.Path("tree.mip") + " " + dir_.Path("tree.srb"),
          std::string("--version")}) {
        const std::string run =
            std::string(KORVALE_TOOL) + " " + command + " >/dev/full 2>" + dir_.Path("err.txt");
        const int status = std::system(run.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << run;
        EXPECT_EQ(WEXITSTATUS(status), 1) << run;
        const Bytes err = ReadFile(dir_.Path("err.txt"));
        EXPECT_EQ(std::string(err.begin(), err.end()),
                  "korvale-tool: standard output: cannot write: No space left on device\n")
            << run;
    }
}

// Every new file is on the disk before the rename that puts it in place, and its folder after.
TEST_F(ToolEndToEnd, SavesFlushEveryFileBeforeItsRenameAndTheFolderAfter) {
    if (std::system("strace -V >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "strace is not installed";
    }
    for (const std::string out : {"copy.mip", "copy.srb"}) {
        const std::string log = dir_.Path("strace.log");
        // LeakSanitizer traces the process itself, which it cannot do under strace.
        const std::string command = "ASAN_OPTIONS=detect_leaks=0 strace -f -y -o " + log +
                                    " -e trace=fsync,fdatasync,rename,renameat,renameat2 " +
                                    KORVALE_TOOL + " convert -q " + dir_.Path("tree.mip") + " " +
                                    dir_.Path(out) + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        std::ifstream lines(log);
        std::vector<std::string> synced;  // paths flushed so far
        std::vector<std::string> renamed;
        std::size_t renamesBeforeFolderSync = 0;
        const std::regex fsync(R"re(f(?:data)?sync\(\d+<([^>]*)>\) = 0)re");
        const std::regex rename(R"re(rename(?:at2?)?\([^"]*"([^"]*)",[^"]*"([^"]*)")re");
        for (std::string line; std::getline(lines, line);) {
            std::smatch m;
            if (std::regex_search(line, m, fsync)) {
                synced.push_back(m[1]);
                if (m[1] == dir_.Root().string()) {
                    renamesBeforeFolderSync = renamed.size();
                }
            } else if (std::regex_search(line, m, rename)) {
                const std::string from = m[1];
                // A pair is flushed whole before either file is renamed.
                EXPECT_EQ(std::count_if(synced.begin(), synced.end(),
                                        [](const std::string& p) {
                                            return p.find(".korvale-") != std::string::npos;
                                        }),
                          out == "copy.srb" ? 2 : 1)
                    << line;
                EXPECT_NE(std::find(synced.begin(), synced.end(), from), synced.end()) << line;
                renamed.push_back(m[2]);
            }
        }
        const std::vector<std::string> targets =
            out == "copy.srb"
                ? std::vector<std::string>{dir_.Path("copy.srb"), dir_.Path("copy.yrq")}
                : std::vector<std::string>{dir_.Path("copy.mip")};
        EXPECT_EQ(renamed, targets);
        EXPECT_EQ(renamesBeforeFolderSync, targets.size()) << "the folder is flushed last";
    }
}

// Many files on two threads in the real program; under ThreadSanitizer a race fails the run
// through the exit status.
TEST_F(ToolEndToEnd, BatchImportAndExportOnTwoThreads) {
    std::vector<std::string> pngs = {"import"};
    for (int i = 0; i < 6; ++i) {
        const std::string name = dir_.Path("pic" + std::to_string(i) + ".png");
        WritePng(name, Picture(16 << (i % 3), 16, [i](int x, int y) {
                     return Rgba8{static_cast<std::uint8_t>(x * 7 + i * 40),
                                  static_cast<std::uint8_t>(y * 13), 90,
                                  static_cast<std::uint8_t>(i % 2 == 0 ? 255 : 128 + x)};
                 }));
        pngs.push_back(name);
    }
    pngs.insert(pngs.end(), {"-o", dir_.Path("mips"), "-j", "2"});
    ToolRun r = Tool(dir_, pngs);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "6 imported, 0 failed\n");

    std::vector<std::string> mips = {"export"};
    for (int i = 0; i < 6; ++i) {
        mips.push_back(dir_.Path("mips/pic" + std::to_string(i) + ".mip"));
    }
    mips.insert(mips.end(), {"-o", dir_.Path("pngs"), "--all", "-j", "2"});
    r = Tool(dir_, mips);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "6 exported, 0 failed\n");
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("pngs/pic2-64x16.png")));
    EXPECT_TRUE(std::filesystem::exists(dir_.Path("pngs/pic5-1x1.png")));
}

}  // namespace
}  // namespace korvale::test
