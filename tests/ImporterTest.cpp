// Making mip sets from pictures: sizes, types, palettes and what the chain keeps.

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "Importer.h"
#include "LevelImage.h"
#include "PictureBuilder.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

std::set<Rgba8> Colours(const Image& image) {
    std::set<Rgba8> colours;
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const std::uint8_t* p = image.pixels.data() + 4 * i;
        colours.insert({p[0], p[1], p[2], p[3]});
    }
    return colours;
}

Image Shown(const CMip& mip, int slot) {
    const auto k = static_cast<std::size_t>(slot);
    return LevelToImage(mip.levels[k], mip.levelPalettes[k]);
}

// Nearest in log2: 2^6.5 = 90.51 and 2^7.5 = 181.02 are the edges between 64, 128 and 256.
TEST(Importer, TopSizeIsTheNearestPowerOfTwoHalvedToFit) {
    struct Case {
        int w, h, topW, topH;
    };
    const Case cases[] = {{556, 376, 256, 256},   {161, 161, 128, 128}, {300, 40, 256, 32},
                          {2048, 1024, 256, 128}, {1, 1, 1, 1},         {3, 1000, 1, 256},
                          {90, 91, 64, 128},      {181, 182, 128, 256}};
    for (const Case& c : cases) {
        EXPECT_EQ(AutomaticTopSize(c.w, c.h), std::make_pair(c.topW, c.topH)) << c.w << "x" << c.h;
    }
}

TEST(Importer, TheAutomaticTypeFollowsColoursAndAlpha) {
    struct Case {
        int colours;
        std::uint8_t alpha;
        int type;
    };
    const Case cases[] = {{16, 255, 0}, {17, 255, 3}, {17, 0, 4}, {17, 128, 5}};
    for (const Case& c : cases) {
        const Image image = Picture(32, 1, [&](int x, int) {
            const auto v = static_cast<std::uint8_t>(x % c.colours * 7);
            return Rgba8{v, v, 0, x == 0 ? c.alpha : std::uint8_t{255}};
        });
        EXPECT_EQ(AutomaticType(image), c.type) << c.colours << " " << int{c.alpha};
    }
}

TEST(Importer, APicturesFewColoursAreItsPaletteInOrderOfFirstAppearance) {
    const auto colour = [](int id) {
        return Rgba8{static_cast<std::uint8_t>(id * 10), static_cast<std::uint8_t>(255 - id * 10),
                     static_cast<std::uint8_t>(id), 255};
    };
    struct Case {
        std::vector<int> ids;       // the pixels, left to right
        std::vector<int> expected;  // the palette; empty when refused
    };
    const Case cases[] = {
        {{5, 5, 2, 5, 0, 2, 7, 7}, {5, 2, 0, 7}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0, 15},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 16}, {}},
    };
    for (const Case& c : cases) {
        const Image image = Picture(static_cast<int>(c.ids.size()), 1, [&](int x, int) {
            return colour(c.ids[static_cast<std::size_t>(x)]);
        });
        std::vector<Rgba8> palette;
        const Status found = PaletteOfPicture(image, palette);
        std::vector<Rgba8> expected;
        for (const int id : c.expected) {
            expected.push_back(colour(id));
        }
        EXPECT_EQ(found.Ok(), !expected.empty());
        EXPECT_EQ(palette, expected);
        if (expected.empty()) {
            EXPECT_EQ(found.Text(), "has more than 16 colours, so it holds no palette to reuse");
        }
    }
}

TEST(Importer, SixteenColoursAreKeptExactly) {
    const Image image = Picture(16, 16, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x / 4 * 60), static_cast<std::uint8_t>(y / 4 * 70),
                     33, static_cast<std::uint8_t>(x < 8 ? 255 : 90)};
    });
    CMip mip;
    ImportOptions options;
    options.levels = 1;
    ASSERT_TRUE(ImportImage(image, options, mip).Ok());
    EXPECT_EQ(mip.levels[4].Type(), 0);
    EXPECT_EQ(Shown(mip, 4).pixels, image.pixels);
}

