#pragma once
// Shared pieces of the fuzz targets: memory streams, a silenced trace, and failing loudly.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ChunkStream.h"

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

// A read-only stream over the fuzzer's input (an empty input reads like an empty file).
class InputStream {
  public:
    InputStream(const std::uint8_t* data, std::size_t size)
        : copy_(reinterpret_cast<const char*>(data), size) {
        file_.reset(copy_.empty() ? std::fopen("/dev/null", "rb")
                                  : fmemopen(copy_.data(), copy_.size(), "rb"));
    }
    [[nodiscard]] ChunkStream Get() const { return file_.get(); }

  private:
    std::string copy_;  // fmemopen wants a writable buffer
    FilePtr file_;
};

class OutputStream {
  public:
    OutputStream() { file_.reset(open_memstream(&data_, &size_)); }
    ~OutputStream() {
        file_.reset();
        std::free(data_);
    }
    OutputStream(const OutputStream&) = delete;
    OutputStream& operator=(const OutputStream&) = delete;
    [[nodiscard]] ChunkStream Get() const { return file_.get(); }
    [[nodiscard]] std::vector<std::uint8_t> Bytes() {
        std::fflush(file_.get());
        return {data_, data_ + size_};
    }

  private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
    FilePtr file_;
};

}  // namespace korvale::fuzz
