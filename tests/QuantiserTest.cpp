#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "Ditherer.h"
#include "KMeans.h"
#include "PictureBuilder.h"
#include "Quantiser.h"
#include "Relocation.h"

namespace korvale::test {
namespace {

using Pixel = std::array<float, 4>;

constexpr auto Make = MakePicture<SrgbImage, Pixel>;

// Up to +-9 in a fixed scatter, so a flat colour becomes many distinct ones.
float Noise(int x, int y) {
    return static_cast<float>((x * 7 + y * 13) % 19 - 9);
}

TEST(Quantiser, KeepsFewColoursExactlyInOrderOfFirstAppearance) {
    // Unrounded values; the transparent pixel's colour is junk.
    const std::vector<Pixel> first = {
        {254.8f, 0.2f, 0, 255}, {0, 255, 0, 255}, {200, 100, 50, 128}, {10, 20, 30, 0}};
    const std::vector<Pixel> second = {{0, 0, 255, 255}, {0.3f, 254.6f, 0, 255}};
    const std::vector<SrgbImage> levels = {
        Make(2, 2, [&](int x, int y) { return first[y * 2 + x]; }),
        Make(2, 1, [&](int x, int) { return second[x]; })};
    const std::vector<Rgba8> expected = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {200, 100, 50, 128}, {0, 0, 0, 0}, {0, 0, 255, 255}};
    const std::vector<Rgba8> palette = BuildPalette(levels);
    EXPECT_EQ(palette, expected);
    for (const bool dither : {false, true}) {
        EXPECT_EQ(MapToPalette(levels[0], palette, dither),
                  (std::vector<std::uint8_t>{0, 1, 2, 3}));
        EXPECT_EQ(MapToPalette(levels[1], palette, dither), (std::vector<std::uint8_t>{4, 1}));
    }
}

TEST(Quantiser, TheFirstLevelsFewColoursAreEntriesWhateverTheLevelsAfterIt) {
    // The first level: 3 colours, one of them fully transparent (junk colour under it). The
    // second: a noisy ramp of far more than 16 colours, nowhere near the first level's.
    const std::vector<Pixel> top = {{250, 10, 10, 255}, {20, 30, 240, 255}, {90, 90, 90, 0}};
    const std::vector<SrgbImage> levels = {
        Make(3, 1, [&](int x, int) { return top[static_cast<std::size_t>(x)]; }),
        Make(64, 4, [](int x, int y) {
            const float v = static_cast<float>(x) * 2.0f + Noise(x, y);
            return Pixel{v, 200 - v, 120, 255};
        })};
    struct Case {
        int colours;
        std::vector<Rgba8> first;  // the palette begins with these
        std::size_t size;
    };
    const Case cases[] = {
        {16, {{250, 10, 10, 255}, {20, 30, 240, 255}, {0, 0, 0, 0}}, 16},
        {4, {{250, 10, 10, 255}, {20, 30, 240, 255}, {0, 0, 0, 0}}, 4},
        {3, {{250, 10, 10, 255}, {20, 30, 240, 255}, {0, 0, 0, 0}}, 3},
    };
    for (const Case& c : cases) {
        const std::vector<Rgba8> palette = BuildPalette(levels, c.colours);
        ASSERT_EQ(palette.size(), c.size) << c.colours;
        EXPECT_EQ(std::vector<Rgba8>(palette.begin(), palette.begin() + 3), c.first) << c.colours;
        EXPECT_EQ(MapToPalette(levels[0], palette, false), (std::vector<std::uint8_t>{0, 1, 2}));
        // The entries past the first level's serve the second level's ramp.
        for (std::size_t k = 3; k < palette.size(); ++k) {
            EXPECT_EQ(palette[k][2], 120) << c.colours << " entry " << k;
        }
    }
}

TEST(Quantiser, SeparatesTwoClustersAndMapsToTheNearestEntry) {
    // Left half near red, right half near blue, each with noise: far more than 16 colours.
    const SrgbImage image = Make(32, 32, [](int x, int y) {
        const float n = Noise(x, y);
        return x < 16 ? Pixel{200 + n, 30 - n, 30 + n, 255} : Pixel{30 + n, 40 + n, 200 - n, 255};
    });
    const std::vector<Rgba8> palette = BuildPalette(std::span(&image, 1));
    ASSERT_EQ(palette.size(), 16u);
    const std::vector<std::uint8_t> indices = MapToPalette(image, palette, false);
    for (int i = 0; i < 32 * 32; ++i) {
        const Rgba8& entry = palette[indices[static_cast<std::size_t>(i)]];
        if (i % 32 < 16) {
            EXPECT_GT(entry[0], entry[2] + 100) << "pixel " << i;
        } else {
            EXPECT_GT(entry[2], entry[0] + 100) << "pixel " << i;
        }
        // Opaque pixels: nearest is plain distance in RGB.
        const auto distance = [&](const Rgba8& e) {
            float sum = 0;
            for (std::size_t c = 0; c < 3; ++c) {
                const float d = image.pixels[static_cast<std::size_t>(i) * 4 + c] - e[c];
                sum += d * d;
            }
            return sum;
        };
        for (const Rgba8& other : palette) {
            EXPECT_LE(distance(entry), distance(other) + 1e-3f) << "pixel " << i;
        }
    }
}

TEST(Quantiser, WeighsColourByHowMuchOfThePixelShows) {
    // Cost of an entry: alpha * |colour difference|^2 + 2.5 * (alpha difference)^2, on 0..1.
    struct Case {
        Pixel pixel;
        std::vector<Rgba8> palette;
        std::uint8_t nearest;
        float alphaWeight = kDefaultAlphaWeight;
    };
    const Case cases[] = {
        // Faint red: black at the same alpha costs 0.251 * 1, red at twice the alpha
        // 2.5 * 0.251^2 = 0.157. Judged on colour premultiplied by alpha, black would win.
        {{255, 0, 0, 64}, {{0, 0, 0, 64}, {255, 0, 0, 128}}, 1},
        // The same with alpha weighed 5 (a palette fitted for a faint glow): red costs
        // 5 * 0.251^2 = 0.315, more than black's 0.251.
        {{255, 0, 0, 64}, {{0, 0, 0, 64}, {255, 0, 0, 128}}, 0, 5.0f},
        // Half-transparent grey: the right colour fully opaque costs 2.5 * 0.498^2 = 0.62, a
        // lighter grey at the right alpha 0.502 * 3 * 0.125^2 = 0.024.
        {{128, 128, 128, 128}, {{128, 128, 128, 255}, {160, 160, 160, 128}}, 1},
        // Half-transparent black: opaque black costs 0.62, white at the right alpha 1.51.
        {{0, 0, 0, 128}, {{0, 0, 0, 255}, {255, 255, 255, 128}}, 0},
    };
    for (const Case& c : cases) {
        const SrgbImage one = Make(1, 1, [&](int, int) { return c.pixel; });
        const std::vector<std::uint8_t> index = MapToPalette(one, c.palette, false, c.alphaWeight);
        ASSERT_EQ(index.size(), 1u);
        EXPECT_EQ(index[0], c.nearest)
            << c.pixel[0] << "," << c.pixel[1] << "," << c.pixel[2] << "," << c.pixel[3];
    }
}

TEST(Quantiser, AGivenAlphaWeightIsUsedWhereAlphaCanBeWrong) {
    // A noisy ramp of far more than 16 colours; soft alpha or opaque.
    struct Case {
        bool soft;
        FitOptions options;
        float weight;
        bool balanced;
    };
    const Case cases[] = {
        {true, {7.0f, false}, 7.0f, true},
        {true, {7.0f, true}, 7.0f, true},
        {false, {7.0f, true}, kDefaultAlphaWeight, false},  // opaque: alpha is never wrong
    };
    for (const Case& c : cases) {
        const SrgbImage image = Make(32, 8, [&](int x, int y) {
            const float v = static_cast<float>(x) * 8.0f + Noise(x, y);
            return Pixel{v, 255 - v, 90, c.soft ? 40.0f + static_cast<float>(y) * 25.0f : 255};
        });
        const PaletteFit fit = FitPalette(std::span(&image, 1), 16, c.options);
        EXPECT_EQ(fit.colours.size(), 16u) << c.soft;
        EXPECT_EQ(fit.alphaWeight, c.weight) << c.soft;
        EXPECT_EQ(fit.balanced, c.balanced) << c.soft;
    }
}

TEST(Quantiser, FullyTransparentPixelsShareOneClearEntry) {
    // Every other row fully transparent, with colours all over the place.
    const SrgbImage image = Make(16, 16, [](int x, int y) {
        const float n = Noise(x, y);
        return y % 2 == 0 ? Pixel{16.0f * static_cast<float>(x), 100 + n, 50, 255}
                          : Pixel{200 + n, 10.0f * static_cast<float>(x), 90, 0};
    });
    const std::vector<Rgba8> palette = BuildPalette(std::span(&image, 1));
    ASSERT_EQ(palette.size(), 16u);
    EXPECT_EQ(palette[0], (Rgba8{0, 0, 0, 0}));
    for (std::size_t k = 1; k < palette.size(); ++k) {
        EXPECT_EQ(palette[k][3], 255);
    }
    for (const bool dither : {false, true}) {
        const std::vector<std::uint8_t> indices = MapToPalette(image, palette, dither);
        for (std::size_t i = 16; i < indices.size(); i += 32) {
            for (std::size_t x = 0; x < 16; ++x) {
                EXPECT_EQ(indices[i + x], 0) << "pixel " << i + x << " dither " << dither;
            }
        }
    }
}

TEST(Quantiser, DitherSpreadsARampBetweenBlackAndWhite) {
    const SrgbImage ramp = Make(256, 16, [](int x, int) {
        const auto v = static_cast<float>(x);
        return Pixel{v, v, v, 255};
    });
    const std::vector<Rgba8> blackWhite = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    const std::vector<std::uint8_t> hard = MapToPalette(ramp, blackWhite, false);
    const std::vector<std::uint8_t> dithered = MapToPalette(ramp, blackWhite, true);
    for (std::size_t x = 0; x < 256; ++x) {
        EXPECT_EQ(hard[x], x >= 128 ? 1 : 0) << "column " << x;
    }
    // Each block of 16 columns (all rows) averages its part of the ramp: 16b + 7.5.
    for (std::size_t block = 0; block < 16; ++block) {
        double white = 0;
        for (std::size_t y = 0; y < 16; ++y) {
            for (std::size_t x = block * 16; x < block * 16 + 16; ++x) {
                white += dithered[y * 256 + x];
            }
        }
        const double average = white * 255.0 / 256.0;
        EXPECT_NEAR(average, 16.0 * static_cast<double>(block) + 7.5, 12.0) << "block " << block;
    }
}

TEST(Quantiser, DitherToTwoColoursFollowsTheKernelTheOrderAndTheCarryLimit) {
    // A grey ramp 204, 210, 216, 222 in three rows, against black and white (nearest: white from
    // 127.5 up). Undithered every pixel is white, the errors 51, 45, 39, 33 a row: mean squared
    // error over four channels 3 * 6786 / 4 * 4 = 16281 a pixel, so the carry limit is 48843 and
    // a carried error e (all three channels alike) is damped to 0.8 once 3e^2 > 48843, |e| > 127.6.
    // Row 0, left to right: 204 -> white (error -51; 7/16 of it to the right); 210 - 22.31 ->
    // white (-67.31); 216 - 29.45 -> white; 222 - 29.95 -> white. Row 1 runs right to left:
    // 222 - 23.95, 216 - 62.32, 210 - 81.38, 204 - 76.73 -> white; the last two carry more than
    // the limit and take 0.8 of it. Row 2, left to right: 204 - 42.00 -> white (-93.00);
    // 210 - 0.8 * 102.50 = 128.00 -> white (-127.00); 216 - 0.8 * 111.43 = 126.86 -> black;
    // 222 + 18.71 -> white. Swapping any two weights, running every row left to right, or
    // carrying every error in full changes the result.
    const std::array<float, 4> ramp = {204, 210, 216, 222};
    const SrgbImage level = Make(4, 3, [&](int x, int) {
        const float v = ramp[static_cast<std::size_t>(x)];
        return Pixel{v, v, v, 255};
    });
    const std::vector<Rgba8> blackWhite = {{0, 0, 0, 255}, {255, 255, 255, 255}};
    EXPECT_EQ(MapToPalette(level, blackWhite, true),
              (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1}));
}

