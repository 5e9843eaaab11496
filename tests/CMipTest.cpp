#include <gtest/gtest.h>

#include <climits>
#include <cstdio>

#include "CMip.h"
#include "TestSupport.h"
#include "Trace.h"

namespace korvale::test {
namespace {

struct MipHeader {
    int miptype = 3;
    std::int32_t powerwidth = 0;
    std::int32_t powerheight = 0;
    std::int32_t col = 0;
    int repeat = 0;
    std::int32_t numimages = 0;
};

ByteBuilder MipHead(const MipHeader& h) {
    ByteBuilder b;
    b.Header(" MIP", 0).Header("MPHD", 18).U8(static_cast<std::uint32_t>(h.miptype));
    b.U32(static_cast<std::uint32_t>(h.powerwidth)).U32(static_cast<std::uint32_t>(h.powerheight));
    b.U32(static_cast<std::uint32_t>(h.col)).U8(static_cast<std::uint32_t>(h.repeat));
    b.U32(static_cast<std::uint32_t>(h.numimages)).U8(0x20).U8(0x20);
    return b;
}

// A type-3 level chunk of the given size whose first pixel carries a marker in its red bits.
Bytes LevelChunk(int width, int height, int marker) {
    CBmap level;
    EXPECT_TRUE(level.Allocate(3, width, height));
    level.Plane(PlaneId::kR)[0] = marker << 3;
    MemStream out;
    EXPECT_EQ(level.Save(out.Get(), CCmap(), false), 1);
    return out.Written();
}

struct MipLoad {
    int result = 0;
    std::string trace;
};

MipLoad LoadMip(CMip& mip, const Bytes& bytes) {
    MemStream in(bytes);
    MipLoad l;
    l.trace = CaptureStdout([&] { l.result = mip.Load(in.Get()); });
    return l;
}

Bytes SaveMip(CMip& mip) {
    MemStream out;
    EXPECT_EQ(mip.Save(out.Get()), 1);
    return out.Written();
}

// Which slots hold data, and each one's width x height and marker.
std::string Slots(const CMip& mip) {
    std::string s;
    for (const int k : mip.FilledSlots()) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        s += std::to_string(k) + ":" + std::to_string(level.Width()) + "x" +
             std::to_string(level.Height()) + "#" +
             std::to_string(level.Plane(PlaneId::kR).empty() ? -1
                                                             : level.Plane(PlaneId::kR)[0] >> 3) +
             " ";
    }
    return s;
}

TEST(CMip, TwoLevelRgb565SetIsExactlyTheseBytes) {
    CMip mip;
    mip.miptype = 3;
    mip.powerwidth = 1;
    mip.powerheight = 1;
    mip.SetRepeatCode(0);
    mip.numimages = 2;
    ASSERT_TRUE(mip.levels[1].Allocate(3, 2, 2));
    for (auto& v : mip.levels[1].Plane(PlaneId::kR)) {
        v = 248;
    }
    ASSERT_TRUE(mip.levels[0].Allocate(3, 1, 1));
    const Bytes bytes = SaveMip(mip);
    const Bytes expectedHead = {
        0x50, 0x49, 0x4D, 0x20, 0,    0,   0, 0, 146, 0, 0, 0,  // MIP
        0x44, 0x48, 0x50, 0x4D, 0,    0,   0, 0, 18,  0, 0, 0,  // MPHD
        0x03,                                                   // miptype
        1,    0,    0,    0,    1,    0,   0, 0, 0,   0, 0, 0,  // exponents, col
        0x00,                                                   // repeat
        2,    0,    0,    0,    0x20, 0x20};                    // numimages
    ASSERT_EQ(bytes.size(), 158U);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 44), expectedHead);
    const Bytes red = LevelChunk(2, 2, 31);
    EXPECT_EQ(Bytes(bytes.begin() + 44, bytes.begin() + 96), Bytes(red.begin(), red.begin() + 52));
    EXPECT_EQ(Bytes(bytes.begin() + 96, bytes.begin() + 104),
              (Bytes{0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8, 0x00, 0xF8}));
    EXPECT_EQ(Bytes(bytes.begin() + 104, bytes.end()), LevelChunk(1, 1, 0));
}

