#include "RoundTrip.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "MemStream.h"
#include "PixelCodec.h"
#include "PlaneCompare.h"

namespace korvale::test {

std::string RoundTripProblem(CMip& loaded) {
    // Which levels had every pixel covered by their rows; the save recomputes BPR.
    std::vector<int> order;  // slots with data, in the order the save writes them
    std::vector<bool> covered(CMip::kSlots, false);
    for (const int k : loaded.FilledSlots()) {
        const CBmap& level = loaded.levels[static_cast<std::size_t>(k)];
        order.push_back(k);
        covered[static_cast<std::size_t>(k)] =
            level.Bpr() >= WriterBpr(level.Type(), level.Width());
    }
    MemStream saved;
    if (loaded.Save(saved.Get()) != 1) {
        return "save failed";
    }
    const Bytes first = saved.Written();
    CMip again;
    MemStream in(first);
    if (again.Load(in.Get()) != 1) {
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
        // The palette the reload decodes a palettised level with; when it is not the level's
        // own, only the indices can come back.
        const CCmap& carried = loaded.miptype == 2  ? loaded.levelPalettes[from]
                               : loaded.miptype < 2 ? loaded.globalPalette
                                                    : allWhite;
        if (KindOf(a.Type()) != PixelKind::kPalettised || carried == loaded.levelPalettes[from]) {
            if (!SamePlanes(a, b)) {
                return where + "planes changed";
            }
        } else if (!SamePlane(a, b, PlaneId::kIndex)) {
            return where + "indices changed";
        }
    }
    // When every level came back into its own slot, a second save is the same file.
    if (slots.size() == order.size() && std::equal(slots.begin(), slots.end(), order.begin())) {
        MemStream resaved;
        if (again.Save(resaved.Get()) != 1 || resaved.Written() != first) {
            return "second save differs from the first";
        }
    }
    return {};
}

}  // namespace korvale::test
