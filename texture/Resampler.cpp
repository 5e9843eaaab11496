#include "Resampler.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "ColourSpace.h"

#define STB_IMAGE_RESIZE_IMPLEMENTATION
// Static, so no other part of the program can clash with these symbols; the entry points not
// used here would then warn.
#define STB_IMAGE_RESIZE_STATIC
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image_resize.h>
#pragma GCC diagnostic pop

namespace korvale {
namespace {

// For each target pixel along one axis, the contiguous run of source pixels it covers and the
// share of the target each one makes up (the first and last usually partial). Shares of one
// target sum to 1.
struct AxisSpans {
    std::vector<int> first;
    std::vector<int> count;
    std::vector<std::size_t> offset;  // into weights
    std::vector<float> weights;
};

AxisSpans AreaSpans(int source, int target) {
    // Positions in units of 1 / (source * target) of the whole line, so every edge is an
    // integer: source pixel i spans [i * target, (i + 1) * target), target pixel j spans
    // [j * source, (j + 1) * source).
    const std::int64_t s = source;
    const std::int64_t t = target;
    AxisSpans spans;
    spans.first.reserve(static_cast<std::size_t>(target));
    spans.count.reserve(static_cast<std::size_t>(target));
    spans.offset.reserve(static_cast<std::size_t>(target));
    spans.weights.reserve(static_cast<std::size_t>(source) + 2 * static_cast<std::size_t>(target));
    for (std::int64_t j = 0; j < t; ++j) {
        const std::int64_t lo = j * s;
        const std::int64_t hi = lo + s;
        const std::int64_t first = lo / t;
        const std::int64_t last = (hi - 1) / t;
        spans.first.push_back(static_cast<int>(first));
        spans.count.push_back(static_cast<int>(last - first + 1));
        spans.offset.push_back(spans.weights.size());
        for (std::int64_t i = first; i <= last; ++i) {
            const std::int64_t overlap = std::min((i + 1) * t, hi) - std::max(i * t, lo);
            spans.weights.push_back(
                static_cast<float>(static_cast<double>(overlap) / static_cast<double>(s)));
        }
    }
    return spans;
}

// One pixel's four channels at a time, all loads before all stores, so the compiler can keep
// each pixel in one vector register without proving that the rows do not overlap.
inline void SetScaled(float* acc, const float* src, float w) {
    std::array<float, 4> r{};
    for (std::size_t c = 0; c < 4; ++c) {
        r[c] = w * src[c];
    }
    for (std::size_t c = 0; c < 4; ++c) {
        acc[c] = r[c];
    }
}

inline void AddScaled(float* acc, const float* src, float w) {
    std::array<float, 4> r{};
    for (std::size_t c = 0; c < 4; ++c) {
        r[c] = acc[c] + w * src[c];
    }
    for (std::size_t c = 0; c < 4; ++c) {
        acc[c] = r[c];
    }
}

LinearImage Transparent(int width, int height) {
    LinearImage out;
    const std::size_t count = PixelCountOf(width, height);
    if (count > 0) {
        out.width = width;
        out.height = height;
        out.pixels.assign(count * 4, 0.0F);
    }
    return out;
}

bool Readable(const LinearImage& in) {
    const std::size_t count = PixelCountOf(in.width, in.height);
    return count > 0 && in.pixels.size() / 4 >= count;
}

// The area average of a picture of inWidth x inHeight whose rows, premultiplied linear, come
// from sourceRow(y); each row is asked for once per target row that covers it, and the pointer
// it returns is used only until the next call.
template <typename RowSource>
LinearImage AreaAverageRows(int inWidth, int inHeight, int width, int height,
                            RowSource&& sourceRow) {
    LinearImage out = Transparent(width, height);
    if (out.pixels.empty()) {
        return out;
    }
    const AxisSpans columns = AreaSpans(inWidth, width);
    const AxisSpans rows = AreaSpans(inHeight, height);
    const std::size_t inRow = static_cast<std::size_t>(inWidth) * 4;
    const std::size_t outRow = static_cast<std::size_t>(width) * 4;
    // Columns first, accumulating whole source rows into one row of the source's width: a
    // contiguous multiply-add the compiler vectorises and that stays in cache. Then that row
    // is narrowed into the target row.
    std::vector<float> row(inRow);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::size_t offset = rows.offset[y];
        const int count = rows.count[y];
        for (int k = 0; k < count; ++k) {
            const float w = rows.weights[offset + static_cast<std::size_t>(k)];
            const float* src = sourceRow(static_cast<std::size_t>(rows.first[y] + k));
            float* acc = row.data();
            if (k == 0) {
                for (std::size_t i = 0; i < inRow; i += 4) {
                    SetScaled(acc + i, src + i, w);
                }
            } else {
                for (std::size_t i = 0; i < inRow; i += 4) {
                    AddScaled(acc + i, src + i, w);
                }
            }
        }
        float* dst = out.pixels.data() + y * outRow;
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x, dst += 4) {
            const float* src = row.data() + static_cast<std::size_t>(columns.first[x]) * 4;
            const float* w = columns.weights.data() + columns.offset[x];
            SetScaled(dst, src, w[0]);
            for (int k = 1; k < columns.count[x]; ++k) {
                AddScaled(dst, src + static_cast<std::size_t>(k) * 4, w[k]);
            }
        }
    }
    return out;
}

