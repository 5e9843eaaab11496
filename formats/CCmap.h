#pragma once
// A 16-colour RGBA palette for the 4-bit pixel types, stored as a CMAP chunk.

#include <array>
#include <cstdint>

#include "ChunkStream.h"
#include "LoadReport.h"

namespace korvale {

struct Colour {
    std::int32_t r = 0;
    std::int32_t g = 0;
    std::int32_t b = 0;
    std::int32_t a = 0;
    friend bool operator==(const Colour&, const Colour&) = default;
};

class CCmap {
  public:
    static constexpr int kEntries = 16;
    static constexpr std::uint32_t kBodySize = 64;
    static constexpr int kChunkSize = 76;

    CCmap() = default;
    CCmap(const CCmap&) = default;
    CCmap& operator=(const CCmap&) = default;
    virtual ~CCmap() = default;

    // Reads one CMAP chunk at the current position, printing its trace. 1 read, 0 failed; a
    // failed load leaves every entry as it was.
    // Faults also go to report, when given.
    [[nodiscard]] int Load(ChunkStream stream, LoadReport* report = nullptr);
    // Writes one CMAP chunk. 1 written, 0 for a null stream.
    int Save(ChunkStream stream) const;
    // All four components of every entry become 255.
    void SetDefault();
    void CopyFrom(const CCmap& source);

    [[nodiscard]] const Colour& Entry(int index) const {
        return entries_.at(static_cast<std::size_t>(index));
    }
    [[nodiscard]] Colour& Entry(int index) { return entries_.at(static_cast<std::size_t>(index)); }

    friend bool operator==(const CCmap& x, const CCmap& y) { return x.entries_ == y.entries_; }

  private:
    std::array<Colour, kEntries> entries_{};
};

}  // namespace korvale
