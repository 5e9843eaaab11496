#include "Trace.h"

#include <cstdarg>

namespace korvale {

namespace {

// Per thread, so that a batch loading files on every core can silence its workers without
// touching the main thread's output. Null means the trace is dropped.
thread_local std::FILE* tSink = stdout;

}  // namespace

void Trace(const char* format, ...) {
    if (tSink == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    // The trace is advice for people; a failed write to it cannot change what was loaded, and
    // the stream's error flag stays set for a caller that checks.
    (void)std::vfprintf(tSink, format, args);
    va_end(args);
}

TraceTo::TraceTo(std::FILE* sink) : previous_(tSink) {
    tSink = sink;
}

TraceTo::~TraceTo() {
    tSink = previous_;
}

}  // namespace korvale
