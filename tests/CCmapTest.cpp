#include <gtest/gtest.h>

#include "CCmap.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

Bytes PaletteChunk(const CCmap& palette) {
    MemStream out;
    EXPECT_EQ(palette.Save(out.Get()), 1);
    return out.Written();
}

TEST(CCmap, SavesSeventySixBytesWithColourWordsAsBGRA) {
    CCmap palette;
    palette.SetDefault();
    palette.Entry(3) = Colour{10, 20, 30, 40};
    const Bytes bytes = PaletteChunk(palette);
    ASSERT_EQ(bytes.size(), 76U);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12),
              (Bytes{0x50, 0x41, 0x4D, 0x43, 0, 0, 0, 0, 64, 0, 0, 0}));
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.begin() + 28), (Bytes{0x1E, 0x14, 0x0A, 0x28}));
    for (int i = 0; i < 16; ++i) {
        if (i != 3) {
            EXPECT_EQ(Bytes(bytes.begin() + 12 + 4 * i, bytes.begin() + 16 + 4 * i),
                      (Bytes{0xFF, 0xFF, 0xFF, 0xFF}))
                << "entry " << i;
        }
    }
}

TEST(CCmap, LoadReadsBackEveryComponentAndPrintsEachEntry) {
    CCmap palette = PatternPalette(5);
    palette.Entry(3) = Colour{10, 20, 30, 40};
    MemStream in(PaletteChunk(palette));
    CCmap loaded;
    int result = 0;
    const std::string out = CaptureStdout([&] { result = loaded.Load(in.Get()); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(loaded, palette);
    EXPECT_EQ(out.substr(0, 5), "CMAP\n");
    EXPECT_NE(out.find("[ 3]:  10  20  30.  40\n"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 17);
}

TEST(CCmap, RejectedHeadersLeaveThePaletteAndSayWhy) {
    struct Case {
        Bytes bytes;
        std::string line;
        long consumed;
    };
    const Case cases[] = {
        {ByteBuilder().Header("CMAP", 60).Data(), "CMAP size not 64\n", 12},
        {ByteBuilder().Tag("CMAP").U32(1).U32(64).Data(), "CMAP zero not zero\n", 8},
        {ByteBuilder().Header("BMAP", 64).Data(), "Not a CMAP\n", 4},
        {Bytes{}, "Not a CMAP\n", 0},
    };
    for (const Case& c : cases) {
        CCmap palette = PatternPalette(2);
        MemStream in(c.bytes);
        int result = 1;
        const std::string out = CaptureStdout([&] { result = palette.Load(in.Get()); });
        EXPECT_EQ(result, 0);
        EXPECT_EQ(out, c.line);
        EXPECT_EQ(palette, PatternPalette(2));
        EXPECT_EQ(Offset(in.Get()), c.consumed) << c.line;
    }
    CCmap palette;
    EXPECT_EQ(CaptureStdout([&] { EXPECT_EQ(palette.Load(nullptr), 0); }),
              "Can't read from NULL file\n");
    EXPECT_EQ(palette.Save(nullptr), 0);
}

TEST(CCmap, CopyFromTakesAlphaToo) {
    CCmap source = PatternPalette(9);
    source.Entry(15).a = 17;
    CCmap copy;
    copy.CopyFrom(source);
    EXPECT_EQ(copy, source);
    EXPECT_EQ(copy.Entry(15).a, 17);
}

}  // namespace
}  // namespace korvale::test
