#include "LargeBuffer.h"

#if defined(__linux__) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#endif

namespace korvale {

void ReserveLarge(std::vector<std::uint8_t>& bytes, std::size_t size) {
    if (size <= bytes.capacity()) {
        return;
    }
    bytes.reserve(size);
#if defined(__linux__) && !defined(__EMSCRIPTEN__) && defined(MADV_HUGEPAGE)
    if (size < kLargeBuffer) {
        return;
    }
    // Only whole large pages inside the room can be backed by one; the advice is a hint, so a
    // system that refuses it (no transparent huge pages) changes nothing.
    constexpr std::uintptr_t kPage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(bytes.data());
    const std::uintptr_t end = begin + bytes.capacity();
    const std::uintptr_t first = (begin + kPage - 1) & ~(kPage - 1);
    const std::uintptr_t last = end & ~(kPage - 1);
    if (first < last) {
        (void)::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
}

}  // namespace korvale
