#include "ToolSupport.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <system_error>
#include <thread>

#include "ChunkStream.h"
#include "CompanionFile.h"
#include "Importer.h"
#include "LevelImage.h"
#include "PngIo.h"
#include "TextureFile.h"
#include "Trace.h"
#include "ValueText.h"

namespace korvale::tool {

namespace {

// More than any texture file or picture Korvale takes; a larger input is a mistake.
constexpr std::uintmax_t kMaxInputBytes = std::uintmax_t{1} << 30;

int Severity(int status) {
    switch (status) {
        case kOk:
            return 0;
        case kDamaged:
            return 1;
        case kFailed:
            return 2;
        default:
            return 3;
    }
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

int Worse(int a, int b) {
    return Severity(a) >= Severity(b) ? a : b;
}

int Fail(const Status& status) {
    std::fflush(stdout);
    std::fprintf(stderr, "korvale-tool: %s\n", status.Text().c_str());
    return kFailed;
}

int Fail(const std::string& file, const std::string& reason) {
    return Fail(Status::Failure(reason).In(file));
}

void Warn(const std::string& file, const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "korvale-tool: %s: %s\n", file.c_str(), text.c_str());
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "korvale-tool: %s\n(see korvale-tool --help)\n", message.c_str());
    return kUsage;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    return std::equal(suffix.begin(), suffix.end(),
                      text.end() - static_cast<std::ptrdiff_t>(suffix.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::optional<std::string> ParsedArgs::Value(std::string_view name) const {
    const auto found = values.find(name);
    if (found == values.end() || found->second.empty()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::optional<ParsedArgs> ParseArgs(std::span<const std::string> args,
                                    std::span<const OptionRule> rules, bool writes) {
    ParsedArgs parsed;
    bool operandsOnly = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operandsOnly || arg == "-" || arg.empty() || arg[0] != '-') {
            parsed.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            operandsOnly = true;
        } else if (arg == "-q" || arg == "--quiet") {
            parsed.quiet = true;
        } else if (writes && (arg == "-f" || arg == "--force")) {
            parsed.force = true;
        } else {
            const auto rule = std::find_if(rules.begin(), rules.end(), [&](const OptionRule& r) {
                return arg == r.name || (!r.alias.empty() && arg == r.alias);
            });
            if (rule == rules.end()) {
                (void)UsageError("unknown option '" + arg + "'");
                return std::nullopt;
            }
            std::vector<std::string>& values = parsed.values[std::string(rule->name)];
            if (rule->takesValue) {
                if (i + 1 >= args.size()) {
                    (void)UsageError(arg + " needs a value");
                    return std::nullopt;
                }
                values.push_back(args[++i]);
            }
        }
    }
    return parsed;
}

Status ReadInput(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    FilePtr owned;
    std::FILE* file = stdin;
    if (path != "-") {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            return Status::Failure("is a folder, not a file").In(path);
        }
        owned = OpenForRead(path);
        if (!owned) {
            return Status::FromErrno("cannot open", errno).In(path);
        }
        file = owned.get();
    }
    std::vector<std::uint8_t> block(64 * 1024);
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), file);
        if (bytes.size() + got > kMaxInputBytes) {
            return Status::Failure("is larger than 1 GiB").In(path);
        }
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
        if (got < block.size()) {
            break;
        }
    }
    if (std::ferror(file) != 0) {
        return Status::FromErrno("cannot be read", errno).In(path);
    }
    return {};
}

Status LoadRecordFile(const std::string& path, CSrb& record, InputKind& kind) {
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, bytes); !read) {
        return read;
    }
    return LoadRecord(path, bytes, true, record, kind);
}

Status LoadRecord(const std::string& path, const std::vector<std::uint8_t>& bytes, bool quiet,
                  CSrb& record, InputKind& kind) {
    const TraceTo trace(quiet ? nullptr : stdout);
    TextureKind found = TextureKind::kMip;
    Status loaded = LoadTexture(bytes, path, record, found);
    kind = found == TextureKind::kSrb ? InputKind::kSrb : InputKind::kMip;
    if (!loaded && found == TextureKind::kMip && IsPngSignature(bytes)) {
        return Status::Failure("is a PNG picture, not an SRB or MIP file").In(path);
    }
    return loaded;
}

Status ReadPaletteFile(const std::string& path, std::vector<Rgba8>& colours, LoadReport& report) {
    std::vector<std::uint8_t> bytes;
    if (Status read = ReadInput(path, bytes); !read) {
        return read;
    }
    if (IsPngSignature(bytes)) {
        Image picture;
        if (Status decoded = ReadPng(bytes, picture); !decoded) {
            return std::move(decoded).In(path);  // the PNG reader's own reason
        }
        return PaletteOfPicture(picture, colours).In(path);
    }
    CSrb record;
    InputKind kind = InputKind::kMip;
    const Status loaded = LoadRecord(path, bytes, true, record, kind);
    report = record.mip.loadReport;
    if (!loaded) {
        return Status::Failure("is neither a PNG nor an SRB or MIP file").In(path);
    }
    const int slot = record.mip.FirstPalettisedSlot();
    if (slot < 0) {
        return Status::Failure("holds no palettised level, so no palette to reuse").In(path);
    }
    colours = PaletteColours(record.mip.LevelPalette(slot));
    return {};
}

int ReportDamage(const std::string& path, const LoadReport& report) {
    if (report.Clean()) {
        return kOk;
    }
    const std::string summary = report.Summary();
    std::size_t at = 0;
    while (at <= summary.size()) {
        const std::size_t end = std::min(summary.find('\n', at), summary.size());
        Warn(path, summary.substr(at, end - at));
        at = end + 1;
    }
    return kDamaged;
}

