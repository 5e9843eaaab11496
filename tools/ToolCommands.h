#pragma once
// korvale-tool's commands, apart from main() so that they can be driven in-process too.

#include <span>
#include <string>

namespace korvale {

// Runs the tool with its arguments (without the program name) and returns the exit status:
// 0 success, 1 a file could not be loaded or saved, 2 a usage error.
[[nodiscard]] int RunTool(std::span<const std::string> args);

}  // namespace korvale