TEST(Importer, ATopLevelOfAtMostSixteenColoursStaysExactWithASharedPalette) {
    // Twelve opaque colours in blocks of 3 x 3 that do not line up with the 2 x 2 averages, so
    // every level below the top is full of blends that are not among the twelve.
    const std::vector<Rgba8> twelve = {
        {255, 0, 0, 255},   {0, 255, 0, 255},     {0, 0, 255, 255},  {255, 255, 0, 255},
        {0, 255, 255, 255}, {255, 0, 255, 255},   {128, 64, 0, 255}, {0, 128, 64, 255},
        {64, 0, 128, 255},  {250, 250, 250, 255}, {10, 10, 10, 255}, {200, 150, 100, 255}};
    const Image image = Picture(64, 64, [&](int x, int y) {
        return twelve[static_cast<std::size_t>((x / 3 + 5 * (y / 3)) % 12)];
    });
    for (const bool dither : {false, true}) {
        ImportOptions options;  // the defaults: pal4 chosen, one palette for the chain
        options.dither = dither;
        CMip mip;
        ASSERT_TRUE(ImportImage(image, options, mip).Ok());
        ASSERT_EQ(mip.numimages, 7);
        EXPECT_EQ(mip.miptype, 0);
        EXPECT_EQ(mip.levels[6].Type(), 0);
        EXPECT_EQ(Shown(mip, 6).pixels, image.pixels) << "dither " << dither;
        // The blends below get the four entries left over.
        EXPECT_GT(Colours(Shown(mip, 5)).size(), twelve.size()) << "dither " << dither;
    }
}

