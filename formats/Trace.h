#pragma once
// The loaders' diagnostic trace: plain lines, written as the file is read. They go to standard
// output unless the caller sets another sink for its thread (a file, or nothing), so library
// code never writes to a standard stream on its own and a caller that wants quiet asks for it
// instead of redirecting descriptors.

#include <cstdio>

namespace korvale {

// Writes one formatted piece of the trace to the current thread's sink.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Sends this thread's trace to sink (nullptr: nowhere) while it lives, then back to where it went
// before.
class TraceTo {
  public:
    explicit TraceTo(std::FILE* sink);
    TraceTo(const TraceTo&) = delete;
    TraceTo& operator=(const TraceTo&) = delete;
    ~TraceTo();

  private:
    std::FILE* previous_;
};

}  // namespace korvale
