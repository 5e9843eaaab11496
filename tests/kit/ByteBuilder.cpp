#include "ByteBuilder.h"

#include <bit>

#include "ChunkStream.h"

namespace korvale::test {

ByteBuilder& ByteBuilder::U32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    return *this;
}

ByteBuilder& ByteBuilder::U16(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

ByteBuilder& ByteBuilder::U8(std::uint32_t v) {
    bytes_.push_back(static_cast<std::uint8_t>(v));
    return *this;
}

ByteBuilder& ByteBuilder::F32(float v) {
    return U32(std::bit_cast<std::uint32_t>(v));
}

ByteBuilder& ByteBuilder::Tag(const char (&chars)[5]) {
    return U32(MakeTag(chars[0], chars[1], chars[2], chars[3]));
}

ByteBuilder& ByteBuilder::Header(const char (&chars)[5], std::uint32_t size) {
    return Tag(chars).U32(0).U32(size);
}

ByteBuilder& ByteBuilder::Append(const Bytes& more) {
    bytes_.insert(bytes_.end(), more.begin(), more.end());
    return *this;
}

}  // namespace korvale::test
