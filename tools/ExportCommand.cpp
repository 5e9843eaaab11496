#include "ExportCommand.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "Comparison.h"
#include "Importer.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "ToolSupport.h"

namespace korvale::tool {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Reads path once and loads it without the loaders' trace: into picture when it is a PNG
// picture and picture is given, else into record as an SRB or MIP file.
Status LoadTexture(const std::string& path, CSrb& record, Image* picture = nullptr) {
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, bytes); !read) {
        return read;
    }
    std::string error;
    if (picture != nullptr && IsPngSignature(bytes)) {
        return ReadPng(bytes, *picture).In(path);
    }
    InputKind kind = InputKind::kMip;
    return LoadRecord(path, bytes, true, record, kind);
}

Image Sheet(const CMip& mip, LevelView view) {
    Image sheet;
    const std::vector<int> slots = mip.FilledSlots();
    for (const int k : slots) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        sheet.width += level.Width();
        sheet.height = std::max(sheet.height, level.Height());
    }
    sheet.pixels.assign(sheet.PixelCount() * 4, 0);  // transparent where no level is
    int x = 0;
    for (const int k : slots) {
        const auto slot = static_cast<std::size_t>(k);
        const Image image = LevelToImage(mip.levels[slot], mip.LevelPalette(k), view);
        for (int row = 0; row < image.height; ++row) {
            const auto from = static_cast<std::ptrdiff_t>(4 * static_cast<std::size_t>(row) *
                                                          static_cast<std::size_t>(image.width));
            const auto to = static_cast<std::ptrdiff_t>(
                4 * (static_cast<std::size_t>(row) * static_cast<std::size_t>(sheet.width) +
                     static_cast<std::size_t>(x)));
            std::copy_n(image.pixels.begin() + from, 4 * image.width, sheet.pixels.begin() + to);
        }
        x += image.width;
    }
    return sheet;
}

std::string Decibels(double value) {
    if (std::isinf(value)) {
        return "inf";
    }
    std::ostringstream text;
    text << std::fixed << std::setprecision(2) << value;
    return text.str();
}

std::string Size(const Image& image) {
    return std::to_string(image.width) + " x " + std::to_string(image.height);
}

// A texture's levels as pictures by slot; a PNG picture is one level, in the slot its size
// selects (or slot -1 when its size selects none).
Status LevelsOf(const std::string& path, std::map<int, Image, std::greater<>>& levels,
                int& damage) {
    CSrb record;
    Image picture;
    if (Status loaded = LoadTexture(path, record, &picture); !loaded) {
        return loaded;
    }
    damage = picture.Empty() ? ReportDamage(path, record.mip.loadReport) : kOk;
    if (!picture.Empty()) {  // a PNG picture decodes to one of at least 1 x 1
        levels[CMip::SlotForSize(picture.width, picture.height)] = std::move(picture);
        return {};
    }
    for (const int k : record.mip.FilledSlots()) {
        const auto slot = static_cast<std::size_t>(k);
        levels[k] = LevelToImage(record.mip.levels[slot], record.mip.LevelPalette(k));
    }
    return {};
}

// What one export writes: the level in slot (the largest when none is given), every level
// into a folder, or all levels side by side.
enum class ExportMode { kLevel, kAll, kSheet };

struct ExportJob {
    ExportMode mode = ExportMode::kLevel;
    std::optional<int> slot;
    LevelView view = LevelView::kFullScale;
    bool force = false;
    bool quiet = false;
};

