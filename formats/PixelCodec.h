#pragma once
// Pixel rows to planes and back. The three 16-bit layouts are described as data (a mask and
// two shifts per channel) so that one loop serves them all.

#include <array>
#include <cstdint>
#include <span>

#include "CCmap.h"

namespace korvale {

enum class PixelKind { kPalettised, kSixteenBit, kNone };

// Pixel types 0, 1 and 2 are 4-bit palettised and behave identically; 3, 4 and 5 are 16-bit.
[[nodiscard]] PixelKind KindOf(int type);

// decoded = ((v & mask) >> right) << left | fill; encoded = ((c >> left) << right) & mask.
struct ChannelLayout {
    std::uint32_t mask = 0;
    unsigned right = 0;
    unsigned left = 0;
    std::int32_t fill = 0;
};

struct SixteenBitLayout {
    ChannelLayout r, g, b, a;
};

//                                R                  G                  B                  A
inline constexpr SixteenBitLayout kRgb565{
    {0xF800, 8, 0, 0}, {0x07E0, 3, 0, 0}, {0x001F, 0, 3, 0}, {0x0000, 0, 0, 255}};
inline constexpr SixteenBitLayout kArgb1555{
    {0x7C00, 7, 0, 0}, {0x03E0, 2, 0, 0}, {0x001F, 0, 3, 0}, {0x8000, 8, 0, 0}};
inline constexpr SixteenBitLayout kArgb4444{
    {0x0F00, 4, 0, 0}, {0x00F0, 0, 0, 0}, {0x000F, 0, 4, 0}, {0xF000, 8, 0, 0}};

// The layout of a 16-bit type (3 RGB565, 4 ARGB1555, 5 ARGB4444); nullptr for the others.
[[nodiscard]] const SixteenBitLayout* LayoutOf(int type);

// Bytes per row the writer uses: ceil(width / 2) for palettised types, 2 * width for 16-bit
// types, 0 for any other type. Widened so no width can overflow it.
[[nodiscard]] std::int64_t WriterBpr(int type, std::int64_t width);

// Where one row of the five planes starts.
struct PlaneRow {
    std::int32_t* r;
    std::int32_t* g;
    std::int32_t* b;
    std::int32_t* a;
    std::int32_t* index;
};
struct ConstPlaneRow {
    const std::int32_t* r;
    const std::int32_t* g;
    const std::int32_t* b;
    const std::int32_t* a;
    const std::int32_t* index;
};

// Decodes one stored row of any length into columns 0..width-1. Columns the row's bytes do not
// reach (a row shorter than the width needs, or an odd last byte of a 16-bit row) are left
// untouched; nothing outside the row or the planes is ever read or written.
void DecodeRow(int type, std::span<const std::uint8_t> row, int width, const CCmap& palette,
               const PlaneRow& out);

// Encodes columns 0..width-1 into out, which holds WriterBpr(type, width) bytes.
void EncodeRow(int type, int width, const ConstPlaneRow& in, std::span<std::uint8_t> out);

}  // namespace korvale
