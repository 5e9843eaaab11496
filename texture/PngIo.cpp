#include "PngIo.h"

#include <spng.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>

#include "FastPng.h"

namespace korvale {

namespace {

struct ContextFree {
    void operator()(spng_ctx* ctx) const noexcept { spng_ctx_free(ctx); }
};
using ContextPtr = std::unique_ptr<spng_ctx, ContextFree>;

// What spng_get_png_buffer hands over was allocated with malloc.
struct MallocFree {
    void operator()(void* memory) const noexcept { std::free(memory); }
};

constexpr std::array<std::uint8_t, 8> kSignature{137, 80, 78, 71, 13, 10, 26, 10};
// The PNG format's own bound on width and height.
constexpr std::uint32_t kLargestSide = 0x7FFFFFFFu;

std::string ReadFailure(int code) {
    switch (code) {
        case SPNG_ESIGNATURE:
            return "not a PNG file";
        case SPNG_IO_EOF:
        case SPNG_EOF:
            return "PNG is cut short";
        case SPNG_EMEM:
            return "not enough memory to read the PNG";
        case SPNG_ECHUNK_LIMITS:
            return "PNG holds more metadata than is accepted";
        default:
            return std::string("damaged PNG: ") + spng_strerror(code);
    }
}

std::uint32_t BigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
}

std::string TooLarge(std::uint64_t width, std::uint64_t height, std::uint32_t maxSide) {
    return "PNG is " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels; at most " + std::to_string(maxSide) + " per side is accepted";
}

// Decodes the picture in the given format into buffer, sized from what libspng says the decoded
// picture takes once that is what the header's size gives (expected bytes), so no buffer is
// sized from a number not checked here.
template <typename Sample>
Status DecodeAs(spng_ctx* ctx, int format, int flags, std::uint64_t expected,
                std::vector<Sample>& buffer) {
    std::size_t size = 0;
    int code = spng_decoded_image_size(ctx, format, &size);
    if (code == 0 && size != expected) {
        return Status::Failure("damaged PNG: its decoded size does not match its header");
    }
    if (code == 0) {
        buffer.resize(size / sizeof(Sample));
        code = spng_decode_image(ctx, buffer.data(), size, format, flags);
    }
    if (code != 0) {
        return Status::Failure(ReadFailure(code));
    }
    return {};
}

// libspng narrows 16-bit samples by dropping the low byte; rounding keeps 0x00FF from becoming 0.
Status Decode16(spng_ctx* ctx, std::uint64_t pixelCount, Image& image) {
    std::vector<std::uint16_t> wide;
    if (Status failed = DecodeAs(ctx, SPNG_FMT_RGBA16, SPNG_DECODE_TRNS, pixelCount * 8, wide);
        !failed) {
        return failed;
    }
    image.pixels.resize(wide.size());
    std::transform(wide.begin(), wide.end(), image.pixels.begin(), [](std::uint16_t v) {
        return static_cast<std::uint8_t>((std::uint32_t{v} * 255 + 32767) / 65535);
    });
    return {};
}

// Indexed pictures are decoded as stored and looked up here, so the indices stay available and
// an index past the palette is caught rather than shown as some colour.
Status DecodeIndexed(spng_ctx* ctx, const spng_ihdr& ihdr, Image& image) {
    const std::uint64_t width = ihdr.width;
    const std::uint64_t depth = ihdr.bit_depth;
    const std::uint64_t rowBytes = (width * depth + 7) / 8;
    std::vector<std::uint8_t> packed;
    if (Status failed = DecodeAs(ctx, SPNG_FMT_PNG, 0, rowBytes * ihdr.height, packed); !failed) {
        return failed;
    }
    spng_plte plte{};
    int code = spng_get_plte(ctx, &plte);
    spng_trns trns{};
    if (code == 0) {
        code = spng_get_trns(ctx, &trns);
        if (code == SPNG_ECHUNKAVAIL) {
            code = 0;
        }
    }
    if (code != 0) {
        return Status::Failure(ReadFailure(code));
    }
    const std::uint32_t entries = std::min<std::uint32_t>(plte.n_entries, 256);
    const std::uint32_t alphas = std::min<std::uint32_t>(trns.n_type3_entries, 256);

    const std::size_t pixelCount = static_cast<std::size_t>(width) * ihdr.height;
    std::vector<std::uint8_t> indices(pixelCount);
    const unsigned mask = (1u << depth) - 1;
    std::size_t i = 0;
    for (std::uint32_t y = 0; y < ihdr.height; ++y) {
        const std::uint8_t* row = packed.data() + y * rowBytes;
        for (std::uint64_t x = 0; x < width; ++x, ++i) {
            const std::uint64_t bit = x * depth;
            const unsigned shift = static_cast<unsigned>(8 - depth - bit % 8);
            const unsigned index = (row[bit / 8] >> shift) & mask;
            if (index >= entries) {
                return Status::Failure("damaged PNG: it uses colour " + std::to_string(index) +
                                       " of a palette with " + std::to_string(entries) +
                                       " entries");
            }
            indices[i] = static_cast<std::uint8_t>(index);
        }
    }

    std::vector<Rgba8> palette(entries);
    for (std::uint32_t k = 0; k < entries; ++k) {
        const spng_plte_entry& e = plte.entries[k];
        palette[k] = {e.red, e.green, e.blue, k < alphas ? trns.type3_alpha[k] : std::uint8_t{255}};
    }
    image.pixels.resize(pixelCount * 4);
    for (std::size_t p = 0; p < pixelCount; ++p) {
        std::copy_n(palette[indices[p]].begin(), 4, image.pixels.begin() + p * 4);
    }
    if (entries <= 16) {
        image.palette = std::move(palette);
        image.indices = std::move(indices);
    }
    return {};
}

// Whether bytes start like a PNG file, and if not, how they do not.
Status StartsWithSignature(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) {
        return Status::Failure("not a PNG file: it is empty");
    }
    const std::size_t head = std::min(bytes.size(), kSignature.size());
    if (!std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(head),
                    kSignature.begin())) {
        return Status::Failure("not a PNG file");
    }
    if (bytes.size() < kSignature.size()) {
        return Status::Failure("PNG is cut short");
    }
    return {};
}

