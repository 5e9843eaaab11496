#pragma once
// An SRB or MIP file as a GIMP image: the top level is the image, every other level a hidden
// layer named with its size and slot; a set whose levels share one palette is an indexed image
// with that palette. What the pixels do not hold (header, palettes, values, size) is kept with
// the image, so an export makes the same file again.

#include <libgimp/gimp.h>

#include <string>

namespace korvale::gimp {

// The name of the image parasite that keeps the texture's shape.
inline constexpr const char* kShapeParasite = "korvale-texture";

// Opens path; -1 with error set when nothing could be loaded. A set that loaded with damage
// opens with what loaded, and damage says what was wrong.
[[nodiscard]] gint32 OpenTexture(const std::string& path, bool topOnly, std::string& error,
                                 std::string& damage);

// A thumbnail of at most size x size pixels as a new image, for GIMP's open dialog; width and
// height are the texture's own size. -1 with error set when nothing could be loaded.
[[nodiscard]] gint32 OpenThumbnail(const std::string& path, int size, int& width, int& height,
                                   std::string& error);

}  // namespace korvale::gimp
