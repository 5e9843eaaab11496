#pragma once
// Telling whether two names reach one file, before anything is written through either: a save
// that wrote one through the other would lose what it means to keep.

#include <string>

namespace korvale {

// Whether two paths name the same file: the same text, the same path once symbolic links, "."
// and ".." are resolved, or the same device and inode.
[[nodiscard]] bool SameFile(const std::string& a, const std::string& b);

}  // namespace korvale
