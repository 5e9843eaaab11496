#pragma once
// A level as a picture and back. This is the one place where stored channel values meet the
// 8-bit values people see: the loader keeps an n-bit channel shifted up (a full 5-bit red is
// 248, a set 1-bit alpha 128), while every image viewer expects full scale (255), so export, the
// viewer and comparison all convert here.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "CBmap.h"
#include "CCmap.h"
#include "Image.h"
#include "Status.h"

namespace korvale {

// The 8-bit value a stored plane value of an n-bit channel stands for: the code q is
// stored >> (8 - n), and q means round(q * 255 / (2^n - 1)). bits 8 returns the value itself.
[[nodiscard]] int StoredToFullScale(int stored, int bits);
// The plane value for the nearest n-bit code of an 8-bit value: q = round(v * (2^n - 1) / 255),
// stored as q << (8 - n). The inverse of StoredToFullScale for every full-scale value.
[[nodiscard]] int FullScaleToStored(int value, int bits);

// How a level is turned into a picture.
enum class LevelView {
    kFullScale,  // as texture tools show it: palettised through the palette, 16-bit at full scale
    kRaw,        // the planes' values as they are (31 -> 248)
};

// The level as 8-bit RGBA. Palettised levels also fill palette (all 16 entries) and indices.
// An empty level gives an empty image.
[[nodiscard]] Image LevelToImage(const CBmap& level, const CCmap& palette,
                                 LevelView view = LevelView::kFullScale);

// Makes level a level of the given type from an image of its size. For a 16-bit type each
// channel becomes its nearest full-scale code (types without alpha ignore it); for a palettised
// type the image's indices are used and the palette's colours give the planes. A failure when
// the image cannot be stored that way (a palettised type without indices, an index beyond 15, a
// size out of range).
Status ImageToLevel(const Image& image, int type, const CCmap& palette, CBmap& level);
// Makes level a palettised level (type 0) of width x height from one index per pixel, its
// planes holding the palette's colours. A failure on an index beyond 15, a count of indices
// other than the size or a size out of range.
Status IndicesToLevel(int width, int height, std::span<const std::uint8_t> indices,
                      const CCmap& palette, CBmap& level);

// The palette's 16 entries as RGBA bytes, and back (entries past the end of colours are opaque
// black).
[[nodiscard]] std::vector<Rgba8> PaletteColours(const CCmap& palette);
// Whether an indexed picture's indices stand for the same colours in palette, so they are kept
// as they are rather than matched by colour: its palette equals the first entries of palette
// (an image editor may drop the entries no pixel uses from the end).
[[nodiscard]] bool KeepsPictureIndices(const Image& picture, std::span<const Rgba8> palette);
[[nodiscard]] CCmap PaletteFromColours(std::span<const Rgba8> colours);

}  // namespace korvale
