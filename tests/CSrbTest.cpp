#include <gtest/gtest.h>

#include <bit>

#include "CSrb.h"
#include "CompanionFile.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

ByteBuilder SrbHead(std::initializer_list<float> values) {
    ByteBuilder b;
    b.Header("SRB ", 84).Header("SRHD", 24);
    for (float v : values) {
        b.F32(v);
    }
    b.Header("SRH2", 36);
    for (int i = 0; i < 9; ++i) {
        b.U32(0);
    }
    return b;
}

TEST(CSrb, SavesTheHeaderTheMipSetAndTheCompanion) {
    ScratchDir dir;
    CSrb srb;
    srb.header = {1.0F, 1.0F, 64.0F, 32.0F, 0.5F, 0.0F};
    srb.sizeInMetres = 1.0F;
    const std::string path = dir.Path("tree.srb");
    EXPECT_EQ(srb.Save(path), 4);
    const Bytes bytes = ReadFile(path);
    // Empty mip set, miptype 0: 96 header bytes, 44 of mip header, 76 of global palette.
    ASSERT_EQ(bytes.size(), 96U + 44U + 76U);
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 96), SrbHead({1, 1, 64, 32, 0.5F, 0}).Data());
    EXPECT_EQ(Bytes(bytes.begin() + 96, bytes.begin() + 100), (Bytes{0x50, 0x49, 0x4D, 0x20}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"tree.srb", "tree.yrq"}));

    srb.mip.miptype = 3;
    ASSERT_GT(srb.Save(path), 0);
    EXPECT_EQ(ReadFile(path).size(), 96U + 44U);
}

TEST(CSrb, CompanionFileIsExactlyTheseBytes) {
    ScratchDir dir;
    const std::string path = dir.Path("tree.srb");
    CSrb srb;
    srb.sizeInMetres = 1.0F;
    ASSERT_TRUE(srb.SaveFiles(path).Ok());
    const Bytes expected = ByteBuilder()
                               .Tag("YRQ4")
                               .U32(1)
                               .U32(104)
                               .Header("XYZS", 16)
                               .U32(0)
                               .U32(0)
                               .U32(0)
                               .U32(0)
                               .Header("STRN", 6)
                               .Append({0x74, 0x72, 0x65, 0x65, 0x00, 0xFF, 0x20, 0x20})
                               .Header("PRIM", 44)
                               .U32(28)
                               .U32(3)
                               .U32(0)
                               .U32(0xFFFFFFFF)
                               .U32(0)
                               .F32(1.0F)
                               .U32(0x00010000)
                               .U32(5)
                               .U32(4)
                               .U32(4)
                               .U32(10)
                               .Data();
    ASSERT_EQ(expected.size(), 116U);
    EXPECT_EQ(ReadFile(dir.Path("tree.yrq")), expected);
}

