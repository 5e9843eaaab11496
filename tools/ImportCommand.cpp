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

#include "BatchOutputs.h"
#include "CompanionFile.h"
#include "ExitStatus.h"
#include "ImportJob.h"
#include "LevelExport.h"
#include "Messages.h"
#include "Options.h"
#include "PaletteSource.h"
#include "PixelType.h"
#include "Progress.h"
#include "Saving.h"

namespace korvale::tool {

namespace {

// The largest header value the editor accepts; the tool takes the same.
constexpr float kLargestValue = 100000.0F;

// A batch's job: the import, and whether its outputs are SRB files.
struct ToolJob {
    ImportJob import;
    bool srb = false;
};

// Imports one picture and saves it; a failure names the file it concerns.
Status ImportOne(const std::string& in, const std::vector<std::string>& handMade,
                 const std::string& out, const ToolJob& job, std::string& made) {
    CSrb record;
    if (Status imported = ImportFiles(in, handMade, job.import, record, made); !imported) {
        return imported;
    }
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

int RunBatch(const std::vector<std::string>& inputs, const std::string& folder, const ToolJob& job,
             int threads, const ParsedArgs& args) {
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
    const std::size_t failed = RunWithProgress(
        inputs.size(), threads, args.quiet ? nullptr : "importing", [&](std::size_t i) {
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

// Takes from the file at path what the options did not choose. kOk, or the status of the
// failure it printed.
int ApplyLike(const std::string& path, const ParsedArgs& args, bool metresGiven, ToolJob& job,
              int& damage) {
    LikeChoices choices;
    choices.type = args.Has("--type");
    choices.palette = args.Value("--palette");
    choices.levels = args.Has("--levels");
    choices.repeat = args.Has("--repeat");
    choices.values = args.Has("--values");
    choices.metres = metresGiven;
    LoadReport report;
    const Status like = ImportLike(path, choices, job.import, report);
    damage = ReportDamage(path, report);  // what loaded is still a good model, but damaged
    return like ? kOk : Fail(like);
}

// The pixel type and palette options; kOk, or the status of the error it printed.
int ReadTypeAndPalette(const ParsedArgs& args, ToolJob& job) {
    if (const auto value = args.Value("--type")) {
        const auto type = value->size() == 1 ? ParseInt(*value, 0, 5) : PixelTypeNamed(*value);
        if (!type) {
            return UsageError(
                "--type takes pal4, rgb565, argb1555, argb4444 or a code from 0 to 5, not '" +
                *value + "'");
        }
        job.import.options.type = KindOf(*type) == PixelKind::kPalettised ? 0 : *type;
        job.import.typeCode = *type;
    }
    const auto value = args.Value("--palette");
    if (!value) {
        return kOk;
    }
    if (*value == "shared") {
        job.import.options.palette = PaletteMode::kShared;
    } else if (*value == "per-level") {
        job.import.options.palette = PaletteMode::kPerLevel;
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
        job.import.options.palette = PaletteMode::kFromFile;
        job.import.options.givenPalette = colours;
    }
    if (!job.import.options.type) {
        job.import.options.type = CodeOf(PixelCode::kPal4);  // asking for a palette asks for pal4
    } else if (KindOf(*job.import.options.type) != PixelKind::kPalettised) {
        return UsageError("--palette goes with --type pal4");
    }
    return kOk;
}

// --size, given as the top level's WxH or as the companion's metres (or both, twice).
int ReadSizes(const ParsedArgs& args, ToolJob& job, bool& metresGiven) {
    const auto given = args.values.find("--size");
    for (const std::string& value :
         given == args.values.end() ? std::vector<std::string>{} : given->second) {
        if (value.find('x') != std::string::npos) {
            const auto size = ParseSize(value);
            if (!size) {
                return UsageError("--size WxH takes two powers of two from 1 to 256, not '" +
                                  value + "'");
            }
            job.import.options.topWidth = size->first;
            job.import.options.topHeight = size->second;
            continue;
        }
        const auto metres = ParseNumber(value, 0.0F, 1000.0F);
        if (!metres) {
            return UsageError("--size takes WxH or a number of metres from 0 to 1000, not '" +
                              value + "'");
        }
        job.import.metres = *metres;
        metresGiven = true;
    }
    return kOk;
}

// Reads the options into job; kOk, or the status of the usage error or failure it printed.
int ReadOptions(const ParsedArgs& args, ToolJob& job, bool& metresGiven) {
    if (const int status = ReadTypeAndPalette(args, job); status != kOk) {
        return status;
    }
    if (const int status = ReadSizes(args, job, metresGiven); status != kOk) {
        return status;
    }
    job.import.options.dither = args.Has("--dither");
    if (const int status = IntOption(args, "--levels", 1, CMip::kSlots, job.import.options.levels);
        status != kOk) {
        return status;
    }
    if (const auto value = args.Value("--filter")) {
        const auto filter = FilterNamed(*value);
        if (!filter) {
            return UsageError("--filter takes area, mitchell, catmullrom or cubic, not '" + *value +
                              "'");
        }
        job.import.options.filter = *filter;
    }
    if (const int status = IntOption(args, "--repeat", 0, 3, job.import.options.repeat, "a code");
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
        job.import.values = *values;
    }
    return kOk;
}

// One picture (with hand-made levels) into OUT.mip or OUT.srb.
int ImportSingle(const std::vector<std::string>& files, ToolJob& job, const ParsedArgs& args) {
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
    ToolJob job;
    bool metresGiven = false;
    if (const int status = ReadOptions(*args, job, metresGiven); status != kOk) {
        return status;
    }
    int likeDamage = kOk;
    if (const auto like = args->Value("--like")) {
        if (const int status = ApplyLike(*like, *args, metresGiven, job, likeDamage);
            status != kOk) {
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
        return Worse(ImportSingle(files, job, *args), likeDamage);
    }
    if (files.empty()) {
        return UsageError("import -o DIR needs at least one picture");
    }
    return Worse(RunBatch(files, *args->Value("-o"), job, threads, *args), likeDamage);
}

}  // namespace korvale::tool