// The PNG files an export of mip writes, by path: one for a level or a sheet, one per level into
// the folder out for --all. A failure when there is nothing to write.
Status Encode(const CMip& mip, const std::string& name, const std::string& out,
              const ExportJob& job, std::vector<std::pair<std::string, Bytes>>& files,
              std::vector<std::string>& lines) {
    const std::vector<int> slots = mip.FilledSlots();
    if (slots.empty()) {
        return Status::Failure("holds no levels");
    }
    Status encoded;
    auto level = [&](int k, const std::string& path) {
        Bytes png;
        if (encoded = EncodeLevelPng(mip, k, job.view, png); !encoded) {
            return false;
        }
        const CBmap& l = mip.levels[static_cast<std::size_t>(k)];
        lines.push_back("wrote slot " + std::to_string(k) + " (" + std::to_string(l.Width()) +
                        " x " + std::to_string(l.Height()) + ", " + PixelTypeName(l.Type()) +
                        ") to '" + path + "'");
        files.emplace_back(path, std::move(png));
        return true;
    };
    switch (job.mode) {
        case ExportMode::kSheet: {
            Bytes png;
            if (Status sheet = EncodePng(Sheet(mip, job.view), true, png); !sheet) {
                return std::move(sheet).In(out);
            }
            lines.push_back("wrote " + std::to_string(slots.size()) + " levels side by side to '" +
                            out + "'");
            files.emplace_back(out, std::move(png));
            return {};
        }
        case ExportMode::kAll:
            for (const int k : slots) {
                const CBmap& l = mip.levels[static_cast<std::size_t>(k)];
                if (!level(k, (std::filesystem::path(out) / LevelFileName(name, l)).string())) {
                    return encoded;
                }
            }
            return {};
        case ExportMode::kLevel:
            break;
    }
    const int chosen = job.slot.value_or(slots.front());
    if (!mip.levels[static_cast<std::size_t>(chosen)].HasData()) {
        return Status::Failure("slot " + std::to_string(chosen) + " holds no level");
    }
    return level(chosen, out) ? Status() : encoded;
}

// Writes what Encode made: every file, or (when one exists and may not be replaced) none.
// "-" is standard output.
Status WriteAll(const std::vector<std::pair<std::string, Bytes>>& files, bool force) {
    for (const auto& [path, png] : files) {
        bool usage = false;
        if (Status writable = CheckOutput(path, false, force, usage); !writable && !usage) {
            return writable;
        }
    }
    for (const auto& [path, png] : files) {
        if (path == "-") {
            std::fflush(stdout);
            if (std::fwrite(png.data(), 1, png.size(), stdout) != png.size() ||
                std::fflush(stdout) != 0) {
                return Status::FromErrno("cannot write", errno).In("standard output");
            }
        } else if (Status written = WriteFileBytes(path, png); !written) {
            return written;
        }
    }
    return {};
}

// Loads in and writes its export to out; the status, having printed what went wrong.
int ExportOne(const std::string& in, const std::string& out, const ExportJob& job) {
    CSrb record;
    if (const Status loaded = LoadTexture(in, record); !loaded) {
        return Fail(loaded);
    }
    if (job.mode == ExportMode::kAll) {
        std::error_code ec;
        std::filesystem::create_directories(out, ec);
        if (!std::filesystem::is_directory(out)) {
            return Fail(
                out, "cannot make the output folder" + (ec ? ": " + ec.message() : std::string()));
        }
    }
    std::vector<std::pair<std::string, Bytes>> files;
    std::vector<std::string> lines;
    if (Status encoded = Encode(record.mip, TextureBaseName(in), out, job, files, lines);
        !encoded) {
        (void)ReportDamage(in, record.mip.loadReport);  // it may say why nothing is left
        return Fail(std::move(encoded).In(in));
    }
    if (const Status written = WriteAll(files, job.force); !written) {
        return Fail(written);
    }
    // With the picture on standard output, what was written is told on standard error.
    std::FILE* told = out == "-" ? stderr : stdout;
    for (const std::string& line : job.quiet ? std::vector<std::string>{} : lines) {
        std::fprintf(told, "%s\n", line.c_str());
    }
    return ReportDamage(in, record.mip.loadReport);
}

