#pragma once
// korvale-tool export and compare: levels out as PNG pictures, and two textures side by side.

#include <span>
#include <string>

namespace korvale::tool {

[[nodiscard]] int RunExport(std::span<const std::string> args);
[[nodiscard]] int RunCompare(std::span<const std::string> args);

}  // namespace korvale::tool
