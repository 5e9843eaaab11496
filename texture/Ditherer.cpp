#include "Ditherer.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace korvale {
namespace {

constexpr int kMaxBits = 8;

// NaN becomes 0, so no bad input can reach a float-to-int conversion.
float Clamp255(float v) {
    return v > 0.0f ? (v < 255.0f ? v : 255.0f) : 0.0f;
}

bool Stored(int bits) {
    return bits >= 1 && bits <= kMaxBits;
}

int Largest(int bits) {
    return (1 << bits) - 1;
}

std::size_t PixelsOf(const SrgbImage& level) {
    if (level.width <= 0 || level.height <= 0) {
        return 0;
    }
    return std::min(level.PixelCount(), level.pixels.size() / 4);
}

}  // namespace

int NearestCode(float value, int bits) {
    if (!Stored(bits)) {
        return 0;
    }
    const float scaled = Clamp255(value) * static_cast<float>(Largest(bits)) / 255.0f;
    return std::min(static_cast<int>(scaled + 0.5f), Largest(bits));
}

int CodeValue(int code, int bits) {
    if (!Stored(bits)) {
        return 0;
    }
    const int largest = Largest(bits);
    const int clamped = std::clamp(code, 0, largest);
    // Integer rounding of clamped * 255 / largest; the product fits easily in an int.
    return (clamped * 255 + largest / 2) / largest;
}

std::vector<std::uint8_t> QuantiseChannels(const SrgbImage& level, ChannelBits bits, bool dither) {
    const std::size_t count = PixelsOf(level);
    std::vector<std::uint8_t> codes(count * 4, 0);
    const std::array<int, 4> depth = {bits.r, bits.g, bits.b, bits.a};
    const float* px = level.pixels.data();
    if (count == 0) {
        return codes;
    }
    if (!dither) {
        for (std::size_t i = 0; i < count * 4; ++i) {
            codes[i] = static_cast<std::uint8_t>(NearestCode(px[i], depth[i % 4]));
        }
        return codes;
    }

    // Error rows with a spare pixel at each end, so the diffusion needs no edge checks.
    const auto width = static_cast<std::size_t>(level.width);
    const std::size_t rows = (count + width - 1) / width;
    std::vector<float> current((width + 2) * 4, 0.0f);
    std::vector<float> next((width + 2) * 4, 0.0f);
    for (std::size_t y = 0; y < rows; ++y) {
        const bool forward = y % 2 == 0;
        std::fill(next.begin(), next.end(), 0.0f);
        for (std::size_t step = 0; step < width; ++step) {
            const std::size_t x = forward ? step : width - 1 - step;
            if (y * width + x >= count) {
                continue;  // a last row cut short
            }
            const std::size_t i = (y * width + x) * 4;
            const std::size_t here = (x + 1) * 4;
            const std::size_t ahead = forward ? here + 4 : here - 4;
            const std::size_t behind = forward ? here - 4 : here + 4;
            for (std::size_t c = 0; c < 4; ++c) {
                if (!Stored(depth[c])) {
                    continue;
                }
                const float want = Clamp255(px[i + c] + current[here + c]);
                const int code = NearestCode(want, depth[c]);
                codes[i + c] = static_cast<std::uint8_t>(code);
                const float error = want - static_cast<float>(CodeValue(code, depth[c]));
                current[ahead + c] += error * (7.0f / 16.0f);
                next[behind + c] += error * (3.0f / 16.0f);
                next[here + c] += error * (5.0f / 16.0f);
                next[ahead + c] += error * (1.0f / 16.0f);
            }
        }
        std::swap(current, next);
    }
    return codes;
}

}  // namespace korvale
