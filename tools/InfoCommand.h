#pragma once
// korvale-tool info and convert: what a file holds, and the same record saved again.

#include <span>
#include <string>

namespace korvale::tool {

[[nodiscard]] int RunInfo(std::span<const std::string> args);
[[nodiscard]] int RunConvert(std::span<const std::string> args);

}  // namespace korvale::tool
