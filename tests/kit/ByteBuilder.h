#pragma once
// Files built byte by byte, for inputs the writers would never make.

#include <cstdint>

#include "MemStream.h"

namespace korvale::test {

// Appends little-endian values.
class ByteBuilder {
  public:
    ByteBuilder& U32(std::uint32_t v);
    ByteBuilder& U16(std::uint32_t v);
    ByteBuilder& U8(std::uint32_t v);
    ByteBuilder& F32(float v);
    ByteBuilder& Tag(const char (&chars)[5]);
    ByteBuilder& Header(const char (&chars)[5], std::uint32_t size);
    ByteBuilder& Append(const Bytes& more);
    [[nodiscard]] const Bytes& Data() const { return bytes_; }

  private:
    Bytes bytes_;
};

}  // namespace korvale::test