TEST(CMip, LevelsLandInSlotsByTheHeaderExponents) {
    struct Case {
        MipHeader header;
        std::vector<std::pair<int, int>> chunks;
        std::string slots;
    };
    const std::vector<Case> cases = {
        {{3, 3, 3, 0, 0, 4}, {{8, 8}, {4, 4}, {2, 2}, {1, 1}}, "3:8x8#0 2:4x4#1 1:2x2#2 0:1x1#3 "},
        {{3, 1, 3, 0, 0, 4}, {{2, 8}, {1, 4}, {1, 2}, {1, 1}}, "3:2x8#0 2:1x4#1 1:1x2#2 0:1x1#3 "},
        // The first pass (512) reads nothing, so every chunk lands one slot below its size and
        // the last is never read.
        {{3, 9, 9, 0, 0, 10},
         {{512, 1}, {256, 1}, {128, 1}, {64, 1}, {32, 1}, {16, 1}, {8, 1}, {4, 1}, {2, 1}, {1, 1}},
         "8:512x1#0 7:256x1#1 6:128x1#2 5:64x1#3 4:32x1#4 3:16x1#5 2:8x1#6 1:4x1#7 0:2x1#8 "},
        // A non-square set whose taller side decides; numimages beyond the passes that fit.
        {{3, 0, 2, 0, 0, 6}, {{1, 4}, {1, 2}, {1, 1}}, "2:1x4#0 1:1x2#1 0:1x1#2 "},
        // An exponent too large for a 32-bit size is ignored: the other side decides.
        // (The next pass sees 2^30 by 1: too large for any slot, so it reads nothing.)
        {{3, 31, 1, 0, 0, 2}, {{2, 2}, {1, 1}}, "1:2x2#0 "},
        {{3, 2, 2, 0, 0, 0}, {{4, 4}}, ""},
    };
    for (const Case& c : cases) {
        ByteBuilder b = MipHead(c.header);
        int marker = 0;
        for (const auto& [w, h] : c.chunks) {
            b.Append(LevelChunk(w, h, marker++));
        }
        CMip mip;
        const MipLoad l = LoadMip(mip, b.Data());
        EXPECT_EQ(l.result, 1);
        EXPECT_EQ(Slots(mip), c.slots) << l.trace;
    }
}

TEST(CMip, SavingWritesTheSlotsLargestFirst) {
    ByteBuilder b = MipHead({3, 3, 3, 0, 0, 4});
    for (int side : {8, 4, 2, 1}) {
        b.Append(LevelChunk(side, side, side));
    }
    CMip mip;
    ASSERT_EQ(LoadMip(mip, b.Data()).result, 1);
    Bytes expected = b.Data();
    const auto size = static_cast<std::uint32_t>(expected.size() - 12);
    expected[8] = static_cast<std::uint8_t>(size);
    expected[9] = static_cast<std::uint8_t>(size >> 8);
    EXPECT_EQ(SaveMip(mip), expected);
}

TEST(CMip, HeaderTraceAndGlobalPalette) {
    CMip mip;
    MipLoad l = LoadMip(mip, MipHead({2, 3, 1, 5, 2, 0}).Data());
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(l.trace,
              "datasize: 18\nmiptype: 2\npowerwidth: 3 (8)\npowerheight: 1 (2)\ncol?: 5\n"
              "repeating: 2 (h*v): (0*1)\nnumimages: 0\n");
    CCmap allWhite;
    allWhite.SetDefault();
    EXPECT_EQ(mip.globalPalette, allWhite);  // no global CMAP in the file

    MemStream palette;
    (void)PatternPalette(4).Save(palette.Get());
    l = LoadMip(mip, MipHead({0, 0, 0, 0, 0, 0}).Append(palette.Written()).Data());
    EXPECT_NE(l.trace.find("numimages: 0\nGlobal CMAP\nCMAP\n[ 0]:"), std::string::npos) << l.trace;
    EXPECT_EQ(mip.globalPalette, PatternPalette(4));
    // numimages 0 with miptype 0: a save writes the header and the global palette only.
    const Bytes saved = SaveMip(mip);
    EXPECT_EQ(saved.size(), 44U + 76U);
    EXPECT_EQ(saved[8], 108);
}