TEST(Quantiser, MappingTakesTheFirstOfEqualEntriesTheLastEntryAndTheClearOne) {
    struct Case {
        const char* name;
        Pixel pixel;
        std::vector<Rgba8> palette;
        std::uint8_t index;
    };
    // Sixteen opaque greys 0, 16, ..., 240: 250 is nearest the last.
    std::vector<Rgba8> greys;
    for (int k = 0; k < 16; ++k) {
        const auto v = static_cast<std::uint8_t>(k * 16);
        greys.push_back({v, v, v, 255});
    }
    const Case cases[] = {
        // 10 off in red or 10 off in green cost exactly the same: the first entry wins the tie.
        {"tie", {100, 100, 100, 255}, {{90, 100, 100, 255}, {100, 90, 100, 255}}, 0},
        {"tie, other order", {100, 100, 100, 255}, {{100, 90, 100, 255}, {90, 100, 100, 255}}, 0},
        {"last of sixteen", {250, 250, 250, 255}, greys, 15},
        {"exactly the sixteenth", {240, 240, 240, 255}, greys, 15},
        // A colour the palette holds twice is the first of the two.
        {"given twice",
         {40, 50, 60, 255},
         {{0, 0, 0, 255}, {40, 50, 60, 255}, {40, 50, 60, 255}},
         1},
        {"last of three",
         {200, 10, 10, 255},
         {{0, 0, 0, 255}, {0, 0, 255, 255}, {255, 0, 0, 255}},
         2},
        // A fully transparent pixel, whatever its colour, is the clear entry.
        {"transparent", {250, 250, 250, 0}, {{250, 250, 250, 255}, {0, 0, 0, 0}}, 1},
        // A faint pixel nearly transparent still goes to the clear entry: its colour counts for
        // 0.004 and alpha 1 of 255 costs 2.5 * (1/255)^2 against 2.5 * (254/255)^2.
        {"faint", {250, 250, 250, 1}, {{250, 250, 250, 255}, {0, 0, 0, 0}}, 1},
    };
    for (const Case& c : cases) {
        const SrgbImage one = Make(1, 1, [&](int, int) { return c.pixel; });
        for (const bool dither : {false, true}) {
            EXPECT_EQ(MapToPalette(one, c.palette, dither), (std::vector<std::uint8_t>{c.index}))
                << c.name << " dither " << dither;
        }
    }
}

