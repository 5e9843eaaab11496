#include "CCmap.h"

#include <cstdio>

#include "Trace.h"

namespace korvale {

namespace {

void Fault(ChunkStream stream, const char* line, LoadReport* report) {
    Trace("%s\n", line);
    if (report != nullptr) {
        const long at = Offset(stream) - 4;
        report->Error(at, line);
        if (std::feof(stream) != 0) {
            report->CutShort(at);
        }
    }
}

}  // namespace

int CCmap::Load(ChunkStream stream, LoadReport* report) {
    if (stream == nullptr) {
        Trace("Can't read from NULL file\n");
        return 0;
    }
    if (ReadU32(stream) != tag::kCmap) {
        Fault(stream, "Not a CMAP", report);
        return 0;
    }
    if (ReadU32(stream) != 0) {
        Fault(stream, "CMAP zero not zero", report);
        return 0;
    }
    if (ReadU32(stream) != kBodySize) {
        Fault(stream, "CMAP size not 64", report);
        return 0;
    }
    Trace("CMAP\n");
    for (int i = 0; i < kEntries; ++i) {
        const std::uint32_t v = ReadU32(stream);
        Colour& c = Entry(i);
        c.r = static_cast<std::int32_t>((v >> 16) & 0xFFU);
        c.g = static_cast<std::int32_t>((v >> 8) & 0xFFU);
        c.b = static_cast<std::int32_t>(v & 0xFFU);
        c.a = static_cast<std::int32_t>(v >> 24);
        Trace("[%2d]: %3d %3d %3d. %3d\n", i, c.r, c.g, c.b, c.a);
    }
    if (report != nullptr && std::feof(stream) != 0) {
        report->CutShort(Offset(stream));
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
