#include "ImportCommand.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "CompanionFile.h"
#include "Importer.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "ToolSupport.h"

namespace korvale::tool {

namespace {

// The largest header value the editor accepts; the tool takes the same.
constexpr float kLargestValue = 100000.0F;

struct ImportJob {
    ImportOptions options;
    bool srb = false;
    std::array<float, CSrb::kHeaderValues> values{};
    float metres = 1.0F;
    // What the import itself does not choose: a palettised type code other than 0 (1 and 2 are
    // the same 4-bit layout), and a miptype other than the importer's 0 or 2.
    int typeCode = -1;
    std::optional<int> miptype;
    // With --like: the original, whose stored pixels are kept wherever the picture is unchanged.
    std::shared_ptr<const CSrb> original;
};

// Where the picture equals the original's top level as exported, the original's stored pixels
// are kept, in every level: a painted pixel changes only its own footprint in the chain, not
// the rounding of every other level. Only for levels stored alike (same type and palette).
void KeepUnpainted(const CMip& original, const Image& picture, CMip& made) {
    const std::vector<int> slots = original.FilledSlots();
    if (slots.empty() || slots != made.FilledSlots()) {
        return;
    }
    const int top = slots.front();
    const Image before =
        LevelToImage(original.levels[static_cast<std::size_t>(top)], original.LevelPalette(top));
    if (before.width != picture.width || before.height != picture.height) {
        return;
    }
    const auto w = static_cast<std::size_t>(picture.width);
    auto same = [&](std::size_t x0, std::size_t y0, std::size_t bw, std::size_t bh) {
        for (std::size_t y = y0; y < y0 + bh; ++y) {
            const auto from = static_cast<std::ptrdiff_t>(4 * (y * w + x0));
            if (!std::equal(before.pixels.begin() + from,
                            before.pixels.begin() + from + static_cast<std::ptrdiff_t>(4 * bw),
                            picture.pixels.begin() + from)) {
                return false;
            }
        }
        return true;
    };
    for (const int k : slots) {
        const auto slot = static_cast<std::size_t>(k);
        const CBmap& old = original.levels[slot];
        CBmap& level = made.levels[slot];
        if (old.Type() != level.Type() || old.Width() != level.Width() ||
            old.Height() != level.Height() || original.LevelPalette(k) != made.LevelPalette(k)) {
            continue;
        }
        const auto lw = static_cast<std::size_t>(level.Width());
        const auto lh = static_cast<std::size_t>(level.Height());
        const std::size_t bw = w / lw;
        const std::size_t bh = static_cast<std::size_t>(picture.height) / lh;
        for (std::size_t y = 0; y < lh; ++y) {
            for (std::size_t x = 0; x < lw; ++x) {
                if (!same(x * bw, y * bh, bw, bh)) {
                    continue;
                }
                for (const PlaneId plane :
                     {PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA, PlaneId::kIndex}) {
                    level.Plane(plane)[y * lw + x] = old.Plane(plane)[y * lw + x];
                }
            }
        }
    }
}

// Makes every palettised level of mip carry the type code (1 or 2: the same 4-bit layout as 0).
void Retype(CMip& mip, int code) {
    for (const int k : mip.FilledSlots()) {
        CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        if (KindOf(level.Type()) != PixelKind::kPalettised || level.Type() == code) {
            continue;
        }
        CBmap retyped;
        if (!retyped.Allocate(code, level.Width(), level.Height())) {
            continue;  // cannot happen for a level that exists: same size, a byte-sized code
        }
        for (const PlaneId plane :
             {PlaneId::kR, PlaneId::kG, PlaneId::kB, PlaneId::kA, PlaneId::kIndex}) {
            std::ranges::copy(std::as_const(level).Plane(plane), retyped.Plane(plane).begin());
        }
        level = std::move(retyped);
    }
}

// A picture from a file, or from standard input for "-".
Status ReadPicture(const std::string& path, Image& picture) {
    if (path != "-") {
        return ReadPngFile(path, picture);
    }
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, bytes); !read) {
        return read;
    }
    return ReadPng(bytes, picture).In(path);
}

// Hand-made levels must have a size the chain has; the failure names the picture that does not.
Status CheckHandMadeSizes(const Image& picture, const ImportOptions& options,
                          const std::vector<std::string>& paths) {
    auto [w, h] = AutomaticTopSize(picture.width, picture.height);
    if (options.topWidth != 0) {
        w = options.topWidth;
        h = options.topHeight;
    }
    const int chain = std::bit_width(static_cast<unsigned>(std::max(w, h)));
    const int count = options.levels > 0 ? std::min(options.levels, chain) : chain;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const Image& level = options.handMadeLevels[i];
        bool fits = false;
        for (int k = 0; k < count; ++k) {
            fits =
                fits || (level.width == std::max(1, w >> k) && level.height == std::max(1, h >> k));
        }
        if (!fits) {
            return Status::Failure("a level of " + std::to_string(level.width) + " x " +
                                   std::to_string(level.height) + " has no place in a chain from " +
                                   std::to_string(w) + " x " + std::to_string(h))
                .In(paths[i]);
        }
    }
    return {};
}

