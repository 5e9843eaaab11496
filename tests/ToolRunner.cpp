#include "ToolRunner.h"
#include "WholeFile.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "PngIo.h"

namespace korvale::test {

namespace {

std::string Slurp(const std::string& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

ToolRun Tool(const ScratchDir& dir, const std::vector<std::string>& args,
             const std::string& input) {
    const std::string outPath = dir.Path("stdout.txt");
    const std::string errPath = dir.Path("stderr.txt");
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        // Standard input is a pipe fed by another process, as in `cat FILE | korvale-tool`: a
        // pipe can be read only once.
        int ends[2];
        if (::pipe(ends) != 0) {
            ::_exit(126);
        }
        if (::fork() == 0) {
            ::close(ends[0]);
            const Bytes bytes = ReadFile(input);
            std::size_t done = 0;
            while (done < bytes.size()) {
                const ssize_t n = ::write(ends[1], bytes.data() + done, bytes.size() - done);
                if (n <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
            ::_exit(0);
        }
        ::close(ends[1]);
        ::dup2(ends[0], 0);
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

// A PNG written by our own encoder, for the picture commands.
void WritePng(const std::string& path, const Image& image) {
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(image, true, png).Ok());
    ASSERT_TRUE(WriteFileBytes(path, png).Ok());
}

}  // namespace korvale::test