// Only a file exactly as a save writes it gives its name and size back: a byte changed
// anywhere, a file cut short or grown, or a name length that runs past the end is no companion.
TEST(CSrb, ACompanionIsReadBackOnlyWhenItIsExactlyWhatASaveWrites) {
    // "ab" at 2.5 metres, built by hand: n = 4, no fill, 104 bytes.
    const Bytes ab = ByteBuilder()
                         .Tag("YRQ4")
                         .U32(1)
                         .U32(100)
                         .Header("XYZS", 16)
                         .U32(0)
                         .U32(0)
                         .U32(0)
                         .U32(0)
                         .Header("STRN", 4)
                         .Append({0x61, 0x62, 0x00, 0xFF})
                         .Header("PRIM", 44)
                         .U32(28)
                         .U32(3)
                         .U32(0)
                         .U32(0xFFFFFFFF)
                         .U32(0)
                         .F32(2.5F)
                         .U32(0x00010000)
                         .U32(5)
                         .U32(4)
                         .U32(4)
                         .U32(10)
                         .Data();
    ASSERT_EQ(ab.size(), 112U);
    EXPECT_EQ(CompanionBytes("ab", 2.5F), ab);
    const auto read = ParseCompanion(ab);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->objectName, "ab");
    EXPECT_EQ(read->sizeInMetres, 2.5F);

    struct Case {
        const char* what;
        std::size_t at;  // the byte changed
        std::uint8_t to;
    };
    for (const Case& c :
         {Case{"the tag", 0, 'X'}, Case{"the size word", 8, 101}, Case{"an XYZS word", 24, 1},
          Case{"the name's end mark", 55, 0xFE}, Case{"the name length, past the end", 48, 200},
          Case{"the name length, shorter", 48, 3}, Case{"a PRIM word", 68, 29},
          Case{"the last PRIM word", 108, 11}}) {
        Bytes changed = ab;
        changed[c.at] = c.to;
        EXPECT_FALSE(ParseCompanion(changed).has_value()) << c.what;
    }
    EXPECT_FALSE(ParseCompanion(Bytes(ab.begin(), ab.end() - 1)).has_value()) << "cut short";
    Bytes longer = ab;
    longer.push_back(0);
    EXPECT_FALSE(ParseCompanion(longer).has_value()) << "grown";
    EXPECT_FALSE(ParseCompanion(Bytes{}).has_value()) << "empty";

    // A fill byte that is not a space ("abc": n = 5, fill 3 at 57..59).
    Bytes abc = CompanionBytes("abc", 1.0F);
    ASSERT_EQ(abc.size(), 116U);
    EXPECT_TRUE(ParseCompanion(abc).has_value());
    abc[58] = 0;
    EXPECT_FALSE(ParseCompanion(abc).has_value());
}

TEST(CSrb, CompanionNameLengthDecidesTheFill) {
    ScratchDir dir;
    struct Case {
        std::string name;
        std::uint32_t n, fill;
    };
    for (const Case& c :
         {Case{"ab", 4, 0}, Case{"abc", 5, 3}, Case{"abcde", 7, 1}, Case{"tree", 6, 2}}) {
        CSrb srb;
        srb.sizeInMetres = 2.5F;
        EXPECT_EQ(srb.Save(dir.Path(c.name + ".srb")), static_cast<int>(c.name.size()));
        const Bytes bytes = ReadFile(dir.Path(c.name + ".yrq"));
        ASSERT_EQ(bytes.size(), 108U + c.n + c.fill) << c.name;
        EXPECT_EQ(bytes[8], c.n + c.fill + 96) << c.name;
        EXPECT_EQ(bytes[48], c.n);
        for (std::uint32_t i = 0; i < c.fill; ++i) {
            EXPECT_EQ(bytes[52 + c.n + i], 0x20);
        }
        EXPECT_EQ(bytes[52 + c.n + c.fill], 0x4D);  // PRIM follows the fill
    }
}

TEST(CSrb, CompanionPathAndNameAreCutInTheFileNameOnly) {
    EXPECT_EQ(CompanionPath("C:\\tex\\tree.srb"), "C:\\tex\\tree.yrq");
    EXPECT_EQ(ObjectName("C:\\tex\\tree.srb"), "tree");
    EXPECT_EQ(CompanionPath("C:\\tex\\tree.old.srb"), "C:\\tex\\tree.yrq");
    EXPECT_EQ(ObjectName("/tex/tree.old.srb"), "tree");
    // A dot in a folder name never moves the companion into another folder.
    EXPECT_EQ(CompanionPath("a/b.c/tree.srb"), "a/b.c/tree.yrq");
    EXPECT_EQ(ObjectName("a/b.c/tree.srb"), "tree");
    EXPECT_EQ(CompanionPath("C:\\a.b\\tree.srb"), "C:\\a.b\\tree.yrq");
    EXPECT_EQ(CompanionPath("a.b/tree"), "a.b/tree.yrq");
    EXPECT_EQ(ObjectName("tree"), "tree");
    EXPECT_EQ(ObjectName("dir/.srb"), "");

    ScratchDir dir;
    std::filesystem::create_directory(dir.Path("b.c"));
    CSrb srb;
    EXPECT_EQ(srb.Save(dir.Path("b.c/tree.srb")), 4);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("b.c/tree.yrq")));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"b.c"}));
    // An empty object name still writes both files but reports 0.
    EXPECT_EQ(srb.Save(dir.Path(".srb")), 0);
    EXPECT_TRUE(std::filesystem::exists(dir.Path(".yrq")));
}