Status CheckOutput(const std::string& out, bool asSrb, bool force, bool& usage) {
    usage = out == "-";
    if (usage) {
        return Status::Failure("- (standard output) is not an output here: name a file");
    }
    if (force) {
        return {};
    }
    std::vector<std::string> targets = {out};
    if (asSrb) {
        targets.push_back(CompanionPath(out));
    }
    for (const std::string& target : targets) {
        if (Exists(target)) {
            return Status::Failure("not written: " + target + " exists; --force replaces it")
                .In(out);
        }
    }
    return {};
}

Status SaveRecord(CSrb& record, const std::string& out, bool asSrb) {
    const bool existed = Exists(out) || (asSrb && Exists(CompanionPath(out)));
    const Status saved = asSrb ? record.SaveFiles(out) : record.mip.SaveFile(out);
    if (saved) {
        return {};
    }
    std::string text = "could not be saved: " + saved.Reason();
    if (existed) {
        text += asSrb ? " (neither it nor its companion " + CompanionPath(out) + " was changed)"
                      : " (the previous file is unchanged)";
    }
    return Status::Failure(text).In(out);
}

std::string RecolourWarning(const CMip& mip) {
    const std::vector<int> slots = mip.SlotsRecolouredBySave();
    if (slots.empty()) {
        return {};
    }
    std::string list;
    for (const int k : slots) {
        list += (list.empty() ? "" : ", ") + std::to_string(k);
    }
    const std::string why =
        mip.SavesGlobalPalette() ? "only the global palette is saved" : "no palette is saved";
    return std::string(slots.size() == 1 ? "the level in slot " : "the levels in slots ") + list +
           (slots.size() == 1 ? " changes" : " change") + " colour: with miptype " +
           std::to_string(mip.miptype) + " " + why + ", and " +
           (slots.size() == 1 ? "it uses" : "they use") + " other colours";
}

std::map<std::string, Status> Clashes(const std::vector<std::string>& inputs,
                                      const std::vector<std::vector<std::string>>& outputsOf) {
    // Outputs are compared as written and as absolute paths, so "out/a.mip" and "./out/a.mip"
    // are one file even before it exists.
    std::map<std::string, std::vector<std::size_t>> users;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        for (const std::string& out : outputsOf[i]) {
            std::error_code ec;
            const std::filesystem::path absolute = std::filesystem::absolute(out, ec);
            std::vector<std::size_t>& list =
                users[(ec ? std::filesystem::path(out) : absolute).lexically_normal().string()];
            if (list.empty() || list.back() != i) {
                list.push_back(i);
            }
        }
    }
    std::map<std::string, Status> clashes;
    for (const auto& [out, list] : users) {
        if (list.size() < 2) {
            continue;
        }
        std::string names;
        for (const std::size_t i : list) {
            names += (names.empty() ? "" : ", ") + inputs[i];
        }
        for (const std::size_t i : list) {
            clashes.try_emplace(inputs[i], Status::Failure(names + " would all be written to " +
                                                           out + "; none of them was")
                                               .In(inputs[i]));
        }
    }
    return clashes;
}

namespace {

template <typename Number, typename Parse>
int ReadOption(const ParsedArgs& args, std::string_view name, Number low, Number high,
               Number& value, std::string_view what, Parse parse) {
    const auto text = args.Value(name);
    if (!text) {
        return kOk;
    }
    const auto parsed = parse(*text, low, high);
    if (!parsed) {
        std::ostringstream message;
        message << name << " takes " << what << " from " << low << " to " << high << ", not '"
                << *text << "'";
        return UsageError(message.str());
    }
    value = *parsed;
    return kOk;
}

}  // namespace

int IntOption(const ParsedArgs& args, std::string_view name, int low, int high, int& value,
              std::string_view what) {
    return ReadOption(args, name, low, high, value, what, ParseInt);
}

int NumberOption(const ParsedArgs& args, std::string_view name, float low, float high, float& value,
                 std::string_view what) {
    return ReadOption(args, name, low, high, value, what, ParseNumber);
}

int ReadThreads(const ParsedArgs& args, bool batch, int& threads) {
    threads = static_cast<int>(std::max(1U, std::thread::hardware_concurrency()));
    if (args.Has("-j") && !batch) {
        return UsageError("-j goes with -o DIR");
    }
    return IntOption(args, "-j", 1, 256, threads, "a number of threads");
}

std::size_t RunEach(std::size_t count, int threads, const char* progress,
                    const std::function<Status(std::size_t)>& work) {
    const bool showProgress = progress != nullptr && ::isatty(STDERR_FILENO) != 0;
    std::atomic<std::size_t> next{0};
    std::size_t done = 0;
    std::size_t failed = 0;
    std::mutex lock;
    auto worker = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            const Status status = work(i);
            const std::scoped_lock guard(lock);
            ++done;
            if (!status) {
                ++failed;
                std::fprintf(stderr, "%skorvale-tool: %s\n", showProgress ? "\r\033[K" : "",
                             status.Text().c_str());
            }
            if (showProgress) {
                std::fprintf(stderr, "\r\033[K%s: %zu of %zu", progress, done, count);
            }
        }
    };
    const auto wanted = static_cast<std::size_t>(std::max(1, threads));
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < std::min(wanted, count); ++t) {
        pool.emplace_back(worker);
    }
    worker();
    for (std::thread& t : pool) {
        t.join();
    }
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }
    return failed;
}

std::optional<float> ParseNumber(const std::string& text, float low, float high) {
    const std::optional<float> value = TextToFloat(text);
    if (!value || !std::isfinite(*value) || *value < low || *value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ParseInt(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace korvale::tool
