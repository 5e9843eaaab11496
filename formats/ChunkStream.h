#pragma once
// Byte-level primitives over an open file. Every file Korvale reads or writes is a flat
// sequence of little-endian words grouped into chunks: a header of tag, reserved word and
// body size, then the body.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "FilePtr.h"

namespace korvale {

// An open file of the standard library's buffered I/O, in binary mode.
using ChunkStream = std::FILE*;

// Four characters packed with the first in the most significant byte. Stored little-endian,
// they appear reversed on disk ("BMAP" is the bytes "PAMB").
constexpr std::uint32_t MakeTag(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d));
}

namespace tag {
inline constexpr std::uint32_t kCmap = MakeTag('C', 'M', 'A', 'P');
inline constexpr std::uint32_t kBmap = MakeTag('B', 'M', 'A', 'P');
inline constexpr std::uint32_t kBmhd = MakeTag('B', 'M', 'H', 'D');
inline constexpr std::uint32_t kData = MakeTag('D', 'A', 'T', 'A');
inline constexpr std::uint32_t kMip = MakeTag(' ', 'M', 'I', 'P');
inline constexpr std::uint32_t kMphd = MakeTag('M', 'P', 'H', 'D');
inline constexpr std::uint32_t kSrb = MakeTag('S', 'R', 'B', ' ');
inline constexpr std::uint32_t kSrhd = MakeTag('S', 'R', 'H', 'D');
inline constexpr std::uint32_t kSrh2 = MakeTag('S', 'R', 'H', '2');
inline constexpr std::uint32_t kYrq4 = MakeTag('Y', 'R', 'Q', '4');
inline constexpr std::uint32_t kXyzs = MakeTag('X', 'Y', 'Z', 'S');
inline constexpr std::uint32_t kStrn = MakeTag('S', 'T', 'R', 'N');
inline constexpr std::uint32_t kPrim = MakeTag('P', 'R', 'I', 'M');
}  // namespace tag

// Readers. A value the file does not hold in full reads as 0, which is never a valid tag, so
// header checks fail at the end of a file instead of seeing stale bytes.
[[nodiscard]] std::uint32_t ReadU32(ChunkStream stream);
[[nodiscard]] int ReadU8(ChunkStream stream);
[[nodiscard]] float ReadF32(ChunkStream stream);
// Reads the next word and leaves the stream where it was.
[[nodiscard]] std::uint32_t PeekTag(ChunkStream stream);
// Reads up to bytes.size() bytes; returns how many were read. Missing bytes are left as they were.
[[nodiscard]] std::size_t ReadBytes(ChunkStream stream, std::span<std::uint8_t> bytes);

// Writers. Failures are sticky on the stream (std::ferror), so a saver checks once at the end.
void WriteU32(ChunkStream stream, std::uint32_t value);
void WriteU16(ChunkStream stream, std::uint32_t value);
void WriteU8(ChunkStream stream, std::uint32_t value);
void WriteF32(ChunkStream stream, float value);
void WriteBytes(ChunkStream stream, std::span<const std::uint8_t> bytes);
void WriteChunkHeader(ChunkStream stream, std::uint32_t chunkTag, std::uint32_t size);

// Moves the position on by bytes (which the caller has checked are in the file). False when the
// stream could not seek.
[[nodiscard]] bool SkipBytes(ChunkStream stream, std::int64_t bytes);

// The current offset, for diagnostics; -1 when the stream cannot tell.
[[nodiscard]] long Offset(ChunkStream stream);
// Bytes between the current position and the end of the file; 0 when that cannot be found,
// so that nothing is sized from a stream whose length is unknown.
[[nodiscard]] std::int64_t RemainingBytes(ChunkStream stream);

}  // namespace korvale