TEST(CSrb, LoadsBackHeaderValuesBitForBitAndTheMipSet) {
    ScratchDir dir;
    CSrb srb;
    srb.header = {1.0F, 0.1F, -3.75F, 1e-40F, 100000.0F, std::bit_cast<float>(0x7FC00001U)};
    ASSERT_TRUE(MakeMipSet(srb.mip, 4, 2, 3));
    const std::string path = dir.Path("rock.srb");
    ASSERT_EQ(srb.Save(path), 4);
    const ReadOnlyFile readOnly(path);  // a file the user may not write still loads
    if (!readOnly.Holds()) {
        GTEST_SKIP() << "this file system cannot make a file read-only for this user";
    }
    CSrb loaded;
    loaded.sizeInMetres = 9.0F;
    int result = 0;
    const std::string trace = CaptureStdout([&] { result = loaded.Load(path); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(trace.substr(0, 14), "datasize: 18\nm");
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(loaded.header[i]),
                  std::bit_cast<std::uint32_t>(srb.header[i]));
    }
    EXPECT_EQ(loaded.sizeInMetres, 9.0F);  // not stored in the SRB file
    for (std::size_t k = 0; k < CMip::kSlots; ++k) {
        EXPECT_TRUE(SameLevel(loaded.mip.levels[k], srb.mip.levels[k])) << k;
    }
}

TEST(CSrb, RejectedHeadersReturnMinusOneAndKeepWhatTheyHadNotReached) {
    ScratchDir dir;
    const Bytes good = SrbHead({1, 2, 3, 4, 5, 6}).Data();
    CSrb srb;
    srb.header = {9, 9, 9, 9, 9, 9};
    ASSERT_TRUE(srb.mip.levels[0].Allocate(3, 1, 1));

    // A damaged word in the first six: nothing changes.
    for (std::size_t word = 0; word < 6; ++word) {
        Bytes bad = good;
        bad[word * 4] ^= 0x40;
        WriteFile(dir.Path("bad.srb"), bad);
        EXPECT_EQ(CaptureStdout([&] { EXPECT_EQ(srb.Load(dir.Path("bad.srb")), -1); }), "");
        EXPECT_EQ(srb.header[0], 9.0F) << word;
    }
    // A damaged SRH2 header word: the six values are already replaced, the mip set is not.
    for (const std::size_t at : {std::size_t{48}, std::size_t{52}, std::size_t{56}}) {
        srb.header = {9, 9, 9, 9, 9, 9};
        Bytes badSrh2 = good;
        badSrh2[at] ^= 0x01;
        WriteFile(dir.Path("bad.srb"), badSrh2);
        EXPECT_EQ(srb.Load(dir.Path("bad.srb")), -1) << at;
        EXPECT_EQ(srb.header, (std::array<float, 6>{1, 2, 3, 4, 5, 6}));
        EXPECT_TRUE(srb.mip.levels[0].HasData());
    }

    // Ends right after SRH2: 0, the mip set keeps its levels.
    srb.header = {9, 9, 9, 9, 9, 9};
    WriteFile(dir.Path("short.srb"), good);
    EXPECT_EQ(srb.Load(dir.Path("short.srb")), 0);
    EXPECT_EQ(srb.header[5], 6.0F);
    EXPECT_TRUE(srb.mip.levels[0].HasData());

    EXPECT_EQ(srb.Load(dir.Path("missing.srb")), -1);
}

}  // namespace
}  // namespace korvale::test
