#pragma once
// PNG chunk checksums for the PNG fuzz targets. Nearly every mutation breaks one, which stops a
// reader at once, so the targets read an input again with its checksums made right.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace korvale::fuzz {

inline constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}();

inline std::uint32_t Crc(std::span<const std::uint8_t> bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) {
        c = kCrcTable[(c ^ b) & 0xFFu] ^ (c >> 8);
    }
    return ~c;
}

inline std::uint32_t Get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
}

// Rewrites the checksum of every whole chunk after the signature; true when any changed.
inline bool RepairChecksums(std::vector<std::uint8_t>& png) {
    bool changed = false;
    std::size_t at = 8;
    while (png.size() >= 12 && at <= png.size() - 12) {
        const std::uint64_t length = Get32(png, at);
        if (length > png.size() - 12 - at) {
            break;
        }
        const std::size_t crcAt = at + 8 + static_cast<std::size_t>(length);
        const std::uint32_t crc =
            Crc(std::span(png).subspan(at + 4, static_cast<std::size_t>(length) + 4));
        if (Get32(png, crcAt) != crc) {
            for (int i = 0; i < 4; ++i) {
                png[crcAt + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
            }
            changed = true;
        }
        at = crcAt + 4;
    }
    return changed;
}

}  // namespace korvale::fuzz
