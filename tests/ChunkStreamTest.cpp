#include <gtest/gtest.h>

#include "ChunkStream.h"
#include "TestSupport.h"

namespace korvale::test {
namespace {

TEST(ChunkStream, WritersEmitLittleEndianBytes) {
    MemStream out;
    WriteU32(out.Get(), 0x12345678);
    WriteU16(out.Get(), 0xABCD);
    WriteU8(out.Get(), 0x1FF);
    WriteF32(out.Get(), 1.0F);
    WriteChunkHeader(out.Get(), tag::kBmap, 14);
    EXPECT_EQ(out.Written(),
              (Bytes{0x78, 0x56, 0x34, 0x12, 0xCD, 0xAB, 0xFF, 0x00, 0x00, 0x80, 0x3F, 0x50,
                     0x41, 0x4D, 0x42, 0,    0,    0,    0,    14,   0,    0,    0}));
}

TEST(ChunkStream, TagsAreStoredReversed) {
    MemStream out;
    for (const std::uint32_t t : {tag::kMip, tag::kSrb, tag::kYrq4, tag::kSrh2}) {
        WriteU32(out.Get(), t);
    }
    const Bytes bytes = out.Written();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "PIM  BRS4QRY2HRS");
}

TEST(ChunkStream, ReadersAndPeekTag) {
    MemStream in(ByteBuilder().U32(0x424D4150).U8(0xFE).F32(-2.5F).U32(7).Data());
    EXPECT_EQ(PeekTag(in.Get()), tag::kBmap);
    EXPECT_EQ(ReadU32(in.Get()), tag::kBmap);  // the peeked word again
    EXPECT_EQ(ReadU8(in.Get()), 0xFE);
    EXPECT_EQ(ReadF32(in.Get()), -2.5F);
    EXPECT_EQ(RemainingBytes(in.Get()), 4);
    EXPECT_EQ(ReadU32(in.Get()), 7U);
}

TEST(ChunkStream, ReadsPastTheEndGiveZeroAndPeekDoesNotMove) {
    MemStream in(Bytes{0x50, 0x41, 0x4D});  // a tag cut short
    EXPECT_EQ(PeekTag(in.Get()), 0U);
    EXPECT_EQ(Offset(in.Get()), 0);
    EXPECT_EQ(ReadU32(in.Get()), 0U);
    EXPECT_EQ(ReadU8(in.Get()), 0);
    EXPECT_EQ(ReadF32(in.Get()), 0.0F);
    EXPECT_EQ(RemainingBytes(in.Get()), 0);
}

}  // namespace
}  // namespace korvale::test