TEST(Quantiser, SixteenTightClustersGiveTheirSixteenCentres) {
    // 16 colours far apart (4 x 4 corners of a grid in red and green, blue fixed), each drawn as
    // itself and as itself -2 and +2 in blue in equal numbers: 48 colours, whose best 16 entries
    // are the 16 centres.
    std::vector<Rgba8> centres;
    for (int r = 0; r < 4; ++r) {
        for (int g = 0; g < 4; ++g) {
            centres.push_back({static_cast<std::uint8_t>(20 + r * 70),
                               static_cast<std::uint8_t>(20 + g * 70), 100, 255});
        }
    }
    const SrgbImage image = Make(48, 4, [&](int x, int) {
        const Rgba8& c = centres[static_cast<std::size_t>(x / 3)];
        const float blue = static_cast<float>(c[2] + (x % 3 - 1) * 2);
        return Pixel{static_cast<float>(c[0]), static_cast<float>(c[1]), blue, 255};
    });
    std::vector<Rgba8> palette = BuildPalette(std::span(&image, 1));
    std::sort(palette.begin(), palette.end());
    EXPECT_EQ(palette, centres);
}

// Opaque greys on the 0..255 scale, each pixel once.
quantise::Points Greys(std::initializer_list<float> values) {
    quantise::Points points;
    for (const float v : values) {
        points.at.push_back(quantise::ToPoint(v, v, v, 255));
        points.weight.push_back(1.0f);
        points.rootAlpha.push_back(1.0f);
    }
    return points;
}

