#pragma once
// korvale-tool run as a real process, for the tool's tests: its exit status, standard output
// and standard error.

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

// Runs the tool with args; standard input is a pipe fed with the bytes of input, as in
// `cat FILE | korvale-tool`. The captured streams are kept in dir while it runs.
ToolRun Tool(const ScratchDir& dir, const std::vector<std::string>& args,
             const std::string& input = "/dev/null");

// A PNG written by our own encoder, for the picture commands.
void WritePng(const std::string& path, const Image& image);

}  // namespace korvale::test
