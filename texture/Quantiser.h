#pragma once
// Reduces full-precision levels to at most 16 colours: the palette for one level or for a
// whole chain at once, and the index of each pixel into it.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "Image.h"

namespace korvale {

// A palette of at most `colours` entries (1..16; other values are clamped into that range)
// for all the given levels together: pass the whole chain for a shared palette, or one level
// for a palette of its own. When the levels hold no more distinct colours (each channel rounded
// to 8 bits, every fully transparent colour counted as 0,0,0,0) than `colours`, the palette is
// exactly those colours in order of first appearance, levels scanned in the order given.
// Otherwise, when the first level alone has at most `colours` of them (the top of a chain whose
// smaller levels add blends), its colours are the first entries, in order of first appearance,
// so it maps back exactly; the entries left over are the best fit for the other pixels. Else it
// is the best fit found for all pixels alike. Either way the fully transparent pixels get one
// 0,0,0,0 entry of their own (first when there are no fixed entries) if there is room. A fit is
// judged on straight sRGB colour and alpha (0..1): for each pixel, alpha * (squared colour
// difference) + w * (alpha difference)^2, so colour counts as much as the pixel shows. The search
// starts with w = 2.5; where alpha can be wrong at all it goes on with a w balanced for the
// picture (more for a faint glow, less where colour is the harder part to fit). Last, entries
// that serve little are moved where colours are served worst, wherever that lowers the cost
// without making colour or alpha worse. The same input always gives the same palette. Empty
// input gives an empty palette.
[[nodiscard]] std::vector<Rgba8> BuildPalette(std::span<const SrgbImage> levels, int colours = 16);

inline constexpr float kDefaultAlphaWeight = 2.5f;

// A palette and the alpha weight w it was fitted with, which mapping to it should use.
struct PaletteFit {
    std::vector<Rgba8> colours;
    float alphaWeight = kDefaultAlphaWeight;
    bool balanced = false;  // whether the search chose the weight (alpha could be wrong at all)
};
// How far a search goes beyond BuildPalette's.
struct FitOptions {
    // Go on with this weight instead of one balanced for the levels given.
    std::optional<float> alphaWeight;
    // Also search afresh from new cuts at the final weight, and keep whichever palette costs less.
    bool freshStart = false;
};
// BuildPalette, with the weight it chose.
[[nodiscard]] PaletteFit FitPalette(std::span<const SrgbImage> levels, int colours = 16,
                                    const FitOptions& options = {});

// One index per pixel, row-major: the nearest palette entry, judged the way BuildPalette judges
// colours with alpha weighed by alphaWeight (the one the palette was fitted with). A pixel whose
// rounded value is an entry gets that entry. With `dither`, serpentine Floyd-Steinberg error
// diffusion on the sRGB values, colour and alpha diffused separately: an invisible pixel passes on
// no colour error, a neighbour that shows more than the pixel takes its colour error only in
// proportion (alpha of the pixel / alpha of the neighbour), and a carried error far larger than the
// level's error without dithering is partly let go. Only the first 16 entries are used; an empty
// palette gives all zeros.
[[nodiscard]] std::vector<std::uint8_t> MapToPalette(const SrgbImage& level,
                                                     std::span<const Rgba8> palette, bool dither,
                                                     float alphaWeight = kDefaultAlphaWeight);

}  // namespace korvale
