// Korvale's image-format plugin read through QImageReader, as any Qt 6 application reads it:
// every level of a MIP or SRB file, largest first, equal to what export --all writes.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstring>
#include <string>
#include <vector>

#include "CSrb.h"
#include "LevelImage.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

// The image's pixels as RGBA bytes, row after row.
std::vector<std::uint8_t> RgbaBytes(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    std::vector<std::uint8_t> out;
    for (int y = 0; y < rgba.height(); ++y) {
        const auto* row = rgba.constScanLine(y);
        out.insert(out.end(), row, row + 4 * rgba.width());
    }
    return out;
}

// Every level of mip through the reader, by jumpToImage, compared with LevelToImage.
void ExpectEveryLevel(QImageReader& reader, const CMip& mip, const std::string& what) {
    const std::vector<int> filled = mip.FilledSlots();
    ASSERT_EQ(reader.imageCount(), static_cast<int>(filled.size())) << what;
    // Backwards, so each jump really moves.
    for (int i = reader.imageCount() - 1; i >= 0; --i) {
        ASSERT_TRUE(reader.jumpToImage(i)) << what << " image " << i;
        QImage image;
        ASSERT_TRUE(reader.read(&image))
            << what << " image " << i << ": " << reader.errorString().toStdString();
        const auto k = static_cast<std::size_t>(filled[static_cast<std::size_t>(i)]);
        const Image level = LevelToImage(mip.levels[k], mip.levelPalettes[k]);
        EXPECT_EQ(image.width(), level.width) << what << " image " << i;
        EXPECT_EQ(image.height(), level.height) << what << " image " << i;
        EXPECT_EQ(RgbaBytes(image), level.pixels) << what << " image " << i;
    }
}

TEST(ImagePlugin, IsFoundUnderBothKeys) {
    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    EXPECT_TRUE(formats.contains("mip"));
    EXPECT_TRUE(formats.contains("srb"));
}

TEST(ImagePlugin, ReadsEveryLevelOfEveryPixelType) {
    ScratchDir dir;
    const struct {
        int type;
        int miptype;  // 2: a palette per level
    } cases[] = {{0, 0}, {0, 2}, {1, 0}, {2, 2}, {3, 0}, {4, 0}, {5, 0}};
    for (const auto& c : cases) {
        CMip mip;
        ASSERT_TRUE(MakeMipSet(mip, c.type, c.miptype, 4));  // 16 x 16 down to 1 x 1
        const std::string what =
            "type " + std::to_string(c.type) + " miptype " + std::to_string(c.miptype);
        const std::string path = dir.Path("t.mip");
        ASSERT_EQ(mip.Save(path), 1);
        QImageReader reader(QString::fromStdString(path));
        EXPECT_EQ(reader.format(), "mip") << what;
        ExpectEveryLevel(reader, mip, what);
    }
}

TEST(ImagePlugin, KnowsAnSrbFileByItsFirstBytesAlone) {
    ScratchDir dir;
    CSrb srb;
    ASSERT_TRUE(MakeMipSet(srb.mip, 4, 0, 3));
    ASSERT_GT(srb.Save(dir.Path("crate.srb")), 0);
    const Bytes bytes = ReadFile(dir.Path("crate.srb"));
    // No name and no format given: only the bytes say what it is.
    QByteArray data(reinterpret_cast<const char*>(bytes.data()),
                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    QImageReader reader(&buffer);
    EXPECT_TRUE(reader.canRead());
    EXPECT_EQ(reader.format(), "srb");
    EXPECT_EQ(reader.size(), QSize(8, 8));
    ExpectEveryLevel(reader, srb.mip, "srb from a buffer");
}

TEST(ImagePlugin, RepeatedReadsWalkTheChainWithStraightAlpha) {
    ScratchDir dir;
    // A 2 x 1 ARGB1555 level: opaque red and transparent blue, stored as 5-bit codes and a
    // 1-bit alpha that show at full scale as 255 and 0, alpha not multiplied into the colour.
    Image picture;
    picture.width = 2;
    picture.height = 1;
    picture.pixels = {255, 0, 0, 255, 0, 0, 255, 0};
    CBmap top;
    ASSERT_TRUE(ImageToLevel(picture, 4, CCmap(), top).Ok());
    Image small;
    small.width = 1;
    small.height = 1;
    small.pixels = {0, 255, 0, 255};
    CBmap bottom;
    ASSERT_TRUE(ImageToLevel(small, 4, CCmap(), bottom).Ok());
    CMip mip;
    ASSERT_TRUE(mip.SetLevel(std::move(top)));
    ASSERT_TRUE(mip.SetLevel(std::move(bottom)));
    ASSERT_EQ(mip.Save(dir.Path("wrongly-named.png")), 1);

    QImageReader reader(QString::fromStdString(dir.Path("wrongly-named.png")));
    QImage first;
    QImage second;
    ASSERT_TRUE(reader.read(&first)) << reader.errorString().toStdString();
    ASSERT_TRUE(reader.read(&second)) << reader.errorString().toStdString();
    EXPECT_EQ(RgbaBytes(first), (std::vector<std::uint8_t>{255, 0, 0, 255, 0, 0, 255, 0}));
    EXPECT_EQ(RgbaBytes(second), (std::vector<std::uint8_t>{0, 255, 0, 255}));
    QImage third;
    EXPECT_FALSE(reader.read(&third));
}

TEST(ImagePlugin, LeavesOtherFilesAlone) {
    ScratchDir dir;
    WriteFile(dir.Path("junk.mip"), Bytes{'j', 'u', 'n', 'k', 0, 0, 0, 0});
    QImageReader byName(QString::fromStdString(dir.Path("junk.mip")));
    QImage image;
    EXPECT_FALSE(byName.read(&image));

    // A MIP tag with nothing after it: claimed by its bytes, but no level to give.
    WriteFile(dir.Path("empty.mip"), Bytes{'P', 'I', 'M', ' '});
    QImageReader empty(QString::fromStdString(dir.Path("empty.mip")));
    EXPECT_FALSE(empty.read(&image));
    EXPECT_EQ(empty.imageCount(), 0);
}

}  // namespace
}  // namespace korvale::test

int main(int argc, char** argv) {
    // Plugins are found through the application's library paths, which include QT_PLUGIN_PATH.
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
