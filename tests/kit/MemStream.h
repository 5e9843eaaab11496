#pragma once
// In-memory files for the readers and writers, which work on an open stream.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ChunkStream.h"

namespace korvale::test {

using Bytes = std::vector<std::uint8_t>;

// A stream that reads a copy of some bytes or, made without any, writes to memory.
class MemStream {
  public:
    // No bytes read like an empty file.
    explicit MemStream(std::span<const std::uint8_t> bytes);
    MemStream();
    ~MemStream();
    MemStream(const MemStream&) = delete;
    MemStream& operator=(const MemStream&) = delete;
    [[nodiscard]] ChunkStream Get() const { return file_.get(); }
    // What has been written so far (for a stream made without bytes).
    [[nodiscard]] Bytes Written();

  private:
    std::vector<char> buffer_;  // fmemopen wants a writable buffer
    FilePtr file_;
    char* written_ = nullptr;
    std::size_t writtenSize_ = 0;
};

}  // namespace korvale::test
