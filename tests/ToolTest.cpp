// korvale-tool run as a real process: exit status, standard output and standard error.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include "CSrb.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const std::string& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

ToolRun Tool(const ScratchDir& dir, const std::vector<std::string>& args) {
    const std::string outPath = dir.Path("stdout.txt");
    const std::string errPath = dir.Path("stderr.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> argv;
        std::string program = KORVALE_TOOL;
        argv.push_back(program.data());
        std::vector<std::string> copies = args;
        for (std::string& a : copies) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ToolRun run;
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return run;
}

class ToolTest : public testing::Test {
  protected:
    void SetUp() override {
        CSrb srb;
        srb.header = {1.0F, 0.1F, 64.0F, 32.0F, 0.5F, 3.0F};
        srb.sizeInMetres = 1.0F;
        MakeMipSet(srb.mip, 5, 0, 2);
        ASSERT_EQ(srb.Save(dir_.Path("tree.srb")), 4);
        ASSERT_EQ(srb.mip.Save(dir_.Path("tree.mip")), 1);
    }
    ScratchDir dir_;
};

TEST_F(ToolTest, InfoPrintsTheLoaderTraceThenASummary) {
    ToolRun r = Tool(dir_, {"info", dir_.Path("tree.mip")});
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

    r = Tool(dir_, {"info", dir_.Path("tree.srb")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("datasize: 18\n", 0), 0U) << r.out;
    EXPECT_NE(r.out.find("SRB header values: 1 0.1 64 32 0.5 3\nmiptype: 0\n"), std::string::npos)
        << r.out;
}

TEST_F(ToolTest, InfoOfDamagedFilesExitsAsTheLoaderSays) {
    WriteFile(dir_.Path("junk.mip"), Bytes{'j', 'u', 'n', 'k'});
    ToolRun r = Tool(dir_, {"info", dir_.Path("junk.mip")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Loading mip: '" + dir_.Path("junk.mip") + "'\n");
    EXPECT_EQ(r.err, "korvale-tool: " + dir_.Path("junk.mip") +
                         ": not an SRB or MIP file (no MIP tag at its start)\n");

    Bytes srb = ReadFile(dir_.Path("tree.srb"));
    srb[8] = 96;  // the SRB size word
    WriteFile(dir_.Path("bad.srb"), srb);
    r = Tool(dir_, {"info", dir_.Path("bad.srb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("header was rejected"), std::string::npos) << r.err;

    srb.resize(96);
    srb[8] = 84;
    WriteFile(dir_.Path("short.srb"), srb);
    r = Tool(dir_, {"info", dir_.Path("short.srb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no mip set follows"), std::string::npos) << r.err;

    // Damage inside the levels is reported by the trace only: the load itself succeeds.
    Bytes mip = ReadFile(dir_.Path("tree.mip"));
    mip[120] = 'X';  // the first level's tag
    WriteFile(dir_.Path("hurt.mip"), mip);
    r = Tool(dir_, {"info", dir_.Path("hurt.mip")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("CBmap::Load\nNot a BMAP\n"), std::string::npos) << r.out;
}

TEST_F(ToolTest, ConvertReproducesFilesByteForByte) {
    ToolRun r = Tool(dir_, {"convert", dir_.Path("tree.mip"), dir_.Path("copy.mip")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("copy.mip")), ReadFile(dir_.Path("tree.mip")));
    EXPECT_NE(r.out.find("saved MIP: '" + dir_.Path("copy.mip") + "'\n"), std::string::npos);

    std::filesystem::create_directory(dir_.Path("out"));
    r = Tool(dir_, {"convert", dir_.Path("tree.srb"), dir_.Path("out/tree.srb"), "--size", "1"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir_.Path("out/tree.srb")), ReadFile(dir_.Path("tree.srb")));
    EXPECT_EQ(ReadFile(dir_.Path("out/tree.yrq")), ReadFile(dir_.Path("tree.yrq")));
}

TEST_F(ToolTest, ConvertBetweenKinds) {
    ToolRun r =
        Tool(dir_, {"convert", "--size", "2.5", dir_.Path("tree.mip"), dir_.Path("new.SRB")});
    EXPECT_EQ(r.status, 0) << r.err;
    const Bytes srb = ReadFile(dir_.Path("new.SRB"));
    ASSERT_GT(srb.size(), 96U);
    EXPECT_TRUE(
        std::all_of(srb.begin() + 24, srb.begin() + 48, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(Bytes(srb.begin() + 96, srb.end()), ReadFile(dir_.Path("tree.mip")));
    const Bytes yrq = ReadFile(dir_.Path("new.yrq"));
    ASSERT_EQ(yrq.size(), 116U);  // name "new": n = 5, fill 3
    EXPECT_EQ(Bytes(yrq.begin() + 92, yrq.begin() + 96), (Bytes{0x00, 0x00, 0x20, 0x40}));  // 2.5

    r = Tool(dir_, {"convert", dir_.Path("tree.srb"), dir_.Path("back.mip")});
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
        {{}, 2, "usage: korvale-tool info FILE"},
        {{"frobnicate"}, 2, "korvale-tool: unknown command 'frobnicate'"},
        {{"info"}, 2, "korvale-tool: info needs a FILE"},
        {{"info", mip, mip}, 2, "korvale-tool: info takes one FILE"},
        {{"convert", mip}, 2, "korvale-tool: convert needs IN and OUT"},
        {{"convert", mip, dir_.Path("x.png")}, 2, "OUT must end in .srb or .mip"},
        {{"convert", mip, dir_.Path("x.srb"), "--size"}, 2, "--size needs a number of metres"},
        {{"convert", mip, dir_.Path("x.srb"), "--size", "abc"},
         2,
         "--size takes a number from 0 to 1000, not 'abc'"},
        {{"convert", mip, dir_.Path("x.srb"), "--size", "1001"}, 2, "--size takes a number"},
        {{"convert", mip, dir_.Path("x.srb"), "--force"}, 2, "unknown option '--force'"},
        {{"convert", mip, dir_.Path(".srb")}, 2, "OUT needs a name before its first '.'"},
        {{"info", dir_.Path("missing.mip")},
         1,
         "korvale-tool: " + dir_.Path("missing.mip") + ": cannot open: No such file or directory"},
        {{"info", dir_.Root().string()}, 1, "is a folder, not a file"},
        {{"convert", mip, dir_.Path("no/folder/x.mip")},
         1,
         "could not be saved (the previous file is unchanged)"},
        {{"convert", mip, dir_.Path("no/folder/x.srb")}, 1, "could not be saved"},
    };
    for (const Case& c : cases) {
        const ToolRun r = Tool(dir_, c.args);
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
    const ToolRun help = Tool(dir_, {"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: korvale-tool info FILE\n", 0), 0U);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"tree.mip", "tree.srb", "tree.yrq"}));
}

}  // namespace
}  // namespace korvale::test
