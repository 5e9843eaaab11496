#include "Ditherer.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "ErrorDiffusion.h"
#include "Samples.h"

namespace korvale {
namespace {

constexpr int kMaxBits = 8;

bool Stored(int bits) {
    return bits >= 1 && bits <= kMaxBits;
}

int Largest(int bits) {
    return (1 << bits) - 1;
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

std::vector<std::uint8_t> QuantiseChannels(const SrgbImage& level, const PixelTypeInfo& type,
                                           bool dither) {
    const std::size_t count = PixelsOf(level);
    std::vector<std::uint8_t> codes(count * 4, 0);
    const std::array<int, 4> depth = {type.redBits, type.greenBits, type.blueBits, type.alphaBits};
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

    // Where alpha is stored, the colour of a fully transparent pixel is not seen, yet it is kept
    // (the colour a picture has under its transparent parts): it gets its nearest codes, and
    // neither takes nor passes on colour error, so it cannot change the visible pixels.
    const bool alphaStored = Stored(depth[3]);
    ErrorDiffusion diffusion;
    diffusion.Run(static_cast<std::size_t>(level.width), count,
                  [&](std::size_t, std::size_t, std::size_t pixel) {
                      const std::size_t i = pixel * 4;
                      const bool hidden = alphaStored && !(px[i + 3] > 0.0f);
                      for (std::size_t c = 0; c < 4; ++c) {
                          if (!Stored(depth[c])) {
                              continue;
                          }
                          if (hidden && c < 3) {
                              codes[i + c] =
                                  static_cast<std::uint8_t>(NearestCode(px[i + c], depth[c]));
                              continue;
                          }
                          const float want = Clamp255(px[i + c] + diffusion.Carried(c));
                          const int code = NearestCode(want, depth[c]);
                          codes[i + c] = static_cast<std::uint8_t>(code);
                          diffusion.Pass(c, want - static_cast<float>(CodeValue(code, depth[c])));
                      }
                  });
    return codes;
}

}  // namespace korvale
