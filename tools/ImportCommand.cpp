#include "ImportCommand.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "CompanionFile.h"
#include "Importer.h"
#include "LevelExport.h"
#include "PixelType.h"
#include "PngIo.h"
#include "ToolSupport.h"

namespace korvale::tool {

namespace {

struct ImportJob {
    ImportOptions options;
    bool srb = false;
    std::array<float, CSrb::kHeaderValues> values{};
    float metres = 1.0F;
};

// Reads, imports and saves one picture. Empty on success, the reason otherwise (naming the
// file it concerns).
std::string ImportOne(const std::string& in, const std::vector<std::string>& handMade,
                      const std::string& out, const ImportJob& job, std::string& made) {
    Image picture;
    std::string error;
    if (in == "-") {
        const auto bytes = ReadInput(in, error);
        if (!bytes || !ReadPng(*bytes, picture, error)) {
            return in + ": " + error;
        }
    } else if (!ReadPngFile(in, picture, error)) {
        return in + ": " + error;
    }
    ImportOptions options = job.options;
    for (const std::string& path : handMade) {
        Image level;
        if (!ReadPngFile(path, level, error)) {
            return path + ": " + error;
        }
        options.handMadeLevels.push_back(std::move(level));
    }
    CSrb record;
    if (!ImportImage(picture, options, record.mip, error)) {
        return in + ": " + error;
    }
    const std::vector<int> slots = record.mip.FilledSlots();
    const CBmap& top = record.mip.levels[static_cast<std::size_t>(slots.front())];
    made = std::to_string(slots.size()) + (slots.size() == 1 ? " level" : " levels") + " from " +
           std::to_string(top.Width()) + " x " + std::to_string(top.Height()) + ", " +
           PixelTypeName(top.Type());
    if (KindOf(top.Type()) == PixelKind::kPalettised) {
        made += record.mip.miptype == 2 ? ", a palette per level" : ", one shared palette";
    }
    record.header = job.values;
    record.sizeInMetres = job.metres;
    if (const std::string why = SaveRecord(record, out, job.srb); !why.empty()) {
        return out + ": " + why;
    }
    return {};
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
        const auto v =
            ParseNumber(text.substr(at, last ? std::string::npos : comma - at), -3.4e38F, 3.4e38F);
        if (!v) {
            return std::nullopt;
        }
        values[i] = *v;
        at = comma + 1;
    }
    return values;
}

std::optional<std::pair<int, int>> ParseSize(const std::string& text) {
    const std::size_t x = text.find('x');
    if (x == std::string::npos) {
        return std::nullopt;
    }
    const auto w = ParseInt(text.substr(0, x), 1, 256);
    const auto h = ParseInt(text.substr(x + 1), 1, 256);
    if (!w || !h) {
        return std::nullopt;
    }
    return std::make_pair(*w, *h);
}

int RunBatch(const std::vector<std::string>& inputs, const std::string& folder,
             const ImportJob& job, int threads) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder)) {
        return Fail(folder,
                    "cannot make the output folder" + (ec ? ": " + ec.message() : std::string()));
    }
    const bool progress = ::isatty(STDERR_FILENO) != 0;
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::size_t failed = 0;
    std::mutex lock;
    auto worker = [&] {
        for (std::size_t i = next++; i < inputs.size(); i = next++) {
            const std::string out = (std::filesystem::path(folder) /
                                     (TextureBaseName(inputs[i]) + (job.srb ? ".srb" : ".mip")))
                                        .string();
            std::string made;
            const std::string error = ImportOne(inputs[i], {}, out, job, made);
            const std::scoped_lock guard(lock);
            ++done;
            if (!error.empty()) {
                ++failed;
                std::fprintf(stderr, "%skorvale-tool: %s\n", progress ? "\r\033[K" : "",
                             error.c_str());
            }
            if (progress) {
                std::fprintf(stderr, "\r\033[Kimporting: %zu of %zu", done, inputs.size());
            }
        }
    };
    const auto count = static_cast<std::size_t>(std::max(1, threads));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(count, inputs.size()); ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }
    if (progress) {
        std::fprintf(stderr, "\r\033[K");
    }
    std::printf("%zu imported, %zu failed\n", done - failed, failed);
    return failed == 0 ? kOk : kFailed;
}

}  // namespace