TEST(CMip, RepeatCodesMapBothWays) {
    const int expectedH[] = {1, 1, 0, 0, 0};
    const int expectedV[] = {1, 0, 1, 0, 0};
    const int written[] = {0, 1, 2, 3, 3};
    const int codes[] = {0, 1, 2, 3, 7};
    for (int i = 0; i < 5; ++i) {
        CMip mip;
        ASSERT_EQ(LoadMip(mip, MipHead({3, 0, 0, 0, codes[i], 0}).Data()).result, 1);
        EXPECT_EQ(mip.hrepeat, expectedH[i]);
        EXPECT_EQ(mip.vrepeat, expectedV[i]);
        EXPECT_EQ(SaveMip(mip)[37], written[i]) << "code " << codes[i];
    }
    CMip odd;
    odd.hrepeat = 2;
    EXPECT_EQ(odd.RepeatCode(), 0);
}

TEST(CMip, ARejectedTagKeepsEverythingAndAMissingMPHDKeepsTheHeader) {
    CMip mip;
    ByteBuilder good = MipHead({3, 1, 1, 9, 1, 2});
    good.Append(LevelChunk(2, 2, 5)).Append(LevelChunk(1, 1, 6));
    ASSERT_EQ(LoadMip(mip, good.Data()).result, 1);
    ASSERT_EQ(Slots(mip), "1:2x2#5 0:1x1#6 ");

    const MipLoad bad = LoadMip(mip, ByteBuilder().Header("SRB ", 84).Data());
    EXPECT_EQ(bad.result, 0);
    EXPECT_EQ(bad.trace, "");
    EXPECT_EQ(Slots(mip), "1:2x2#5 0:1x1#6 ");

    // No MPHD: the header stays, the next word is consumed, and the levels are read by it.
    ByteBuilder noHeader;
    noHeader.Header(" MIP", 0).U32(0).Append(LevelChunk(2, 2, 7)).Append(LevelChunk(1, 1, 8));
    const MipLoad l = LoadMip(mip, noHeader.Data());
    EXPECT_EQ(l.result, 1);
    EXPECT_EQ(mip.col, 9);
    EXPECT_NE(l.trace.find("datasize: 0\nmiptype: 3\npowerwidth: 1 (2)"), std::string::npos)
        << l.trace;
    EXPECT_NE(l.trace.find("repeating: 1 (h*v): (1*0)"), std::string::npos) << l.trace;
    EXPECT_EQ(Slots(mip), "1:2x2#7 0:1x1#8 ");

    EXPECT_EQ(mip.Load(static_cast<ChunkStream>(nullptr)), -1);
    EXPECT_EQ(mip.Save(static_cast<ChunkStream>(nullptr)), -1);
}

