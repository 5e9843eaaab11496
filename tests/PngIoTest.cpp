#include "FastPng.h"
#include "Inputs.h"
#include "PngIo.h"
#include "WholeFile.h"

#include <gtest/gtest.h>
#include <spng.h>

#include <memory>

#include "TestSupport.h"

namespace korvale::test {
namespace {

// A PNG of any colour type made with libspng's own encoder; samples as stored in the file.
struct Source {
    struct {
        std::uint32_t width, height;
        std::uint8_t depth, colourType;
        std::uint8_t interlace = 0;
    } header;
    Bytes samples;
    std::vector<Rgba8> palette = {};              // alpha below 255 goes to tRNS
    std::vector<std::uint16_t> transparent = {};  // grey or RGB tRNS
    double gamma = 0;
};

Bytes Make(const Source& s) {
    std::unique_ptr<spng_ctx, void (*)(spng_ctx*)> ctx(spng_ctx_new(SPNG_CTX_ENCODER),
                                                       spng_ctx_free);
    spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{s.header.width,    s.header.height, s.header.depth, s.header.colourType, 0, 0,
                   s.header.interlace};
    spng_set_ihdr(ctx.get(), &ihdr);
    spng_plte plte{};
    spng_trns trns{};
    for (const Rgba8& c : s.palette) {
        plte.entries[plte.n_entries++] = {c[0], c[1], c[2], 255};
        trns.type3_alpha[trns.n_type3_entries++] = c[3];
    }
    if (!s.palette.empty()) {
        spng_set_plte(ctx.get(), &plte);
        spng_set_trns(ctx.get(), &trns);
    }
    if (s.transparent.size() == 1) {
        trns.gray = s.transparent[0];
        spng_set_trns(ctx.get(), &trns);
    } else if (s.transparent.size() == 3) {
        trns.red = s.transparent[0];
        trns.green = s.transparent[1];
        trns.blue = s.transparent[2];
        spng_set_trns(ctx.get(), &trns);
    }
    if (s.gamma > 0) {
        spng_set_gama(ctx.get(), s.gamma);
    }
    EXPECT_EQ(spng_encode_image(ctx.get(), s.samples.data(), s.samples.size(), SPNG_FMT_RAW,
                                SPNG_ENCODE_FINALIZE),
              0);
    std::size_t size = 0;
    int error = 0;
    std::unique_ptr<std::uint8_t, void (*)(void*)> png(
        static_cast<std::uint8_t*>(spng_get_png_buffer(ctx.get(), &size, &error)), std::free);
    return png ? Bytes(png.get(), png.get() + size) : Bytes();
}

Rgba8 PixelAt(const Image& image, int i) {
    const auto at = image.pixels.begin() + i * 4;
    return {at[0], at[1], at[2], at[3]};
}

Image Picture(int width, int height, Bytes pixels) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels = std::move(pixels);
    return image;
}

TEST(PngIo, RgbaAndRgbRoundTripExactly) {
    const Image rgba = Picture(3, 1, {1, 2, 3, 4, 250, 128, 0, 255, 9, 8, 7, 0});
    const Image opaque = Picture(3, 1, {1, 2, 3, 255, 250, 128, 0, 255, 9, 8, 7, 255});
    for (const auto& [image, withAlpha, colourType] :
         {std::tuple{rgba, true, 6}, std::tuple{opaque, false, 2}}) {
        std::vector<std::uint8_t> png;
        ASSERT_TRUE(EncodePng(image, withAlpha, png).Ok());
        EXPECT_EQ(png[25], colourType);
        Image back;
        ASSERT_TRUE(ReadPng(png, back).Ok());
        EXPECT_EQ(back.pixels, image.pixels);
        EXPECT_TRUE(back.palette.empty());
    }
}

TEST(PngIo, IndexedRoundTripKeepsPaletteOrderAndIndices) {
    const std::vector<Rgba8> palette = {
        {255, 0, 0, 255}, {0, 255, 0, 128}, {0, 0, 255, 0}, {10, 20, 30, 255}, {7, 7, 7, 255}};
    const Bytes indices = {4, 0, 2, 1, 3, 4};
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodeIndexedPng(3, 2, indices, palette, png).Ok());
    EXPECT_EQ(png[24], 4);  // bit depth
    EXPECT_EQ(png[25], 3);  // indexed
    Image back;
    ASSERT_TRUE(ReadPng(png, back).Ok());
    EXPECT_EQ(back.palette, palette);
    EXPECT_EQ(back.indices, indices);
    EXPECT_EQ(PixelAt(back, 0), (Rgba8{7, 7, 7, 255}));
    EXPECT_EQ(PixelAt(back, 2), (Rgba8{0, 0, 255, 0}));
    EXPECT_EQ(PixelAt(back, 3), (Rgba8{0, 255, 0, 128}));
}

