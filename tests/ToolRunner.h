#pragma once
// korvale-tool for the tool's tests, run two ways: in-process through RunTool, for the logic
// (options, batches, exit statuses), and as the real binary, for what only a process shows.
// Either way the result is its exit status, standard output and standard error.

#include <string>
#include <vector>

#include "Image.h"
#include "TestSupport.h"

namespace korvale::test {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Calls RunTool(args) with file descriptors 1 and 2 sent to temporary files for the call, so
// what the commands print through stdio or straight to the descriptors is captured alike.
// Standard input is left alone: a test that feeds it runs the binary.
ToolRun InProcess(const std::vector<std::string>& args);

// Runs the binary with args; standard input is a pipe fed with the bytes of input, as in
// `cat FILE | korvale-tool`. The captured streams are kept in dir while it runs.
ToolRun Tool(const ScratchDir& dir, const std::vector<std::string>& args,
             const std::string& input = "/dev/null");

// A PNG written by our own encoder, for the picture commands.
void WritePng(const std::string& path, const Image& image);

}  // namespace korvale::test
