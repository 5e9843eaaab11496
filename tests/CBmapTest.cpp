#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#if defined(__SANITIZE_ADDRESS__)
#define KORVALE_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVALE_TEST_ASAN 1
#endif
#endif

#include "CBmap.h"
#include "Limits.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

// The BMAP chunk up to the end of BMHD's fill bytes.
ByteBuilder BmapHead(int type, std::int32_t width, std::int32_t height, std::int32_t bpr,
                     int unknown = 0) {
    ByteBuilder b;
    b.Header("BMAP", 0).Header("BMHD", 14).U8(static_cast<std::uint32_t>(type));
    b.U32(static_cast<std::uint32_t>(width)).U32(static_cast<std::uint32_t>(height));
    b.U32(static_cast<std::uint32_t>(bpr))
        .U8(static_cast<std::uint32_t>(unknown))
        .U8(0x20)
        .U8(0x20);
    return b;
}

// A BMAP chunk with its size word set to what follows it, as the writer sets it.
Bytes Sealed(const ByteBuilder& b) {
    Bytes bytes = b.Data();
    const auto size = static_cast<std::uint32_t>(bytes.size() - 12);
    for (int i = 0; i < 4; ++i) {
        bytes[8 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (8 * i));
    }
    return bytes;
}

const Bytes kRed2x2 = {
    0x50, 0x41, 0x4D, 0x42, 0,    0,    0,    0,   0x30, 0, 0, 0,  // BMAP, size 48
    0x44, 0x48, 0x4D, 0x42, 0,    0,    0,    0,   0x0E, 0, 0, 0,  // BMHD, 14
    0x03, 2,    0,    0,    0,    2,    0,    0,   0,    4, 0, 0, 0, 0x00, 0x20, 0x20,  // fields
    0x41, 0x54, 0x41, 0x44, 0,    0,    0,    0,   8,    0, 0, 0,                       // DATA, 8
    0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8};

struct Loaded {
    int result = 0;
    std::string trace;
};

Loaded LoadLevel(CBmap& level, const Bytes& bytes, CCmap& levelPalette, const CCmap& global) {
    MemStream in(bytes);
    Loaded l;
    l.trace = CaptureStdout([&] { l.result = level.Load(in.Get(), levelPalette, global); });
    return l;
}

Loaded LoadLevel(CBmap& level, const Bytes& bytes) {
    CCmap levelPalette;
    CCmap global;
    global.SetDefault();
    return LoadLevel(level, bytes, levelPalette, global);
}

Bytes SaveLevel(CBmap& level, const CCmap& palette, bool withPalette) {
    MemStream out;
    EXPECT_EQ(level.Save(out.Get(), palette, withPalette), 1);
    return out.Written();
}

std::vector<std::int32_t> PlaneOf(const CBmap& level, PlaneId id) {
    const auto p = level.Plane(id);
    return {p.begin(), p.end()};
}

