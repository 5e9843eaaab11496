// Stored channel values and the 8-bit values people see, at the one place they meet.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "LevelImage.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

TEST(LevelImage, StoredValuesShowAtFullScaleAndComeBackExactly) {
    struct Case {
        int stored, bits, shown;
    };
    const Case cases[] = {
        {248, 5, 255}, {0, 5, 0},     {8, 5, 8},     {128, 5, 132}, {252, 6, 255},
        {4, 6, 4},     {128, 1, 255}, {0, 1, 0},     {240, 4, 255}, {16, 4, 17},
        {144, 4, 153}, {200, 8, 200}, {120, 5, 123},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoredToFullScale(c.stored, c.bits), c.shown) << c.stored << "/" << c.bits;
        EXPECT_EQ(FullScaleToStored(c.shown, c.bits), c.stored) << c.shown << "/" << c.bits;
    }
    // Between codes, the nearest one.
    EXPECT_EQ(FullScaleToStored(4, 5), 0);
    EXPECT_EQ(FullScaleToStored(5, 5), 8);
    EXPECT_EQ(FullScaleToStored(127, 1), 0);
}

TEST(LevelImage, EachTypeShowsItsChannelsAsTextureToolsDo) {
    struct Case {
        int type;
        Colour stored;
        Rgba8 shown;
        Rgba8 raw;
    };
    const Case cases[] = {
        {3, {248, 252, 248, 255}, {255, 255, 255, 255}, {248, 252, 248, 255}},
        {4, {248, 0, 8, 128}, {255, 0, 8, 255}, {248, 0, 8, 128}},
        {4, {0, 248, 0, 0}, {0, 255, 0, 0}, {0, 248, 0, 0}},
        {5, {240, 16, 0, 112}, {255, 17, 0, 119}, {240, 16, 0, 112}},
    };
    for (const Case& c : cases) {
        CBmap level;
        ASSERT_TRUE(level.Allocate(c.type, 1, 1));
        level.Plane(PlaneId::kR)[0] = c.stored.r;
        level.Plane(PlaneId::kG)[0] = c.stored.g;
        level.Plane(PlaneId::kB)[0] = c.stored.b;
        level.Plane(PlaneId::kA)[0] = c.stored.a;
        level.Plane(PlaneId::kIndex)[0] = 255;  // as the loader leaves a 16-bit level
        const Image shown = LevelToImage(level, CCmap());
        EXPECT_EQ((Rgba8{shown.pixels[0], shown.pixels[1], shown.pixels[2], shown.pixels[3]}),
                  c.shown)
            << c.type;
        const Image raw = LevelToImage(level, CCmap(), LevelView::kRaw);
        EXPECT_EQ((Rgba8{raw.pixels[0], raw.pixels[1], raw.pixels[2], raw.pixels[3]}), c.raw);
        CBmap back;
        ASSERT_TRUE(ImageToLevel(shown, c.type, CCmap(), back).Ok());
        EXPECT_TRUE(SameLevel(back, level)) << c.type;
    }
}

// Every stored value, out-of-range ones too, in each channel of each 16-bit type: the shown
// byte is the channel's top bits rounded to full scale, 255 for a missing alpha, and the raw
// view the clamped value. A row of 263 pixels takes both the vector loop and the pixels after it;
// each channel is offset so a swapped channel or pixel shows.
TEST(LevelImage, EveryStoredValueShowsAtItsRoundedFullScale) {
    struct Case {
        int type;
        int bits[4];
    };
    const Case cases[] = {{3, {5, 6, 5, 0}}, {4, {5, 5, 5, 1}}, {5, {4, 4, 4, 4}}};
    constexpr int kWidth = 263;
    const auto stored = [](int x, int c) { return (x + 67 * c) % kWidth - 3; };  // -3 .. 259
    for (const Case& t : cases) {
        CBmap level;
        ASSERT_TRUE(level.Allocate(t.type, kWidth, 1));
        const PlaneId ids[4] = {PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA};
        for (int c = 0; c < 4; ++c) {
            for (int x = 0; x < kWidth; ++x) {
                level.Plane(ids[c])[static_cast<std::size_t>(x)] = stored(x, c);
            }
        }
        const Image shown = LevelToImage(level, CCmap());
        const Image raw = LevelToImage(level, CCmap(), LevelView::kRaw);
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < 4; ++c) {
                const int v = std::clamp(stored(x, c), 0, 255);
                const int bits = t.bits[c];
                const int max = (1 << bits) - 1;
                const long want = bits == 0 ? 255 : std::lround((v >> (8 - bits)) * 255.0 / max);
                const std::size_t at =
                    4 * static_cast<std::size_t>(x) + static_cast<std::size_t>(c);
                EXPECT_EQ(shown.pixels[at], want) << t.type << " x " << x << " channel " << c;
                EXPECT_EQ(raw.pixels[at], v) << t.type << " x " << x << " channel " << c;
            }
        }
    }
}

TEST(LevelImage, PalettisedLevelsExpandTheirIndicesThroughThePalette) {
    CCmap palette = PatternPalette(3);
    palette.Entry(5) = Colour{1, 2, 3, 4};
    CBmap level;
    ASSERT_TRUE(level.Allocate(0, 2, 1));
    level.Plane(PlaneId::kIndex)[0] = 5;
    level.Plane(PlaneId::kIndex)[1] = 0;
    const Image image = LevelToImage(level, palette);
    EXPECT_EQ(image.indices, (std::vector<std::uint8_t>{5, 0}));
    ASSERT_EQ(image.palette.size(), 16U);
    EXPECT_EQ(image.palette[5], (Rgba8{1, 2, 3, 4}));
    EXPECT_EQ(Bytes(image.pixels.begin(), image.pixels.begin() + 4), (Bytes{1, 2, 3, 4}));

    Image noIndices = image;
    noIndices.indices.clear();
    EXPECT_EQ(ImageToLevel(noIndices, 0, palette, level).Reason(),
              "a palettised level needs one index from 0 to 15 per pixel");
}

}  // namespace
}  // namespace korvale::test