TEST(Importer, AFlatColourStaysFlatAtEveryLevel) {
    const Image image = Picture(64, 32, [](int, int) { return Rgba8{10, 200, 30, 255}; });
    CMip mip;
    ImportOptions options;
    options.type = 3;
    ASSERT_TRUE(ImportImage(image, options, mip).Ok());
    EXPECT_EQ(mip.FilledSlots(), (std::vector<int>{6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(mip.numimages, 7);
    EXPECT_EQ(mip.powerwidth, 6);
    EXPECT_EQ(mip.powerheight, 5);
    for (const int k : mip.FilledSlots()) {
        // 10, 200, 30 on the 5-6-5 grid: codes 1, 49, 4, shown as 8, 198, 33.
        EXPECT_EQ(Colours(Shown(mip, k)), (std::set<Rgba8>{{8, 198, 33, 255}})) << k;
    }
}

TEST(Importer, SmallerLevelsKeepTheColourUnderFullyTransparentPixels) {
    // A fully transparent 2 x 2 picture whose red is 255, 255, 0, 0 and green 255, 0, 255, 0:
    // in linear light both average 0.5, which encodes to 0.7354 x 255 = 187.5; blue 40 is the
    // same everywhere, so it stays 40. (Averaged as sRGB values they would give 127.5.)
    // Codes: 5 bits 187.5 x 31 / 255 = 22.8 -> 23, shown 189, and 40 -> 4.86 -> 5, shown 41;
    // 6 bits 187.5 x 63 / 255 = 46.3 -> 46, shown 186; 4 bits 11.03 -> 11, shown 187, and
    // 40 -> 2.35 -> 2, shown 34. By symmetry every filter weighs the four pixels alike.
    const std::vector<Rgba8> under = {
        {255, 255, 40, 0}, {255, 0, 40, 0}, {0, 255, 40, 0}, {0, 0, 40, 0}};
    const Image clear =
        Picture(2, 2, [&](int x, int y) { return under[static_cast<std::size_t>(y * 2 + x)]; });
    struct Case {
        int type;
        Rgba8 top;  // the picture's top-left pixel as the type shows it, kept as it was
        Rgba8 smallest;
    };
    const Case cases[] = {{3, {255, 255, 41, 255}, {189, 186, 41, 255}},
                          {4, {255, 255, 41, 0}, {189, 189, 41, 0}},
                          {5, {255, 255, 34, 0}, {187, 187, 34, 0}}};
    for (const Case& c : cases) {
        for (const Filter filter :
             {Filter::kArea, Filter::kMitchell, Filter::kCatmullRom, Filter::kCubic}) {
            for (const bool dither : {false, true}) {
                ImportOptions options;
                options.type = c.type;
                options.filter = filter;
                options.dither = dither;
                CMip mip;
                ASSERT_TRUE(ImportImage(clear, options, mip).Ok());
                const std::string where = "type " + std::to_string(c.type) + " filter " +
                                          std::to_string(static_cast<int>(filter)) + " dither " +
                                          std::to_string(dither);
                const Image top = Shown(mip, 1);
                EXPECT_EQ((Rgba8{top.pixels[0], top.pixels[1], top.pixels[2], top.pixels[3]}),
                          c.top)
                    << where;
                EXPECT_EQ(Colours(Shown(mip, 0)), (std::set<Rgba8>{c.smallest})) << where;
            }
        }
    }

    // Beside a visible block, which keeps its colour as before: three opaque blue pixels and a
    // transparent red one average to blue at alpha 0.75, shown opaque in ARGB1555; the red
    // does not bleed into it, and the clear block beside it keeps its colour.
    const Image half = Picture(4, 2, [&](int x, int y) {
        if (x < 2) {
            return under[static_cast<std::size_t>(y * 2 + x)];
        }
        return x == 3 && y == 1 ? Rgba8{200, 0, 0, 0} : Rgba8{0, 0, 255, 255};
    });
    ImportOptions options;
    options.type = 4;
    CMip mip;
    ASSERT_TRUE(ImportImage(half, options, mip).Ok());
    const Image level = Shown(mip, 1);
    EXPECT_EQ(level.pixels, (std::vector<std::uint8_t>{189, 189, 41, 0, 0, 0, 255, 255}));
}

TEST(Importer, DitheringReachesTheLevelAtThePicturesOwnSize) {
    // Grey 130 lies between the 5-bit codes shown as 128 and 132: dithered, the top level mixes
    // both around the right mean; plain, it is the nearest alone.
    const Image image = Picture(16, 16, [](int, int) { return Rgba8{130, 130, 130, 255}; });
    ImportOptions options;
    options.type = 3;
    options.levels = 1;
    for (const bool dither : {false, true}) {
        options.dither = dither;
        CMip mip;
        ASSERT_TRUE(ImportImage(image, options, mip).Ok());
        const Image shown = Shown(mip, 4);
        double red = 0;
        for (std::size_t i = 0; i < shown.PixelCount(); ++i) {
            red += shown.pixels[4 * i];
        }
        red /= static_cast<double>(shown.PixelCount());
        EXPECT_EQ(Colours(shown).size() > 1, dither);
        EXPECT_NEAR(red, dither ? 130.0 : 132.0, 0.5);
    }
}

TEST(Importer, ASharedPaletteIsGlobalAndPerLevelPalettesAreEachLevelsOwn) {
    // Many colours, so the palette must be chosen; the lower levels are blends of the top.
    const Image image = Picture(8, 8, [](int x, int y) {
        return Rgba8{static_cast<std::uint8_t>(x * 32), static_cast<std::uint8_t>(y * 32), 90, 255};
    });
    CMip shared;
    ImportOptions options;
    options.type = 0;
    ASSERT_TRUE(ImportImage(image, options, shared).Ok());
    EXPECT_EQ(shared.miptype, 0);
    EXPECT_EQ(shared.loadReport.Summary(), "not loaded from a file");
    for (const int k : shared.FilledSlots()) {
        EXPECT_EQ(shared.levelPalettes[static_cast<std::size_t>(k)], shared.globalPalette) << k;
    }
    CMip perLevel;
    options.palette = PaletteMode::kPerLevel;
    ASSERT_TRUE(ImportImage(image, options, perLevel).Ok());
    EXPECT_EQ(perLevel.miptype, 2);
    EXPECT_NE(perLevel.levelPalettes[3], perLevel.levelPalettes[0]);
    // A 1 x 1 level with its own palette is exact.
    EXPECT_EQ(Colours(Shown(perLevel, 0)).size(), 1U);

    CMip given;
    options.palette = PaletteMode::kFromFile;
    options.givenPalette = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    ASSERT_TRUE(ImportImage(image, options, given).Ok());
    for (const int k : given.FilledSlots()) {
        for (const Rgba8& c : Colours(Shown(given, k))) {
            EXPECT_TRUE(c == options.givenPalette[0] || c == options.givenPalette[1]) << k;
        }
    }
}

TEST(Importer, HandMadeLevelsReplaceTheGeneratedOnes) {
    const Image image = Picture(8, 8, [](int, int) { return Rgba8{255, 0, 0, 255}; });
    ImportOptions options;
    options.type = 5;
    options.handMadeLevels.push_back(Picture(2, 2, [](int, int) { return Rgba8{0, 0, 255, 255}; }));
    CMip mip;
    ASSERT_TRUE(ImportImage(image, options, mip).Ok());
    EXPECT_EQ(Colours(Shown(mip, 1)), (std::set<Rgba8>{{0, 0, 255, 255}}));
    EXPECT_EQ(Colours(Shown(mip, 2)), (std::set<Rgba8>{{255, 0, 0, 255}}));

    options.handMadeLevels = {Picture(3, 3, [](int, int) { return Rgba8{}; })};
    EXPECT_EQ(ImportImage(image, options, mip).Reason(),
              "a level of 3 x 3 has no place in a chain from 8 x 8");
    EXPECT_EQ(Colours(Shown(mip, 1)), (std::set<Rgba8>{{0, 0, 255, 255}}));  // unchanged
}

}  // namespace
}  // namespace korvale::test
