#pragma once
// Reads one MIP or SRB file for QImageReader. The file is loaded once, at the first question
// about it; each filled level is one image, largest first, at full scale with alpha (as
// `korvale-tool export --all` writes them).

#include <QImageIOHandler>

#include <vector>

#include "CSrb.h"

namespace korvale {

class KorvaleImageHandler : public QImageIOHandler {
  public:
    KorvaleImageHandler();
    ~KorvaleImageHandler() override;
    KorvaleImageHandler(const KorvaleImageHandler&) = delete;
    KorvaleImageHandler& operator=(const KorvaleImageHandler&) = delete;

    // Whether device's next bytes are a MIP tag ("PIM " on disk) or an SRB tag (" BRS").
    [[nodiscard]] static bool StartsWithTag(QIODevice* device);

    [[nodiscard]] bool canRead() const override;
    // The level the reader stands at, then moves on to the next, so repeated reads walk the
    // chain from the largest level down.
    [[nodiscard]] bool read(QImage* image) override;
    // The number of filled levels; 0 when the file cannot be loaded.
    [[nodiscard]] int imageCount() const override;
    [[nodiscard]] bool jumpToImage(int imageNumber) override;
    [[nodiscard]] bool jumpToNextImage() override;
    // The level the next read gives, counted from the largest.
    [[nodiscard]] int currentImageNumber() const override;
    [[nodiscard]] bool supportsOption(ImageOption option) const override;
    [[nodiscard]] QVariant option(ImageOption option) const override;

  private:
    // Loads the device's bytes on first use; false when they are not a texture with a level.
    bool Load() const;

    // Loaded lazily from const questions (imageCount, option), hence mutable.
    mutable CSrb record_;
    mutable std::vector<int> slots_;
    mutable bool tried_ = false;
    int current_ = 0;
};

}  // namespace korvale
