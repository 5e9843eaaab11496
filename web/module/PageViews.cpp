// The gallery's quick look at a file and the views of one level, for the page. A gallery entry
// loads the file once and keeps only a thumbnail, so a folder of hundreds of textures never
// holds every level's pixels in the page at once.

#include "PageViews.h"

#include <emscripten/bind.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CSrb.h"
#include "CompanionFile.h"
#include "FileKind.h"
#include "Inputs.h"
#include "LevelEdit.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "TextureLoad.h"
#include "Thumbnail.h"
#include "Trace.h"

namespace korvale::web {

namespace {

using emscripten::val;

val Copy(const std::vector<std::uint8_t>& bytes) {
    const val view(emscripten::typed_memory_view(bytes.size(), bytes.data()));
    val copy = val::global("Uint8Array").new_(bytes.size());
    copy.call<void>("set", view);
    return copy;
}

val Refused(const std::string& reason) {
    val out = val::object();
    out.set("ok", false);
    out.set("error", reason);
    return out;
}

val Picture(const Image& image) {
    val out = val::object();
    out.set("width", image.width);
    out.set("height", image.height);
    out.set("rgba", Copy(image.pixels));
    return out;
}

// A gallery entry: what the file is, its largest level's size and type, how many levels, whether
// it is damaged (a load that failed or reported damage) with the first error, and a thumbnail
// of at most size x size. PNG pictures get their own size and a thumbnail of the picture.
val Summarize(const val& bytes, const std::string& name, int size) {
    const std::vector<std::uint8_t> data =
        emscripten::convertJSArrayToNumberVector<std::uint8_t>(bytes);
    val out = val::object();
    out.set("name", name);
    out.set("bytes", static_cast<double>(data.size()));
    // Each kind has its own cap, as when the file is opened: a texture over the texture cap
    // is refused here too, not decoded into memory the page does not have.
    const bool picture = RecogniseFile(data).kind == FileKind::kPng;
    if (data.size() > CapFor(picture ? InputKind::kPicture : InputKind::kTexture).maxBytes) {
        out.set("ok", false);
        out.set("kind", "unknown");
        out.set("damaged", true);
        out.set("error", name + (picture ? ": is larger than any picture Korvale takes"
                                         : ": is larger than any texture file"));
        return out;
    }
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    Status loaded;
    {
        const TraceTo quiet(nullptr);
        loaded = LoadTexture(data, name, record, kind);
    }
    if (kind == FileKind::kPng) {
        Image picture;
        const Status read = ReadPng(data, picture);
        out.set("kind", "png");
        out.set("ok", static_cast<bool>(read));
        out.set("damaged", !read);
        out.set("error", read ? std::string() : Status(read).In(name).Text());
        out.set("width", picture.width);
        out.set("height", picture.height);
        out.set("typeName", "picture");
        out.set("levels", 0);
        if (read) {
            // A picture is shown by the browser itself; only its size is needed here.
            out.set("thumb", val::null());
        }
        return out;
    }
    out.set("kind", kind == FileKind::kSrb ? "srb" : kind == FileKind::kMip ? "mip" : "unknown");
    if (!loaded) {
        out.set("ok", false);
        out.set("damaged", true);
        out.set("error", Status(loaded).In(name).Text());
        return out;
    }
    const CMip& mip = record.mip;
    const std::vector<int> slots = mip.FilledSlots();
    out.set("ok", true);
    out.set("damaged", !mip.loadReport.Clean());
    out.set("error", mip.loadReport.FirstError());
    out.set("levels", static_cast<int>(slots.size()));
    if (slots.empty()) {
        out.set("width", 0);
        out.set("height", 0);
        out.set("typeName", "none");
        return out;
    }
    const CBmap& top = mip.levels[static_cast<std::size_t>(slots.front())];
    out.set("width", top.Width());
    out.set("height", top.Height());
    out.set("type", top.Type());
    out.set("typeName", PixelTypeName(top.Type()));
    Image thumbnail;
    if (MakeThumbnail(mip, size, thumbnail)) {
        out.set("thumb", Picture(thumbnail));
    }
    return out;
}

// The name of the companion file that goes with an SRB file of this name, by the library's rule,
// so the page finds it among the files it was given and names it in a save.
std::string CompanionName(const std::string& srbName) {
    const std::string path = CompanionPath(srbName);
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

val LevelViews(const CMip& mip, int slot) {
    if (slot < 0 || slot >= CMip::kSlots || !mip.levels[static_cast<std::size_t>(slot)].HasData()) {
        return Refused("no level in slot " + std::to_string(slot));
    }
    const CBmap& level = mip.levels[static_cast<std::size_t>(slot)];
    const Image raw = LevelToImage(level, mip.LevelPalette(slot), LevelView::kRaw);
    const Image shown = LevelToImage(level, mip.LevelPalette(slot));
    val out = val::object();
    out.set("ok", true);
    out.set("slot", slot);
    out.set("width", level.Width());
    out.set("height", level.Height());
    out.set("raw", Copy(raw.pixels));
    val palette = val::array();
    for (const Rgba8& entry : shown.palette) {
        val colour = val::array();
        for (const std::uint8_t c : entry) {
            colour.call<void>("push", c);
        }
        palette.call<void>("push", colour);
    }
    out.set("palette", palette);
    out.set("indices", Copy(shown.indices));
    return out;
}

val ReplaceLevel(CMip& mip, int slot, const val& png, const std::string& name,
                 bool rebuildPalette) {
    const std::vector<std::uint8_t> data =
        emscripten::convertJSArrayToNumberVector<std::uint8_t>(png);
    if (data.size() > CapFor(InputKind::kPicture).maxBytes) {
        return Refused(name + ": is larger than any picture Korvale takes");
    }
    Image picture;
    if (const Status read = ReadPng(data, picture); !read) {
        return Refused(Status(read).In(name).Text());
    }
    if (const Status put = PutBackLevel(mip, slot, picture, rebuildPalette); !put) {
        return Refused(Status(put).In(name).Text());
    }
    val out = val::object();
    out.set("ok", true);
    return out;
}

EMSCRIPTEN_BINDINGS(korvale_page) {
    emscripten::function("summarize", &Summarize);
    emscripten::function("companionName", &CompanionName);
}

}  // namespace korvale::web
