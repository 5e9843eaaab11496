#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "Comparison.h"
#include "PictureBuilder.h"

namespace korvale::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(Comparison, PsnrOfVisibleColourAndOfAlpha) {
    struct Case {
        const char* name;
        std::vector<Rgba8> a;
        std::vector<Rgba8> b;
        double colourPsnr;
        double alphaPsnr;
        int largest;
    };
    const Case cases[] = {
        {"identical",
         {{1, 2, 3, 4}, {200, 100, 50, 255}},
         {{1, 2, 3, 4}, {200, 100, 50, 255}},
         kInf,
         kInf,
         0},
        {"no pixels", {}, {}, kInf, kInf, 0},
        // MSE 100 / 6 over three channels of two pixels.
        {"red off by 10",
         {{100, 50, 25, 255}, {10, 20, 30, 255}},
         {{110, 50, 25, 255}, {10, 20, 30, 255}},
         35.9123,
         kInf,
         10},
        // MSE 100 / 2; black stays black whatever its alpha.
        {"alpha off by 10",
         {{0, 0, 0, 255}, {0, 0, 0, 255}},
         {{0, 0, 0, 245}, {0, 0, 0, 255}},
         kInf,
         31.1411,
         10},
        {"only invisible pixels differ", {{255, 0, 0, 0}}, {{0, 255, 9, 0}}, kInf, kInf, 255},
    };
    for (const Case& c : cases) {
        const Difference d = Compare(Row(c.a), Row(c.b));
        if (c.colourPsnr == kInf) {
            EXPECT_EQ(d.colourPsnr, kInf) << c.name;
        } else {
            EXPECT_NEAR(d.colourPsnr, c.colourPsnr, 1e-4) << c.name;
        }
        if (c.alphaPsnr == kInf) {
            EXPECT_EQ(d.alphaPsnr, kInf) << c.name;
        } else {
            EXPECT_NEAR(d.alphaPsnr, c.alphaPsnr, 1e-4) << c.name;
        }
        EXPECT_EQ(d.largest, c.largest) << c.name;
    }
}

}  // namespace
}  // namespace korvale::test
