#include "MemStream.h"

#include <cstdio>
#include <cstdlib>

namespace korvale::test {

MemStream::MemStream(std::span<const std::uint8_t> bytes) : buffer_(bytes.begin(), bytes.end()) {
    // fmemopen rejects a zero-sized buffer; an empty file reads like /dev/null.
    file_.reset(buffer_.empty() ? std::fopen("/dev/null", "rb")
                                : fmemopen(buffer_.data(), buffer_.size(), "rb"));
}

MemStream::MemStream() {
    file_.reset(open_memstream(&written_, &writtenSize_));
}

MemStream::~MemStream() {
    file_.reset();  // closing a memory stream finalises its buffer, which is then ours to free
    std::free(written_);
}

Bytes MemStream::Written() {
    std::fflush(file_.get());
    return Bytes(written_, written_ + writtenSize_);
}

}  // namespace korvale::test
