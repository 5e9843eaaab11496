#pragma once
// korvale-tool's exit statuses, and which of two is worse for a command over many files.

namespace korvale::tool {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;
inline constexpr int kDamaged =
    3;  // loaded, but damaged: levels rejected or of an unknown type, cut short

// The worse of two exit statuses: a usage error, then a failure, then damage, then success.
[[nodiscard]] int Worse(int a, int b);

}  // namespace korvale::tool