// Reads, imports and saves one picture; a failure names the file it concerns.
Status ImportOne(const std::string& in, const std::vector<std::string>& handMade,
                 const std::string& out, const ImportJob& job, std::string& made) {
    Image picture;
    if (Status read = ReadPicture(in, picture); !read) {
        return read;
    }
    ImportOptions options = job.options;
    std::string error;
    for (const std::string& path : handMade) {
        Image level;
        if (Status read = ReadPngFile(path, level); !read) {
            return read;
        }
        options.handMadeLevels.push_back(std::move(level));
    }
    if (Status misfit = CheckHandMadeSizes(picture, options, handMade); !misfit) {
        return misfit;
    }
    CSrb record;
    if (Status made = ImportImage(picture, options, record.mip); !made) {
        return std::move(made).In(in);
    }
    const std::vector<int> slots = record.mip.FilledSlots();
    const CBmap& top = record.mip.levels[static_cast<std::size_t>(slots.front())];
    made = std::to_string(slots.size()) + (slots.size() == 1 ? " level" : " levels") + " from " +
           std::to_string(top.Width()) + " x " + std::to_string(top.Height()) + ", " +
           PixelTypeName(top.Type());
    if (KindOf(top.Type()) == PixelKind::kPalettised) {
        made += record.mip.SavesLevelPalettes() ? ", a palette per level" : ", one shared palette";
    }
    if (job.typeCode > 0) {
        Retype(record.mip, job.typeCode);
    }
    if (job.miptype) {
        record.mip.miptype = *job.miptype;
    }
    if (job.original && handMade.empty()) {
        KeepUnpainted(job.original->mip, picture, record.mip);
    }
    record.header = job.values;
    record.sizeInMetres = job.metres;
    return SaveRecord(record, out, job.srb);
}

std::optional<std::array<float, CSrb::kHeaderValues>> ParseValues(const std::string& text) {
    std::array<float, CSrb::kHeaderValues> values{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const std::size_t comma = text.find(',', at);
        const bool last = i + 1 == values.size();
        if ((comma == std::string::npos) != last) {
            return std::nullopt;
        }
        const auto v = ParseNumber(text.substr(at, last ? std::string::npos : comma - at), 0.0F,
                                   kLargestValue);
        if (!v) {
            return std::nullopt;
        }
        values[i] = *v;
        at = comma + 1;
    }
    return values;
}

// "WxH" with both sides powers of two from 1 to 256.
std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        return std::nullopt;
    }
    const auto w = ParseInt(text.substr(0, x), 1, CMip::kLargestSide);
    const auto h = ParseInt(text.substr(x + 1), 1, CMip::kLargestSide);
    if (!w || !h || !std::has_single_bit(static_cast<unsigned>(*w)) ||
        !std::has_single_bit(static_cast<unsigned>(*h))) {
        return std::nullopt;
    }
    return std::make_pair(*w, *h);
}

int RunBatch(const std::vector<std::string>& inputs, const std::string& folder,
             const ImportJob& job, int threads, const ParsedArgs& args) {
    const bool force = args.force;
    if (folder == "-") {
        return UsageError("-o takes a folder, not - (standard output)");
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder)) {
        return Fail(folder,
                    "cannot make the output folder" + (ec ? ": " + ec.message() : std::string()));
    }
    std::vector<std::string> outs;
    std::vector<std::vector<std::string>> written;
    for (const std::string& in : inputs) {
        outs.push_back(
            (std::filesystem::path(folder) / (TextureBaseName(in) + (job.srb ? ".srb" : ".mip")))
                .string());
        written.push_back({outs.back()});
        if (job.srb) {
            written.back().push_back(CompanionPath(outs.back()));
        }
    }
    // Found before any work starts: which of two clashing inputs would be written last is down
    // to the threads, so neither is.
    const std::map<std::string, Status> clashes = Clashes(inputs, written);
    const std::size_t failed =
        RunEach(inputs.size(), threads, args.quiet ? nullptr : "importing", [&](std::size_t i) {
            if (const auto clash = clashes.find(inputs[i]); clash != clashes.end()) {
                return clash->second;
            }
            bool usage = false;
            if (Status writable = CheckOutput(outs[i], job.srb, force, usage); !writable) {
                return writable;
            }
            std::string made;
            return ImportOne(inputs[i], {}, outs[i], job, made);
        });
    if (!args.quiet) {
        std::printf("%zu imported, %zu failed\n", inputs.size() - failed, failed);
    }
    return failed == 0 ? kOk : kFailed;
}

