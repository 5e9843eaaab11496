#pragma once
// A batch on several threads, told as it goes: each failure printed as it comes, with a
// progress line on a terminal.

#include <cstddef>
#include <functional>

#include "Status.h"

namespace korvale::tool {

// Runs work(i) for i = 0 .. count - 1 on up to threads threads, printing each failure, and
// while progress is given ("importing", "exporting") a progress line when standard error is a
// terminal. Returns how many failed.
[[nodiscard]] std::size_t RunWithProgress(std::size_t count, int threads, const char* progress,
                                          const std::function<Status(std::size_t)>& work);

}  // namespace korvale::tool