std::vector<int> GreyCentres(const quantise::KMeans& run) {
    std::vector<int> greys;
    for (const quantise::Vec4& c : run.Centres()) {
        greys.push_back(quantise::ToColour(c)[0]);
    }
    return greys;
}

TEST(Quantiser, AnEntryServingLittleMovesToSplitTheCostliestGroup) {
    // Greys 0, 3 | 8 | 150, 200, 250 from centres 0, 8, 200: Lloyd's search stops at 1.5, 8, 200
    // (per channel, cost 2.25 + 2.25 + 0 + 2500 + 0 + 2500). Handing 8 to 1.5 would add 42.25,
    // the least; the group round 200 costs most, so 8's entry moves there: cut at 200, the
    // halves {150} and {200, 250} get 150 and 225, and 0, 3 and 8 share 11/3. Per channel the
    // whole then costs 13.44 + 0.44 + 18.78 + 0 + 625 + 625, and no further move can pay:
    // dropping any entry adds more than any group costs.
    const quantise::Points points = Greys({0, 3, 8, 150, 200, 250});
    std::vector<quantise::Vec4> start;
    for (const float v : {0.0f, 8.0f, 200.0f}) {
        start.push_back(quantise::ToPoint(v, v, v, 255));
    }
    quantise::KMeans run(points, start, 0, kDefaultAlphaWeight);
    run.Run(16);
    ASSERT_EQ(GreyCentres(run), (std::vector<int>{2, 8, 200}));
    quantise::Relocate(points, 0, 16, run);
    EXPECT_EQ(GreyCentres(run), (std::vector<int>{4, 225, 150}));
    // A held entry stays where it is: with 0 held, the move goes to the entry at 8 all the same.
    quantise::KMeans held(points, start, 1, kDefaultAlphaWeight);
    held.Run(16);
    quantise::Relocate(points, 1, 16, held);
    EXPECT_EQ(GreyCentres(held), (std::vector<int>{0, 225, 150}));
}