// Every input into the folder dir, on every core: the same export as for one input, named after
// the input (NAME.png, NAME-sheet.png, or NAME-WxH.png for --all).
int ExportMany(const std::vector<std::string>& inputs, const std::string& dir, int threads,
               const ExportJob& job) {
    if (dir == "-") {
        return UsageError("-o takes a folder, not - (standard output)");
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
        return Fail(dir,
                    "cannot make the output folder" + (ec ? ": " + ec.message() : std::string()));
    }
    // Where an input's export goes: one file, or for --all the files NAME-WxH.png, which inputs
    // with one base name share whatever their sizes.
    auto target = [&](const std::string& in) {
        const char* ending = job.mode == ExportMode::kAll     ? "-WxH.png"
                             : job.mode == ExportMode::kSheet ? "-sheet.png"
                                                              : ".png";
        return (std::filesystem::path(dir) / (TextureBaseName(in) + ending)).string();
    };
    std::vector<std::vector<std::string>> keys;
    for (const std::string& in : inputs) {
        keys.push_back({target(in)});
    }
    const std::map<std::string, Status> clashes = Clashes(inputs, keys);
    std::vector<int> damage(inputs.size(), kOk);
    const std::size_t failed = RunEach(
        inputs.size(), threads, job.quiet ? nullptr : "exporting", [&](std::size_t i) -> Status {
            if (const auto clash = clashes.find(inputs[i]); clash != clashes.end()) {
                return clash->second;
            }
            CSrb record;
            if (Status loaded = LoadTexture(inputs[i], record); !loaded) {
                return loaded;
            }
            damage[i] = record.mip.loadReport.Clean() ? kOk : kDamaged;
            const std::string name = TextureBaseName(inputs[i]);
            const std::string out = job.mode == ExportMode::kAll ? dir : target(inputs[i]);
            std::vector<std::pair<std::string, Bytes>> files;
            std::vector<std::string> lines;
            if (Status encoded = Encode(record.mip, name, out, job, files, lines); !encoded) {
                return std::move(encoded).In(inputs[i]);
            }
            return WriteAll(files, job.force);
        });
    int status = failed == 0 ? kOk : kFailed;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (damage[i] == kDamaged) {
            Warn(inputs[i], "loaded with damage (korvale-tool info says what)");
            status = Worse(status, kDamaged);
        }
    }
    if (!job.quiet) {
        std::printf("%zu exported, %zu failed\n", inputs.size() - failed, failed);
    }
    return status;
}

// --all and --sheet say what to write; where is the operand after IN (a folder, a file), or
// -o's folder in a batch.
constexpr OptionRule kExportOptions[] = {{"--level", "", true},  {"--all", "", false},
                                         {"--sheet", "", false}, {"--raw", "", false},
                                         {"-o", "", true},       {"-j", "", true}};
constexpr OptionRule kCompareOptions[] = {{"--min-psnr", "", true}};

// The export options: what to write (--level, --all, --sheet), how (--raw), and the outputs' rules.
int ReadExportJob(const ParsedArgs& args, ExportJob& job) {
    job.force = args.force;
    job.quiet = args.quiet;
    job.view = args.Has("--raw") ? LevelView::kRaw : LevelView::kFullScale;
    if (args.Has("--level")) {
        int slot = 0;
        if (const int status = IntOption(args, "--level", 0, CMip::kSlots - 1, slot, "a slot");
            status != kOk) {
            return status;
        }
        job.slot = slot;
    }
    const std::size_t modes = (args.Has("--all") ? 1 : 0) + (args.Has("--sheet") ? 1 : 0);
    if (modes > 1 || (modes == 1 && job.slot)) {
        return UsageError("export takes one of --level, --all and --sheet");
    }
    job.mode = args.Has("--all")     ? ExportMode::kAll
               : args.Has("--sheet") ? ExportMode::kSheet
                                     : ExportMode::kLevel;
    return kOk;
}

}  // namespace

int RunExport(std::span<const std::string> arguments) {
    const auto args = ParseArgs(arguments, kExportOptions, true);
    if (!args) {
        return kUsage;
    }
    ExportJob job;
    if (const int status = ReadExportJob(*args, job); status != kOk) {
        return status;
    }
    const std::vector<std::string>& files = args->positional;
    const bool batch = args->Has("-o");
    int threads = 0;
    if (const int status = ReadThreads(*args, batch, threads); status != kOk) {
        return status;
    }
    if (std::count(files.begin(), files.end() - (batch || files.empty() ? 0 : 1), "-") > 1) {
        return UsageError("standard input (-) can be read only once");
    }
    if (batch) {
        if (files.empty()) {
            return UsageError("export -o DIR needs at least one input");
        }
        return ExportMany(files, *args->Value("-o"), threads, job);
    }
    if (files.size() != 2) {
        return UsageError(
            "export takes IN OUT.png, IN --all DIR, IN --sheet OUT.png or A B ... -o DIR");
    }
    const std::string& out = files[1];
    if (out == "-" && job.mode != ExportMode::kLevel) {
        return UsageError("only one level can go to standard output (-)");
    }
    return ExportOne(files[0], out, job);
}

