#include "ToolCommands.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "ChunkStream.h"
#include "CSrb.h"
#include "CompanionFile.h"
#include "ValueText.h"

namespace korvale {

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr float kMaxSize = 1000.0F;

constexpr const char* kUsageText =
    "usage: korvale-tool info FILE\n"
    "       korvale-tool convert IN OUT [--size METRES]\n"
    "       korvale-tool --help\n"
    "\n"
    "info     loads FILE (an SRB file when it starts with the SRB tag, otherwise a MIP\n"
    "         file), prints the loader's trace, then a summary of the header and levels.\n"
    "convert  loads IN the same way and saves OUT: an SRB file and its companion .yrq\n"
    "         object file when OUT ends in .srb, a MIP file when it ends in .mip.\n"
    "         --size sets the size in metres written to the companion file (0 to 1000,\n"
    "         default 1). From a MIP file the six SRB header values are 0.\n"
    "\n"
    "Exit status: 0 success, 1 a file could not be loaded or saved, 2 a usage error.\n";

int Fail(const std::string& file, const std::string& reason) {
    std::fprintf(stderr, "korvale-tool: %s: %s\n", file.c_str(), reason.c_str());
    return kFailed;
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

// Checks that a file can be read at all, so the user hears why not instead of "not a MIP file".
std::optional<std::string> Unreadable(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        return "is a folder, not a file";
    }
    FilePtr file = OpenForRead(path);
    if (!file) {
        return std::string("cannot open: ") + std::strerror(errno);
    }
    return std::nullopt;
}

bool StartsWithSrbTag(const std::string& path) {
    FilePtr file = OpenForRead(path);
    return file && ReadU32(file.get()) == tag::kSrb;
}

// Loads path into record (as an SRB file or a bare MIP file). Returns an empty string on success
// and the reason otherwise; the loaders print their trace on the way.
std::string LoadAny(const std::string& path, CSrb& record, bool& isSrb) {
    if (auto why = Unreadable(path)) {
        return *why;
    }
    isSrb = StartsWithSrbTag(path);
    if (isSrb) {
        const int r = record.Load(path);
        if (r < 0) {
            return "not a valid SRB file (its header was rejected)";
        }
        if (r == 0) {
            return "SRB header is valid but no mip set follows it";
        }
        return {};
    }
    if (record.mip.Load(path) <= 0) {
        return "not an SRB or MIP file (no MIP tag at its start)";
    }
    return {};
}

void PrintSummary(const CSrb& record, bool isSrb) {
    if (isSrb) {
        std::printf("SRB header values:");
        for (const float v : record.header) {
            std::printf(" %s", FloatToText(v).c_str());
        }
        std::printf("\n");
    }
    const CMip& mip = record.mip;
    std::printf("miptype: %d\n", mip.miptype);
    std::printf("powerwidth: %d (%d)\n", mip.powerwidth, mip.Width());
    std::printf("powerheight: %d (%d)\n", mip.powerheight, mip.Height());
    std::printf("col: %d\n", mip.col);
    std::printf("repeat: %d (h=%d, v=%d)\n", mip.RepeatCode(), mip.hrepeat, mip.vrepeat);
    std::printf("numimages: %d\n", mip.numimages);
    int filled = 0;
    for (int k = CMip::kSlots - 1; k >= 0; --k) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        if (level.HasData()) {
            std::printf("slot %d: type %d, %d x %d\n", k, level.Type(), level.Width(),
                        level.Height());
            ++filled;
        }
    }
    if (filled == 0) {
        std::printf("no levels\n");
    }
}

int Info(std::span<const std::string> args) {
    if (args.size() != 1) {
        return UsageError(args.empty() ? "info needs a FILE" : "info takes one FILE");
    }
    const std::string& path = args[0];
    CSrb record;
    bool isSrb = false;
    const std::string error = LoadAny(path, record, isSrb);
    std::fflush(stdout);
    if (!error.empty()) {
        return Fail(path, error);
    }
    PrintSummary(record, isSrb);
    return kOk;
}

std::optional<float> ParseSize(const std::string& text) {
    float value = 0.0F;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value < 0.0F ||
        value > kMaxSize) {
        return std::nullopt;
    }
    return value;
}

int Convert(std::span<const std::string> args) {
    std::vector<std::string> files;
    float size = 1.0F;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--size") {
            if (i + 1 >= args.size()) {
                return UsageError("--size needs a number of metres");
            }
            const auto parsed = ParseSize(args[++i]);
            if (!parsed) {
                return UsageError("--size takes a number from 0 to 1000, not '" + args[i] + "'");
            }
            size = *parsed;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        return UsageError("convert needs IN and OUT");
    }
    const std::string& in = files[0];
    const std::string& out = files[1];
    const bool toSrb = EndsWithNoCase(out, ".srb");
    if (!toSrb && !EndsWithNoCase(out, ".mip")) {
        return UsageError("OUT must end in .srb or .mip: '" + out + "'");
    }
    if (toSrb && ObjectName(out).empty()) {
        return UsageError("OUT needs a name before its first '.': '" + out + "'");
    }

    CSrb record;
    bool isSrb = false;
    const std::string error = LoadAny(in, record, isSrb);
    std::fflush(stdout);
    if (!error.empty()) {
        return Fail(in, error);
    }
    if (toSrb) {
        record.sizeInMetres = size;
        if (record.Save(out) <= 0) {
            return Fail(out, "could not be saved (it and its companion " + CompanionPath(out) +
                                 " are unchanged)");
        }
        std::printf("saved SRB: '%s' with companion '%s'\n", out.c_str(),
                    CompanionPath(out).c_str());
    } else {
        if (record.mip.Save(out) != 1) {
            return Fail(out, "could not be saved (the previous file is unchanged)");
        }
        std::printf("saved MIP: '%s'\n", out.c_str());
    }
    return kOk;
}

}  // namespace

int RunTool(std::span<const std::string> args) {
    if (args.empty()) {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    const auto rest = args.subspan(1);
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        std::fputs(kUsageText, stdout);
        return kOk;
    }
    if (command == "info") {
        return Info(rest);
    }
    if (command == "convert") {
        return Convert(rest);
    }
    return UsageError("unknown command '" + command + "'");
}

}  // namespace korvale