TEST(Quantiser, AMovedEntryNeverTradesColourAgainstAlpha) {
    // Scattered colours of every alpha from poor starts, at weights from colour-heavy to
    // alpha-heavy: each kept move lowers the whole, and neither the colour error nor the alpha
    // error may grow on the way, or the weight's choice between them would be undone.
    std::uint32_t state = 777;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
    };
    quantise::Points points;
    for (int i = 0; i < 400; ++i) {
        const quantise::Vec4 p = {next(), next(), next(), next() < 0.3f ? 1.0f : next()};
        points.at.push_back(p);
        points.weight.push_back(1.0f + static_cast<float>(i % 4));
        points.rootAlpha.push_back(std::sqrt(p[3]));
    }
    int moved = 0;
    for (const float weight : {0.5f, 2.5f, 10.0f, 40.0f}) {
        for (const std::size_t k : {4u, 9u, 16u}) {
            const std::vector<quantise::Vec4> start(points.at.begin(), points.at.begin() + k);
            quantise::KMeans run(points, start, 0, weight);
            run.Run(16);
            const auto [colour, alpha] = run.Errors();
            const double cost = run.Cost();
            quantise::Relocate(points, 0, 16, run);
            const auto [colourAfter, alphaAfter] = run.Errors();
            EXPECT_LE(run.Cost(), cost) << weight << " " << k;
            EXPECT_LE(colourAfter, colour) << weight << " " << k;
            EXPECT_LE(alphaAfter, alpha) << weight << " " << k;
            moved += run.Cost() < cost ? 1 : 0;
        }
    }
    EXPECT_GE(moved, 3);  // the searches do get somewhere
}

