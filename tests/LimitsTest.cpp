// The limits the README promises, at their edges.

#include <gtest/gtest.h>

#include <climits>

#include "CMip.h"
#include "Limits.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

// One BMAP chunk with `rows` bytes of pixel rows.
Bytes Level(int type, std::int32_t width, std::int32_t height, std::int32_t bpr) {
    ByteBuilder b;
    b.Header("BMAP", 0).Header("BMHD", 14).U8(static_cast<std::uint32_t>(type));
    b.U32(static_cast<std::uint32_t>(width)).U32(static_cast<std::uint32_t>(height));
    b.U32(static_cast<std::uint32_t>(bpr)).U8(0).U8(0x20).U8(0x20);
    const std::int64_t rows = std::int64_t{bpr} * height;
    b.Header("DATA", static_cast<std::uint32_t>(rows));
    b.Append(Bytes(static_cast<std::size_t>(rows), 0x5A));
    return b.Data();
}

TEST(Limits, LevelsCutInsideTheirHeadersAreRejected) {
    const Bytes whole = Level(3, 2, 2, 4);
    std::string trace;
    for (const std::size_t cut : {std::size_t{30}, std::size_t{44}}) {
        CBmap level;
        MemStream in(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        CCmap palette;
        int result = 1;
        trace += CaptureStdout([&] { result = level.Load(in.Get(), palette, palette); });
        EXPECT_EQ(result, 0) << cut;
        EXPECT_FALSE(level.HasData());
    }
    EXPECT_NE(trace.find("BMHD cut short: 16 bytes needed but 6 remain at offset 24\n"),
              std::string::npos)
        << trace;
    EXPECT_NE(trace.find("DATA header cut short: 12 bytes needed but 4 remain at offset 40\n"),
              std::string::npos)
        << trace;
}

TEST(Limits, MemoryStaysProportionalToTheFile) {
    // The costliest shape a file can have: one level as large as its rows allow, then every
    // other slot filled with a level of the free allowance and no rows at all.
    ByteBuilder b;
    b.Header(" MIP", 0)
        .Header("MPHD", 18)
        .U8(3)
        .U32(8)
        .U32(8)
        .U32(0)
        .U8(0)
        .U32(9)
        .U8(0x20)
        .U8(0x20);
    b.Append(Level(0, 2048, 64, 1024));
    for (int k = 0; k < 8; ++k) {
        b.Append(Level(0, 256, 256, 0));
    }
    const Bytes file = b.Data();
    CMip mip;
    MemStream in(file);
    (void)CaptureStdout([&] { EXPECT_EQ(mip.Load(in.Get()), 1); });
    std::int64_t planeBytes = 0;
    int levels = 0;
    for (const CBmap& level : mip.levels) {
        levels += level.HasData();
        planeBytes +=
            static_cast<std::int64_t>(level.Plane(PlaneId::kR).size()) * CBmap::kPlanes * 4;
    }
    EXPECT_EQ(levels, 9);
    // Two pixels per byte of file, 20 bytes a pixel, plus the free allowance of eight levels.
    const std::int64_t bound =
        40 * static_cast<std::int64_t>(file.size()) + 8 * limits::kFreePixels * 20;
    EXPECT_LE(planeBytes, bound);
    EXPECT_GE(planeBytes, bound * 9 / 10);  // and the case really is near the bound
}

}  // namespace
}  // namespace korvale::test
