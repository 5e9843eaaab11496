#include "Comparison.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>

namespace korvale {
namespace {

double Psnr(double squaredSum, double samples) {
    if (squaredSum <= 0.0) {
        return std::numeric_limits<double>::infinity();
    }
    return 10.0 * std::log10(255.0 * 255.0 * samples / squaredSum);
}

}  // namespace

Difference Compare(const Image& a, const Image& b) {
    // Sizes are the caller's to check; this only keeps every read inside both pictures.
    const std::size_t count = std::min(a.pixels.size(), b.pixels.size()) / 4;
    double colourSum = 0.0;
    double alphaSum = 0.0;
    int largest = 0;
    std::size_t differing = 0;
    for (std::size_t i = 0; i < count * 4; i += 4) {
        if (!std::equal(a.pixels.begin() + static_cast<std::ptrdiff_t>(i),
                        a.pixels.begin() + static_cast<std::ptrdiff_t>(i + 4),
                        b.pixels.begin() + static_cast<std::ptrdiff_t>(i))) {
            ++differing;
        }
        const int alphaA = a.pixels[i + 3];
        const int alphaB = b.pixels[i + 3];
        for (std::size_t c = 0; c < 3; ++c) {
            const int straightA = a.pixels[i + c];
            const int straightB = b.pixels[i + c];
            largest = std::max(largest, std::abs(straightA - straightB));
            // What is seen is colour times coverage: a colour under alpha 0 is never shown.
            const double d = (straightA * alphaA - straightB * alphaB) / 255.0;
            colourSum += d * d;
        }
        const int alphaDiff = alphaA - alphaB;
        largest = std::max(largest, std::abs(alphaDiff));
        alphaSum += static_cast<double>(alphaDiff) * alphaDiff;
    }
    Difference difference;
    difference.colourPsnr = Psnr(colourSum, 3.0 * static_cast<double>(count));
    difference.alphaPsnr = Psnr(alphaSum, static_cast<double>(count));
    difference.largest = largest;
    difference.differing = differing;
    return difference;
}

}  // namespace korvale
