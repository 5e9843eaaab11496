#include "ColourSpace.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "Samples.h"

namespace korvale {
namespace {

// Pixels that can be read from a picture: its size, or fewer when its data is short.
template <typename Picture>
std::size_t Readable(const Picture& picture) {
    const std::size_t count = PixelCountOf(picture.width, picture.height);
    const std::size_t held = picture.pixels.size() / 4;
    return count < held ? count : held;
}

template <typename Out, typename In>
Out SameSize(const In& in) {
    Out out;
    const std::size_t count = PixelCountOf(in.width, in.height);
    if (count > 0) {
        out.width = in.width;
        out.height = in.height;
        out.pixels.resize(count * 4);
    }
    return out;
}

double SrgbToLinearExact(double encoded) {
    return encoded <= 0.04045 ? encoded / 12.92 : std::pow((encoded + 0.055) / 1.055, 2.4);
}

struct Tables {
    std::array<float, 256> linear{};
    std::array<float, 256> alpha{};
};

const Tables& DecodeTables() {
    static const Tables tables = [] {
        Tables t;
        for (int i = 0; i < 256; ++i) {
            t.linear[static_cast<std::size_t>(i)] =
                static_cast<float>(SrgbToLinearExact(i / 255.0));
            t.alpha[static_cast<std::size_t>(i)] = static_cast<float>(i / 255.0);
        }
        return t;
    }();
    return tables;
}

}  // namespace

float SrgbToLinear(float encoded01) {
    return static_cast<float>(SrgbToLinearExact(encoded01));
}

float LinearToSrgb(float linear01) {
    if (linear01 <= 0.0031308F) {
        return linear01 * 12.92F;
    }
    return 1.055F * std::pow(linear01, 1.0F / 2.4F) - 0.055F;
}

void ToLinear(std::span<const std::uint8_t> rgba, std::span<float> out) {
    const Tables& tables = DecodeTables();
    const std::size_t count = std::min(rgba.size(), out.size()) / 4;
    const std::uint8_t* src = rgba.data();
    float* dst = out.data();
    for (std::size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const float a = tables.alpha[src[3]];
        dst[0] = tables.linear[src[0]] * a;
        dst[1] = tables.linear[src[1]] * a;
        dst[2] = tables.linear[src[2]] * a;
        dst[3] = a;
    }
}

LinearImage ToLinear(const Image& image) {
    LinearImage out = SameSize<LinearImage>(image);
    const std::size_t values = Readable(image) * 4;
    ToLinear(std::span(image.pixels.data(), values), out.pixels);
    return out;
}

void ToLinearColour(std::span<const std::uint8_t> rgba, std::span<float> out) {
    const Tables& tables = DecodeTables();
    const std::size_t count = std::min(rgba.size(), out.size()) / 4;
    const std::uint8_t* src = rgba.data();
    float* dst = out.data();
    for (std::size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        dst[0] = tables.linear[src[0]];
        dst[1] = tables.linear[src[1]];
        dst[2] = tables.linear[src[2]];
        dst[3] = 1.0F;
    }
}

LinearImage ToLinearColour(const Image& image) {
    LinearImage out = SameSize<LinearImage>(image);
    const std::size_t values = Readable(image) * 4;
    ToLinearColour(std::span(image.pixels.data(), values), out.pixels);
    return out;
}

SrgbImage ToSrgb(const LinearImage& image) {
    SrgbImage out = SameSize<SrgbImage>(image);
    const std::size_t count = Readable(image);
    const float* src = image.pixels.data();
    float* dst = out.pixels.data();
    for (std::size_t i = 0; i < count; ++i, src += 4, dst += 4) {
        const float a = src[3] < 1.0F ? src[3] : 1.0F;
        if (!(a > 0.0F)) {
            continue;  // invisible: colour means nothing, the output stays 0
        }
        for (int c = 0; c < 3; ++c) {
            float straight = src[c] / a;
            straight = straight > 0.0F ? (straight < 1.0F ? straight : 1.0F) : 0.0F;
            dst[c] = Clamp255(LinearToSrgb(straight) * 255.0F);
        }
        dst[3] = Clamp255(a * 255.0F);
    }
    return out;
}

Image ToImage(const SrgbImage& image) {
    Image out = SameSize<Image>(image);
    const std::size_t values = Readable(image) * 4;
    for (std::size_t i = 0; i < values; ++i) {
        out.pixels[i] = static_cast<std::uint8_t>(Clamp255(image.pixels[i]) + 0.5F);
    }
    return out;
}

SrgbImage ToSrgb(const Image& image) {
    SrgbImage out = SameSize<SrgbImage>(image);
    const std::size_t values = Readable(image) * 4;
    for (std::size_t i = 0; i < values; ++i) {
        out.pixels[i] = image.pixels[i];
    }
    return out;
}

}  // namespace korvale