// The quick way takes 8-bit RGB and RGBA pictures that are not interlaced, once libspng has
// read and accepted every chunk before the image data (so any fault there is reported in its
// words), and for RGB only without a transparent colour.
bool DecodeQuickly(spng_ctx* ctx, std::span<const std::uint8_t> bytes, const spng_ihdr& ihdr,
                   const PngLimits& limits, Image& image) {
    const bool rgba = ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    if (ihdr.bit_depth != 8 || ihdr.interlace_method != SPNG_INTERLACE_NONE ||
        (!rgba && ihdr.color_type != SPNG_COLOR_TYPE_TRUECOLOR)) {
        return false;
    }
    if (spng_decode_chunks(ctx) != 0) {
        return false;
    }
    spng_trns trns{};
    if (!rgba && spng_get_trns(ctx, &trns) != SPNG_ECHUNKAVAIL) {
        return false;
    }
    return DecodeFastPng(bytes, {ihdr.width, ihdr.height, rgba ? 4 : 3}, limits, image.pixels);
}

enum class Way { kQuickWhereItCan, kLibspngOnly };

Status DecodeInto(std::span<const std::uint8_t> bytes, Image& image, const PngLimits& limits,
                  Way way) {
    if (Status failed = StartsWithSignature(bytes); !failed) {
        return failed;
    }

    ContextPtr ctx(spng_ctx_new(0));
    if (!ctx) {
        return Status::Failure("not enough memory to read the PNG");
    }
    const std::uint32_t maxSide = std::min(limits.maxSide, kLargestSide);
    int code = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());
    if (code == 0) {
        code = spng_set_image_limits(ctx.get(), maxSide, maxSide);
    }
    if (code == 0) {
        code = spng_set_chunk_limits(ctx.get(), limits.chunkSizeLimit, limits.chunkCacheLimit);
    }
    spng_ihdr ihdr{};
    if (code == 0) {
        code = spng_get_ihdr(ctx.get(), &ihdr);
    }
    // libspng refuses an oversized header without saying what it declared; the header lies at a
    // fixed place, after the signature, the chunk's length and its type.
    if ((code == SPNG_EUSER_WIDTH || code == SPNG_EUSER_HEIGHT) && bytes.size() >= 24) {
        return Status::Failure(TooLarge(BigEndian32(bytes, 16), BigEndian32(bytes, 20), maxSide));
    }
    if (code != 0) {
        return Status::Failure(ReadFailure(code));
    }
    if (ihdr.width > maxSide || ihdr.height > maxSide) {
        return Status::Failure(TooLarge(ihdr.width, ihdr.height, maxSide));
    }
    const std::uint64_t pixelCount = std::uint64_t{ihdr.width} * ihdr.height;
    if (pixelCount > limits.maxPixels) {
        return Status::Failure("PNG has " + std::to_string(pixelCount) + " pixels; at most " +
                               std::to_string(limits.maxPixels) + " are accepted");
    }

    image.width = static_cast<int>(ihdr.width);
    image.height = static_cast<int>(ihdr.height);
    if (way == Way::kQuickWhereItCan) {
        if (DecodeQuickly(ctx.get(), bytes, ihdr, limits, image)) {
            return {};
        }
        // libspng reads the file afresh, as if the quick way had never looked at it.
        return DecodeInto(bytes, image, limits, Way::kLibspngOnly);
    }
    if (ihdr.color_type == SPNG_COLOR_TYPE_INDEXED) {
        return DecodeIndexed(ctx.get(), ihdr, image);
    }
    if (ihdr.bit_depth == 16) {
        return Decode16(ctx.get(), pixelCount, image);
    }
    return DecodeAs(ctx.get(), SPNG_FMT_RGBA8, SPNG_DECODE_TRNS, pixelCount * 4, image.pixels);
}

