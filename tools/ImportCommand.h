#pragma once
// korvale-tool import: mip sets made from PNG pictures, one at a time or many in parallel.

#include <span>
#include <string>

namespace korvale::tool {

[[nodiscard]] int RunImport(std::span<const std::string> args);

}  // namespace korvale::tool
