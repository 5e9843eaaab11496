#include "Histogram.h"

#include "PaletteSpace.h"

namespace korvale::quantise {

Histogram CountColours(std::span<const SrgbImage> levels) {
    Histogram histogram;
    std::vector<std::uint32_t> slots(1024, 0);  // index + 1 into keys; 0 is empty
    std::size_t mask = slots.size() - 1;
    const auto slotOf = [&mask](std::uint32_t key) {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    };
    for (const SrgbImage& level : levels) {
        const std::size_t count = PixelsOf(level);
        const float* px = level.pixels.data();
        for (std::size_t i = 0; i < count; ++i, px += 4) {
            const std::uint32_t key =
                Pack(Round255(px[0]), Round255(px[1]), Round255(px[2]), Round255(px[3]));
            std::size_t slot = slotOf(key);
            while (slots[slot] != 0 && histogram.keys[slots[slot] - 1] != key) {
                slot = (slot + 1) & mask;
            }
            if (slots[slot] != 0) {
                histogram.counts[slots[slot] - 1] += 1.0;
                continue;
            }
            histogram.keys.push_back(key);
            histogram.counts.push_back(1.0);
            histogram.hasTransparent = histogram.hasTransparent || key == 0;
            slots[slot] = static_cast<std::uint32_t>(histogram.keys.size());
            if (histogram.keys.size() * 2 > slots.size()) {
                slots.assign(slots.size() * 2, 0);
                mask = slots.size() - 1;
                for (std::size_t k = 0; k < histogram.keys.size(); ++k) {
                    std::size_t s = slotOf(histogram.keys[k]);
                    while (slots[s] != 0) {
                        s = (s + 1) & mask;
                    }
                    slots[s] = static_cast<std::uint32_t>(k + 1);
                }
            }
        }
    }
    return histogram;
}

}  // namespace korvale::quantise
