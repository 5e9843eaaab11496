#pragma once
// What the page shows beyond a texture's pictures: a gallery entry for a file, a level's stored
// values and indices for the texel read-out and the index view, and a level replaced from a
// picture. Each only presents or calls the library; the page's module binds them.

#include <emscripten/val.h>

#include "CMip.h"

namespace korvale::web {

// A level's raw plane values as RGBA (what is stored), and for a palettised level its 16
// palette entries and one index per pixel: {ok, slot, width, height, raw, palette, indices}.
[[nodiscard]] emscripten::val LevelViews(const CMip& mip, int slot);

// Puts the PNG picture's bytes back into the level in slot, keeping its type (and palette
// unless rebuildPalette). {ok} or {ok: false, error}; a failure leaves mip as it was.
[[nodiscard]] emscripten::val ReplaceLevel(CMip& mip, int slot, const emscripten::val& png,
                                           const std::string& name, bool rebuildPalette);

}  // namespace korvale::web
