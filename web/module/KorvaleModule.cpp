// The page's way into the operations library: loading a texture from its bytes, importing a
// picture with the tool's choices, saving and exporting, all to and from bytes. It parses what
// the page hands over and presents what the operations return; every operation is the library's,
// the same calls korvale-tool makes. Files a call writes go to emscripten's in-memory file
// system (under /korvale) for the length of the call, so saves go through the library's safe
// save exactly as on a disk.

#include <emscripten/bind.h>
#include <emscripten/val.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "CSrb.h"
#include "CompanionFile.h"
#include "CompanionSize.h"
#include "Export.h"
#include "FileKind.h"
#include "ImportJob.h"
#include "Inputs.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "PageViews.h"
#include "PixelType.h"
#include "Saving.h"
#include "TextureLoad.h"
#include "Trace.h"

namespace korvale::web {

namespace {

using emscripten::val;
namespace fs = std::filesystem;

constexpr float kLargestValue = 100000.0F;  // the dialog's range of a header value
constexpr float kLargestMetres = 1000.0F;   // and of the size in metres

std::vector<std::uint8_t> BytesOf(const val& array) {
    return emscripten::convertJSArrayToNumberVector<std::uint8_t>(array);
}

// A copy the page owns: a view into the module's memory would move when the memory grows.
val ArrayOf(const std::vector<std::uint8_t>& bytes) {
    const val view(emscripten::typed_memory_view(bytes.size(), bytes.data()));
    val copy = val::global("Uint8Array").new_(bytes.size());
    copy.call<void>("set", view);
    return copy;
}

// A message as the page's user sees it: the files of a call live in a scratch folder of the
// module's own file system (/korvale/N/, below), which the user never gave and must not see, so
// a file there is named by its own name alone.
std::string ForThePage(std::string text) {
    static const std::string kScratch = "/korvale/";
    for (std::size_t at = text.find(kScratch); at != std::string::npos;
         at = text.find(kScratch, at)) {
        std::size_t end = at + kScratch.size();
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
        if (end > at + kScratch.size() && end < text.size() && text[end] == '/') {
            text.erase(at, end + 1 - at);
        } else {
            at = end;
        }
    }
    return text;
}

val Failure(const Status& status) {
    val result = val::object();
    result.set("ok", false);
    result.set("error", ForThePage(status.Text()));
    return result;
}

// A folder of its own for one call's files, gone when the call returns.
class Scratch {
  public:
    Scratch() {
        static int next = 0;
        root_ = fs::path("/korvale") / std::to_string(++next);
        fs::create_directories(root_);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    [[nodiscard]] std::string Path(const std::string& name) const {
        return (root_ / name).string();
    }
    [[nodiscard]] std::string Write(const std::string& name,
                                    const std::vector<std::uint8_t>& bytes) const {
        const std::string path = Path(name);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

  private:
    fs::path root_;
};

std::vector<std::uint8_t> ReadBack(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Only the last part of a name the page gives: a file is never written outside the scratch.
std::string BaseName(const std::string& name) {
    const std::string base = fs::path(name).filename().string();
    return base.empty() || base == "." || base == ".." ? std::string("texture") : base;
}

val FilesOf(const std::vector<std::string>& paths) {
    val files = val::array();
    for (const std::string& path : paths) {
        val file = val::object();
        file.set("name", fs::path(path).filename().string());
        file.set("bytes", ArrayOf(ReadBack(path)));
        files.call<void>("push", file);
    }
    return files;
}

val ReportOf(const LoadReport& report) {
    val out = val::object();
    out.set("clean", report.Clean());
    out.set("summary", report.Summary());
    out.set("firstError", report.FirstError());
    out.set("firstErrorOffset", static_cast<double>(report.FirstErrorOffset()));
    out.set("cutShort", report.WasCutShort());
    val rejected = val::array();
    for (const RejectedLevel& r : report.Rejected()) {
        val level = val::object();
        level.set("slot", r.slot);
        level.set("offset", static_cast<double>(r.offset));
        level.set("reason", r.reason);
        rejected.call<void>("push", level);
    }
    out.set("rejected", rejected);
    return out;
}

const char* KindName(FileKind kind) {
    switch (kind) {
        case FileKind::kSrb:
            return "srb";
        case FileKind::kMip:
            return "mip";
        case FileKind::kPng:
            return "png";
        case FileKind::kUnknown:
            break;
    }
    return "unknown";
}

// A header value or size from the page, within the dialog's range.
bool InRange(const val& number, float largest, float& value) {
    if (!number.isNumber()) {
        return false;
    }
    const auto v = number.as<double>();
    if (!(v >= 0.0 && v <= largest)) {
        return false;
    }
    value = static_cast<float>(v);
    return true;
}

}  // namespace

// A texture the page has open: what a load made of a file, edited and saved from here.
class Texture {
  public:
    // Loads a file's bytes; name is what messages call it. companion, when the page has the
    // companion's bytes, gives the size in metres when it is this file's.
    val Load(const val& bytes, const std::string& name, const val& companion) {
        record_ = CSrb{};
        name_ = BaseName(name);
        FileKind kind = FileKind::kUnknown;
        const std::vector<std::uint8_t> data = BytesOf(bytes);
        if (data.size() > CapFor(InputKind::kTexture).maxBytes) {
            return Failure(Status::Failure("is larger than any texture file").In(name_));
        }
        Status loaded;
        {
            const TraceTo quiet(nullptr);
            loaded = LoadTexture(data, name_, record_, kind);
        }
        kind_ = kind;
        if (!loaded) {
            return Failure(loaded);
        }
        record_.sizeInMetres = 1.0F;
        metresFrom_ = "no companion";
        if (kind == FileKind::kSrb && !companion.isUndefined() && !companion.isNull()) {
            // Read by the library's rule, from the pair as it would lie in a folder.
            Scratch scratch;
            const std::string srbPath = scratch.Write(name_, data);
            (void)scratch.Write(fs::path(CompanionPath(srbPath)).filename().string(),
                                BytesOf(companion));
            const CompanionSize size = ReadCompanionSize(srbPath);
            record_.sizeInMetres = size.metres;
            metresFrom_ = size.Describe();
        }
        return Describe();
    }

    // What the page shows: kind, header, the six values, the size, the levels as RGBA and the
    // load report.
    val Describe() const {
        val out = val::object();
        out.set("ok", true);
        out.set("kind", KindName(kind_));
        out.set("name", name_);
        const CMip& mip = record_.mip;
        val header = val::object();
        header.set("miptype", mip.miptype);
        header.set("powerwidth", mip.powerwidth);
        header.set("powerheight", mip.powerheight);
        header.set("col", mip.col);
        header.set("vrepeat", mip.vrepeat);
        header.set("hrepeat", mip.hrepeat);
        header.set("numimages", mip.numimages);
        out.set("header", header);
        val values = val::array();
        for (const float v : record_.header) {
            values.call<void>("push", v);
        }
        out.set("values", values);
        out.set("metres", record_.sizeInMetres);
        out.set("metresFrom", metresFrom_);
        val levels = val::array();
        for (const int slot : mip.FilledSlots()) {
            const CBmap& level = mip.levels[static_cast<std::size_t>(slot)];
            const Image image = LevelToImage(level, mip.LevelPalette(slot));
            val l = val::object();
            l.set("slot", slot);
            l.set("width", level.Width());
            l.set("height", level.Height());
            l.set("type", level.Type());
            l.set("typeName", PixelTypeName(level.Type()));
            l.set("rgba", ArrayOf(image.pixels));
            levels.call<void>("push", l);
        }
        out.set("levels", levels);
        out.set("report", ReportOf(mip.loadReport));
        return out;
    }

    // The six values (0 to 100000) and the size in metres (0 to 1000), as the dialog takes
    // them; nothing changes when one is out of range.
    val SetValues(const val& values, const val& metres) {
        std::array<float, CSrb::kHeaderValues> taken{};
        if (!values.isArray() || values["length"].as<int>() != CSrb::kHeaderValues) {
            return Failure(Status::Failure("six header values are needed"));
        }
        for (int i = 0; i < CSrb::kHeaderValues; ++i) {
            if (!InRange(values[i], kLargestValue, taken[static_cast<std::size_t>(i)])) {
                return Failure(Status::Failure("header value " + std::to_string(i + 1) +
                                               " must be a number from 0 to 100000"));
            }
        }
        float size = 0.0F;
        if (!InRange(metres, kLargestMetres, size)) {
            return Failure(Status::Failure("the size must be a number of metres from 0 to 1000"));
        }
        record_.header = taken;
        record_.sizeInMetres = size;
        return Describe();
    }

    // The record saved as name (an SRB file with its companion, or a MIP file, by asSrb): the
    // files a save writes, as {name, bytes}.
    val Save(const std::string& name, bool asSrb) const {
        Scratch scratch;
        const std::string path = scratch.Path(BaseName(name));
        if (const Status saved = SaveRecord(record_, path, asSrb); !saved) {
            return Failure(saved);
        }
        val out = val::object();
        out.set("ok", true);
        out.set("files", asSrb ? FilesOf({path, CompanionPath(path)}) : FilesOf({path}));
        return out;
    }

    // PNG files as korvale-tool export writes them: mode "level" (slot, or -1 for the largest),
    // "all" (NAME-WxH.png for every level) or "sheet"; raw for the planes' values as stored.
    val Export(const std::string& mode, int slot, bool raw) const {
        ExportRequest request;
        request.mode = mode == "all"     ? ExportMode::kAll
                       : mode == "sheet" ? ExportMode::kSheet
                                         : ExportMode::kLevel;
        if (slot >= 0) {
            request.slot = slot;
        }
        request.view = raw ? LevelView::kRaw : LevelView::kFullScale;
        std::vector<ExportFile> files;
        const std::string stem = TextureBaseName(name_);
        const std::string out = request.mode == ExportMode::kAll ? stem : stem + ".png";
        if (const Status encoded = EncodeExport(record_.mip, stem, out, request, files); !encoded) {
            return Failure(encoded);
        }
        val list = val::array();
        for (const ExportFile& f : files) {
            val file = val::object();
            file.set("name", fs::path(f.path).filename().string());
            file.set("bytes", ArrayOf(f.png));
            file.set("line", f.line);
            list.call<void>("push", file);
        }
        val result = val::object();
        result.set("ok", true);
        result.set("files", list);
        return result;
    }

    // A level's stored values, palette and indices, for the texel read-out and the index view.
    val Views(int slot) const { return LevelViews(record_.mip, slot); }

    // The level in slot replaced from a PNG picture of its size; what the page then shows.
    val Replace(int slot, const val& png, const std::string& name, bool rebuildPalette) {
        val put = ReplaceLevel(record_.mip, slot, png, BaseName(name), rebuildPalette);
        return put["ok"].isTrue() ? Describe() : put;
    }

    CSrb& Record() { return record_; }
    void Took(const std::string& name, FileKind kind) {
        name_ = name;
        kind_ = kind;
        metresFrom_ = "imported";
    }

  private:
    CSrb record_;
    std::string name_ = "texture";
    FileKind kind_ = FileKind::kUnknown;
    std::string metresFrom_;
};

namespace {

// The import's choices as the tool takes them: type, palette ("shared", "per-level", or
// paletteFile's bytes), dither, levels, size ("WxH"), filter, repeat, values and metres.
Status ReadChoices(const val& choices, const Scratch& scratch, ImportJob& job) {
    auto text = [&choices](const char* key) {
        const val v = choices[key];
        return v.isString() ? v.as<std::string>() : std::string();
    };
    ImportChoiceTexts texts;
    texts.type = text("type");
    texts.palette = text("palette");
    texts.filter = text("filter");
    if (const val file = choices["paletteFile"]; !file.isUndefined() && !file.isNull()) {
        texts.palette =
            scratch.Write(BaseName(text("paletteFileName").empty() ? std::string("palette.png")
                                                                   : text("paletteFileName")),
                          BytesOf(file));
    }
    LoadReport report;
    if (Status taken = TakeChoiceTexts(texts, job, report); !taken) {
        return taken;
    }
    job.options.dither = choices["dither"].isTrue();
    if (const val levels = choices["levels"]; levels.isNumber()) {
        const int n = levels.as<int>();
        if (n < 1 || n > CMip::kSlots) {
            return Status::Failure("levels must be from 1 to 9");
        }
        job.options.levels = n;
    }
    if (const std::string size = text("size"); !size.empty()) {
        const std::size_t x = size.find('x');
        const int w = x == std::string::npos ? 0 : std::atoi(size.substr(0, x).c_str());
        const int h = x == std::string::npos ? 0 : std::atoi(size.substr(x + 1).c_str());
        if (w < 1 || h < 1 || w > CMip::kLargestSide || h > CMip::kLargestSide ||
            !std::has_single_bit(static_cast<unsigned>(w)) ||
            !std::has_single_bit(static_cast<unsigned>(h))) {
            return Status::Failure("the size takes two powers of two from 1 to 256, not '" + size +
                                   "'");
        }
        job.options.topWidth = w;
        job.options.topHeight = h;
    }
    if (const val repeat = choices["repeat"]; repeat.isNumber()) {
        const int r = repeat.as<int>();
        if (r < 0 || r > 3) {
            return Status::Failure("the repeat code is from 0 to 3");
        }
        job.options.repeat = r;
    }
    if (const val values = choices["values"]; values.isArray()) {
        if (values["length"].as<int>() != CSrb::kHeaderValues) {
            return Status::Failure("six header values are needed");
        }
        for (int i = 0; i < CSrb::kHeaderValues; ++i) {
            if (!InRange(values[i], kLargestValue, job.values[static_cast<std::size_t>(i)])) {
                return Status::Failure("header value " + std::to_string(i + 1) +
                                       " must be a number from 0 to 100000");
            }
        }
    }
    if (const val metres = choices["metres"]; !metres.isUndefined()) {
        if (!InRange(metres, kLargestMetres, job.metres)) {
            return Status::Failure("the size must be a number of metres from 0 to 1000");
        }
    }
    return {};
}

// Imports the PNG picture's bytes into texture with choices, as korvale-tool import does, and
// returns what was made and the files a save as out (its ending chooses SRB or MIP) writes.
val Import(Texture& texture, const val& png, const std::string& pictureName, const val& choices,
           const std::string& out) {
    Scratch scratch;
    ImportJob job;
    if (const Status read = ReadChoices(choices, scratch, job); !read) {
        return Failure(read);
    }
    // Like an original (originalBytes, originalName, with its companion's bytes when it is an
    // SRB file): what the choices leave open is taken from it, as korvale-tool import --like.
    if (const val original = choices["originalBytes"];
        !original.isUndefined() && !original.isNull()) {
        const val given = choices["originalName"];
        const std::string originalPath = scratch.Write(
            BaseName(given.isString() ? given.as<std::string>() : std::string("original.srb")),
            BytesOf(original));
        if (const val companion = choices["originalCompanion"];
            !companion.isUndefined() && !companion.isNull()) {
            (void)scratch.Write(fs::path(CompanionPath(originalPath)).filename().string(),
                                BytesOf(companion));
        }
        LikeChoices like;
        like.type = choices["type"].isString() && !choices["type"].as<std::string>().empty();
        if (choices["palette"].isString() && !choices["palette"].as<std::string>().empty()) {
            like.palette = choices["palette"].as<std::string>();
        }
        like.levels = choices["levels"].isNumber();
        like.repeat = choices["repeat"].isNumber();
        like.values = choices["values"].isArray();
        like.metres = !choices["metres"].isUndefined();
        LoadReport report;
        const TraceTo quiet(nullptr);
        if (const Status taken = ImportLike(originalPath, like, job, report); !taken) {
            return Failure(taken);
        }
    }
    const std::vector<std::uint8_t> picture = BytesOf(png);
    if (picture.size() > CapFor(InputKind::kPicture).maxBytes) {
        return Failure(Status::Failure("is larger than any picture Korvale takes").In(pictureName));
    }
    const std::string in = scratch.Write(BaseName(pictureName), picture);
    CSrb record;
    std::string made;
    if (const Status imported = ImportFiles(in, {}, job, record, made); !imported) {
        return Failure(imported);
    }
    const std::string name = BaseName(out);
    const bool asSrb = fs::path(name).extension() == ".srb";
    texture.Record() = std::move(record);
    texture.Took(name, asSrb ? FileKind::kSrb : FileKind::kMip);
    val result = texture.Save(name, asSrb);
    result.set("made", made);
    return result;
}

}  // namespace

EMSCRIPTEN_BINDINGS(korvale) {
    emscripten::class_<Texture>("Texture")
        .constructor<>()
        .function("load", &Texture::Load)
        .function("describe", &Texture::Describe)
        .function("setValues", &Texture::SetValues)
        .function("save", &Texture::Save)
        .function("exportPng", &Texture::Export)
        .function("views", &Texture::Views)
        .function("replaceLevel", &Texture::Replace);
    emscripten::function("importPng", &Import);
}

}  // namespace korvale::web
