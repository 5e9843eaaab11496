#pragma once
// Dolphin's previews (and every other KDE application asking KIO for a thumbnail) of SRB and MIP
// files. KIO offers a file to the thumbnail plugins whose metadata lists its MIME type, and
// kio-extras' image thumbnailer lists only image/* types, so Korvale's files need their own.

#include <KIO/ThumbnailCreator>

namespace korvale {

class KorvaleThumbnailer : public KIO::ThumbnailCreator {
    Q_OBJECT
  public:
    KorvaleThumbnailer(QObject* parent, const QVariantList& args);

    // The texture at the request's (local) file drawn by the library's thumbnail code to fit the
    // target size; a failure for a file that is not a texture or whose sets are all damaged.
    KIO::ThumbnailResult create(const KIO::ThumbnailRequest& request) override;
};

}  // namespace korvale
