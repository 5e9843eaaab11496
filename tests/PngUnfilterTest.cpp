#include "PngUnfilter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace korvale::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Rows as inflated from a PNG (a filter byte, then the filtered samples, for each row) through
// the unfilter, which writes RGBA into the same buffer.
Bytes Unfiltered(const Bytes& rows, std::size_t width, std::size_t height, int channels,
                 UnfilterPath path, bool* ok = nullptr) {
    Bytes buffer(UnfilterBufferSize(width, height, channels), 0xEE);
    std::copy(
        rows.begin(), rows.end(),
        buffer.begin() + static_cast<std::ptrdiff_t>(UnfilterInputOffset(width, height, channels)));
    const bool done = UnfilterToRgba(buffer.data(), width, height, channels, path);
    if (ok != nullptr) {
        *ok = done;
    }
    buffer.resize(width * height * 4);
    return buffer;
}

enum : std::uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Two-pixel rows worked out by hand from PNG's definitions of the filters (a the byte to the
// left, b the byte above, c the byte above and to the left, all 0 off the picture; sums mod 256).
TEST(PngUnfilter, HandWorkedRowsForEveryFilterAtThreeAndFourBytesAPixel) {
    struct Case {
        const char* name;
        int channels;
        Bytes rows;      // as inflated
        Bytes expected;  // RGBA
    };
    const std::vector<Case> cases = {
        // A first row has no row above: Up is None, Average halves the left byte, Paeth is Sub.
        {"None, first row", 4, {kNone, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Sub, first row", 4, {kSub, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 6, 8, 10, 12}},
        {"Up, first row", 4, {kUp, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"Average, first row", 4, {kAverage, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 7, 8, 10}},
        {"Paeth, first row", 4, {kPaeth, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 6, 8, 10, 12}},
        {"None, first row, RGB", 3, {kNone, 1, 2, 3, 5, 6, 7}, {1, 2, 3, 255, 5, 6, 7, 255}},
        {"Sub, first row, RGB", 3, {kSub, 1, 2, 3, 5, 6, 254}, {1, 2, 3, 255, 6, 8, 1, 255}},
        {"Average, first row, RGB", 3, {kAverage, 1, 2, 3, 5, 6, 7}, {1, 2, 3, 255, 5, 7, 8, 255}},
        // Second rows under 10 20 30 40 | 50 60 70 80.
        {"Sub",
         4,
         {kNone, 10, 20, 30, 40, 50, 60, 70, 80, kSub, 1, 2, 3, 4, 5, 6, 254, 8},
         {10, 20, 30, 40, 50, 60, 70, 80, 1, 2, 3, 4, 6, 8, 1, 12}},
        {"Up",
         4,
         {kNone, 10, 20, 30, 40, 50, 60, 70, 80, kUp, 1, 2, 3, 4, 5, 6, 254, 8},
         {10, 20, 30, 40, 50, 60, 70, 80, 11, 22, 33, 44, 55, 66, 68, 88}},
        // (0 + 10) / 2 + 1 = 6 ...; then (6 + 50) / 2 + 5 = 33, (18 + 70) / 2 + 254 = 42 mod 256.
        {"Average",
         4,
         {kNone, 10, 20, 30, 40, 50, 60, 70, 80, kAverage, 1, 2, 3, 4, 5, 6, 254, 8},
         {10, 20, 30, 40, 50, 60, 70, 80, 6, 12, 18, 24, 33, 42, 42, 60}},
        {"Sub, RGB",
         3,
         {kNone, 10, 20, 30, 50, 60, 70, kSub, 1, 2, 3, 5, 6, 254},
         {10, 20, 30, 255, 50, 60, 70, 255, 1, 2, 3, 255, 6, 8, 1, 255}},
        {"Up, RGB",
         3,
         {kNone, 10, 20, 30, 50, 60, 70, kUp, 1, 2, 3, 5, 6, 254},
         {10, 20, 30, 255, 50, 60, 70, 255, 11, 22, 33, 255, 55, 66, 68, 255}},
        {"Average, RGB",
         3,
         {kNone, 10, 20, 30, 50, 60, 70, kAverage, 1, 2, 3, 5, 6, 254},
         {10, 20, 30, 255, 50, 60, 70, 255, 6, 12, 18, 255, 33, 42, 42, 255}},
        // Paeth under 100 100 100 100 | 100 130 50 110. The first pixel predicts from above
        // (a = c = 0): 163 + 100 = 7, then 100, 150, 110. The second one's channels choose
        // a (b = c), b (a = c), c (a + b = 2c, pa = pb = 50, pc = 0) and a on the tie
        // pa = pb = 10 < pc = 20.
        {"Paeth",
         4,
         {kNone, 100, 100, 100, 100, 100, 130, 50, 110, kPaeth, 163, 0, 50, 10, 1, 2, 3, 4},
         {100, 100, 100, 100, 100, 130, 50, 110, 7, 100, 150, 110, 8, 132, 103, 114}},
        // Under 100 100 100 | 92 130 50: the first channel is the tie pb = pc = 4 < pa = 8,
        // which b wins (a = 104, b = 92, c = 100).
        {"Paeth, RGB",
         3,
         {kNone, 100, 100, 100, 92, 130, 50, kPaeth, 4, 0, 50, 1, 2, 3},
         {100, 100, 100, 255, 92, 130, 50, 255, 104, 100, 150, 255, 93, 132, 103, 255}},
    };
    for (const Case& c : cases) {
        const std::size_t height = c.expected.size() / 8;
        for (const UnfilterPath path : {UnfilterPath::kScalar, UnfilterPath::kVector}) {
            SCOPED_TRACE(std::string(c.name) +
                         (path == UnfilterPath::kScalar ? " (scalar)" : " (vector)"));
            bool ok = false;
            EXPECT_EQ(Unfiltered(c.rows, 2, height, c.channels, path, &ok), c.expected);
            EXPECT_TRUE(ok);
        }
    }
}

TEST(PngUnfilter, AFilterTypePngLacksIsRefused) {
    for (const UnfilterPath path : {UnfilterPath::kScalar, UnfilterPath::kVector}) {
        bool ok = true;
        Unfiltered({kNone, 1, 2, 3, 4, 5, 1, 2, 3, 4}, 1, 2, 4, path, &ok);
        EXPECT_FALSE(ok);
    }
}

// The vector path takes four RGBA pixels at a time for None and Up and one at a time for the
// rest; every width up to past two blocks, each filter after each other one, must give the
// scalar path's bytes.
TEST(PngUnfilter, VectorAndScalarPathsGiveTheSameBytes) {
    std::mt19937 random(25);
    for (const int channels : {3, 4}) {
        for (std::size_t width = 1; width <= 11; ++width) {
            // A Paeth first row, then rows 2p + 1 and 2p + 2 filtered p / 5 and p % 5: every
            // filter above every filter.
            const std::size_t height = 51;
            Bytes rows;
            for (std::size_t y = 0; y < height; ++y) {
                const std::size_t pair = (y - 1) / 2;
                rows.push_back(static_cast<std::uint8_t>(y == 0       ? std::size_t{kPaeth}
                                                         : y % 2 == 1 ? pair / 5
                                                                      : pair % 5));
                for (std::size_t i = 0; i < width * static_cast<std::size_t>(channels); ++i) {
                    rows.push_back(static_cast<std::uint8_t>(random()));
                }
            }
            SCOPED_TRACE("channels " + std::to_string(channels) + ", width " +
                         std::to_string(width));
            EXPECT_EQ(Unfiltered(rows, width, height, channels, UnfilterPath::kVector),
                      Unfiltered(rows, width, height, channels, UnfilterPath::kScalar));
        }
    }
}

}  // namespace
}  // namespace korvale::test
