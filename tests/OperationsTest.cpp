// The operations every front end shares: telling a file's kind, reading within a cap, and
// putting an edited picture back into its level.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "CSrb.h"
#include "CompanionFile.h"
#include "CompanionSize.h"
#include "FileKind.h"
#include "ImportJob.h"
#include "Inputs.h"
#include "LargeBuffer.h"
#include "LevelEdit.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "SetBuilder.h"
#include "TestSupport.h"
#include "WholeFile.h"

namespace korvale {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string SourceFile(const std::string& relative) {
    std::ifstream in(std::string(KORVALE_SOURCE_DIR) + "/" + relative);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(FileKind, TheFirstBytesTellTheKind) {
    struct Case {
        Bytes head;
        FileKind kind;
        std::string reason;
    };
    const std::string none = "starts with none of the SRB tag, the MIP tag or the PNG signature";
    const Case cases[] = {
        {{' ', 'B', 'R', 'S', 0, 0}, FileKind::kSrb, ""},
        {{'P', 'I', 'M', ' '}, FileKind::kMip, ""},
        {{137, 80, 78, 71, 13, 10, 26, 10, 0}, FileKind::kPng, ""},
        {{137, 80, 78, 71, 13, 10, 26}, FileKind::kUnknown, none},  // a signature cut short
        {{'P', 'I', 'M'}, FileKind::kUnknown, none},
        {{'S', 'R', 'B', ' '}, FileKind::kUnknown, none},  // the tag as read, not as stored
        {{}, FileKind::kUnknown, "is empty"},
    };
    for (const Case& c : cases) {
        const Recognition found = RecogniseFile(c.head);
        EXPECT_EQ(found.kind, c.kind) << c.head.size();
        EXPECT_EQ(found.reason, c.reason) << c.head.size();
    }
    EXPECT_EQ(RecognitionBytes(), 8U);
}

// The desktop learns the file types from files the project installs: each must say what the
// table says, or a renamed file would open in one place and not in another.
TEST(FileKind, TheDesktopsRegistrationAgreesWithTheTable) {
    const std::string mime = SourceFile("editor/desktop/org.korvale.Korvale.mime.xml");
    const std::string plugin = SourceFile("plugin/korvale.json");
    const std::string thumbnailer = SourceFile("editor/desktop/org.korvale.Korvale.thumbnailer");
    // What KIO offers the thumbnail plugin (Dolphin's previews) goes by MIME type alone.
    const std::string kio = SourceFile("kio/korvalethumbnail.json");
    ASSERT_FALSE(mime.empty());
    ASSERT_FALSE(plugin.empty());
    ASSERT_FALSE(kio.empty());
    // Texts are put together by a stream: g++ -O3 warns falsely on some string sums.
    auto text = [](auto... parts) {
        std::ostringstream out;
        (out << ... << parts);
        return out.str();
    };
    for (const FileKind kind : {FileKind::kSrb, FileKind::kMip}) {
        const FileSignature& s = *SignatureOf(kind);
        const std::string type(s.mimeType);
        const std::size_t start = mime.find(text("<mime-type type=\"", type, "\">"));
        ASSERT_NE(start, std::string::npos) << type;
        const std::string body = mime.substr(start, mime.find("</mime-type>", start) - start);
        const std::string key = "value=\"";
        const std::size_t at = body.find(key);
        ASSERT_NE(at, std::string::npos) << type;
        // shared-mime-info writes a space as \x20.
        std::string value;
        for (std::size_t i = at + key.size(); i < body.size() && body[i] != '"'; ++i) {
            const bool space = body.compare(i, 4, "\\x20") == 0;
            value.push_back(space ? ' ' : body[i]);
            i += space ? 3 : 0;
        }
        EXPECT_EQ(value, std::string(s.magic.begin(), s.magic.end())) << type;
        EXPECT_NE(body.find(text("<glob pattern=\"*.", s.extension, "\"/>")), std::string::npos);
        EXPECT_NE(plugin.find(text('"', type, '"')), std::string::npos) << type;
        EXPECT_NE(plugin.find(text('"', s.extension, '"')), std::string::npos) << type;
        EXPECT_NE(thumbnailer.find(text(type, ';')), std::string::npos) << type;
        EXPECT_NE(kio.find(text('"', type, '"')), std::string::npos) << type;
    }
}

// A source of count bytes of 7, then the end; or without end when count is negative.
ByteSource Bytes7(long long count, std::uint64_t& pulled) {
    return [count, &pulled](std::span<std::uint8_t> buffer) -> std::ptrdiff_t {
        std::size_t n = buffer.size();
        if (count >= 0) {
            n = std::min<std::uint64_t>(n, static_cast<std::uint64_t>(count) - pulled);
        }
        std::fill_n(buffer.begin(), n, std::uint8_t{7});
        pulled += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

TEST(WholeFile, ReadingStopsAtTheCap) {
    const ReadCap cap{10, "a texture file"};
    struct Case {
        long long offered;
        bool taken;
    };
    for (const Case c : {Case{0, true}, Case{10, true}, Case{11, false}, Case{-1, false}}) {
        std::uint64_t pulled = 0;
        Bytes bytes;
        const Status read = ReadAll(Bytes7(c.offered, pulled), cap, bytes);
        EXPECT_EQ(read.Ok(), c.taken) << c.offered;
        if (c.taken) {
            EXPECT_EQ(bytes, Bytes(static_cast<std::size_t>(c.offered), 7));
        } else {
            EXPECT_EQ(read.Reason(), "is larger than 10 bytes, the most a texture file can be");
            EXPECT_TRUE(bytes.empty());
            EXPECT_EQ(pulled, 11U) << "an endless input is read no further than the cap";
        }
    }
    Bytes bytes;
    const ByteSource broken = [](std::span<std::uint8_t>) -> std::ptrdiff_t {
        errno = EIO;
        return -1;
    };
#ifdef __EMSCRIPTEN__
    // The system's reason is the C library's text: musl's in WebAssembly.
    EXPECT_EQ(ReadAll(broken, cap, bytes).Reason(), "cannot be read: I/O error");
#else
    EXPECT_EQ(ReadAll(broken, cap, bytes).Reason(), "cannot be read: Input/output error");
#endif
}

// A texture input is refused past the largest file the loaders can use (an SRB header, a MIP
// header and palette, then 18 level passes of 4096 x 4096 16-bit levels with their palettes and
// chunk headers); a picture may be larger. What is kept costs its own size, not a doubled buffer.
TEST(WholeFile, TheTextureCapIsTheLargestTextureAndNothingIsDoubled) {
#ifdef __EMSCRIPTEN__
    // A page has 2 GiB: four level passes, and a quarter of the native picture cap.
    EXPECT_EQ(CapFor(InputKind::kTexture).maxBytes, 96U + 44U + 76U + 4U * 33'554'560U);
    EXPECT_EQ(CapFor(InputKind::kTexture).maxBytes, 134'218'456U);
    EXPECT_EQ(CapFor(InputKind::kPicture).maxBytes, 1U << 28);
#else
    EXPECT_EQ(CapFor(InputKind::kTexture).maxBytes, 96U + 44U + 76U + 18U * 33'554'560U);
    EXPECT_EQ(CapFor(InputKind::kTexture).maxBytes, 603'982'296U);
    EXPECT_EQ(CapFor(InputKind::kPicture).maxBytes, 1U << 30);
#endif
    std::uint64_t pulled = 0;
    Bytes bytes;
    const long long offered = (3LL << 20) + 1;  // three blocks and a byte
    ASSERT_TRUE(ReadAll(Bytes7(offered, pulled), ReadCap{1U << 30, "a picture"}, bytes).Ok());
    EXPECT_EQ(bytes.size(), static_cast<std::size_t>(offered));
    EXPECT_EQ(bytes.capacity(), bytes.size());
}

// A loader handed its input in pieces keeps them up to the cap, and nothing past it.
TEST(WholeFile, PiecesAreKeptUpToTheCap) {
    const ReadCap cap{10, "a texture file"};
    struct Case {
        std::size_t had, more;
        bool taken;
    };
    for (const Case c : {Case{0, 0, true}, Case{4, 6, true}, Case{10, 0, true}, Case{4, 7, false},
                         Case{0, 11, false}}) {
        Bytes bytes(c.had, 1);
        const Status kept = AppendWithinCap(Bytes(c.more, 2), cap, bytes);
        EXPECT_EQ(kept.Ok(), c.taken) << c.had << " + " << c.more;
        if (c.taken) {
            EXPECT_EQ(bytes.size(), c.had + c.more);
        } else {
            EXPECT_EQ(kept.Reason(), "is larger than 10 bytes, the most a texture file can be");
            EXPECT_TRUE(bytes.empty());
        }
    }
}

TEST(WholeFile, AFileIsNamedInEveryRefusal) {
    test::ScratchDir dir;
    const std::string big = dir.Path("big.png");
    std::ofstream(big) << std::string(2000, 'x');
    Bytes bytes;
    EXPECT_EQ(ReadWholeFile(big, ReadCap{1000, "a picture"}, bytes).Text(),
              big + ": is larger than 1000 bytes, the most a picture can be");
    EXPECT_EQ(ReadWholeFile(dir.Root().string(), ReadCap{1000, "a picture"}, bytes).Text(),
              dir.Root().string() + ": is a folder, not a file");
    EXPECT_EQ(ReadWholeFile(dir.Path("none"), ReadCap{1000, "a picture"}, bytes).Text(),
              dir.Path("none") + ": cannot open: No such file or directory");
    ASSERT_TRUE(ReadWholeFile(big, ReadCap{2000, "a picture"}, bytes).Ok());
    EXPECT_EQ(bytes.size(), 2000U);
}

// A regular file is read straight into place at its size; every byte must come back, at the
// edges of the cap and past the size from which the buffer asks for large pages.
TEST(WholeFile, EveryByteOfAFileOfAnySizeWithinTheCap) {
    test::ScratchDir dir;
    struct Case {
        std::size_t size;
        std::uint64_t cap;
    };
    const Case cases[] = {{0, 10}, {1, 10}, {10, 10}, {kLargeBuffer + 4097, kLargeBuffer * 2}};
    for (const Case& c : cases) {
        std::string content(c.size, '\0');
        for (std::size_t i = 0; i < c.size; ++i) {
            content[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
        }
        const std::string path = dir.Path("file" + std::to_string(c.size));
        std::ofstream(path, std::ios::binary) << content;
        Bytes bytes{1, 2, 3};
        ASSERT_TRUE(ReadWholeFile(path, ReadCap{c.cap, "a picture"}, bytes).Ok()) << c.size;
        ASSERT_EQ(bytes.size(), c.size);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(),
                               reinterpret_cast<const std::uint8_t*>(content.data())))
            << c.size;
    }
}

TEST(WholeFile, ReservingALargeBufferKeepsWhatItHolds) {
    Bytes bytes{9, 8, 7};
    ReserveLarge(bytes, kLargeBuffer * 2);
    EXPECT_GE(bytes.capacity(), kLargeBuffer * 2);
    EXPECT_EQ(bytes, (Bytes{9, 8, 7}));
    ReserveLarge(bytes, 2);  // less than it has: nothing changes
    EXPECT_EQ(bytes, (Bytes{9, 8, 7}));
}

// A 2 x 1 pal4 set whose palette starts red, green, blue; its pixels are entries 0 and 1.
CMip RedGreenSet() {
    CMip mip;
    CCmap palette = test::PatternPalette(3);
    palette.Entry(0) = {255, 0, 0, 255};
    palette.Entry(1) = {0, 255, 0, 255};
    palette.Entry(2) = {0, 0, 255, 255};
    mip.globalPalette = palette;
    CBmap level;
    EXPECT_TRUE(IndicesToLevel(2, 1, Bytes{0, 1}, palette, level).Ok());
    EXPECT_TRUE(mip.SetLevel(std::move(level), &palette));
    return mip;
}

std::vector<std::int32_t> Indices(const CMip& mip, int slot) {
    const auto plane = mip.levels[static_cast<std::size_t>(slot)].Plane(PlaneId::kIndex);
    return {plane.begin(), plane.end()};
}

// An indexed picture keeps its indices when its palette is the first entries of the level's
// (an editor dropped the unused ones); any other palette is matched by colour.
TEST(LevelEdit, AnIndexedPictureKeepsItsIndicesOnlyWhenItsPaletteIsThePrefix) {
    const Rgba8 red{255, 0, 0, 255};
    const Rgba8 green{0, 255, 0, 255};
    struct Case {
        std::vector<Rgba8> palette;
        Bytes indices;
        std::vector<std::int32_t> stored;
    };
    const Case cases[] = {
        {{red, green}, {1, 0}, {1, 0}},       // the prefix: kept as they are
        {{green, red}, {1, 0}, {0, 1}},       // another order: red is entry 0 of the level
        {{red, green, red}, {2, 1}, {0, 1}},  // longer than the prefix it shares: mapped
    };
    for (const Case& c : cases) {
        CMip mip = RedGreenSet();
        Image picture;
        picture.width = 2;
        picture.height = 1;
        picture.palette = c.palette;
        picture.indices = c.indices;
        for (const std::uint8_t i : c.indices) {
            picture.pixels.insert(picture.pixels.end(), c.palette[i].begin(), c.palette[i].end());
        }
        ASSERT_TRUE(PutBackLevel(mip, 1, picture, false).Ok());
        EXPECT_EQ(Indices(mip, 1), c.stored) << c.palette.size();
    }
}

// Taking a change back needs a copy of the set that shares nothing with it.
TEST(LevelEdit, ACopyOfTheSetHoldsEverythingAndSharesNothing) {
    CMip mip = RedGreenSet();
    mip.col = 7;
    mip.loadReport.Begin();
    mip.loadReport.Error(12, "cut");
    CMip copy = CopySet(mip);
    EXPECT_EQ(copy.FilledSlots(), mip.FilledSlots());
    EXPECT_EQ(copy.miptype, mip.miptype);
    EXPECT_EQ(copy.powerwidth, mip.powerwidth);
    EXPECT_EQ(copy.numimages, mip.numimages);
    EXPECT_EQ(copy.col, 7);
    EXPECT_EQ(copy.loadReport.FirstError(), mip.loadReport.FirstError());
    EXPECT_EQ(copy.LevelPalette(1), mip.LevelPalette(1));
    EXPECT_EQ(Indices(copy, 1), (std::vector<std::int32_t>{0, 1}));
    copy.levels[1].Plane(PlaneId::kIndex)[0] = 1;
    copy.levelPalettes[1].Entry(0) = Colour{1, 2, 3, 4};
    EXPECT_EQ(Indices(mip, 1), (std::vector<std::int32_t>{0, 1}));  // the original unchanged
    EXPECT_NE(mip.levelPalettes[1].Entry(0), (Colour{1, 2, 3, 4}));
}

TEST(LevelEdit, APictureThatCannotBeTakenLeavesTheSetAsItWas) {
    CMip mip = RedGreenSet();
    Image wrong;
    wrong.width = 1;
    wrong.height = 1;
    wrong.pixels = {0, 0, 255, 255};
    EXPECT_EQ(PutBackLevel(mip, 1, wrong, false).Reason(),
              "the picture is 1 x 1, but the level it replaces (slot 1) is 2 x 1");
    EXPECT_EQ(PutBackLevel(mip, 4, wrong, false).Reason(),
              "the level edited is no longer in the set");
    EXPECT_EQ(Indices(mip, 1), (std::vector<std::int32_t>{0, 1}));
}

// The external edit's round trip: a level written as its PNG and read straight back changes
// nothing, in every pixel type and palette mode, and the header stays as it was.
TEST(LevelEdit, ALevelExportedAndPutBackUnchangedIsTheSameSet) {
    struct Case {
        PixelCode type;
        int miptype;
    };
    for (const Case c :
         {Case{PixelCode::kPal4, 0}, Case{PixelCode::kPal4, 2}, Case{PixelCode::kRgb565, 3},
          Case{PixelCode::kArgb1555, 3}, Case{PixelCode::kArgb4444, 3}}) {
        CMip mip;
        ASSERT_TRUE(test::MakeMipSet(mip, CodeOf(c.type), c.miptype, 3));
        mip.numimages = 5;  // one pass past the 1 x 1 level: odd, but it reads back the same
        CMip before;
        ASSERT_TRUE(test::MakeMipSet(before, CodeOf(c.type), c.miptype, 3));
        for (const int slot : mip.FilledSlots()) {
            Bytes png;
            ASSERT_TRUE(EncodeLevelPng(mip, slot, LevelView::kFullScale, png).Ok());
            Image picture;
            ASSERT_TRUE(ReadPng(png, picture).Ok());
            ASSERT_TRUE(PutBackLevel(mip, slot, picture, false).Ok()) << slot;
            for (const PlaneId plane : kAllPlanes) {
                const auto a = mip.levels[static_cast<std::size_t>(slot)].Plane(plane);
                const auto b = before.levels[static_cast<std::size_t>(slot)].Plane(plane);
                EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end()))
                    << PixelTypeName(CodeOf(c.type)) << " slot " << slot;
            }
            EXPECT_TRUE(mip.LevelPalette(slot) == before.LevelPalette(slot));
        }
        EXPECT_EQ(mip.numimages, 5);
        EXPECT_EQ(mip.powerwidth, 3);
    }
}

// The size an SRB file loads with: its companion's, only when the companion is one a save of
// that very SRB path would write; 1 otherwise, with the reason.
// The choices a script or dialog gives in words, over a job an original has set up (miptype 2,
// a palette per level): each row the texts and the job they make, worked out from the names.
TEST(ImportChoices, TextsChooseTypePaletteAndFilter) {
    struct Row {
        ImportChoiceTexts texts;
        std::optional<int> type;  // options.type afterwards
        int typeCode;
        PaletteMode palette;
        std::optional<int> miptype;
        Filter filter;
    };
    const std::vector<Row> rows = {
        {{"", "", ""}, std::nullopt, -1, PaletteMode::kPerLevel, 2, Filter::kArea},
        {{"pal4", "", ""}, 0, 0, PaletteMode::kPerLevel, std::nullopt, Filter::kArea},
        {{"2", "", ""}, 0, 2, PaletteMode::kPerLevel, std::nullopt, Filter::kArea},
        {{"rgb565", "", ""}, 3, 3, PaletteMode::kPerLevel, std::nullopt, Filter::kArea},
        {{"5", "", "cubic"}, 5, 5, PaletteMode::kPerLevel, std::nullopt, Filter::kCubic},
        // Asking for a palette asks for pal4; "keep" is the like step's and changes nothing.
        {{"", "shared", ""}, 0, -1, PaletteMode::kShared, std::nullopt, Filter::kArea},
        {{"", "keep", "mitchell"}, std::nullopt, -1, PaletteMode::kPerLevel, 2, Filter::kMitchell},
        {{"1", "per-level", ""}, 0, 1, PaletteMode::kPerLevel, std::nullopt, Filter::kArea},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.texts.type + "/" + row.texts.palette + "/" + row.texts.filter);
        ImportJob job;
        job.options.palette = PaletteMode::kPerLevel;
        job.miptype = 2;
        LoadReport report;
        ASSERT_TRUE(TakeChoiceTexts(row.texts, job, report));
        EXPECT_EQ(job.options.type, row.type);
        EXPECT_EQ(job.typeCode, row.typeCode);
        EXPECT_EQ(job.options.palette, row.palette);
        EXPECT_EQ(job.miptype, row.miptype);
        EXPECT_EQ(job.options.filter, row.filter);
    }
}