constexpr OptionRule kOptions[] = {
    {"--type", "", true}, {"--palette", "", true}, {"--dither", "", false}, {"--levels", "", true},
    {"--size", "", true}, {"--filter", "", true},  {"--repeat", "", true},  {"--values", "", true},
    {"-o", "", true},     {"--srb", "", false},    {"-j", "", true},        {"--like", "", true},
};

// Takes from the file at path what the options did not choose: the pixel type (any of the six
// codes), the palette mode and miptype, with --palette keep the palette, the levels present,
// the repeat code, and for an SRB output the six values and its companion's size. kOk, or the
// status of the failure it printed.
int ApplyLike(const std::string& path, const ParsedArgs& args, bool metresGiven, ImportJob& job) {
    auto loaded = std::make_shared<CSrb>();
    CSrb& original = *loaded;
    InputKind kind = InputKind::kMip;
    if (const Status read = LoadRecordFile(path, original, kind); !read) {
        return Fail(read);
    }
    job.original = loaded;
    (void)ReportDamage(path, original.mip.loadReport);  // what loaded is still a good model
    const CMip& mip = original.mip;
    const std::vector<int> slots = mip.FilledSlots();
    if (slots.empty()) {
        return Fail(path, "holds no levels to import like");
    }
    const CBmap& top = mip.levels[static_cast<std::size_t>(slots.front())];
    const bool palettised = KindOf(top.Type()) == PixelKind::kPalettised;
    if (!args.Has("--type")) {
        job.typeCode = top.Type();
        job.options.type = palettised ? 0 : top.Type();
    }
    const std::optional<std::string> palette = args.Value("--palette");
    if (palettised && (!palette || *palette == "keep")) {
        job.options.palette =
            mip.SavesLevelPalettes() ? PaletteMode::kPerLevel : PaletteMode::kShared;
        job.miptype = mip.miptype;
    } else if (!palettised && !args.Has("--type")) {
        job.miptype = mip.miptype;
    }
    // A 16-bit original has no palette: keeping it keeps nothing, so one command serves a
    // folder of both kinds.
    if (palette == "keep" && palettised) {
        if (mip.SavesLevelPalettes()) {
            for (const int k : slots) {
                job.options.givenLevelPalettes.push_back(PaletteColours(mip.LevelPalette(k)));
            }
        } else {
            job.options.palette = PaletteMode::kFromFile;
            job.options.givenPalette = PaletteColours(mip.LevelPalette(slots.front()));
        }
    }
    if (job.options.topWidth == 0) {
        job.options.topWidth = top.Width();
        job.options.topHeight = top.Height();
    }
    if (!args.Has("--levels")) {
        job.options.levels = slots.front() - slots.back() + 1;
    }
    if (!args.Has("--repeat")) {
        job.options.repeat = mip.RepeatCode();
    }
    if (kind == InputKind::kSrb && !args.Has("--values")) {
        job.values = original.header;
    }
    if (!metresGiven && path != "-") {
        job.metres = ReadCompanionSize(path).value_or(job.metres);
    }
    return kOk;
}

// The pixel type and palette options; kOk, or the status of the error it printed.
int ReadTypeAndPalette(const ParsedArgs& args, ImportJob& job) {
    if (const auto value = args.Value("--type")) {
        const auto type = value->size() == 1 ? ParseInt(*value, 0, 5) : PixelTypeNamed(*value);
        if (!type) {
            return UsageError(
                "--type takes pal4, rgb565, argb1555, argb4444 or a code from 0 to 5, not '" +
                *value + "'");
        }
        job.options.type = KindOf(*type) == PixelKind::kPalettised ? 0 : *type;
        job.typeCode = *type;
    }
    const auto value = args.Value("--palette");
    if (!value) {
        return kOk;
    }
    if (*value == "shared") {
        job.options.palette = PaletteMode::kShared;
    } else if (*value == "per-level") {
        job.options.palette = PaletteMode::kPerLevel;
    } else if (*value == "keep") {
        if (!args.Has("--like")) {
            return UsageError("--palette keep goes with --like ORIGINAL");
        }
    } else {
        LoadReport report;
        std::vector<Rgba8> colours;
        const Status read = ReadPaletteFile(*value, colours, report);
        (void)ReportDamage(*value, report);  // said whether or not a palette came of it
        if (!read) {
            return Fail(read);
        }
        job.options.palette = PaletteMode::kFromFile;
        job.options.givenPalette = colours;
    }
    if (!job.options.type) {
        job.options.type = CodeOf(PixelCode::kPal4);  // asking for a palette asks for pal4
    } else if (KindOf(*job.options.type) != PixelKind::kPalettised) {
        return UsageError("--palette goes with --type pal4");
    }
    return kOk;
}