namespace {

using Levels = std::map<int, Image, std::greater<>>;

// Prints the comparison of every slot either side holds; true when one is missing, of another
// size, or (given a minimum) below it.
bool CompareLevels(const Levels& a, const Levels& b, std::optional<float> minimum, bool quiet) {
    std::set<int, std::greater<>> slots;
    for (const Levels* side : {&a, &b}) {
        for (const auto& [k, image] : *side) {
            slots.insert(k);
        }
    }
    // With --quiet the exit status alone tells the result.
    auto say = [quiet](const char* format, auto... values) {
        if (!quiet) {
            std::printf(format, values...);
        }
    };
    bool failed = false;
    for (const int k : slots) {
        const std::string name = k >= 0 ? "slot " + std::to_string(k) : "picture";
        const auto inA = a.find(k);
        const auto inB = b.find(k);
        if (inA == a.end() || inB == b.end()) {
            say("%s: only in %s\n", name.c_str(), inA == a.end() ? "B" : "A");
            failed = true;
            continue;
        }
        if (inA->second.width != inB->second.width || inA->second.height != inB->second.height) {
            say("%s: %s in A but %s in B\n", name.c_str(), Size(inA->second).c_str(),
                Size(inB->second).c_str());
            failed = true;
            continue;
        }
        const Difference d = Compare(inA->second, inB->second);
        const bool low =
            minimum && (d.colourPsnr < *minimum || d.alphaPsnr < static_cast<double>(*minimum));
        // How many pixels differ tells a painter's round trip apart from a new rounding.
        const std::string differing =
            d.differing == 0 ? std::string()
                             : ", " + std::to_string(d.differing) + " of " +
                                   std::to_string(inA->second.PixelCount()) + " pixels differ";
        say("%s: %s, colour PSNR %s dB, alpha PSNR %s dB, largest difference %d%s%s\n",
            name.c_str(), Size(inA->second).c_str(), Decibels(d.colourPsnr).c_str(),
            Decibels(d.alphaPsnr).c_str(), d.largest, differing.c_str(),
            low ? " (below the minimum)" : "");
        failed = failed || low;
    }
    return failed;
}

}  // namespace

int RunCompare(std::span<const std::string> arguments) {
    const auto args = ParseArgs(arguments, kCompareOptions, false);
    if (!args) {
        return kUsage;
    }
    std::optional<float> minimum;
    if (args->Has("--min-psnr")) {
        float decibels = 0.0F;
        if (const int status =
                NumberOption(*args, "--min-psnr", 0.0F, 1000.0F, decibels, "a number of decibels");
            status != kOk) {
            return status;
        }
        minimum = decibels;
    }
    const std::vector<std::string>& files = args->positional;
    if (files.size() != 2) {
        return UsageError("compare needs A and B");
    }
    Levels a;
    Levels b;
    int damageA = kOk;
    int damageB = kOk;
    for (const auto& [file, levels, damage] :
         {std::tie(files[0], a, damageA), std::tie(files[1], b, damageB)}) {
        if (const Status loaded = LevelsOf(file, levels, damage); !loaded) {
            return Fail(loaded);
        }
    }
    // A picture whose size no slot takes is its source: compared with a texture, it stands for
    // the chain a default import builds from it, so an import can be checked against its
    // picture. Two such pictures are compared with each other.
    const bool sourceA = a.size() == 1 && a.begin()->first < 0;
    const bool sourceB = b.size() == 1 && b.begin()->first < 0;
    if (sourceA != sourceB) {
        Levels& source = sourceA ? a : b;
        const std::vector<Image> chain = ReferenceChain(source.begin()->second);
        source.clear();
        for (const Image& level : chain) {
            source[CMip::SlotForSize(level.width, level.height)] = level;
        }
    } else if (a.size() == 1 && b.size() == 1 && (a.begin()->first < 0 || b.begin()->first < 0)) {
        b = {{a.begin()->first, std::move(b.begin()->second)}};
    }
    const bool failed = CompareLevels(a, b, minimum, args->quiet);
    return Worse(failed ? kFailed : kOk, Worse(damageA, damageB));
}

}  // namespace korvale::tool