TEST(PngIo, ReadsEveryKindOfPngAsRgba8) {
    struct Case {
        const char* name;
        Source source;
        std::vector<std::pair<int, Rgba8>> expected;
        Bytes indices = {};
    };
    Bytes adam7;  // 9 x 9 indices i = (x + 2y) % 5, two to a byte
    Bytes adam7Indices;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x) {
            adam7Indices.push_back(static_cast<std::uint8_t>((x + 2 * y) % 5));
        }
        for (int x = 0; x < 9; x += 2) {
            adam7.push_back(static_cast<std::uint8_t>((x + 2 * y) % 5 << 4 |
                                                      (x + 1 < 9 ? (x + 1 + 2 * y) % 5 : 0)));
        }
    }
    const std::vector<Rgba8> five = {
        {0, 0, 0, 255}, {10, 0, 0, 255}, {20, 0, 0, 255}, {30, 0, 0, 100}, {40, 0, 0, 255}};
    const std::vector<Case> cases = {
        {"grey 1-bit",
         {{10, 1, 1, 0}, {0b10110000, 0b01000000}},
         {{0, {255, 255, 255, 255}}, {1, {0, 0, 0, 255}}, {9, {255, 255, 255, 255}}}},
        {"grey 8-bit with tRNS",
         {{2, 1, 8, 0}, {90, 91}, {}, {91}},
         {{0, {90, 90, 90, 255}}, {1, {91, 91, 91, 0}}}},
        {"grey+alpha 8-bit",
         {{2, 1, 8, 4}, {10, 200, 30, 0}},
         {{0, {10, 10, 10, 200}}, {1, {30, 30, 30, 0}}}},
        {"RGB 16-bit rounded",
         {{2, 1, 16, 2}, {0x80, 0x80, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x7F, 0xFF, 0x80, 0x00}},
         {{0, {128, 1, 255, 255}}, {1, {0, 127, 128, 255}}}},
        {"RGBA 16-bit",
         {{1, 1, 16, 6}, {0x12, 0x34, 0x00, 0x80, 0xFE, 0x00, 0x01, 0x00}},
         {{0, {18, 0, 253, 1}}}},
        {"RGB 8-bit with tRNS and gAMA ignored",
         {{2, 1, 8, 2}, {1, 2, 3, 128, 5, 6}, {}, {128, 5, 6}, 1.0},
         {{0, {1, 2, 3, 255}}, {1, {128, 5, 6, 0}}}},
        {"indexed 2-bit with tRNS",
         {{5, 1, 2, 3}, {0b00011001, 0b00000000}, {{1, 2, 3, 0}, {4, 5, 6, 77}, {7, 8, 9, 255}}},
         {{0, {1, 2, 3, 0}}, {1, {4, 5, 6, 77}}, {2, {7, 8, 9, 255}}, {3, {4, 5, 6, 77}}},
         {0, 1, 2, 1, 0}},
        {"indexed 4-bit interlaced",
         {{9, 9, 4, 3, 1}, adam7, five},
         {{0, {0, 0, 0, 255}}, {8, {30, 0, 0, 100}}, {80, {40, 0, 0, 255}}},
         adam7Indices},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes png = Make(c.source);
        Image image;
        ASSERT_TRUE(ReadPng(png, image).Ok());
        EXPECT_EQ(image.width, static_cast<int>(c.source.header.width));
        for (const auto& [i, rgba] : c.expected) {
            EXPECT_EQ(PixelAt(image, i), rgba) << "pixel " << i;
        }
        EXPECT_EQ(image.palette, c.source.palette);
        EXPECT_EQ(image.indices, c.indices);
    }
}

std::uint32_t Crc(const Bytes& bytes, std::size_t from, std::size_t to) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = from; i < to; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

