#pragma once
// Work over many files on several threads: each item runs once, on whichever thread is free.

#include <cstddef>
#include <functional>

#include "Status.h"

namespace korvale {

// Runs work(i) for i = 0 .. count - 1 on up to threads threads (the calling one among them).
// finished(status, done) is called after each item, one call at a time, with how many are done
// so far. Returns how many failed.
std::size_t RunEach(std::size_t count, int threads, const std::function<Status(std::size_t)>& work,
                    const std::function<void(const Status&, std::size_t)>& finished);

}  // namespace korvale
