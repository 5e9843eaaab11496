#pragma once
// What an image editor has to keep of a texture besides its pixels, so that an image opened
// from a texture file goes back out as the same file: the mip header as it was read, each
// level's pixel type and size, every palette, and for an SRB file its six values and its
// companion's size, bit for bit. Kept as bytes (an image editor stores them with the image) and
// made into a set again from the levels' pictures.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <vector>

#include "CSrb.h"
#include "FileKind.h"
#include "Image.h"
#include "Status.h"

namespace korvale {

struct TextureShape {
    // One slot of the set: its pixel type (CBmap::kEmptyType for an empty slot) and size.
    struct Slot {
        int type = CBmap::kEmptyType;
        int width = 0;
        int height = 0;
    };
    bool srb = false;  // an SRB file; else a MIP file
    int miptype = 0;
    int powerwidth = 0;
    int powerheight = 0;
    int col = 0;
    int repeatCode = 0;
    int numimages = 0;
    std::array<Slot, CMip::kSlots> slots{};
    CCmap globalPalette;
    std::array<CCmap, CMip::kSlots> levelPalettes{};
    // The six values and the companion's size as their bit patterns, so that no value (a NaN,
    // a negative zero) changes on the way through.
    std::array<std::uint32_t, CSrb::kHeaderValues> values{};
    std::uint32_t metres = 0;
};

// The shape of record as loaded from a file of kind, with metres its companion's size (the
// size a new SRB record gets when it has no companion).
[[nodiscard]] TextureShape ShapeOf(const CSrb& record, FileKind kind, float metres);

// The shape as bytes, and back. Decoding checks every field before it is used: a failure says
// which one is out of range; shape is then unchanged.
[[nodiscard]] std::vector<std::uint8_t> EncodeShape(const TextureShape& shape);
Status DecodeShape(std::span<const std::uint8_t> bytes, TextureShape& shape);

// A record of the shape: its header, palettes, values and size, with a level of each slot's type
// and size whose planes are zero.
Status ShapeRecord(const TextureShape& shape, CSrb& record);

// Makes record anew from the shape and the levels' pictures by slot: each level is its picture
// where one of the level's size is given, stored in the level's own type and palette (an
// indexed picture whose palette is the level's keeps its indices), and otherwise made from the
// picture of the level above by an area average. generated lists the slots made so. Pictures of
// other sizes and slots the shape has no level in are ignored. A failure when the top level has
// no picture or one cannot be stored; record is then unchanged.
Status RebuildLike(const TextureShape& shape, const std::map<int, Image>& pictures, CSrb& record,
                   std::vector<int>& generated);

}  // namespace korvale
