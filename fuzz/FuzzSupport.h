#pragma once
// What every fuzz target needs besides the test kit: a silenced trace, and failing loudly.

#include <cstdio>
#include <cstdlib>
#include <string>

namespace korvale::fuzz {

// The loaders print a trace on standard output; the fuzzer has no use for it.
inline void SilenceTrace() {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::fclose(stdout);
    }
}

inline void Require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "property failed: %s\n", what);
        std::abort();
    }
}

// "" means the property held; anything else names what failed.
inline void Require(const std::string& problem) {
    if (!problem.empty()) {
        Require(false, problem.c_str());
    }
}

}  // namespace korvale::fuzz
