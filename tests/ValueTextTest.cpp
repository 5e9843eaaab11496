#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

#include "ValueText.h"

namespace korvale::test {
namespace {

TEST(ValueText, EveryFloatReadsBackBitForBit) {
    for (const float v : {0.0F, 1.0F, 0.1F, 1.0F / 3.0F, 99999.99F, 1e-7F, 1e-40F, -3.75F,
                          3.4028235e38F, 16777217.0F, 100000.0F}) {
        const auto back = TextToFloat(FloatToText(v));
        ASSERT_TRUE(back.has_value()) << FloatToText(v);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(*back), std::bit_cast<std::uint32_t>(v))
            << FloatToText(v);
    }
}

TEST(ValueText, PlainDigitsWhileTheyStayShort) {
    EXPECT_EQ(FloatToText(100000.0F), "100000");
    EXPECT_EQ(FloatToText(0.5F), "0.5");
    EXPECT_EQ(FloatToText(-0.0F), "-0");
    EXPECT_EQ(FloatToText(1e-40F), "1e-40");
    EXPECT_EQ(FloatToText(3.4028235e38F), "3.4028235e+38");
}

TEST(ValueText, ParsingIsStrictButForgivesBlanksAndPlus) {
    EXPECT_EQ(TextToFloat(" +2.5 "), 2.5F);
    EXPECT_EQ(TextToFloat("\t-1e3\n"), -1000.0F);
    EXPECT_FALSE(TextToFloat("12abc").has_value());
    EXPECT_FALSE(TextToFloat("").has_value());
    EXPECT_FALSE(TextToFloat("   ").has_value());
    EXPECT_FALSE(TextToFloat("+").has_value());
    EXPECT_FALSE(TextToFloat("1,5").has_value());
    EXPECT_EQ(TextToFloat("1e50"), HUGE_VALF);  // too large: out of any range, still a number
    EXPECT_EQ(TextToFloat("-1e50"), -HUGE_VALF);
}

}  // namespace
}  // namespace korvale::test
