#pragma once
// A level as the texture viewer draws it: one QImage at 1x per level and view, and the text the
// viewer gives for one pixel. Every colour comes from LevelToImage, so the viewer shows what
// export and comparison see.

#include <QImage>
#include <QString>

#include "CBmap.h"
#include "CCmap.h"
#include "Image.h"

namespace korvale {

// Which part of a level is drawn.
enum class ChannelView {
    kColour,        // the colours, with or without their alpha
    kAlpha,         // alpha alone, as grey
    kIndexGrey,     // the index plane as a grey ramp (index * 17); palettised levels only
    kIndexPalette,  // the index plane through the palette, opaque; palettised levels only
};

struct LevelPaint {
    // In the colour view, keep each pixel's alpha (for drawing over a checkerboard) or make
    // every pixel opaque. The other views are always opaque.
    bool alpha = true;
    // A palette index to pick out: the pixels of every other index are darkened to a quarter
    // of their colour. -1 picks out nothing; ignored for 16-bit levels.
    int highlight = -1;
};

// Whether a view can show a level of this pixel type (the index views need a palettised type).
[[nodiscard]] bool ViewFits(ChannelView view, int type);

// The level at 1x in QImage::Format_ARGB32 (straight alpha). A view that does not fit the level
// draws the colours instead. An empty level gives a null image.
[[nodiscard]] QImage LevelToQImage(const CBmap& level, const CCmap& palette, ChannelView view,
                                   const LevelPaint& paint = {});
// The same from the level's LevelToImage, for a caller that keeps that anyway.
[[nodiscard]] QImage ShownToQImage(const Image& shown, ChannelView view,
                                   const LevelPaint& paint = {});

// "x 12, y 7  R 248 (255) G 0 (0) B 0 (0) A 128 (255)": the stored channel values of the pixel
// and, in brackets, the 8-bit values shown for them (from shown, the level's LevelToImage),
// then "  index 3" for a palettised level. Empty outside the level.
[[nodiscard]] QString PixelReadout(const CBmap& level, const Image& shown, int x, int y);

}  // namespace korvale
