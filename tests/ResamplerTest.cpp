#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "ColourSpace.h"
#include "PictureBuilder.h"
#include "Resampler.h"

namespace korvale::test {
namespace {

using Px = std::array<float, 4>;

Image Filled(int width, int height, Rgba8 colour) {
    return Picture(width, height, [&](int, int) { return colour; });
}

LinearImage Linear(int width, int height, const std::vector<Px>& pixels) {
    LinearImage image;
    image.width = width;
    image.height = height;
    for (const Px& p : pixels) {
        image.pixels.insert(image.pixels.end(), p.begin(), p.end());
    }
    return image;
}

Rgba8 PixelAt(const Image& image, std::size_t i) {
    return {image.pixels[i * 4], image.pixels[i * 4 + 1], image.pixels[i * 4 + 2],
            image.pixels[i * 4 + 3]};
}

double Mean(const LinearImage& image) {
    double sum = 0.0;
    for (float v : image.pixels) {
        sum += v;
    }
    return sum / static_cast<double>(image.pixels.size());
}

constexpr Filter kAllFilters[] = {Filter::kArea, Filter::kMitchell, Filter::kCatmullRom,
                                  Filter::kCubic};
constexpr Filter kStbFilters[] = {Filter::kMitchell, Filter::kCatmullRom, Filter::kCubic};

TEST(ColourSpace, CurveIsTheExactSrgbCurve) {
    struct Case {
        float encoded;
        float linear;
    };
    for (const Case& c : {Case{0.0F, 0.0F}, Case{1.0F, 1.0F}, Case{0.04045F, 0.0031308F},
                          Case{0.5F, 0.2140411F}, Case{0.7353570F, 0.5F}}) {
        EXPECT_NEAR(SrgbToLinear(c.encoded), c.linear, 1e-6) << c.encoded;
        EXPECT_NEAR(LinearToSrgb(c.linear), c.encoded, 1e-6) << c.linear;
    }
}

TEST(ColourSpace, EachSideOfTheThresholdTakesItsOwnPiece) {
    // Byte 10 (0.0392) lies below 0.04045: 0.0392 / 12.92 = 0.00303527 (the power piece would
    // give 0.00303452); byte 11 (0.0431) above: ((0.0431 + 0.055) / 1.055)^2.4 = 0.00334654 (the
    // straight piece 0.00333880). Back: 0.003 lies below 0.0031308, 0.003 * 12.92 = 0.03876 (the
    // power piece 0.0387676); 0.0033 above, 1.055 * 0.0033^(1 / 2.4) - 0.055 = 0.0425663 (the
    // straight piece 0.042636).
    EXPECT_NEAR(SrgbToLinear(10.0F / 255.0F), 0.00303527, 1e-7);
    EXPECT_NEAR(SrgbToLinear(11.0F / 255.0F), 0.00334654, 1e-7);
    EXPECT_NEAR(LinearToSrgb(0.003F), 0.03876, 1e-6);
    EXPECT_NEAR(LinearToSrgb(0.0033F), 0.0425663, 1e-6);
    const LinearImage decoded = ToLinear(Row({{10, 11, 10, 255}}));
    EXPECT_NEAR(decoded.pixels[0], 0.00303527, 1e-7);
    EXPECT_NEAR(decoded.pixels[1], 0.00334654, 1e-7);
}

TEST(ColourSpace, EveryByteSurvivesTheRoundTripAndInvisibleColourIsDropped) {
    std::vector<Rgba8> colours;
    for (int v = 0; v < 256; ++v) {
        const auto b = static_cast<std::uint8_t>(v);
        colours.push_back({b, static_cast<std::uint8_t>(255 - v), b, b});
    }
    const Image back = ToImage(ToSrgb(ToLinear(Row(colours))));
    ASSERT_EQ(back.width, 256);
    EXPECT_EQ(PixelAt(back, 0), (Rgba8{0, 0, 0, 0}));
    for (std::size_t i = 1; i < 256; ++i) {
        EXPECT_EQ(PixelAt(back, i), colours[i]) << i;
    }
}

TEST(Resampler, FilterNames) {
    EXPECT_EQ(FilterNamed("area"), Filter::kArea);
    EXPECT_EQ(FilterNamed("mitchell"), Filter::kMitchell);
    EXPECT_EQ(FilterNamed("catmullrom"), Filter::kCatmullRom);
    EXPECT_EQ(FilterNamed("cubic"), Filter::kCubic);
    EXPECT_EQ(FilterNamed("box"), std::nullopt);
    EXPECT_EQ(FilterNamed(""), std::nullopt);
}

TEST(Resampler, FlatColourStaysExactlyFlatDownTheChain) {
    const Rgba8 colour{200, 100, 50, 255};
    for (Filter filter : kAllFilters) {
        LinearImage level = ToLinear(Filled(64, 32, colour));
        while (level.width > 1 || level.height > 1) {
            level = Resample(level, std::max(1, level.width / 2), std::max(1, level.height / 2),
                             filter);
            const Image image = ToImage(ToSrgb(level));
            for (std::size_t i = 0; i < image.PixelCount(); ++i) {
                ASSERT_EQ(PixelAt(image, i), colour)
                    << static_cast<int>(filter) << " at " << level.width << "x" << level.height;
            }
        }
    }
}

TEST(Resampler, AveragesInLinearLightWithPremultipliedAlpha) {
    struct Case {
        Image in;
        Rgba8 expected;
        float srgbRed;
    };
    const Rgba8 black{0, 0, 0, 255};
    const Rgba8 white{255, 255, 255, 255};
    Image checker = Row({black, white, white, black});
    checker.width = 2;
    checker.height = 2;
    const Case cases[] = {
        // Linear 0.5 encodes to 0.7354, 187.5 in 8 bits: a checkerboard seen from afar.
        {checker, {188, 188, 188, 255}, 187.516F},
        // Transparent black must not darken the red it is averaged with.
        {Row({{255, 0, 0, 255}, {0, 0, 0, 0}}), {255, 0, 0, 128}, 255.0F},
    };
    for (const Case& c : cases) {
        // Through a float copy of the picture, and decoding a row at a time.
        for (const LinearImage& linear :
             {AreaAverage(ToLinear(c.in), 1, 1), AreaAverage(c.in, 1, 1)}) {
            const SrgbImage out = ToSrgb(linear);
            EXPECT_NEAR(out.pixels[0], c.srgbRed, 1e-3);
            EXPECT_EQ(PixelAt(ToImage(out), 0), c.expected);
        }
    }
}

TEST(Resampler, TheColourAloneIsAveragedWhateverTheAlpha) {
    // Three sources into two targets, each covering one and a half: red linear 1, 1 (the first
    // invisible) and 0 give plain averages (1 + 0.5) / 1.5 = 1 and (0.5 + 0) / 1.5 = 1/3, alpha 1.
    const Image in = Row({{255, 0, 0, 0}, {255, 0, 0, 255}, {0, 0, 0, 128}});
    const LinearImage out = AreaAverageColour(in, 2, 1);
    const std::vector<float> expected = {1.0F, 0.0F, 0.0F, 1.0F, 1.0F / 3.0F, 0.0F, 0.0F, 1.0F};
    ASSERT_EQ(out.pixels.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(out.pixels[i], expected[i], 1e-6) << i;
    }
    // The same as decoding the colour alone first.
    EXPECT_EQ(AreaAverage(ToLinearColour(in), 2, 1).pixels, out.pixels);
}

TEST(Resampler, AreaAverageWeighsFractionsOfPixels) {
    // Three pixels into two: each target covers one and a half sources.
    const std::vector<Px> in = {
        {0.3F, 0.0F, 0.6F, 1.0F}, {0.6F, 0.0F, 0.0F, 1.0F}, {0.9F, 0.3F, 0.3F, 0.9F}};
    const std::vector<float> expected = {0.4F, 0.0F, 0.4F, 1.0F, 0.8F, 0.2F, 0.2F, 0.933333F};
    for (const bool across : {true, false}) {
        const LinearImage out =
            across ? AreaAverage(Linear(3, 1, in), 2, 1) : AreaAverage(Linear(1, 3, in), 1, 2);
        ASSERT_EQ(out.pixels.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(out.pixels[i], expected[i], 1e-6) << across << " " << i;
        }
    }
}

TEST(Resampler, AreaAverageKeepsTheMeanAtAnyRatio) {
    struct Case {
        int inWidth, inHeight, outWidth, outHeight;
    };
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(0.0F, 1.0F);
    for (const Case& c : {Case{161, 161, 128, 128}, Case{2560, 3, 256, 2}, Case{3, 2560, 2, 256}}) {
        LinearImage in;
        in.width = c.inWidth;
        in.height = c.inHeight;
        in.pixels.resize(in.PixelCount() * 4);
        for (float& v : in.pixels) {
            v = value(random);
        }
        const LinearImage out = AreaAverage(in, c.outWidth, c.outHeight);
        ASSERT_EQ(out.PixelCount(), static_cast<std::size_t>(c.outWidth * c.outHeight));
        EXPECT_NEAR(Mean(out), Mean(in), 1e-4) << c.inWidth << "x" << c.inHeight;
    }
}

TEST(Resampler, CubicFiltersKeepFlatAndStayInRange) {
    const LinearImage flat = ToLinear(Filled(64, 32, {200, 100, 50, 128}));
    // Opaque white beside transparent: where cubic filters overshoot most.
    const LinearImage edge = Linear(2, 1, {{1.0F, 1.0F, 1.0F, 1.0F}, {0.0F, 0.0F, 0.0F, 0.0F}});
    for (Filter filter : kStbFilters) {
        const LinearImage out = Resample(flat, 7, 5, filter);
        ASSERT_EQ(out.pixels.size(), 7U * 5U * 4U);
        for (std::size_t i = 0; i < out.pixels.size(); ++i) {
            EXPECT_NEAR(out.pixels[i], flat.pixels[i % 4], 1e-5) << static_cast<int>(filter);
        }
        for (const LinearImage& result :
             {Resample(edge, 1, 1, filter), Resample(edge, 9, 1, filter)}) {
            for (std::size_t i = 0; i < result.pixels.size(); i += 4) {
                const float a = result.pixels[i + 3];
                EXPECT_GE(a, 0.0F);
                EXPECT_LE(a, 1.0F);
                for (std::size_t c = 0; c < 3; ++c) {
                    EXPECT_GE(result.pixels[i + c], 0.0F);
                    EXPECT_LE(result.pixels[i + c], a) << static_cast<int>(filter);
                }
            }
        }
    }
}

}  // namespace
}  // namespace korvale::test
