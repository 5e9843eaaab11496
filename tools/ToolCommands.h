#pragma once
// korvale-tool's commands. main() only hands its arguments over, so the commands are a library
// that a test or another program can run in-process as well.

#include <span>
#include <string>

namespace korvale {

// Runs the tool with its arguments (without the program name) and returns the exit status:
// 0 success, 1 a file could not be loaded or saved (or a comparison failed), 2 a usage error,
// 3 an input loaded with damage.
[[nodiscard]] int RunTool(std::span<const std::string> args);

}  // namespace korvale
