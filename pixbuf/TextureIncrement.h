#pragma once
// One texture file as gdk-pixbuf hands it to a loader: piece by piece, then "that was all". The
// pieces are kept (within the cap for texture files) and the file is decoded once it is whole,
// as the chunks of a mip set say where their levels go only once they are all read.

#include <gdk-pixbuf/gdk-pixbuf-io.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdint>
#include <span>
#include <vector>

#include "Status.h"

namespace korvale {

class TextureIncrement {
  public:
    // The callbacks gdk-pixbuf gave begin_load, called when the file is whole: size first (it
    // may ask for no picture, as a query of the size alone does), then prepared and updated.
    TextureIncrement(GdkPixbufModuleSizeFunc size, GdkPixbufModulePreparedFunc prepared,
                     GdkPixbufModuleUpdatedFunc updated, gpointer userData);

    // Keeps more of the file; a failure once the file would pass the cap.
    Status Append(std::span<const std::uint8_t> more);
    // Decodes what was appended and hands the largest level over as a picture with alpha.
    Status Finish();

  private:
    GdkPixbufModuleSizeFunc size_;
    GdkPixbufModulePreparedFunc prepared_;
    GdkPixbufModuleUpdatedFunc updated_;
    gpointer userData_;
    std::vector<std::uint8_t> bytes_;
    bool refused_ = false;  // a piece passed the cap: the rest is not kept
};

}  // namespace korvale