// --size, given as the top level's WxH or as the companion's metres (or both, twice).
int ReadSizes(const ParsedArgs& args, ImportJob& job, bool& metresGiven) {
    const auto given = args.values.find("--size");
    for (const std::string& value :
         given == args.values.end() ? std::vector<std::string>{} : given->second) {
        if (value.find('x') != std::string::npos) {
            const auto size = ParseSize(value);
            if (!size) {
                return UsageError("--size WxH takes two powers of two from 1 to 256, not '" +
                                  value + "'");
            }
            job.options.topWidth = size->first;
            job.options.topHeight = size->second;
            continue;
        }
        const auto metres = ParseNumber(value, 0.0F, 1000.0F);
        if (!metres) {
            return UsageError("--size takes WxH or a number of metres from 0 to 1000, not '" +
                              value + "'");
        }
        job.metres = *metres;
        metresGiven = true;
    }
    return kOk;
}

// Reads the options into job; kOk, or the status of the usage error or failure it printed.
int ReadOptions(const ParsedArgs& args, ImportJob& job, bool& metresGiven) {
    if (const int status = ReadTypeAndPalette(args, job); status != kOk) {
        return status;
    }
    if (const int status = ReadSizes(args, job, metresGiven); status != kOk) {
        return status;
    }
    job.options.dither = args.Has("--dither");
    if (const int status = IntOption(args, "--levels", 1, CMip::kSlots, job.options.levels);
        status != kOk) {
        return status;
    }
    if (const auto value = args.Value("--filter")) {
        const auto filter = FilterNamed(*value);
        if (!filter) {
            return UsageError("--filter takes area, mitchell, catmullrom or cubic, not '" + *value +
                              "'");
        }
        job.options.filter = *filter;
    }
    if (const int status = IntOption(args, "--repeat", 0, 3, job.options.repeat, "a code");
        status != kOk) {
        return status;
    }
    if (const auto value = args.Value("--values")) {
        const auto values = ParseValues(*value);
        if (!values) {
            return UsageError(
                "--values takes six numbers from 0 to 100000 separated by commas, "
                "not '" +
                *value + "'");
        }
        job.values = *values;
    }
    return kOk;
}

// One picture (with hand-made levels) into OUT.mip or OUT.srb.
int ImportSingle(const std::vector<std::string>& files, ImportJob& job, const ParsedArgs& args) {
    if (args.Has("--srb")) {
        return UsageError("--srb goes with -o DIR; otherwise OUT's ending decides");
    }
    if (files.size() < 2) {
        return UsageError("import needs IN.png and OUT.mip or OUT.srb");
    }
    const std::string& in = files.front();
    const std::string& out = files.back();
    bool usage = false;
    const Status writable = CheckOutput(out, job.srb, args.force, usage);
    if (usage) {
        return UsageError("import writes a file: OUT may not be - (standard output)");
    }
    if (!job.srb && !EndsWithNoCase(out, ".mip")) {
        return UsageError("OUT must end in .srb or .mip: '" + out + "'");
    }
    if (!writable) {
        return Fail(writable);
    }
    const std::vector<std::string> handMade(files.begin() + 1, files.end() - 1);
    std::string made;
    if (const Status imported = ImportOne(in, handMade, out, job, made); !imported) {
        return Fail(imported);
    }
    if (!args.quiet) {
        std::printf("imported '%s' into '%s': %s\n", in.c_str(), out.c_str(), made.c_str());
    }
    return kOk;
}

}  // namespace

int RunImport(std::span<const std::string> arguments) {
    const auto args = ParseArgs(arguments, kOptions, true);
    if (!args) {
        return kUsage;
    }
    ImportJob job;
    bool metresGiven = false;
    if (const int status = ReadOptions(*args, job, metresGiven); status != kOk) {
        return status;
    }
    if (const auto like = args->Value("--like")) {
        if (const int status = ApplyLike(*like, *args, metresGiven, job); status != kOk) {
            return status;
        }
    }
    const std::vector<std::string>& files = args->positional;
    const bool batch = args->Has("-o");
    job.srb =
        batch ? args->Has("--srb") : files.size() >= 2 && EndsWithNoCase(files.back(), ".srb");
    // What only an SRB file holds cannot be asked of a MIP output.
    if (!job.srb && (args->Has("--values") || metresGiven)) {
        return UsageError(std::string(args->Has("--values") ? "--values" : "--size METRES") +
                          (batch ? " goes with --srb" : " goes with an .srb output"));
    }
    int threads = 0;
    if (const int status = ReadThreads(*args, batch, threads); status != kOk) {
        return status;
    }
    if (!batch) {
        return ImportSingle(files, job, *args);
    }
    if (files.empty()) {
        return UsageError("import -o DIR needs at least one picture");
    }
    return RunBatch(files, *args->Value("-o"), job, threads, *args);
}

}  // namespace korvale::tool