TEST(CBmap, RedTwoByTwoRgb565IsExactlyTheseSixtyBytes) {
    CBmap level;
    ASSERT_TRUE(level.Allocate(3, 2, 2));
    for (auto& v : level.Plane(PlaneId::kR)) {
        v = 248;
    }
    for (auto& v : level.Plane(PlaneId::kA)) {
        v = 255;
    }
    EXPECT_EQ(SaveLevel(level, CCmap(), false), kRed2x2);

    CBmap loaded;
    const Loaded l = LoadLevel(loaded, kRed2x2);
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(l.trace, "CBmap::Load\nBMAP. Type=3, Size=(2*2), BPR=4, unknown=0\n");
    EXPECT_EQ(PlaneOf(loaded, PlaneId::kR), (std::vector<std::int32_t>{248, 248, 248, 248}));
    EXPECT_EQ(PlaneOf(loaded, PlaneId::kG), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(PlaneOf(loaded, PlaneId::kB), (std::vector<std::int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(PlaneOf(loaded, PlaneId::kA), (std::vector<std::int32_t>{255, 255, 255, 255}));
    EXPECT_EQ(PlaneOf(loaded, PlaneId::kIndex), (std::vector<std::int32_t>{255, 255, 255, 255}));
}

struct PixelCase {
    int type;
    std::uint16_t stored;
    Colour decoded;
};

TEST(CBmap, SixteenBitTypesDecodeAndEncodeByTheirBitLayouts) {
    const PixelCase cases[] = {
        {3, 0xFFFF, {248, 252, 248, 255}},     {3, 0xF800, {248, 0, 0, 255}},
        {4, 0x8000, {0, 0, 0, 128}},           {4, 0x7FFF, {248, 248, 248, 0}},
        {5, 0xE953, {0x90, 0x50, 0x30, 0xE0}}, {5, 0xFFFF, {240, 240, 240, 240}},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " value " << c.stored);
        const Bytes file = Sealed(BmapHead(c.type, 1, 1, 2).Header("DATA", 2).U16(c.stored));
        CBmap level;
        ASSERT_EQ(LoadLevel(level, file).result, 1);
        EXPECT_EQ(level.Plane(PlaneId::kR)[0], c.decoded.r);
        EXPECT_EQ(level.Plane(PlaneId::kG)[0], c.decoded.g);
        EXPECT_EQ(level.Plane(PlaneId::kB)[0], c.decoded.b);
        EXPECT_EQ(level.Plane(PlaneId::kA)[0], c.decoded.a);
        EXPECT_EQ(level.Plane(PlaneId::kIndex)[0], 255);
        EXPECT_EQ(SaveLevel(level, CCmap(), false), file);
    }
}

TEST(CBmap, EncodingDropsTheBitsATypeCannotHold) {
    struct Case {
        int type;
        Colour in;
        std::uint16_t stored;
    };
    const Case cases[] = {
        {5, {0x9F, 0x5A, 0x3C, 0xE7}, 0xE953},
        {4, {0, 0, 0, 200}, 0x8000},
        {4, {0, 0, 0, 100}, 0x0000},
        {3, {255, 255, 255, 0}, 0xFFFF},
    };
    for (const Case& c : cases) {
        CBmap level;
        ASSERT_TRUE(level.Allocate(c.type, 1, 1));
        level.Plane(PlaneId::kR)[0] = c.in.r;
        level.Plane(PlaneId::kG)[0] = c.in.g;
        level.Plane(PlaneId::kB)[0] = c.in.b;
        level.Plane(PlaneId::kA)[0] = c.in.a;
        const Bytes bytes = SaveLevel(level, CCmap(), false);
        ASSERT_EQ(bytes.size(), 54U);
        EXPECT_EQ(bytes[52] | bytes[53] << 8, c.stored) << "type " << c.type;
    }
}

TEST(CBmap, PalettisedRowsUseTheHighNibbleFirstAndTheLevelPalette) {
    // 1 x 4 of type 0: each row's byte gives column 0 from its high nibble; the low is unused.
    const Bytes oneWide =
        Sealed(BmapHead(0, 1, 4, 1).Header("DATA", 4).U8(0x1F).U8(0x2F).U8(0x3F).U8(0x4F));
    CBmap level;
    CCmap levelPalette;
    const CCmap global = PatternPalette(3);
    const Loaded l = LoadLevel(level, oneWide, levelPalette, global);
    ASSERT_EQ(l.result, 1);
    EXPECT_EQ(levelPalette, global);  // no CMAP in the level: the global palette is copied
    EXPECT_EQ(PlaneOf(level, PlaneId::kIndex), (std::vector<std::int32_t>{1, 2, 3, 4}));
    EXPECT_EQ(level.Plane(PlaneId::kR)[2], global.Entry(3).r);
    EXPECT_EQ(level.Plane(PlaneId::kA)[3], global.Entry(4).a);
    // Saved again, the unused low nibbles come back as 0.
    const Bytes saved = SaveLevel(level, levelPalette, false);
    EXPECT_EQ(Bytes(saved.end() - 4, saved.end()), (Bytes{0x10, 0x20, 0x30, 0x40}));

    // 3 x 1 of types 1 and 2: two pixels in the first byte, one in the high nibble of the next.
    for (int type : {1, 2}) {
        const Bytes odd = Sealed(BmapHead(type, 3, 1, 2).Header("DATA", 2).U8(0xAB).U8(0xC0));
        CBmap l3;
        ASSERT_EQ(LoadLevel(l3, odd).result, 1);
        EXPECT_EQ(PlaneOf(l3, PlaneId::kIndex), (std::vector<std::int32_t>{10, 11, 12}));
        EXPECT_EQ(SaveLevel(l3, CCmap(), false), odd);
    }
}

TEST(CBmap, ALevelCMAPIsReadForEveryTypeAndWrittenOnlyForPalettisedOnes) {
    const CCmap own = PatternPalette(8);
    MemStream paletteOut;
    (void)own.Save(paletteOut.Get());
    const Bytes ownChunk = paletteOut.Written();
    for (int type : {0, 3}) {
        const Bytes file = Sealed(BmapHead(type, 1, 1, type == 0 ? 1 : 2)
                                      .Append(ownChunk)
                                      .Header("DATA", type == 0 ? 1 : 2)
                                      .Append(type == 0 ? Bytes{0x50} : Bytes{0x00, 0xF8}));
        CBmap level;
        CCmap levelPalette;
        CCmap global;
        global.SetDefault();
        const Loaded l = LoadLevel(level, file, levelPalette, global);
        ASSERT_EQ(l.result, 1);
        EXPECT_NE(l.trace.find("Bitmap has a CMAP\nCMAP\n[ 0]:"), std::string::npos) << l.trace;
        EXPECT_EQ(levelPalette, own);
        const Bytes withPalette = SaveLevel(level, levelPalette, true);
        EXPECT_EQ(withPalette.size(), static_cast<std::size_t>(level.ChunkSize(true)));
        EXPECT_EQ(withPalette.size(), type == 0 ? 129U : 54U);
    }
}

TEST(CBmap, ChunkSizeDependsOnTypeSizeAndFlag) {
    CBmap level;
    ASSERT_TRUE(level.Allocate(0, 8, 8));
    EXPECT_EQ(level.ChunkSize(true), 160);
    EXPECT_EQ(level.ChunkSize(false), 84);
    const Bytes saved = SaveLevel(level, CCmap(), true);
    EXPECT_EQ(saved.size(), 160U);
    EXPECT_EQ(saved[8], 148);
    EXPECT_EQ(SaveLevel(level, CCmap(), false)[8], 72);
    ASSERT_TRUE(level.Allocate(3, 16, 16));
    EXPECT_EQ(level.ChunkSize(true), 564);
    EXPECT_EQ(level.ChunkSize(false), 564);
    ASSERT_TRUE(level.Allocate(9, 16, 16));  // unknown type: no rows
    EXPECT_EQ(level.ChunkSize(true), 52);
}

TEST(CBmap, RoundTripsEveryTypeWithAndWithoutItsPalette) {
    for (int type = 0; type <= 5; ++type) {
        for (bool withPalette : {false, true}) {
            for (const auto& [w, h] : {std::pair{8, 8}, std::pair{5, 3}, std::pair{1, 7}}) {
                SCOPED_TRACE(testing::Message() << "type " << type << " " << w << "x" << h
                                                << (withPalette ? " with palette" : ""));
                CBmap level;
                ASSERT_TRUE(FillPattern(level, type, w, h, 11));
                const CCmap palette = PatternPalette(11);
                const Bytes saved = SaveLevel(level, palette, withPalette);
                ASSERT_EQ(saved.size(), static_cast<std::size_t>(level.ChunkSize(withPalette)));
                CBmap loaded;
                CCmap loadedPalette;
                // Without its own palette a palettised level decodes through the global one.
                const Loaded l = LoadLevel(loaded, saved, loadedPalette, palette);
                ASSERT_EQ(l.result, 1);
                EXPECT_TRUE(SameLevel(level, loaded));
                EXPECT_EQ(loadedPalette, palette);
                EXPECT_EQ(SaveLevel(loaded, loadedPalette, withPalette), saved);
            }
        }
    }
}

TEST(CBmap, RejectedHeadersSayWhyAndLeaveTheLevelEmpty) {
    const Bytes body = Bytes{0x03, 1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 0, 0x20, 0x20};
    struct Case {
        Bytes bytes;
        std::string line;
    };
    const Case cases[] = {
        {ByteBuilder().Header("BMAQ", 54).Data(), "Not a BMAP\n"},
        {ByteBuilder().Tag("BMAP").U32(1).U32(54).Data(), "Not zero\n"},
        {ByteBuilder().Header("BMAP", 54).Header("BMHX", 14).Data(), "Not a BMHD\n"},
        {ByteBuilder().Header("BMAP", 54).Tag("BMHD").U32(2).U32(14).Data(), "Not zero\n"},
        {ByteBuilder().Header("BMAP", 54).Header("BMHD", 16).Append(body).Data(),
         "BMHD wrong size\n"},
        {Bytes{}, "Not a BMAP\n"},
    };
    for (const Case& c : cases) {
        CBmap level;
        const Loaded l = LoadLevel(level, c.bytes);
        EXPECT_EQ(l.result, 0);
        EXPECT_EQ(l.trace, "CBmap::Load\n" + c.line);
        EXPECT_FALSE(level.HasData());
        EXPECT_EQ(level.Type(), CBmap::kEmptyType);
    }
    CBmap level;
    CCmap p;
    EXPECT_EQ(CaptureStdout([&] { EXPECT_EQ(level.Load(nullptr, p, p), 0); }), "");
    EXPECT_EQ(level.Save(nullptr, p, false), 0);
}

// Every size limit at its edge. A rejected level whose rows are in the file must still be read
// past, so that the level after it starts where it should.
TEST(CBmap, SizeLimitsAtTheirEdgesAndRejectedRowsAreSkipped) {
    struct Case {
        int type;
        std::int32_t width, height, bpr;
        std::int64_t rows;  // bytes of rows actually in the file
        std::string line;   // the rejection line; empty when the level loads
    };
    const Case cases[] = {
        {3, 4096, 1, 8192, 8192, ""},
        {0, 1, 4096, 1, 4096, ""},
        {5, 256, 256, 0, 0, ""},         // the free allowance: no rows needed, pixels read as 0
        {0, 1024, 128, 512, 65536, ""},  // past it, two pixels per byte of rows
        {3, -1, 2, 4, 8, "BMAP width -1 out of range 0..4096 at offset 25\n"},
        {3, 4097, 1, 8194, 8194, "BMAP width 4097 out of range 0..4096 at offset 25\n"},
        {0, 1, 4097, 1, 4097, "BMAP height 4097 out of range 0..4096 at offset 29\n"},
        {3, 2, -2147483647 - 1, 4, 0,
         "BMAP height -2147483648 out of range 0..4096 at offset 29\n"},
        {3, 2, 2, -4, 0, "BMAP BPR -4 is negative at offset 33\n"},
        {5, 257, 256, 0, 0,
         "BMAP size (257*256) needs more than the 0 bytes of its rows at offset 25\n"},
        {0, 1024, 128, 511, 65408,
         "BMAP size (1024*128) needs more than the 65408 bytes of its rows at offset 25\n"},
        {3, 4096, 4096, 0, 0,
         "BMAP size (4096*4096) needs more than the 0 bytes of its rows at offset 25\n"},
        {3, 2, 2, 2147483647, 8, "BMAP rows need 4294967294 bytes but 68 remain at offset 52\n"},
        {3, 2, 4096, 4, 8, "BMAP rows need 16384 bytes but 68 remain at offset 52\n"},
    };
    for (const Case& c : cases) {
        ByteBuilder b = BmapHead(c.type, c.width, c.height, c.bpr)
                            .Header("DATA", static_cast<std::uint32_t>(c.rows));
        b.Append(Bytes(static_cast<std::size_t>(c.rows), 0));
        const std::size_t end = b.Data().size();
        b.Append(kRed2x2);  // the next level: 60 bytes
        MemStream in(b.Data());
        CBmap level;
        CCmap palette;
        LoadReport report;
        int result = -1;
        const std::string trace =
            CaptureStdout([&] { result = level.Load(in.Get(), palette, palette, &report, 4); });
        const std::string fields = "BMAP. Type=" + std::to_string(c.type) + ", Size=(" +
                                   std::to_string(c.width) + "*" + std::to_string(c.height) +
                                   "), BPR=" + std::to_string(c.bpr) + ", unknown=0\n";
        EXPECT_EQ(trace, "CBmap::Load\n" + fields + c.line);
        EXPECT_EQ(result, c.line.empty() ? 1 : 0) << c.line;
        EXPECT_EQ(level.HasData(), c.line.empty()) << c.line;
        EXPECT_EQ(report.Rejected().size(), c.line.empty() ? 0U : 1U) << c.line;
        if (static_cast<std::int64_t>(c.bpr) * c.height == c.rows) {
            EXPECT_EQ(Offset(in.Get()), static_cast<long>(end)) << c.line;
            CBmap next;
            EXPECT_EQ(CaptureStdout([&] {
                          EXPECT_EQ(next.Load(in.Get(), palette, palette), 1);
                      }).find("Not a BMAP"),
                      std::string::npos)
                << c.line;
        }
    }
}

TEST(CBmap, AMovedFromLevelIsEmptyInEveryField) {
    CBmap level;
    ASSERT_TRUE(level.Allocate(3, 4, 2));
    const CBmap taken = std::move(level);
    EXPECT_EQ(taken.Width(), 4);
    EXPECT_FALSE(level.HasData());  // NOLINT(bugprone-use-after-move): what is left is the point
    EXPECT_EQ(level.Type(), CBmap::kEmptyType);
    EXPECT_EQ(level.Width(), 0);
    EXPECT_EQ(level.Height(), 0);
    EXPECT_EQ(level.Bpr(), 0);
    EXPECT_EQ(level.ChunkSize(false), 52);  // headers only: no rows promised
}

TEST(CBmap, RowsOfAnyLengthStayInsideTheirBuffers) {
    // BPR far above what the width needs (and above 1024): the extra bytes are skipped.
    {
        ByteBuilder b = BmapHead(3, 2, 2, 2000).Header("DATA", 4000);
        for (int r = 0; r < 2; ++r) {
            b.U16(0xF800).U16(0x07E0);
            b.Append(Bytes(1996, 0xEE));
        }
        CBmap level;
        ASSERT_EQ(LoadLevel(level, b.Data()).result, 1);
        EXPECT_EQ(PlaneOf(level, PlaneId::kG), (std::vector<std::int32_t>{0, 252, 0, 252}));
        EXPECT_EQ(SaveLevel(level, CCmap(), false).size(), 60U);  // BPR recomputed to 4
    }
    // An odd BPR too short for the width: the half pixel and the uncovered ones read as 0.
    {
        const Bytes file = Sealed(BmapHead(4, 3, 1, 3).Header("DATA", 3).U16(0xFFFF).U8(0xFF));
        CBmap level;
        ASSERT_EQ(LoadLevel(level, file).result, 1);
        EXPECT_EQ(PlaneOf(level, PlaneId::kR), (std::vector<std::int32_t>{248, 0, 0}));
        EXPECT_EQ(PlaneOf(level, PlaneId::kIndex), (std::vector<std::int32_t>{255, 0, 0}));
    }
    // BPR 0 with rows to cover: a small level loads with zeroed planes.
    {
        const Bytes file = Sealed(BmapHead(0, 16, 16, 0).Header("DATA", 0));
        CBmap level;
        ASSERT_EQ(LoadLevel(level, file).result, 1);
        const auto r = level.Plane(PlaneId::kR);
        EXPECT_EQ(r.size(), 256U);
        EXPECT_TRUE(std::all_of(r.begin(), r.end(), [](std::int32_t v) { return v == 0; }));
    }
}

// Runs body in a child process whose address space is capped, so an allocation sized from a
// hostile field fails there instead of succeeding quietly. (AddressSanitizer reserves far more
// address space than any cap allows, so under it the body runs without one.)
bool RunsWithin(rlim_t bytes, const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
#ifndef KORVALE_TEST_ASAN
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
#else
        (void)bytes;
#endif
        bool ok = false;
        try {
            ok = body();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(CBmap, AHugeBprWithoutRowsAllocatesNoRowBuffer) {
    // Found by fuzzing: height 0 means no rows need to be in the file, so the BPR is not bounded
    // by the file's size, and a row buffer sized from it took 1.4 GB.
    for (const std::int32_t bpr : {1413554208, 2147483647}) {
        const Bytes file = Sealed(BmapHead(0, 2, 0, bpr).Header("DATA", 0));
        EXPECT_TRUE(RunsWithin(std::size_t{512} << 20, [&] {
            CBmap level;
            return LoadLevel(level, file).result == 1 && level.HasData() &&
                   level.Plane(PlaneId::kR).empty();
        })) << bpr;
    }
}

TEST(CBmap, UnknownTypesAndEmptySizesStillLoadTheirPlanes) {
    const Bytes file = Sealed(BmapHead(9, 2, 2, 3).Header("DATA", 6).U16(1).U8(2).U16(3).U8(4));
    CBmap level;
    ASSERT_EQ(LoadLevel(level, file).result, 1);
    EXPECT_TRUE(level.HasData());
    EXPECT_EQ(level.Type(), 9);
    const Bytes saved = SaveLevel(level, CCmap(), true);
    EXPECT_EQ(saved.size(), 52U);  // BPR 0, empty DATA body
    CBmap empty;
    ASSERT_EQ(LoadLevel(empty, Sealed(BmapHead(3, 5, 0, 10).Header("DATA", 0))).result, 1);
    EXPECT_TRUE(empty.HasData());
    EXPECT_EQ(empty.Plane(PlaneId::kR).size(), 0U);
    empty.Reset();
    EXPECT_FALSE(empty.HasData());
    EXPECT_EQ(empty.Type(), 255);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(CBmap, AllocateRefusesSizesOutsideTheLimits) {
    CBmap level;
    EXPECT_FALSE(level.Allocate(3, limits::kMaxSide + 1, 1));
    EXPECT_FALSE(level.Allocate(3, 1, -1));
    EXPECT_FALSE(level.Allocate(256, 1, 1));
    EXPECT_FALSE(level.HasData());
    EXPECT_TRUE(level.Allocate(5, limits::kMaxSide, 1));
    EXPECT_EQ(level.Bpr(), 2 * limits::kMaxSide);
    // Moving a level hands its planes over whole.
    CBmap moved(std::move(level));
    EXPECT_TRUE(moved.HasData());
    EXPECT_EQ(moved.Plane(PlaneId::kIndex).size(), static_cast<std::size_t>(limits::kMaxSide));
    EXPECT_FALSE(level.HasData());  // NOLINT(bugprone-use-after-move): the point of the check
    EXPECT_TRUE(level.Plane(PlaneId::kR).empty());
}

}  // namespace
}  // namespace korvale::test