// The same file claiming another size, with a valid checksum.
Bytes Resized(Bytes png, std::uint32_t width, std::uint32_t height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    const std::uint32_t crc = Crc(png, 12, 29);
    for (int i = 0; i < 4; ++i) {
        png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
    return png;
}

Bytes SmallPng() {
    std::vector<std::uint8_t> png;
    EXPECT_TRUE(EncodePng(Picture(4, 4, Bytes(64, 77)), true, png).Ok());
    return png;
}

// The quick reader takes only 8-bit RGB and RGBA pictures that are not interlaced; the rest go
// to libspng. Each is also refused by the quick decoder itself when handed over as RGBA, so a
// looser gate in front of it could not turn their rows into wrong pixels.
TEST(PngIo, InterlacedSixteenBitAndIndexedPicturesAreLeftToLibspng) {
    Bytes ramp;  // 3 x 3 RGBA, pixel i = (i, 2i, 3i, 255 - i)
    for (int i = 0; i < 9; ++i) {
        ramp.insert(ramp.end(),
                    {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                     static_cast<std::uint8_t>(3 * i), static_cast<std::uint8_t>(255 - i)});
    }
    struct Case {
        const char* name;
        Source source;
        FastPngHeader asRgba;
        bool quick;  // whether the quick decoder takes it
        std::vector<std::pair<int, Rgba8>> expected;
    };
    const std::vector<Case> cases = {
        {"RGBA 8-bit, the quick reader's own",
         {{3, 3, 8, 6}, ramp},
         {3, 3, 4},
         true,
         {{4, {4, 8, 12, 251}}, {8, {8, 16, 24, 247}}}},
        {"RGBA 8-bit interlaced",
         {{3, 3, 8, 6, 1}, ramp},
         {3, 3, 4},
         false,
         {{4, {4, 8, 12, 251}}, {8, {8, 16, 24, 247}}}},
        {"RGBA 16-bit",
         {{1, 1, 16, 6}, {0x12, 0x34, 0x00, 0x80, 0xFE, 0x00, 0x01, 0x00}},
         {1, 1, 4},
         false,
         {{0, {18, 0, 253, 1}}}},
        {"indexed 8-bit",
         {{2, 1, 8, 3}, {2, 1}, {{1, 2, 3, 255}, {4, 5, 6, 128}, {7, 8, 9, 0}}},
         {2, 1, 1},
         false,
         {{0, {7, 8, 9, 0}}, {1, {4, 5, 6, 128}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes png = Make(c.source);
        std::vector<std::uint8_t> quick;
        EXPECT_EQ(DecodeFastPng(png, c.asRgba, {}, quick), c.quick);
        EXPECT_EQ(quick.empty(), !c.quick);
        Image image;
        Image libspng;
        ASSERT_TRUE(ReadPng(png, image).Ok());
        ASSERT_TRUE(ReadPngWithLibspng(png, libspng).Ok());
        for (const auto& [i, rgba] : c.expected) {
            EXPECT_EQ(PixelAt(image, i), rgba) << "pixel " << i;
        }
        EXPECT_EQ(image.pixels, libspng.pixels);
        EXPECT_EQ(image.palette, libspng.palette);
        EXPECT_EQ(image.indices, libspng.indices);
        if (c.quick) {
            EXPECT_EQ(quick, image.pixels);
        }
    }
}

// A 1 x 1 RGBA picture by hand: its image data one stored deflate block (no compression)
// holding the row (filter byte 0, then 10, 20, 30, 40), closed by the stream's Adler-32 of
// those five bytes: s1 = 1 + 0 + 10 + 20 + 30 + 40 = 101, s2 = 1 + 11 + 31 + 61 + 101 = 205.
Bytes HandMadePng(const Bytes& afterBlock) {
    Bytes stream = {0x78, 0x01, 0x01, 0x05, 0x00, 0xFA, 0xFF, 0, 10, 20, 30, 40};
    stream.insert(stream.end(), afterBlock.begin(), afterBlock.end());
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&png](const char* type, const Bytes& data) {
        const auto length = static_cast<std::uint32_t>(data.size());
        png.insert(
            png.end(),
            {static_cast<std::uint8_t>(length >> 24), static_cast<std::uint8_t>(length >> 16),
             static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length)});
        const std::size_t from = png.size();
        png.insert(png.end(), type, type + 4);
        png.insert(png.end(), data.begin(), data.end());
        const std::uint32_t crc = Crc(png, from, png.size());
        png.insert(png.end(),
                   {static_cast<std::uint8_t>(crc >> 24), static_cast<std::uint8_t>(crc >> 16),
                    static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)});
    };
    chunk("IHDR", {0, 0, 0, 1, 0, 0, 0, 1, 8, 6, 0, 0, 0});
    chunk("IDAT", stream);
    chunk("IEND", {});
    return png;
}

// Every chunk's checksum is right; only the stream's own end differs. The quick reader takes
// only a stream that ends exactly with its checksum; libspng, which then reads the file, stops
// once it has every row, and so takes a whole picture with stray bytes after its checksum or
// with the checksum cut short or missing; a wrong checksum it refuses.
TEST(PngIo, TheImageDataMustEndWithItsChecksum) {
    struct Case {
        const char* name;
        Bytes afterBlock;
        bool quick;
        bool read;
    };
    const std::vector<Case> cases = {
        {"its Adler-32", {0x00, 0xCD, 0x00, 0x65}, true, true},
        {"s1 one too many", {0x00, 0xCD, 0x00, 0x66}, false, false},
        {"s2 one too many", {0x00, 0xCE, 0x00, 0x65}, false, false},
        {"a byte after the checksum", {0x00, 0xCD, 0x00, 0x65, 0x00}, false, true},
        {"the checksum cut short", {0x00, 0xCD, 0x00}, false, true},
        {"no checksum", {}, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes png = HandMadePng(c.afterBlock);
        std::vector<std::uint8_t> quick;
        EXPECT_EQ(DecodeFastPng(png, {1, 1, 4}, {}, quick), c.quick);
        Image image;
        ASSERT_EQ(ReadPng(png, image).Ok(), c.read);
        if (c.quick) {
            EXPECT_EQ(quick, (Bytes{10, 20, 30, 40}));
        }
        if (c.read) {
            EXPECT_EQ(image.pixels, (Bytes{10, 20, 30, 40}));
        }
    }
}

TEST(PngIo, HostileInputIsRefusedWithAReason) {
    const Bytes good = SmallPng();
    Bytes badCrc = good;
    badCrc[30] ^= 1;
    PngLimits budget;
    budget.maxPixels = 15;
    struct Case {
        const char* name;
        Bytes bytes;
        PngLimits limits;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {}, "empty"},
        {"not a PNG", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, {}, "not a PNG file"},
        {"signature only", Bytes(good.begin(), good.begin() + 8), {}, "PNG is cut short"},
        {"cut in IHDR", Bytes(good.begin(), good.begin() + 20), {}, "PNG is cut short"},
        {"cut in IDAT", Bytes(good.begin(), good.end() - 20), {}, "PNG is cut short"},
        {"bad CRC", badCrc, {}, "damaged PNG: "},
        {"side limit",
         Resized(good, 20000, 20000),
         {},
         "PNG is 20000 x 20000 pixels; at most 16384 per side is accepted"},
        {"pixel budget",
         Resized(good, 16384, 16384),
         {},
#ifdef __EMSCRIPTEN__
         // A page's memory holds a quarter of the native budget: 4096 x 4096.
         "PNG has 268435456 pixels; at most 16777216 are accepted"},
#else
         "PNG has 268435456 pixels; at most 67108864 are accepted"},
#endif
        {"small budget", good, budget, "PNG has 16 pixels; at most 15 are accepted"},
        {"index past the palette",
         Make({{2, 1, 4, 3}, {0x13}, {{1, 1, 1, 255}, {2, 2, 2, 255}}}),
         {},
         "uses colour 3 of a palette with 2 entries"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image out = Picture(1, 1, {1, 2, 3, 4});
        out.palette = {{1, 2, 3, 4}};
        const Status read = ReadPng(c.bytes, out, c.limits);
        EXPECT_FALSE(read.Ok());
        EXPECT_NE(read.Reason().find(c.expected), std::string::npos) << read.Reason();
        EXPECT_TRUE(out.Empty() && out.pixels.empty() && out.palette.empty());
    }
}

TEST(PngIo, DamageAtAnyByteNeverCrashes) {
    const Bytes good = Make(
        {{3, 2, 4, 3, 1}, {0x12, 0x00, 0x01, 0x20}, {{1, 2, 3, 4}, {5, 6, 7, 255}, {9, 9, 9, 9}}});
    for (std::size_t at = 0; at < good.size(); ++at) {
        Bytes flipped = good;
        flipped[at] ^= 0xFF;
        Bytes zeroed = good;
        zeroed[at] = 0;
        for (const Bytes& bytes : {flipped, zeroed, Bytes(good.begin(), good.begin() + at)}) {
            Image out;
            if (const Status read = ReadPng(bytes, out); read.Ok()) {
                EXPECT_EQ(out.pixels.size(), out.PixelCount() * 4) << "byte " << at;
            } else {
                EXPECT_FALSE(read.Reason().empty()) << "byte " << at;
            }
        }
    }
}

TEST(PngIo, FilesAreWrittenSafelyAndReadWithTheSystemsReason) {
    ScratchDir dir;
    const Bytes png = SmallPng();
    ASSERT_TRUE(WriteFileBytes(dir.Path("a.png"), png).Ok());
    Image image;
    ASSERT_TRUE(ReadPicture(dir.Path("a.png"), image).Ok());
    EXPECT_EQ(image.width, 4);

    EXPECT_EQ(WriteFileBytes(dir.Path("missing/a.png"), png).Text(),
              dir.Path("missing/a.png") + ": cannot create a file in " + dir.Path("missing") +
                  ": No such file or directory");
    EXPECT_EQ(ReadPicture(dir.Path("missing.png"), image).Text(),
              dir.Path("missing.png") + ": cannot open: No such file or directory");
    EXPECT_EQ(ReadPicture(dir.Root().string(), image).Text(),
              dir.Root().string() + ": is a folder, not a file");
    EXPECT_TRUE(image.Empty());
}

}  // namespace
}  // namespace korvale::test