// Runs `passes` passes of the bounded search against a full one from `centres`: after every
// pass each colour must have the centre a full search gives it, and the centres must have moved
// to the same weighted means (colour by weight x alpha, alpha by weight). Returns the centres.
std::vector<quantise::Vec4> ExpectLloyd(quantise::KMeans& bounded, const quantise::Points& points,
                                        std::vector<quantise::Vec4> centres, float weight,
                                        int passes) {
    for (int pass = 0; pass < passes; ++pass) {
        std::vector<std::uint8_t> nearest(points.at.size());
        std::vector<std::array<double, 5>> sums(centres.size(), std::array<double, 5>{});
        for (std::size_t i = 0; i < points.at.size(); ++i) {
            std::size_t best = 0;
            for (std::size_t c = 1; c < centres.size(); ++c) {
                if (quantise::EntryCost(points.at[i], centres[c], weight) <
                    quantise::EntryCost(points.at[i], centres[best], weight)) {
                    best = c;
                }
            }
            nearest[i] = static_cast<std::uint8_t>(best);
            const double w = points.weight[i];
            const quantise::Vec4& p = points.at[i];
            for (std::size_t d = 0; d < 3; ++d) {
                sums[best][d] += w * p[3] * p[d];
            }
            sums[best][3] += w * p[3];
            sums[best][4] += w;
        }
        const bool moved = bounded.Step();
        EXPECT_EQ(bounded.Nearest(), nearest) << "pass " << pass;
        if (!moved) {
            break;
        }
        for (std::size_t c = 0; c < centres.size(); ++c) {
            EXPECT_GT(sums[c][4], 0.0) << "pass " << pass << ": centre " << c << " left empty";
            centres[c] = {static_cast<float>(sums[c][0] / sums[c][3]),
                          static_cast<float>(sums[c][1] / sums[c][3]),
                          static_cast<float>(sums[c][2] / sums[c][3]),
                          static_cast<float>(sums[c][3] / sums[c][4])};
            for (std::size_t d = 0; d < 4; ++d) {
                EXPECT_NEAR(bounded.Centres()[c][d], centres[c][d], 1e-5)
                    << "pass " << pass << " centre " << c;
            }
        }
    }
    return centres;
}

TEST(Quantiser, TheBoundedKMeansStepIsLloydsStep) {
    // 240 colours scattered by a fixed linear congruential sequence, alpha 0.2 to 1, weights 1 to
    // 3, and 8 poor starting centres (the first 8 colours). Then the search is moved on one pass
    // in, before its bounds have caught up with that pass's large moves: one centre jumps far, one
    // barely moves, and the bounds must allow for every move.
    using quantise::Points;
    using quantise::Vec4;
    Points points;
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
    };
    for (int i = 0; i < 240; ++i) {
        const Vec4 p = {next(), next(), next(), 0.2f + 0.8f * next()};
        points.at.push_back(p);
        points.weight.push_back(1.0f + static_cast<float>(i % 3));
        points.rootAlpha.push_back(std::sqrt(p[3]));
    }
    const float weight = 2.5f;
    const std::vector<Vec4> start(points.at.begin(), points.at.begin() + 8);
    quantise::KMeans bounded(points, start, 0, weight);
    ExpectLloyd(bounded, points, start, weight, 8);

    quantise::KMeans early(points, start, 0, weight);
    std::vector<Vec4> centres = ExpectLloyd(early, points, start, weight, 1);
    centres[2] = points.at[200];
    centres[5][0] += 0.01f;
    quantise::KMeans moved = early.MovedTo(centres);
    ExpectLloyd(moved, points, centres, weight, 8);
}

TEST(Ditherer, NearestCodeAndItsValue) {
    struct Case {
        float value;
        int bits;
        int code;
        int decoded;
    };
    // 248 * 31 / 255 = 30.15 -> 30, 30 * 255 / 31 = 246.8 -> 247; 8 * 15 / 255 = 0.47 -> 0.
    const Case cases[] = {{255, 5, 31, 255}, {248, 5, 30, 247}, {128, 1, 1, 255},
                          {127, 1, 0, 0},    {8, 4, 0, 0},      {9, 4, 1, 17},
                          {130, 6, 32, 130}, {-5, 5, 0, 0},     {300, 4, 15, 255}};
    for (const Case& c : cases) {
        EXPECT_EQ(NearestCode(c.value, c.bits), c.code) << c.value << " in " << c.bits << " bits";
        EXPECT_EQ(CodeValue(c.code, c.bits), c.decoded) << c.code << " in " << c.bits << " bits";
    }
}

