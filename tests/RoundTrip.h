#pragma once
// The save-and-reload property shared by the tests and the fuzz targets: whatever loaded must
// save, and what the save wrote must load back to the same levels. Header-only and free of any
// test framework so the fuzz targets can use it too.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "CMip.h"
#include "PixelCodec.h"

namespace korvale::test {

namespace detail {

inline std::vector<std::uint8_t> SaveToMemory(CMip& mip, int& result) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    result = mip.Save(out);
    std::fclose(out);
    std::vector<std::uint8_t> bytes(size);
    if (size > 0) {
        std::memcpy(bytes.data(), data, size);
    }
    std::free(data);
    return bytes;
}

inline int LoadFromMemory(CMip& mip, const std::vector<std::uint8_t>& bytes) {
    if (bytes.empty()) {
        return 0;
    }
    std::string copy(bytes.begin(), bytes.end());  // fmemopen wants a writable buffer
    FilePtr in(fmemopen(copy.data(), copy.size(), "rb"));
    return mip.Load(in.get());
}

template <typename T>
bool SameSpan(std::span<const T> x, std::span<const T> y) {
    return std::equal(x.begin(), x.end(), y.begin(), y.end());
}

}  // namespace detail

// Saves `loaded` (fresh from a load) and reloads it. Returns "" when every level came back in
// the slot the header's passes give it, with the same type, size and the planes the file can
// carry; otherwise what differed.
inline std::string RoundTripProblem(CMip& loaded) {
    // Which levels had every pixel covered by their rows; the save recomputes BPR.
    std::vector<int> order;  // slots with data, in the order the save writes them
    std::vector<bool> covered(CMip::kSlots, false);
    for (const int k : loaded.FilledSlots()) {
        const CBmap& level = loaded.levels[static_cast<std::size_t>(k)];
        order.push_back(k);
        covered[static_cast<std::size_t>(k)] = level.Bpr() >= WriterBpr(level.Type(), level.Width());
    }
    int saved = 0;
    const std::vector<std::uint8_t> first = detail::SaveToMemory(loaded, saved);
    if (saved != 1) {
        return "save failed";
    }
    CMip again;
    if (detail::LoadFromMemory(again, first) != 1) {
        return "saved file does not load";
    }
    // The reload reads the saved levels in turn into the slots the header's passes select. A
    // slot can be selected more than once (when one exponent is too large to count); it keeps
    // what its last pass read, and a pass after the last saved level reads nothing and empties it.
    const std::vector<int> slots =
        SlotsToRead(again.powerwidth, again.powerheight, again.numimages);
    std::vector<int> lastInto(CMip::kSlots, -1);  // index into order, or -1
    for (std::size_t j = 0; j < slots.size(); ++j) {
        lastInto[static_cast<std::size_t>(slots[j])] = j < order.size() ? static_cast<int>(j) : -1;
    }
    CCmap allWhite;
    allWhite.SetDefault();
    for (std::size_t s = 0; s < CMip::kSlots; ++s) {
        if (lastInto[s] < 0) {
            if (again.levels[s].HasData()) {
                return "slot " + std::to_string(s) + " should be empty after the reload";
            }
            continue;
        }
        const auto from = static_cast<std::size_t>(order[static_cast<std::size_t>(lastInto[s])]);
        const CBmap& a = loaded.levels[from];
        const CBmap& b = again.levels[s];
        const std::string where = "level from slot " + std::to_string(from) + ": ";
        if (!b.HasData() || a.Type() != b.Type() || a.Width() != b.Width() ||
            a.Height() != b.Height()) {
            return where + "type or size changed";
        }
        if (!covered[from]) {
            continue;  // pixels no row covered were zero; the saved rows carry their encoding
        }
        // The palette the reload decodes a palettised level with.
        const CCmap& carried = loaded.miptype == 2  ? loaded.levelPalettes[from]
                               : loaded.miptype < 2 ? loaded.globalPalette
                                                    : allWhite;
        const bool colours =
            KindOf(a.Type()) != PixelKind::kPalettised || carried == loaded.levelPalettes[from];
        for (int p = 0; p < CBmap::kPlanes; ++p) {
            const auto id = static_cast<PlaneId>(p);
            if ((colours || id == PlaneId::kIndex) && !detail::SameSpan(a.Plane(id), b.Plane(id))) {
                return where + "plane " + std::to_string(p) + " changed";
            }
        }
    }
    // When every level came back into its own slot, a second save is the same file.
    if (slots.size() == order.size() && std::equal(slots.begin(), slots.end(), order.begin())) {
        const std::vector<std::uint8_t> second = detail::SaveToMemory(again, saved);
        if (second != first) {
            return "second save differs from the first";
        }
    }
    return {};
}

}  // namespace korvale::test