Status Encode(spng_ihdr ihdr, const spng_plte* plte, const spng_trns* trns,
              std::span<const std::uint8_t> data, std::vector<std::uint8_t>& png,
              PngEffort effort = PngEffort::kSmallest) {
    ContextPtr ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx) {
        return Status::Failure("not enough memory to write the PNG");
    }
    int code = spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    if (code == 0 && effort == PngEffort::kFast) {
        code = spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, 1);
    }
    if (code == 0) {
        code = spng_set_ihdr(ctx.get(), &ihdr);
    }
    if (code == 0 && plte != nullptr) {
        spng_plte copy = *plte;
        code = spng_set_plte(ctx.get(), &copy);
    }
    if (code == 0 && trns != nullptr) {
        spng_trns copy = *trns;
        code = spng_set_trns(ctx.get(), &copy);
    }
    if (code == 0) {
        code = spng_encode_image(ctx.get(), data.data(), data.size(), SPNG_FMT_PNG,
                                 SPNG_ENCODE_FINALIZE);
    }
    std::size_t size = 0;
    std::unique_ptr<void, MallocFree> buffer;
    if (code == 0) {
        buffer.reset(spng_get_png_buffer(ctx.get(), &size, &code));
    }
    if (code != 0 || !buffer) {
        return Status::Failure(std::string("cannot make the PNG: ") + spng_strerror(code));
    }
    const auto* begin = static_cast<const std::uint8_t*>(buffer.get());
    png.assign(begin, begin + size);
    return {};
}

// A picture size the PNG format can hold, with a buffer of itemBytes per pixel of that size.
Status CheckSize(int width, int height, std::size_t bufferSize, std::size_t itemBytes) {
    if (width <= 0 || height <= 0) {
        return Status::Failure("cannot make a PNG of " + std::to_string(width) + " x " +
                               std::to_string(height) + " pixels");
    }
    const auto pixelCount = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (bufferSize % itemBytes != 0 || bufferSize / itemBytes != pixelCount) {
        return Status::Failure("cannot make a PNG: the pixels do not match the size");
    }
    return {};
}

