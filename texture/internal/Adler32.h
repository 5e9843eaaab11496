#pragma once
// Adler-32, the checksum that closes a zlib stream (and so a PNG's image data).

#include <cstddef>
#include <cstdint>

namespace korvale {

// kAny takes libdeflate's where it has a vector loop for the processor (x86, ARM) and the
// vector loop below elsewhere (WebAssembly SIMD), kVector the SSE2 loop (kScalar where the
// target has no SSE2), kScalar a byte at a time: what the others must equal.
enum class Adler32Path { kAny, kVector, kScalar };

// The Adler-32 of size bytes, from the starting value 1.
[[nodiscard]] std::uint32_t Adler32(const std::uint8_t* bytes, std::size_t size,
                                    Adler32Path path = Adler32Path::kAny);

}  // namespace korvale
