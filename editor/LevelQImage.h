#pragma once
// A level as the texture viewer draws it: one QImage at 1x per level and view, and the text the
// viewer gives for one pixel. Every colour comes from LevelToImage, so the viewer shows what
// export and comparison see.

#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

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

// A level drawn once for a view, so that picking out another palette index (a swatch hovered)
// chooses per pixel between two pictures instead of drawing the level again.
class LevelPicture {
  public:
    LevelPicture() = default;
    // From the level's LevelToImage, in a view, keeping alpha as LevelPaint::alpha says.
    LevelPicture(const Image& shown, ChannelView view, bool alpha);

    // What ShownToQImage draws with that highlight, in QImage::Format_ARGB32_Premultiplied.
    [[nodiscard]] QImage Picked(int highlight) const;

  private:
    QImage plain_;
    QImage dimmed_;                      // every pixel darkened; null for a 16-bit level
    std::vector<std::uint8_t> indices_;  // chooses between them; empty for a 16-bit level
};

// What one pixel holds and how it is shown: "x 60, y 36: stored 2, 8, 0, 15 → shown 34, 136, 0,
// 255 (argb4444)". Stored are the channel codes of a 16-bit level (red, green, blue, and alpha
// when the type has it: a 4-bit 15 is 15, not the plane's 240) or "index 3" of a palettised one;
// shown are the 8-bit RGBA values drawn for it (from shown, the level's LevelToImage). Empty
// outside the level.
[[nodiscard]] QString PixelReadout(const CBmap& level, const Image& shown, int x, int y);

}  // namespace korvale
