#include "CCmap.h"

#include <cstdio>

namespace korvale {

int CCmap::Load(ChunkStream stream) {
    if (stream == nullptr) {
        std::printf("Can't read from NULL file\n");
        return 0;
    }
    if (ReadU32(stream) != tag::kCmap) {
        std::printf("Not a CMAP\n");
        return 0;
    }
    if (ReadU32(stream) != 0) {
        std::printf("CMAP zero not zero\n");
        return 0;
    }
    if (ReadU32(stream) != kBodySize) {
        std::printf("CMAP size not 64\n");
        return 0;
    }
    std::printf("CMAP\n");
    for (int i = 0; i < kEntries; ++i) {
        const std::uint32_t v = ReadU32(stream);
        Colour& c = Entry(i);
        c.r = static_cast<std::int32_t>((v >> 16) & 0xFFU);
        c.g = static_cast<std::int32_t>((v >> 8) & 0xFFU);
        c.b = static_cast<std::int32_t>(v & 0xFFU);
        c.a = static_cast<std::int32_t>(v >> 24);
        std::printf("[%2d]: %3d %3d %3d. %3d\n", i, c.r, c.g, c.b, c.a);
    }
    return 1;
}

int CCmap::Save(ChunkStream stream) const {
    if (stream == nullptr) {
        return 0;
    }
    WriteChunkHeader(stream, tag::kCmap, kBodySize);
    for (const Colour& c : entries_) {
        // Masked so that a component outside 0..255 cannot spill into its neighbours.
        const std::uint32_t word = (static_cast<std::uint32_t>(c.a) & 0xFFU) << 24 |
                                   (static_cast<std::uint32_t>(c.r) & 0xFFU) << 16 |
                                   (static_cast<std::uint32_t>(c.g) & 0xFFU) << 8 |
                                   (static_cast<std::uint32_t>(c.b) & 0xFFU);
        WriteU32(stream, word);
    }
    return 1;
}

void CCmap::SetDefault() {
    entries_.fill(Colour{255, 255, 255, 255});
}

void CCmap::CopyFrom(const CCmap& source) {
    entries_ = source.entries_;
}

}  // namespace korvale
