#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>

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
    struct Row {
        const char* text;
        std::optional<std::uint32_t> bits;  // nothing: not a number
    };
    const Row rows[] = {
        {" +2.5 ", 0x40200000U},
        {"\t-1e3\n", 0xC47A0000U},
        {"12abc", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"+", std::nullopt},
        {"+-5", std::nullopt},
        {"-+5", std::nullopt},
        {"1,5", std::nullopt},
        // Too large: out of any range, still a number.
        {"1e50", 0x7F800000U},
        {"-1e50", 0xFF800000U},
        // Too small: the nearest float, a signed zero or a subnormal.
        {"1e-50", 0x00000000U},
        {"-1e-50", 0x80000000U},
        {"1e-45", 0x00000001U},
        {"8e-46", 0x00000001U},
        {"7e-46", 0x00000000U},
    };
    for (const Row& row : rows) {
        const auto value = TextToFloat(row.text);
        const auto bits =
            value ? std::optional(std::bit_cast<std::uint32_t>(*value)) : std::nullopt;
        EXPECT_EQ(bits, row.bits) << row.text;
    }
}

}  // namespace
}  // namespace korvale::test