TEST(Ditherer, AFullyTransparentPixelPassesOnNoColourError) {
    // ARGB4444, steps of 17: 196 is 11.53 steps, so code 12 (204), an error of -8. Passed on,
    // 7/16 of it takes 94 (5.53 steps, code 6) down to 90.5 (5.32 steps, code 5). A pixel
    // nobody sees passes on no colour error when the type keeps alpha; it still passes its
    // alpha error. RGB565 keeps no alpha, so every pixel shows: red 201 is 24.44 of 31 steps,
    // code 24 (197), an error of +4; 7/16 of it takes 94 (11.43 steps, code 11) to 95.75
    // (11.64 steps, code 12).
    struct Case {
        PixelCode type;
        float first;
        std::uint8_t firstAlpha;
        std::uint8_t firstRed;
        std::uint8_t secondRed;
    };
    const Case cases[] = {{PixelCode::kArgb4444, 196, 0, 12, 6},
                          {PixelCode::kArgb4444, 196, 255, 12, 5},
                          {PixelCode::kRgb565, 201, 0, 24, 12}};
    for (const Case& c : cases) {
        const SrgbImage pair = Make(2, 1, [&](int x, int) {
            return x == 0 ? Pixel{c.first, c.first, c.first, static_cast<float>(c.firstAlpha)}
                          : Pixel{94, 94, 94, 255};
        });
        const std::vector<std::uint8_t> codes =
            QuantiseChannels(pair, *PixelTypeOf(CodeOf(c.type)), true);
        ASSERT_EQ(codes.size(), 8u);
        EXPECT_EQ(codes[0], c.firstRed) << CodeOf(c.type) << " " << int{c.firstAlpha};
        EXPECT_EQ(codes[4], c.secondRed) << CodeOf(c.type) << " " << int{c.firstAlpha};
    }
}

TEST(Ditherer, DitherToFiveBitsFollowsTheKernelAndTheOrder) {
    // Red 126, 128, 130 in three rows, to 5 bits (code q shows as round(q * 255 / 31): 15 is
    // 123, 16 is 132; the nearest code is round(v * 31 / 255)). Row 0, left to right: 126 ->
    // 15.32 steps, code 15 (error +3, 7/16 of it to the right); 128 + 1.31 = 129.31 -> 15.72,
    // code 16 (error -2.69); 130 - 1.18 -> 15.66, code 16. Row 1, right to left: 130 - 1.16 ->
    // code 16; 128 - 2.63 = 125.37 -> 15.24, code 15; 126 + 1.47 = 127.47 -> 15.496, code 15.
    // Row 2, left to right: 126 + 1.55 = 127.55 -> 15.506, code 16; 128 - 0.57 = 127.43 ->
    // 15.492, code 15; 130 + 1.40 -> code 16.
    const std::array<float, 3> ramp = {126, 128, 130};
    const SrgbImage level = Make(3, 3, [&](int x, int) {
        return Pixel{ramp[static_cast<std::size_t>(x)], 0, 0, 255};
    });
    const std::vector<std::uint8_t> codes =
        QuantiseChannels(level, *PixelTypeOf(CodeOf(PixelCode::kRgb565)), true);
    ASSERT_EQ(codes.size(), 36u);
    std::vector<std::uint8_t> red;
    for (std::size_t i = 0; i < codes.size(); i += 4) {
        red.push_back(codes[i]);
    }
    EXPECT_EQ(red, (std::vector<std::uint8_t>{15, 16, 16, 15, 15, 16, 16, 15, 16}));
}

TEST(Ditherer, DitheredFlatGreyAveragesToItsValue) {
    const SrgbImage grey = Make(64, 64, [](int, int) { return Pixel{128, 128, 128, 255}; });
    const PixelTypeInfo& rgb565 = *PixelTypeOf(CodeOf(PixelCode::kRgb565));
    const std::vector<std::uint8_t> hard = QuantiseChannels(grey, rgb565, false);
    EXPECT_EQ(std::vector<std::uint8_t>(hard.begin(), hard.begin() + 4),
              (std::vector<std::uint8_t>{16, 32, 16, 0}));  // 132, 130, 132: never 128
    const std::vector<std::uint8_t> codes = QuantiseChannels(grey, rgb565, true);
    ASSERT_EQ(codes.size(), 64u * 64u * 4u);
    const std::array<int, 3> bits = {5, 6, 5};
    for (std::size_t c = 0; c < 3; ++c) {
        double sum = 0;
        for (std::size_t i = c; i < codes.size(); i += 4) {
            sum += CodeValue(codes[i], bits[c]);
        }
        EXPECT_NEAR(sum / (64.0 * 64.0), 128.0, 0.5) << "channel " << c;
    }
    for (std::size_t i = 3; i < codes.size(); i += 4) {
        ASSERT_EQ(codes[i], 0);  // no alpha stored
    }
}

}  // namespace
}  // namespace korvale::test
