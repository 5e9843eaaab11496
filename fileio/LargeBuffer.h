#pragma once
// Room for a buffer of many megabytes that is about to be written from end to end (a whole
// file, a decoded picture). Fresh memory comes from the system a 4 KiB page at a time, each
// page a fault on first touch: over a 16 MiB picture that costs more than writing it. Where
// the system has large pages and lets a program ask for them, the room is backed by those.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvale {

// Smaller buffers are left to the allocator as they are.
inline constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;

// Reserves room for size bytes in bytes (as bytes.reserve does) and, when the room is new and
// large, advises the system to back it with large pages. The advice changes no byte, only how
// the memory is handed out; where it is not available, this is bytes.reserve(size).
void ReserveLarge(std::vector<std::uint8_t>& bytes, std::size_t size);

}  // namespace korvale
