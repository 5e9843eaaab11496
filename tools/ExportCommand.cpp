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

#include "BatchOutputs.h"
#include "Comparison.h"
#include "ExitStatus.h"
#include "Export.h"
#include "LevelExport.h"
#include "Messages.h"
#include "Options.h"
#include "Progress.h"
#include "TextureLoad.h"

namespace korvale::tool {

namespace {

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

struct ExportJob {
    ExportRequest request;
    bool force = false;
    bool quiet = false;
};

// Loads in and writes its export to out; the status, having printed what went wrong.
int ExportOne(const std::string& in, const std::string& out, const ExportJob& job) {
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    if (const Status loaded = LoadTextureFile(in, record, kind); !loaded) {
        return Fail(loaded);
    }
    if (job.request.mode == ExportMode::kAll) {
        std::error_code ec;
        std::filesystem::create_directories(out, ec);
        if (!std::filesystem::is_directory(out)) {
            return Fail(
                out, "cannot make the output folder" + (ec ? ": " + ec.message() : std::string()));
        }
    }
    std::vector<ExportFile> files;
    if (Status encoded = EncodeExport(record.mip, TextureBaseName(in), out, job.request, files);
        !encoded) {
        (void)ReportDamage(in, record.mip.loadReport);  // it may say why nothing is left
        return Fail(std::move(encoded).In(in));
    }
    if (const Status written = WriteExport(files, job.force); !written) {
        return Fail(written);
    }
    // With the picture on standard output, what was written is told on standard error.
    std::FILE* told = out == "-" ? stderr : stdout;
    for (const ExportFile& file : job.quiet ? std::vector<ExportFile>{} : files) {
        std::fprintf(told, "%s\n", file.line.c_str());
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
        const char* ending = job.request.mode == ExportMode::kAll     ? "-WxH.png"
                             : job.request.mode == ExportMode::kSheet ? "-sheet.png"
                                                                      : ".png";
        return (std::filesystem::path(dir) / (TextureBaseName(in) + ending)).string();
    };
    std::vector<std::vector<std::string>> keys;
    for (const std::string& in : inputs) {
        keys.push_back({target(in)});
    }
    const std::map<std::string, Status> clashes = Clashes(inputs, keys);
    std::vector<int> damage(inputs.size(), kOk);
    const std::size_t failed = RunWithProgress(
        inputs.size(), threads, job.quiet ? nullptr : "exporting", [&](std::size_t i) -> Status {
            if (const auto clash = clashes.find(inputs[i]); clash != clashes.end()) {
                return clash->second;
            }
            CSrb record;
            FileKind kind = FileKind::kUnknown;
            if (Status loaded = LoadTextureFile(inputs[i], record, kind); !loaded) {
                return loaded;
            }
            damage[i] = record.mip.loadReport.Clean() ? kOk : kDamaged;
            const std::string name = TextureBaseName(inputs[i]);
            const std::string out = job.request.mode == ExportMode::kAll ? dir : target(inputs[i]);
            std::vector<ExportFile> files;
            if (Status encoded = EncodeExport(record.mip, name, out, job.request, files);
                !encoded) {
                return std::move(encoded).In(inputs[i]);
            }
            return WriteExport(files, job.force);
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
    job.request.view = args.Has("--raw") ? LevelView::kRaw : LevelView::kFullScale;
    if (args.Has("--level")) {
        int slot = 0;
        if (const int status = IntOption(args, "--level", 0, CMip::kSlots - 1, slot, "a slot");
            status != kOk) {
            return status;
        }
        job.request.slot = slot;
    }
    const std::size_t modes = (args.Has("--all") ? 1 : 0) + (args.Has("--sheet") ? 1 : 0);
    if (modes > 1 || (modes == 1 && job.request.slot)) {
        return UsageError("export takes one of --level, --all and --sheet");
    }
    job.request.mode = args.Has("--all")     ? ExportMode::kAll
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
    if (out == "-" && job.request.mode != ExportMode::kLevel) {
        return UsageError("only one level can go to standard output (-)");
    }
    return ExportOne(files[0], out, job);
}

namespace {

using Levels = LevelPictures;

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
    bool pictureA = false;
    bool pictureB = false;
    for (const auto& [file, levels, damage, picture] :
         {std::tie(files[0], a, damageA, pictureA), std::tie(files[1], b, damageB, pictureB)}) {
        LoadReport report;
        if (const Status loaded = ReadLevelPictures(file, levels, report, picture); !loaded) {
            return Fail(loaded);
        }
        damage = ReportDamage(file, report);
    }
    MatchSourceToTexture(a, pictureA, b, pictureB);
    const bool failed = CompareLevels(a, b, minimum, args->quiet);
    return Worse(failed ? kFailed : kOk, Worse(damageA, damageB));
}

}  // namespace korvale::tool