int RunImport(std::span<const std::string> args) {
    ImportJob job;
    std::vector<std::string> files;
    std::string folder;
    bool srbFlag = false;
    bool paletteGiven = false;
    int threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--type" || arg == "--palette" || arg == "--levels" ||
                                arg == "--size" || arg == "--filter" || arg == "--repeat" ||
                                arg == "--values" || arg == "-o" || arg == "-j";
        if (takesValue && i + 1 >= args.size()) {
            return UsageError(arg + " needs a value");
        }
        if (arg == "--type") {
            const auto type = PixelTypeNamed(args[++i]);
            if (!type) {
                return UsageError("--type takes pal4, rgb565, argb1555 or argb4444, not '" +
                                  args[i] + "'");
            }
            job.options.type = *type;
        } else if (arg == "--palette") {
            paletteGiven = true;
            const std::string& value = args[++i];
            if (value == "shared") {
                job.options.palette = PaletteMode::kShared;
            } else if (value == "per-level") {
                job.options.palette = PaletteMode::kPerLevel;
            } else {
                std::string error;
                std::vector<Rgba8> colours;
                {
                    const QuietStdout quiet;  // the loaders' trace is no use here
                    if (!ReadPaletteFile(value, colours, error)) {
                        colours.clear();
                    }
                }
                if (colours.empty()) {
                    return Fail(value, error);
                }
                job.options.palette = PaletteMode::kFromFile;
                job.options.givenPalette = colours;
            }
        } else if (arg == "--dither") {
            job.options.dither = true;
        } else if (arg == "--levels") {
            const auto n = ParseInt(args[++i], 1, CMip::kSlots);
            if (!n) {
                return UsageError("--levels takes a number from 1 to 9, not '" + args[i] + "'");
            }
            job.options.levels = *n;
        } else if (arg == "--size") {
            const std::string& value = args[++i];
            if (value.find('x') != std::string::npos) {
                const auto size = ParseSize(value);
                if (!size) {
                    return UsageError("--size WxH takes two sides from 1 to 256, not '" + value +
                                      "'");
                }
                job.options.topWidth = size->first;
                job.options.topHeight = size->second;
            } else {
                const auto metres = ParseNumber(value, 0.0F, 1000.0F);
                if (!metres) {
                    return UsageError(
                        "--size takes WxH or a number of metres from 0 to 1000, "
                        "not '" +
                        value + "'");
                }
                job.metres = *metres;
            }
        } else if (arg == "--filter") {
            const auto filter = FilterNamed(args[++i]);
            if (!filter) {
                return UsageError("--filter takes area, mitchell, catmullrom or cubic, not '" +
                                  args[i] + "'");
            }
            job.options.filter = *filter;
        } else if (arg == "--repeat") {
            const auto repeat = ParseInt(args[++i], 0, 3);
            if (!repeat) {
                return UsageError("--repeat takes 0, 1, 2 or 3, not '" + args[i] + "'");
            }
            job.options.repeat = *repeat;
        } else if (arg == "--values") {
            const auto values = ParseValues(args[++i]);
            if (!values) {
                return UsageError("--values takes six numbers separated by commas, not '" +
                                  args[i] + "'");
            }
            job.values = *values;
        } else if (arg == "-o") {
            folder = args[++i];
        } else if (arg == "--srb") {
            srbFlag = true;
        } else if (arg == "-j") {
            const auto n = ParseInt(args[++i], 1, 256);
            if (!n) {
                return UsageError("-j takes a number of threads from 1 to 256, not '" + args[i] +
                                  "'");
            }
            threads = *n;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (paletteGiven && !job.options.type) {
        job.options.type = 0;  // asking for a palette is asking for a palettised set
    } else if (paletteGiven && KindOf(*job.options.type) != PixelKind::kPalettised) {
        return UsageError("--palette goes with --type pal4");
    }
    if (!folder.empty()) {
        if (files.empty()) {
            return UsageError("import -o DIR needs at least one picture");
        }
        job.srb = srbFlag;
        return RunBatch(files, folder, job, threads);
    }
    if (srbFlag) {
        return UsageError("--srb goes with -o DIR; otherwise OUT's ending decides");
    }
    if (files.size() < 2) {
        return UsageError("import needs IN.png and OUT.mip or OUT.srb");
    }
    const std::string& in = files.front();
    const std::string& out = files.back();
    job.srb = EndsWithNoCase(out, ".srb");
    if (!job.srb && !EndsWithNoCase(out, ".mip")) {
        return UsageError("OUT must end in .srb or .mip: '" + out + "'");
    }
    if (job.srb && ObjectName(out).empty()) {
        return UsageError("OUT needs a name before its first '.': '" + out + "'");
    }
    const std::vector<std::string> handMade(files.begin() + 1, files.end() - 1);
    std::string made;
    const std::string error = ImportOne(in, handMade, out, job, made);
    if (!error.empty()) {
        std::fprintf(stderr, "korvale-tool: %s\n", error.c_str());
        return kFailed;
    }
    std::printf("imported '%s' into '%s': %s\n", in.c_str(), out.c_str(), made.c_str());
    return kOk;
}

}  // namespace korvale::tool
