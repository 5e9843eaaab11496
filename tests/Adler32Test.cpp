#include "Adler32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace korvale::test {
namespace {

constexpr Adler32Path kPaths[] = {Adler32Path::kAny, Adler32Path::kVector, Adler32Path::kScalar};

// n bytes of 0xFF: s1 = 1 + 255 n and s2 = n + 255 n (n + 1) / 2, both mod 65521. The lengths
// sit about the 16 bytes of a vector step and the 5552 between reductions.
TEST(Adler32, HandWorkedSumsOnEveryPath) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::uint32_t expected;
    };
    std::vector<std::uint8_t> ramp(16);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::uint8_t>(i);
    }
    const std::vector<Case> cases = {
        {"nothing", {}, 0x00000001},
        {"Wikipedia", {'W', 'i', 'k', 'i', 'p', 'e', 'd', 'i', 'a'}, 0x11E60398},
        // 0 to 15: s1 = 1 + 120, s2 = 16 + the sum of (16 - i) i = 16 + 1920 - 1240.
        {"0 to 15", ramp, 0x02B80079},
        {"15 x 0xFF", std::vector<std::uint8_t>(15, 0xFF), 0x77970EF2},
        {"16 x 0xFF", std::vector<std::uint8_t>(16, 0xFF), 0x87880FF1},
        {"17 x 0xFF", std::vector<std::uint8_t>(17, 0xFF), 0x987810F0},
        {"5552 x 0xFF", std::vector<std::uint8_t>(5552, 0xFF), 0xF18F9B8C},
        {"5553 x 0xFF", std::vector<std::uint8_t>(5553, 0xFF), 0x8E299C8B},
        {"5568 x 0xFF", std::vector<std::uint8_t>(5568, 0xFF), 0x326CAB7C},
        {"100000 x 0xFF", std::vector<std::uint8_t>(100000, 0xFF), 0x149A302C},
    };
    for (const Case& c : cases) {
        for (const Adler32Path path : kPaths) {
            SCOPED_TRACE(testing::Message() << c.name << ", path " << static_cast<int>(path));
            EXPECT_EQ(Adler32(c.bytes.data(), c.bytes.size(), path), c.expected);
        }
    }
}

// Any length and any start, aligned or not: the vector paths give the byte-at-a-time sum.
TEST(Adler32, EveryPathEqualsTheScalarSumAtAnyLengthAndOffset) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> bytes(12000);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(random());
    }
    for (std::size_t start = 0; start < 17; ++start) {
        for (const std::size_t size : {0, 1, 15, 16, 31, 33, 5551, 5552, 5553, 11104, 11983}) {
            const std::uint32_t scalar = Adler32(bytes.data() + start, size, Adler32Path::kScalar);
            EXPECT_EQ(Adler32(bytes.data() + start, size, Adler32Path::kVector), scalar)
                << start << " + " << size;
            EXPECT_EQ(Adler32(bytes.data() + start, size, Adler32Path::kAny), scalar)
                << start << " + " << size;
        }
    }
}

}  // namespace
}  // namespace korvale::test