// A text that is none of the choices fails, names itself, and leaves the job as it was.
TEST(ImportChoices, AWrongTextFailsAndChangesNothing) {
    const std::vector<std::pair<ImportChoiceTexts, std::string>> rows = {
        {{"6", "", ""}, "'6'"},
        {{"rgb888", "", ""}, "'rgb888'"},
        {{"rgb565", "shared", ""}, "pal4"},
        {{"", "", "box"}, "'box'"},
        {{"pal4", "", "box"}, "'box'"},
        {{"", "/nonexistent/palette.mip", ""}, "/nonexistent/palette.mip"},
    };
    for (const auto& [texts, named] : rows) {
        SCOPED_TRACE(texts.type + "/" + texts.palette + "/" + texts.filter);
        ImportJob job;
        job.miptype = 2;
        LoadReport report;
        const Status taken = TakeChoiceTexts(texts, job, report);
        ASSERT_FALSE(taken);
        EXPECT_NE(taken.Text().find(named), std::string::npos) << taken.Text();
        EXPECT_FALSE(job.options.type.has_value());
        EXPECT_EQ(job.typeCode, -1);
        EXPECT_EQ(job.miptype, 2);
        EXPECT_EQ(job.options.filter, Filter::kArea);
    }
}

TEST(CompanionSize, TheSizeIsTheCompanionsOnlyWhenItNamesThisSrbFile) {
    test::ScratchDir dir;
    CSrb record;
    record.sizeInMetres = 2.5F;
    ASSERT_TRUE(record.SaveFiles(dir.Path("tree.srb")).Ok());
    test::WriteFile(dir.Path("bush.yrq"), test::ReadFile(dir.Path("tree.yrq")));  // renamed by hand
    test::WriteFile(dir.Path("junk.yrq"), Bytes{'Y', 'R', 'Q', '4'});
    std::filesystem::create_directory(dir.Path("folder.yrq"));
    using From = CompanionSize::From;
    struct Case {
        const char* srb;
        From from;
        float metres;
        const char* describe;  // after the scratch folder
    };
    for (const Case& c : {
             Case{"tree.srb", From::kCompanion, 2.5F, "from the companion '@tree.yrq'"},
             Case{"tree.old.srb", From::kCompanion, 2.5F, "from the companion '@tree.yrq'"},
             Case{"bush.srb", From::kOtherObject, 1.0F,
                  "the companion '@bush.yrq' is for the object 'tree'"},
             Case{"none.srb", From::kNoCompanion, 1.0F, "no companion '@none.yrq'"},
             Case{"junk.srb", From::kNotCompanion, 1.0F,
                  "'@junk.yrq' is not a companion object file as Korvale saves them"},
         }) {
        const CompanionSize size = ReadCompanionSize(dir.Path(c.srb));
        EXPECT_EQ(size.from, c.from) << c.srb;
        EXPECT_EQ(size.metres, c.metres) << c.srb;
        std::string describe = c.describe;
        describe.replace(describe.find('@'), 1, dir.Path(""));
        EXPECT_EQ(size.Describe(), describe) << c.srb;
    }
    // A companion that is there but cannot be read says why.
    const CompanionSize folder = ReadCompanionSize(dir.Path("folder.srb"));
    EXPECT_EQ(folder.from, From::kNoCompanion);
    EXPECT_NE(folder.reason.find("folder"), std::string::npos) << folder.reason;
}

}  // namespace
}  // namespace korvale