stbir_filter StbFilter(Filter filter) {
    switch (filter) {
        case Filter::kMitchell:
            return STBIR_FILTER_MITCHELL;
        case Filter::kCatmullRom:
            return STBIR_FILTER_CATMULLROM;
        case Filter::kCubic:
        case Filter::kArea:
            break;
    }
    return STBIR_FILTER_CUBICBSPLINE;
}

}  // namespace

std::optional<Filter> FilterNamed(std::string_view name) {
    const auto* at = std::find(kFilterNames.begin(), kFilterNames.end(), name);
    if (at == kFilterNames.end()) {
        return std::nullopt;
    }
    return static_cast<Filter>(at - kFilterNames.begin());
}

LinearImage AreaAverage(const LinearImage& in, int width, int height) {
    if (!Readable(in)) {
        return Transparent(width, height);
    }
    const std::size_t inRow = static_cast<std::size_t>(in.width) * 4;
    return AreaAverageRows(in.width, in.height, width, height,
                           [&](std::size_t y) { return in.pixels.data() + y * inRow; });
}

namespace {

template <typename Decode>
LinearImage AreaAverageDecoded(const Image& in, int width, int height, Decode&& decode) {
    const std::size_t count = PixelCountOf(in.width, in.height);
    if (count == 0 || in.pixels.size() / 4 < count) {
        return Transparent(width, height);
    }
    const std::size_t inRow = static_cast<std::size_t>(in.width) * 4;
    std::vector<float> decoded(inRow);
    return AreaAverageRows(in.width, in.height, width, height, [&](std::size_t y) {
        decode(std::span(in.pixels.data() + y * inRow, inRow), std::span<float>(decoded));
        return static_cast<const float*>(decoded.data());
    });
}

}  // namespace

LinearImage AreaAverage(const Image& in, int width, int height) {
    return AreaAverageDecoded(
        in, width, height,
        [](std::span<const std::uint8_t> row, std::span<float> out) { ToLinear(row, out); });
}

LinearImage AreaAverageColour(const Image& in, int width, int height) {
    return AreaAverageDecoded(
        in, width, height,
        [](std::span<const std::uint8_t> row, std::span<float> out) { ToLinearColour(row, out); });
}

LinearImage Resample(const LinearImage& in, int width, int height, Filter filter) {
    // stb_image_resize sizes its rows and buffers in int.
    const auto fits = [](int w, int h) { return static_cast<std::int64_t>(w) * h * 16 <= INT_MAX; };
    const bool fitsStb = fits(in.width, in.height) && fits(width, height);
    if (filter == Filter::kArea || !fitsStb) {
        return AreaAverage(in, width, height);
    }
    LinearImage out = Transparent(width, height);
    if (out.pixels.empty() || !Readable(in)) {
        return out;
    }
    // The data is already premultiplied linear light: stb must neither convert nor
    // premultiply it again.
    const int done = stbir_resize_float_generic(
        in.pixels.data(), in.width, in.height, in.width * 16, out.pixels.data(), width, height,
        width * 16, 4, 3, STBIR_FLAG_ALPHA_PREMULTIPLIED, STBIR_EDGE_CLAMP, StbFilter(filter),
        STBIR_COLORSPACE_LINEAR, nullptr);
    if (done == 0) {
        // Only a failed allocation of stb's work buffers gets here; a plain average is
        // still a correct level.
        return AreaAverage(in, width, height);
    }
    float* p = out.pixels.data();
    for (std::size_t i = 0; i < out.PixelCount(); ++i, p += 4) {
        const float a = std::clamp(p[3], 0.0F, 1.0F);
        for (std::size_t c = 0; c < 3; ++c) {
            p[c] = std::clamp(p[c], 0.0F, a);
        }
        p[3] = a;
    }
    return out;
}

}  // namespace korvale
