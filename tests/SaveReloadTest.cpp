// A save writes only what loads back as it is shown: a set left one slot off by a level lost on
// load, or holding a level whose pixels were never read, is refused with the slots named, and
// RepairHeader makes it savable from what survived.

#include <gtest/gtest.h>

#include <filesystem>

#include "CSrb.h"
#include "TestSupport.h"
#include "Trace.h"

namespace korvale::test {
namespace {

Bytes SaveToBytes(CMip& mip) {
    MemStream out;
    EXPECT_EQ(mip.Save(out.Get()), 1);
    return out.Written();
}

int LoadQuietly(CMip& mip, const Bytes& bytes) {
    const TraceTo quiet(nullptr);
    MemStream in(bytes);
    return mip.Load(in.Get());
}

// Where each level chunk of a saved set starts, by slot.
std::array<std::size_t, CMip::kSlots> ChunkOffsets(const CMip& mip) {
    std::array<std::size_t, CMip::kSlots> at{};
    std::size_t offset = 44 + (mip.SavesGlobalPalette() ? CCmap::kChunkSize : 0);
    for (const int k : mip.FilledSlots()) {
        at[static_cast<std::size_t>(k)] = offset;
        offset += static_cast<std::size_t>(
            mip.levels[static_cast<std::size_t>(k)].ChunkSize(mip.SavesLevelPalettes()));
    }
    return at;
}

// An argb4444 set of 8 x 8 down to 1 x 1 whose level in slot lost is rejected on load: its
// width is past the limit, so its rows are skipped and the next level is read from its start.
struct DamagedSet {
    CMip made;    // as it was before the damage
    CMip loaded;  // the damaged file, loaded
};

void MakeDamaged(DamagedSet& set, int lost) {
    ASSERT_TRUE(MakeMipSet(set.made, 5, 0, 3));
    Bytes bytes = SaveToBytes(set.made);
    const std::size_t width = ChunkOffsets(set.made)[static_cast<std::size_t>(lost)] + 25;
    bytes[width + 1] = 0x50;  // over 20000 wide
    ASSERT_EQ(LoadQuietly(set.loaded, bytes), 1);
    ASSERT_EQ(set.loaded.loadReport.Rejected().size(), 1U);
    ASSERT_EQ(set.loaded.loadReport.Rejected()[0].slot, lost);
}

struct LostLevel {
    int slot;
    std::string reason;
    std::vector<std::string> repairs;
};

const std::string kRepairHint =
    "; korvale-tool convert --repair writes the levels under a header made from them";

const std::vector<LostLevel> kLostLevels = {
    {3,
     "the header (powerwidth 3, powerheight 3, numimages 4) would read the level of slot 2 into "
     "slot 3 and 2 more levels into another slot than their own; it would look for a level for "
     "slot 0 past the last one written, so the file would read as cut short" +
         kRepairHint,
     {"powerwidth 3 -> 2", "powerheight 3 -> 2", "numimages 4 -> 3"}},
    {2,
     "slot 2 holds no level between filled ones, and a file cannot skip a slot; the header "
     "(powerwidth 3, powerheight 3, numimages 4) would read the level of slot 1 into slot 2 and 1 "
     "more level into another slot than its own; it would look for a level for slot 0 past the "
     "last one written, so the file would read as cut short" +
         kRepairHint,
     {"slot 2 was missing: made from slot 3 by averaging 2 x 2 blocks"}},
    {0,
     "the header (powerwidth 3, powerheight 3, numimages 4) would look for a level for slot 0 "
     "past the last one written, so the file would read as cut short" +
         kRepairHint,
     {"numimages 4 -> 3"}},
};

TEST(SaveReload, ASetWithALevelLostOnLoadIsRefusedWithTheSlotsNamed) {
    for (const LostLevel& c : kLostLevels) {
        SCOPED_TRACE(testing::Message() << "slot " << c.slot << " lost");
        DamagedSet set;
        MakeDamaged(set, c.slot);
        EXPECT_EQ(set.loaded.CheckReloadsAsShown().Reason(), c.reason);

        ScratchDir dir;
        const Status mip = set.loaded.SaveFile(dir.Path("out.mip"));
        EXPECT_EQ(mip.Text(), dir.Path("out.mip") + ": " + c.reason);
        CSrb record;
        record.mip = std::move(set.loaded);
        const Status srb = record.SaveFiles(dir.Path("out.srb"));
        EXPECT_EQ(srb.Text(), dir.Path("out.srb") + ": " + c.reason);
        EXPECT_EQ(dir.List(), std::vector<std::string>{}) << "nothing is written";
    }
}

TEST(SaveReload, RepairKeepsWhatSurvivedAndTheFileLoadsBackCleanly) {
    for (const LostLevel& c : kLostLevels) {
        SCOPED_TRACE(testing::Message() << "slot " << c.slot << " lost");
        DamagedSet set;
        MakeDamaged(set, c.slot);
        EXPECT_EQ(set.loaded.RepairHeader(), c.repairs);
        EXPECT_TRUE(set.loaded.CheckReloadsAsShown().Ok());
        EXPECT_EQ(set.loaded.RepairHeader(), std::vector<std::string>{}) << "nothing left to do";

        ScratchDir dir;
        ASSERT_TRUE(set.loaded.SaveFile(dir.Path("out.mip")).Ok());
        CMip back;
        ASSERT_EQ(LoadQuietly(back, ReadFile(dir.Path("out.mip"))), 1);
        EXPECT_EQ(back.loadReport.Summary(), "loaded cleanly");
        for (int k = 0; k < CMip::kSlots; ++k) {
            const auto slot = static_cast<std::size_t>(k);
            if (k != c.slot) {
                EXPECT_TRUE(SameLevel(back.levels[slot], set.made.levels[slot])) << "slot " << k;
            }
        }
        // A lost middle level is made again; a lost end of the chain stays lost.
        EXPECT_EQ(back.levels[static_cast<std::size_t>(c.slot)].HasData(), c.slot == 2);
        EXPECT_EQ(back.levels[2].Width(), 4);
    }
}

// The level above, and what the slot below it is made of: each pixel the mean of a 2 x 2 block.
TEST(SaveReload, AMissingMiddleLevelIsAveragedFromTheOneAbove) {
    struct Case {
        int type;
        std::vector<std::int32_t> red;  // the 4 x 2 level above, row by row; for pal4 indices
        std::vector<std::int32_t> made;
    };
    const std::vector<Case> cases = {
        // argb4444 stores multiples of 16: the means 28 and 236 are nearest 32 and 240.
        {5, {0, 16, 240, 240, 32, 64, 240, 224}, {32, 240}},
        // The entries' reds are 0, 100, 200 and 50: the means 50 and 75. 75 is as near 100 as
        // 50, and the first entry wins.
        {0, {0, 1, 0, 0, 0, 1, 1, 2}, {3, 1}},
    };
    CCmap palette;
    for (int i = 0; i < CCmap::kEntries; ++i) {
        palette.Entry(i) = Colour{0, 0, 255, 0};
    }
    for (const int i : {0, 1, 2, 3}) {
        palette.Entry(i) = Colour{(i == 3 ? 50 : i * 100), 0, 0, 255};
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type);
        const bool pal = c.type == 0;
        CMip mip;
        mip.miptype = 2;
        CBmap top;
        ASSERT_TRUE(top.Allocate(c.type, 4, 2));
        for (std::size_t i = 0; i < c.red.size(); ++i) {
            const Colour colour = pal ? palette.Entry(c.red[i]) : Colour{c.red[i], 0, 0, 240};
            top.Plane(PlaneId::kR)[i] = colour.r;
            top.Plane(PlaneId::kA)[i] = colour.a;
            top.Plane(PlaneId::kIndex)[i] = pal ? c.red[i] : 255;
        }
        CBmap bottom;
        ASSERT_TRUE(bottom.Allocate(c.type, 1, 1));
        ASSERT_TRUE(mip.SetLevel(std::move(top), &palette));
        ASSERT_TRUE(mip.SetLevel(std::move(bottom), &palette));
        EXPECT_NE(mip.CheckReloadsAsShown().Reason().find("slot 1 holds no level"),
                  std::string::npos);

        EXPECT_EQ(mip.RepairHeader(),
                  std::vector<std::string>{"slot 1 was missing: made from slot 2 by averaging 2 "
                                           "x 2 blocks"});
        const CBmap& made = mip.levels[1];
        ASSERT_EQ(made.Type(), c.type);
        ASSERT_EQ(made.Width(), 2);
        ASSERT_EQ(made.Height(), 1);
        const auto red = made.Plane(pal ? PlaneId::kIndex : PlaneId::kR);
        EXPECT_EQ(std::vector<std::int32_t>(red.begin(), red.end()), c.made);
        EXPECT_EQ(mip.LevelPalette(1), palette);

        // What the file holds is what was made.
        CMip back;
        ASSERT_EQ(LoadQuietly(back, SaveToBytes(mip)), 1);
        EXPECT_TRUE(back.loadReport.Clean());
        EXPECT_TRUE(SameLevel(back.levels[1], made));
    }
}

// Sets the loader reads in an unusual way, but back into the same slots: saved as always.
TEST(SaveReload, OddSetsThatReloadTheSameSaveExactlyAsBefore) {
    auto chunk = [](int width, int height) {
        CBmap level;
        EXPECT_TRUE(level.Allocate(3, width, height));
        MemStream out;
        EXPECT_EQ(level.Save(out.Get(), CCmap(), false), 1);
        return out.Written();
    };
    auto head = [](std::int32_t pw, std::int32_t ph, std::int32_t n) {
        ByteBuilder b;
        b.Header(" MIP", 0).Header("MPHD", 18).U8(3).U32(static_cast<std::uint32_t>(pw));
        b.U32(static_cast<std::uint32_t>(ph)).U32(0).U8(0).U32(static_cast<std::uint32_t>(n));
        b.U8(0x20).U8(0x20);
        return b;
    };
    struct Case {
        const char* name;
        Bytes file;
    };
    // Exponent 9 with numimages 10: the first pass reads nothing, so the 512-wide level lands in
    // slot 8 and the last chunk is never read.
    ByteBuilder nine = head(9, 9, 10);
    for (int side = 512; side >= 1; side /= 2) {
        nine.Append(chunk(side, 1));
    }
    ByteBuilder tall = head(1, 3, 4);
    for (const auto& [w, h] : {std::pair{2, 8}, {1, 4}, {1, 2}, {1, 1}}) {
        tall.Append(chunk(w, h));
    }
    CMip full;
    ASSERT_TRUE(MakeMipSet(full, 0, 2, 4));
    const std::vector<Case> cases = {
        {"exponent 9, numimages 10", nine.Data()},
        {"powerwidth 1, powerheight 3", tall.Data()},
        {"numimages 0", head(2, 2, 0).Append(chunk(4, 4)).Data()},
        {"a full set", SaveToBytes(full)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMip mip;
        ASSERT_EQ(LoadQuietly(mip, c.file), 1);
        ASSERT_TRUE(mip.loadReport.Clean());
        EXPECT_TRUE(mip.CheckReloadsAsShown().Ok()) << mip.CheckReloadsAsShown().Reason();
        EXPECT_EQ(mip.RepairHeader(), std::vector<std::string>{});
        ScratchDir dir;
        ASSERT_TRUE(mip.SaveFile(dir.Path("out.mip")).Ok());
        EXPECT_EQ(ReadFile(dir.Path("out.mip")), SaveToBytes(mip));
    }
    CMip empty;
    EXPECT_TRUE(empty.CheckReloadsAsShown().Ok());
    CSrb record;
    ScratchDir dir;
    EXPECT_TRUE(record.SaveFiles(dir.Path("empty.srb")).Ok());
}

// A level of type 7 between two rgb565 levels, 2 x 2 with its 8 bytes of rows.
Bytes UnknownTypeFile() {
    ByteBuilder b;
    // miptype 3, exponents 2 and 2, col 0, repeat 0, numimages 3
    b.Header(" MIP", 0).Header("MPHD", 18).U8(3).U32(2).U32(2).U32(0).U8(0);
    b.U32(3).U8(0x20).U8(0x20);
    auto level = [&b](int type, int side) {
        const auto bpr = static_cast<std::uint32_t>(2 * side);
        b.Header("BMAP", 0).Header("BMHD", 14).U8(static_cast<std::uint32_t>(type));
        b.U32(static_cast<std::uint32_t>(side)).U32(static_cast<std::uint32_t>(side)).U32(bpr);
        b.U8(0).U8(0x20).U8(0x20).Header("DATA", bpr * static_cast<std::uint32_t>(side));
        for (std::uint32_t i = 0; i < bpr * static_cast<std::uint32_t>(side); ++i) {
            b.U8(0xAB);
        }
    };
    level(3, 4);
    level(7, 2);
    level(3, 1);
    return b.Data();
}

TEST(SaveReload, ALevelOfAnUnknownPixelTypeIsNotSavedWithoutItsPixels) {
    CMip mip;
    ASSERT_EQ(LoadQuietly(mip, UnknownTypeFile()), 1);
    ASSERT_TRUE(mip.levels[1].HasData());  // kept for its size, as before
    EXPECT_FALSE(mip.loadReport.Clean());

    ScratchDir dir;
    EXPECT_EQ(mip.SaveFile(dir.Path("out.mip")).Reason(),
              "the level in slot 1 has a pixel type none of the six: its pixels were never read, "
              "and the file would hold it without any; korvale-tool convert --repair writes the "
              "levels of the six types under a header made from them");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.mip")));

    // Dropping it leaves a gap, made again from the level above.
    EXPECT_EQ(mip.RepairHeader(),
              (std::vector<std::string>{
                  "slot 1 dropped: its pixel type 7 is none of the six, so its pixels were never "
                  "read",
                  "slot 1 was missing: made from slot 2 by averaging 2 x 2 blocks"}));
    EXPECT_EQ(mip.levels[1].Type(), 3);
    ASSERT_TRUE(mip.SaveFile(dir.Path("out.mip")).Ok());
    CMip back;
    ASSERT_EQ(LoadQuietly(back, ReadFile(dir.Path("out.mip"))), 1);
    EXPECT_TRUE(back.loadReport.Clean()) << back.loadReport.Summary();
    EXPECT_EQ(back.FilledSlots(), (std::vector<int>{2, 1, 0}));
}

}  // namespace
}  // namespace korvale::test
