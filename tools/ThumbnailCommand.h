#pragma once
// korvale-tool thumbnail: a small picture of a texture for file managers, run through the
// freedesktop thumbnailer entry as `korvale-tool thumbnail -s %s %i %o`.

#include <span>
#include <string>

namespace korvale::tool {

[[nodiscard]] int RunThumbnail(std::span<const std::string> args);

}  // namespace korvale::tool
