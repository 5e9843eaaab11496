#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "PortableFloatText.h"
#include "ValueText.h"

namespace korvale::test {
namespace {

struct Row {
    std::uint32_t bits;
    const char* text;
};

// The number text the editor's fields and the tool's summary show, the same in the native and
// the WebAssembly build (whose C++ library lacks floating-point to_chars). Worked out by hand:
// plain digits up to 12 characters, else the shortest exponent form.
TEST(FloatText, TheValuesPeopleMeet) {
    const Row rows[] = {
        {0x00000000U, "0"},
        {0x80000000U, "-0"},
        {0x00000001U, "1e-45"},          // the least subnormal, 1.4e-45, read back from 1e-45
        {0x00000002U, "3e-45"},          // 2.8e-45
        {0x007FFFFFU, "1.1754942e-38"},  // the largest subnormal
        {0x00800000U, "1.1754944e-38"},  // the least normal float
        {0x7F7FFFFFU, "3.4028235e+38"},  // the largest
        {0x3DCCCCCDU, "0.1"},
        {0x40200000U, "2.5"},
        {0x47C35000U, "100000"},
        {0x447A0000U, "1000"},
        {0x4B800001U, "16777218"},   // 2^24 + 2: every digit of a whole number
        {0x33D6BF95U, "0.0000001"},  // nine characters: still plain
        {0x551184E7U, "1e+13"},      // 9999999827968, thirteen digits
        {0xC0700000U, "-3.75"},
        {0x7F800000U, "inf"},
        {0xFF800000U, "-inf"},
        {0x7FC00000U, "nan"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FloatToText(std::bit_cast<float>(row.bits)), row.text) << std::hex << row.bits;
    }
}

// Random floats of every size (a quarter between 1e-8 and 1e4), as the native build's to_chars
// writes them; a few checked by hand (0x436FF3F3 is 239.95293, 0x4BC48394 is 25757480).
TEST(FloatText, RandomFloatsAsTheNativeBuildWritesThem) {
    const Row rows[] = {
#include "FloatTextTable.inc"
    };
    for (const Row& row : rows) {
        const float value = std::bit_cast<float>(row.bits);
        EXPECT_EQ(FloatToText(value), row.text) << std::hex << row.bits;
        const auto back = TextToFloat(row.text);
        ASSERT_TRUE(back.has_value()) << row.text;
        EXPECT_EQ(std::bit_cast<std::uint32_t>(*back), row.bits) << row.text;
    }
}

// The grammar of the parse, the one from_chars takes: no hexadecimal, no blank after a sign,
// a digit on one side of the point at least, an exponent only when whole.
TEST(FloatText, ParsingTakesWhatFromCharsTakes) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> bits;
    } rows[] = {
        {"0x1p3", std::nullopt}, {".5", 0x3F000000U},       {"5.", 0x40A00000U},
        {".", std::nullopt},     {"1e", std::nullopt},      {"1e+", std::nullopt},
        {"- 5", std::nullopt},   {"1.5e3", 0x44BB8000U},    {"1E-2", 0x3C23D70AU},
        {"-.5e1", 0xC0A00000U},  {"INF", 0x7F800000U},      {"Infinity", 0x7F800000U},
        {"-nan", 0xFFC00000U},   {"nan(abc)", 0x7FC00000U}, {"-", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto value = TextToFloat(row.text);
        const auto bits =
            value ? std::optional(std::bit_cast<std::uint32_t>(*value)) : std::nullopt;
        EXPECT_EQ(bits, row.bits) << row.text;
    }
}

#if defined(__cpp_lib_to_chars)
// Where to_chars exists, the portable text equals it over a sweep of floats of every exponent.
TEST(FloatText, PortableTextEqualsToChars) {
    std::mt19937 random(22);
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t bits = random();
        if (i % 3 == 0) {
            bits = (bits & 0x807FFFFFU) | static_cast<std::uint32_t>(100 + i % 60) << 23;
        }
        const float value = std::bit_cast<float>(bits);
        char buffer[128];
        const auto shortest = std::to_chars(buffer, buffer + sizeof buffer, value);
        ASSERT_EQ(PortableFloatText(value, FloatForm::kShortest), std::string(buffer, shortest.ptr))
            << std::hex << bits;
        const auto fixed =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        ASSERT_EQ(PortableFloatText(value, FloatForm::kFixed), std::string(buffer, fixed.ptr))
            << std::hex << bits;
    }
}
#endif

}  // namespace
}  // namespace korvale::test
