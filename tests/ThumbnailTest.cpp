// korvale-tool thumbnail and --version, run in-process: which level a thumbnail is drawn from,
// how it is reduced, and what file managers rely on (OUT replaced, exit status).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CSrb.h"
#include "Inputs.h"
#include "LevelImage.h"
#include "PictureBuilder.h"
#include "PngIo.h"
#include "TestSupport.h"
#include "ToolCommands.h"
#include "Version.h"

namespace korvale::test {
namespace {

int RunToolOn(const std::vector<std::string>& args, std::string* out = nullptr) {
    int status = -1;
    const std::string printed = CaptureStdout([&] { status = RunTool(args); });
    if (out != nullptr) {
        *out = printed;
    }
    return status;
}

Image ReadBack(const std::string& path) {
    Image image;
    EXPECT_TRUE(ReadPicture(path, image).Ok()) << path;
    return image;
}

class ThumbnailTest : public testing::Test {
  protected:
    void SetUp() override {
        // ARGB4444 levels from 64 x 64 down to 1 x 1.
        ASSERT_TRUE(MakeMipSet(mip_, 5, 0, 6));
        ASSERT_EQ(mip_.Save(dir_.Path("chain.mip")), 1);
    }
    ScratchDir dir_;
    CMip mip_;
};

TEST_F(ThumbnailTest, DrawsTheSmallestLevelAtLeastTheSizeAndNeverEnlarges) {
    const struct {
        std::vector<std::string> size;
        int slot;  // the level the thumbnail shows
        int side;  // the thumbnail's width and height
    } cases[] = {
        {{}, 6, 64},             // default 256: the 64 x 64 top level as it is
        {{"-s", "512"}, 6, 64},  // larger than any level: still not enlarged
        {{"-s", "64"}, 6, 64},
        {{"-s", "32"}, 5, 32},  // a level of exactly that size
        {{"-s", "20"}, 5, 20},  // the 32 x 32 level reduced
        {{"-s", "1"}, 0, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"thumbnail"};
        args.insert(args.end(), c.size.begin(), c.size.end());
        args.push_back(dir_.Path("chain.mip"));
        args.push_back(dir_.Path("thumb.png"));
        std::string out;
        ASSERT_EQ(RunToolOn(args, &out), 0) << c.slot;
        EXPECT_EQ(out, "");  // no trace: file managers keep no log worth filling
        const Image thumb = ReadBack(dir_.Path("thumb.png"));
        EXPECT_EQ(thumb.width, c.side) << c.slot;
        EXPECT_EQ(thumb.height, c.side) << c.slot;
        if (c.side == 1 << c.slot) {
            const auto k = static_cast<std::size_t>(c.slot);
            const Image level = LevelToImage(mip_.levels[k], mip_.levelPalettes[k]);
            EXPECT_EQ(thumb.pixels, level.pixels) << c.slot;
        }
    }
}

TEST(Thumbnail, ReducesInLinearLightWithAlphaKept) {
    ScratchDir dir;
    // One 4 x 4 ARGB4444 level: the top left 2 x 2 block has one opaque white texel among
    // transparent black ones, the rest is opaque red.
    const Image picture = Picture(4, 4, [](int x, int y) -> Rgba8 {
        if (x < 2 && y < 2) {
            return x == 0 && y == 0 ? Rgba8{255, 255, 255, 255} : Rgba8{0, 0, 0, 0};
        }
        return {255, 0, 0, 255};
    });
    CBmap level;
    ASSERT_TRUE(ImageToLevel(picture, 5, CCmap(), level).Ok());
    CMip mip;
    ASSERT_TRUE(mip.SetLevel(std::move(level)));
    ASSERT_EQ(mip.Save(dir.Path("one.mip")), 1);

    ASSERT_EQ(RunToolOn({"thumbnail", "-s", "2", dir.Path("one.mip"), dir.Path("t.png")}), 0);
    const Image thumb = ReadBack(dir.Path("t.png"));
    ASSERT_EQ(thumb.width, 2);
    ASSERT_EQ(thumb.height, 2);
    // A quarter of the block covered by white: white at alpha 64 (0.25 x 255), not a grey
    // darkened by the transparent texels' black.
    const std::vector<std::uint8_t> expected = {255, 255, 255, 64,  255, 0, 0, 255,  //
                                                255, 0,   0,   255, 255, 0, 0, 255};
    EXPECT_EQ(thumb.pixels, expected);
}

TEST_F(ThumbnailTest, ReplacesOutWithoutForceAndFailsWithoutWriting) {
    // File managers may create the output name before they run the thumbnailer.
    WriteFile(dir_.Path("fresh.png"), Bytes{'o', 'l', 'd'});
    EXPECT_EQ(RunToolOn({"thumbnail", "-s", "16", dir_.Path("chain.mip"), dir_.Path("fresh.png")}),
              0);
    EXPECT_EQ(ReadBack(dir_.Path("fresh.png")).width, 16);

    WriteFile(dir_.Path("junk.mip"), Bytes{'j', 'u', 'n', 'k', 0, 0, 0, 0});
    EXPECT_EQ(RunToolOn({"thumbnail", dir_.Path("junk.mip"), dir_.Path("junk.png")}), 1);
    EXPECT_EQ(RunToolOn({"thumbnail", dir_.Path("none.mip"), dir_.Path("none.png")}), 1);
    EXPECT_EQ(RunToolOn({"thumbnail", "-s", "0", dir_.Path("chain.mip"), dir_.Path("zero.png")}),
              2);
    EXPECT_EQ(RunToolOn({"thumbnail", dir_.Path("chain.mip")}), 2);
    EXPECT_EQ(dir_.List(), (std::vector<std::string>{"chain.mip", "fresh.png", "junk.mip"}));
}

TEST_F(ThumbnailTest, DamagedFileStillDrawsWhatLoadedAndExitsThree) {
    Bytes bytes = ReadFile(dir_.Path("chain.mip"));
    bytes.resize(bytes.size() - 4);  // the 1 x 1 level cut short
    WriteFile(dir_.Path("cut.mip"), bytes);
    EXPECT_EQ(RunToolOn({"thumbnail", dir_.Path("cut.mip"), dir_.Path("cut.png")}), 3);
    EXPECT_EQ(ReadBack(dir_.Path("cut.png")).width, 64);
}

TEST(Version, ToolPrintsItsNameAndVersion) {
    std::string out;
    EXPECT_EQ(RunToolOn({"--version"}, &out), 0);
    EXPECT_EQ(out, "korvale-tool " KORVALE_VERSION "\n");
}

}  // namespace
}  // namespace korvale::test