TEST(CMip, HostileExponentsAndCountsFinishPromptly) {
    const std::int32_t extremes[] = {INT_MIN, -1, 0, 8, 9, 30, 31, INT_MAX};
    for (const std::int32_t pw : extremes) {
        for (const std::int32_t ph : extremes) {
            CMip mip;
            ByteBuilder b = MipHead({3, pw, ph, 0, 0, INT_MAX});
            b.Append(LevelChunk(1, 1, 1));
            const MipLoad l = LoadMip(mip, b.Data());
            EXPECT_EQ(l.result, 1);
            EXPECT_EQ(mip.Width(), pw >= 0 && pw <= 30 ? 1 << pw : 0);
        }
    }
    EXPECT_EQ(SlotForPass(INT_MAX, INT_MIN, INT_MAX), 0);
    EXPECT_EQ(SlotForPass(INT_MAX, INT_MIN, 5), -1);
    EXPECT_EQ(SlotForPass(INT_MAX, 3, 0), 3);
    EXPECT_EQ(SlotForPass(30, 3, 0), -1);
    EXPECT_EQ(SlotForPass(-5, -1, 0), -1);
    EXPECT_EQ(SlotForPass(4, -100, 4), 0);
    const std::int64_t values[] = {INT_MIN, -9, -1, 0, 4, 8, 9, 30, 31, 1000, INT_MAX};
    for (const std::int64_t pw : values) {
        for (const std::int64_t ph : values) {
            EXPECT_LE(SlotsToRead(pw, ph, INT_MAX).size(), 18U) << pw << " " << ph;
        }
    }
    EXPECT_EQ(SlotsToRead(8, 8, INT_MAX), (std::vector<int>{8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(SlotsToRead(8, 8, 3), (std::vector<int>{8, 7, 6}));
}

TEST(CMip, TheLoadReportNamesTheFirstErrorRejectedLevelsAndACutShortFile) {
    CMip clean;
    ASSERT_TRUE(MakeMipSet(clean, 3, 0, 2));
    const Bytes good = SaveMip(clean);
    CMip mip;
    (void)LoadMip(mip, good);
    EXPECT_TRUE(mip.loadReport.Clean());
    EXPECT_EQ(mip.loadReport.Summary(), "loaded cleanly");

    // Slot 2 declares a width past the limit (its rows are there and are skipped); the file then
    // ends inside slot 0's rows.
    ByteBuilder b = MipHead({3, 2, 2, 0, 0, 3});
    ByteBuilder wide;
    wide.Header("BMAP", 0).Header("BMHD", 14).U8(3).U32(5000).U32(1).U32(4).U8(0).U8(0x20).U8(0x20);
    wide.Header("DATA", 4).U32(0);
    b.Append(wide.Data()).Append(LevelChunk(2, 2, 5));
    const Bytes last = LevelChunk(1, 1, 6);
    b.Append(Bytes(last.begin(), last.end() - 1));
    const MipLoad l = LoadMip(mip, b.Data());
    EXPECT_EQ(l.result, 1);  // the result stays what it always was
    EXPECT_EQ(Slots(mip), "1:2x2#5 ");
    const LoadReport& r = mip.loadReport;
    EXPECT_EQ(r.FirstError(), "BMAP width 5000 out of range 0..4096");
    EXPECT_EQ(r.FirstErrorOffset(), 44 + 25);  // the width field of the first level
    ASSERT_EQ(r.Rejected().size(), 2U);
    EXPECT_EQ(r.Rejected()[0].slot, 2);
    EXPECT_EQ(r.Rejected()[1].slot, 0);
    EXPECT_TRUE(r.WasCutShort());
    EXPECT_EQ(r.Summary(),
              "first error at offset 69: BMAP width 5000 out of range 0..4096\n"
              "level rejected (slot 2) at offset 69: BMAP width 5000 out of range 0..4096\n"
              "level rejected (slot 0) at offset 212: BMAP rows need 2 bytes but 1 remain\n"
              "the file is cut short");
}

// A level of a type none of the six keeps its size, as it always did, but its rows are never
// decoded: the load is not clean.
TEST(CMip, ALevelOfAnUnknownPixelTypeIsInTheLoadReport) {
    ByteBuilder b = MipHead({3, 1, 1, 0, 0, 1});
    b.Header("BMAP", 0).Header("BMHD", 14).U8(7).U32(2).U32(2).U32(4).U8(0).U8(0x20).U8(0x20);
    b.Header("DATA", 8).U32(0xABABABAB).U32(0xABABABAB);
    CMip mip;
    ASSERT_EQ(LoadMip(mip, b.Data()).result, 1);
    EXPECT_EQ(Slots(mip), "1:2x2#0 ");
    const LoadReport& r = mip.loadReport;
    EXPECT_FALSE(r.Clean());
    EXPECT_TRUE(r.Rejected().empty());
    ASSERT_EQ(r.UnknownTypes().size(), 1U);
    EXPECT_EQ(r.UnknownTypes()[0].slot, 1);
    EXPECT_EQ(r.UnknownTypes()[0].offset, 44 + 24);  // its type byte
    EXPECT_EQ(r.UnknownTypes()[0].type, 7);
    EXPECT_EQ(r.Summary(),
              "first error at offset 68: pixel type 7 is none of the six; its pixels were not "
              "read\nlevel in slot 1 at offset 68: pixel type 7 is none of the six; its pixels "
              "were not read");
}

TEST(CMip, ReloadingASavedSetKeepsEveryFieldAndResetsWhatIsRecomputed) {
    for (int miptype : {0, 1, 2, 3}) {
        for (int type = 0; type <= 5; ++type) {
            SCOPED_TRACE(testing::Message() << "miptype " << miptype << " type " << type);
            CMip mip;
            ASSERT_TRUE(MakeMipSet(mip, type, miptype, 4));
            const Bytes saved = SaveMip(mip);
            EXPECT_EQ(saved.size(), static_cast<std::size_t>(mip.SizeWord() + 12));
            CMip loaded;
            ASSERT_EQ(LoadMip(loaded, saved).result, 1);
            EXPECT_EQ(loaded.miptype, miptype);
            EXPECT_EQ(loaded.col, 7);
            EXPECT_EQ(loaded.RepeatCode(), 1);
            EXPECT_EQ(loaded.numimages, 5);
            for (std::size_t k = 0; k < CMip::kSlots; ++k) {
                if (miptype > 2 && type <= 2) {
                    // Without any palette in the file only the indices survive.
                    const auto a = mip.levels[k].Plane(PlaneId::kIndex);
                    const auto b = loaded.levels[k].Plane(PlaneId::kIndex);
                    EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << k;
                } else {
                    EXPECT_TRUE(SameLevel(mip.levels[k], loaded.levels[k])) << "slot " << k;
                }
            }
            EXPECT_EQ(SaveMip(loaded), saved);
        }
    }
}

TEST(CMip, ResavingDropsUnknownBytesAndForeignLevelPalettes) {
    MemStream palette;
    (void)PatternPalette(6).Save(palette.Get());
    Bytes level = LevelChunk(1, 1, 3);
    level[37] = 0x77;  // the unknown byte
    // A level palette in a miptype 3 file is read but not written back.
    Bytes withCmap(level.begin(), level.begin() + 40);
    const Bytes p = palette.Written();
    withCmap.insert(withCmap.end(), p.begin(), p.end());
    withCmap.insert(withCmap.end(), level.begin() + 40, level.end());
    CMip mip;
    const MipLoad l = LoadMip(mip, MipHead({3, 0, 0, 0, 0, 1}).Append(withCmap).Data());
    EXPECT_NE(l.trace.find("unknown=119\nBitmap has a CMAP\n"), std::string::npos) << l.trace;
    EXPECT_EQ(mip.levelPalettes[0], PatternPalette(6));
    const Bytes saved = SaveMip(mip);
    EXPECT_EQ(Bytes(saved.begin() + 44, saved.end()), LevelChunk(1, 1, 3));
}

TEST(CMip, PathFormsOpenReadOnlyAndReportFailures) {
    ScratchDir dir;
    CMip mip;
    ASSERT_TRUE(MakeMipSet(mip, 5, 0, 3));
    const std::string path = dir.Path("set.mip");
    ASSERT_EQ(mip.Save(path), 1);
    const ReadOnlyFile readOnly(path);  // a file the user may not write still loads
    if (!readOnly.Holds()) {
        GTEST_SKIP() << "this file system cannot make a file read-only for this user";
    }
    CMip loaded;
    int result = 0;
    const std::string trace = CaptureStdout([&] { result = loaded.Load(path); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(trace.substr(0, trace.find('\n') + 1), "Loading mip: '" + path + "'\n");
    EXPECT_TRUE(SameLevel(loaded.levels[3], mip.levels[3]));

    const std::string missing = dir.Path("none.mip");
    EXPECT_EQ(CaptureStdout([&] { result = loaded.Load(missing); }),
              "Loading mip: '" + missing + "'\n");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(loaded.loadReport.FirstError(), "cannot open: No such file or directory");
    WriteFile(dir.Path("text.mip"), Bytes{'t', 'e', 'x', 't'});
    (void)CaptureStdout([&] { result = loaded.Load(dir.Path("text.mip")); });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(loaded.loadReport.FirstError(), "not a MIP file: no MIP tag at its start");
    EXPECT_TRUE(loaded.levels[3].HasData());  // what it held stays
    EXPECT_EQ(mip.Save(dir.Path("no/such/folder.mip")), 0);
    EXPECT_EQ(mip.Save("/dev/full"), 0);
}

// The trace line written after the open can fail and set errno itself.
TEST(CMip, AFailedOpenIsReportedWithItsOwnReasonWhenTheTraceFails) {
    FilePtr full(std::fopen("/dev/full", "w"));
    if (!full) {
        GTEST_SKIP() << "no /dev/full";
    }
    std::setvbuf(full.get(), nullptr, _IONBF, 0);
    ScratchDir dir;
    CMip mip;
    {
        const TraceTo trace(full.get());
        EXPECT_EQ(mip.Load(dir.Path("none.mip")), 0);
    }
    EXPECT_EQ(mip.loadReport.FirstError(), "cannot open: No such file or directory");
}

}  // namespace
}  // namespace korvale::test