spng_ihdr Header(int width, int height, std::uint8_t depth, std::uint8_t colourType) {
    spng_ihdr ihdr{};
    ihdr.width = static_cast<std::uint32_t>(width);
    ihdr.height = static_cast<std::uint32_t>(height);
    ihdr.bit_depth = depth;
    ihdr.color_type = colourType;
    return ihdr;
}

Status ReadPngThe(Way way, std::span<const std::uint8_t> bytes, Image& out,
                  const PngLimits& limits) {
    out = Image{};
    Image image;
    if (Status decoded = DecodeInto(bytes, image, limits, way); !decoded) {
        return decoded;
    }
    out = std::move(image);
    return {};
}

}  // namespace

Status ReadPng(std::span<const std::uint8_t> bytes, Image& out, const PngLimits& limits) {
    return ReadPngThe(Way::kQuickWhereItCan, bytes, out, limits);
}

Status ReadPngWithLibspng(std::span<const std::uint8_t> bytes, Image& out,
                          const PngLimits& limits) {
    return ReadPngThe(Way::kLibspngOnly, bytes, out, limits);
}

Status EncodePng(const Image& image, bool withAlpha, std::vector<std::uint8_t>& png,
                 PngEffort effort) {
    png.clear();
    if (Status sized = CheckSize(image.width, image.height, image.pixels.size(), 4); !sized) {
        return sized;
    }
    if (withAlpha) {
        return Encode(Header(image.width, image.height, 8, SPNG_COLOR_TYPE_TRUECOLOR_ALPHA),
                      nullptr, nullptr, image.pixels, png, effort);
    }
    std::vector<std::uint8_t> rgb(image.pixels.size() / 4 * 3);
    for (std::size_t p = 0, q = 0; p < image.pixels.size(); p += 4, q += 3) {
        std::copy_n(image.pixels.begin() + static_cast<std::ptrdiff_t>(p), 3,
                    rgb.begin() + static_cast<std::ptrdiff_t>(q));
    }
    return Encode(Header(image.width, image.height, 8, SPNG_COLOR_TYPE_TRUECOLOR), nullptr, nullptr,
                  rgb, png, effort);
}

Status EncodeIndexedPng(int width, int height, std::span<const std::uint8_t> indices,
                        std::span<const Rgba8> palette, std::vector<std::uint8_t>& png) {
    png.clear();
    if (Status sized = CheckSize(width, height, indices.size(), 1); !sized) {
        return sized;
    }
    if (palette.empty() || palette.size() > 256) {
        return Status::Failure("cannot make an indexed PNG with " + std::to_string(palette.size()) +
                               " palette entries");
    }
    for (const std::uint8_t index : indices) {
        if (index >= palette.size()) {
            return Status::Failure("cannot make the PNG: colour " + std::to_string(index) +
                                   " is past the palette's " + std::to_string(palette.size()) +
                                   " entries");
        }
    }

    spng_plte plte{};
    spng_trns trns{};
    plte.n_entries = static_cast<std::uint32_t>(palette.size());
    for (std::size_t k = 0; k < palette.size(); ++k) {
        plte.entries[k] = {palette[k][0], palette[k][1], palette[k][2], 255};
        trns.type3_alpha[k] = palette[k][3];
        if (palette[k][3] != 255) {
            trns.n_type3_entries = static_cast<std::uint32_t>(k + 1);
        }
    }

    const bool nibbles = palette.size() <= 16;
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    const std::size_t rowBytes = nibbles ? (w + 1) / 2 : w;
    std::vector<std::uint8_t> packed(rowBytes * h);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* in = indices.data() + y * w;
        std::uint8_t* row = packed.data() + y * rowBytes;
        for (std::size_t x = 0; x < w; ++x) {
            if (nibbles) {
                row[x / 2] |= static_cast<std::uint8_t>(in[x] << (x % 2 == 0 ? 4 : 0));
            } else {
                row[x] = in[x];
            }
        }
    }
    return Encode(Header(width, height, nibbles ? 4 : 8, SPNG_COLOR_TYPE_INDEXED), &plte,
                  trns.n_type3_entries > 0 ? &trns : nullptr, packed, png);
}

}  // namespace korvale
