#include "InfoCommand.h"

#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>
#include <vector>

#include "CompanionFile.h"
#include "CompanionSize.h"
#include "ExitStatus.h"
#include "Inputs.h"
#include "JsonText.h"
#include "Messages.h"
#include "Options.h"
#include "PixelType.h"
#include "Saving.h"
#include "TextureLoad.h"
#include "ValueText.h"

namespace korvale::tool {

namespace {

// Which palette a level decodes with: the global one, or its own when its pixels were read with
// other colours.
const char* PaletteOf(const CMip& mip, int slot) {
    if (KindOf(mip.levels[static_cast<std::size_t>(slot)].Type()) != PixelKind::kPalettised) {
        return "none";
    }
    return mip.SavesLevelPalettes() || mip.HasOwnPalette(slot) ? "own" : "global";
}

// The size in metres an SRB file is loaded with; standard input, a pipe or a device has no
// companion.
std::optional<CompanionSize> SizeOf(const std::string& path, bool isSrb) {
    std::error_code error;
    return isSrb && path != "-" && std::filesystem::is_regular_file(path, error)
               ? std::optional(ReadCompanionSize(path))
               : std::nullopt;
}

const char* FoundName(CompanionSize::From from) {
    switch (from) {
        case CompanionSize::From::kCompanion:
            return "read";
        case CompanionSize::From::kNoCompanion:
            return "missing";
        case CompanionSize::From::kNotCompanion:
            return "not a companion";
        case CompanionSize::From::kOtherObject:
            return "other object";
    }
    return "";
}

void PrintSummary(const std::string& path, const CSrb& record, bool isSrb) {
    if (isSrb) {
        std::printf("SRB header values:");
        for (const float v : record.header) {
            std::printf(" %s", FloatToText(v).c_str());
        }
        std::printf("\n");
    }
    if (const auto size = SizeOf(path, isSrb)) {
        std::printf("size in metres: %s (%s)\n", FloatToText(size->metres).c_str(),
                    size->Describe().c_str());
    }
    const CMip& mip = record.mip;
    const int read = mip.loadReport.HeaderFieldsRead();
    // A field the file did not hold is shown as such, not as the 0 it read as.
    auto value = [read](int field, const std::string& text) {
        return field < read ? text : std::string("(not in the file)");
    };
    std::printf("miptype: %s\n", value(0, std::to_string(mip.miptype)).c_str());
    std::printf("powerwidth: %s\n",
                value(1, std::to_string(mip.powerwidth) + " (" + std::to_string(mip.Width()) + ")")
                    .c_str());
    std::printf("powerheight: %s\n", value(2, std::to_string(mip.powerheight) + " (" +
                                                  std::to_string(mip.Height()) + ")")
                                         .c_str());
    std::printf("col: %s\n", value(3, std::to_string(mip.col)).c_str());
    std::printf("repeat: %s\n",
                value(4, std::to_string(mip.RepeatCode()) + " (h=" + std::to_string(mip.hrepeat) +
                             ", v=" + std::to_string(mip.vrepeat) + ")")
                    .c_str());
    std::printf("numimages: %s\n", value(5, std::to_string(mip.numimages)).c_str());
    const std::vector<int> slots = mip.FilledSlots();
    for (const int k : slots) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        std::printf("slot %d: type %d, %d x %d\n", k, level.Type(), level.Width(), level.Height());
    }
    if (slots.empty()) {
        std::printf("no levels\n");
    }
    const std::string report = mip.loadReport.Summary();
    std::printf("load: %s\n", report.c_str());
}

using json = nlohmann::ordered_json;

// The name as given, in a JSON string: each byte that is not UTF-8 becomes U+FFFD when it is
// written, and such a name's exact bytes go into "fileBase64" as well.
json FileFields(const std::string& path) {
    json out;
    out["file"] = path;
    if (!IsUtf8(path)) {
        out["fileBase64"] = Base64(path);
    }
    return out;
}

// One JSON Lines line: one object whatever it holds, even for a single file.
std::string Line(const json& object) {
    return object.dump(-1, ' ', false, json::error_handler_t::replace) + "\n";
}

// The line of a file that did not load: the same fields, with the reason, so a script that asks
// for .load.clean finds it too.
json FailureJson(const std::string& path, const Status& failure) {
    json out = FileFields(path);
    out["kind"] = nullptr;
    out["error"] = failure.Reason();
    out["mip"] = nullptr;
    out["levels"] = json::array();
    out["load"] = {{"clean", false},
                   {"firstError", failure.Reason()},
                   {"firstErrorOffset", nullptr},
                   {"rejectedLevels", json::array()},
                   {"unknownTypeLevels", json::array()},
                   {"cutShort", false}};
    return out;
}

json Json(const std::string& path, const CSrb& record, bool isSrb) {
    const CMip& mip = record.mip;
    json out = FileFields(path);
    out["kind"] = isSrb ? "srb" : "mip";
    out["error"] = nullptr;
    if (isSrb) {
        out["header"] = json::array();
        for (const float v : record.header) {
            out["header"].push_back(v);
        }
    }
    if (const auto size = SizeOf(path, isSrb)) {
        out["companion"] = {
            {"path", size->path}, {"found", FoundName(size->from)}, {"sizeInMetres", size->metres}};
    }
    // Fields the file did not hold are null: they were never read.
    const int read = mip.loadReport.HeaderFieldsRead();
    auto field = [read](int index, int value) { return index < read ? json(value) : json(); };
    out["mip"] = {
        {"miptype", field(0, mip.miptype)},         {"powerwidth", field(1, mip.powerwidth)},
        {"powerheight", field(2, mip.powerheight)}, {"width", field(1, mip.Width())},
        {"height", field(2, mip.Height())},         {"col", field(3, mip.col)},
        {"repeat", field(4, mip.RepeatCode())},     {"numimages", field(5, mip.numimages)}};
    out["levels"] = json::array();
    for (const int k : mip.FilledSlots()) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        json entry = {{"slot", k},
                      {"type", level.Type()},
                      {"typeName", PixelTypeName(level.Type())},
                      {"width", level.Width()},
                      {"height", level.Height()},
                      {"palette", PaletteOf(mip, k)}};
        out["levels"].push_back(entry);
    }
    const LoadReport& report = mip.loadReport;
    json rejected = json::array();
    for (const RejectedLevel& r : report.Rejected()) {
        rejected.push_back({{"slot", r.slot}, {"offset", r.offset}, {"reason", r.reason}});
    }
    json unknownTypes = json::array();
    for (const UnknownTypeLevel& u : report.UnknownTypes()) {
        unknownTypes.push_back({{"slot", u.slot}, {"offset", u.offset}, {"type", u.type}});
    }
    out["load"] = {{"clean", report.Clean()},
                   {"firstError", report.FirstError()},
                   {"firstErrorOffset", report.FirstErrorOffset()},
                   {"rejectedLevels", rejected},
                   {"unknownTypeLevels", unknownTypes},
                   {"cutShort", report.WasCutShort()}};
    return out;
}

// One file's summary (or JSON line); its exit status.
int InfoOne(const std::string& path, bool asJson, bool quiet, bool many) {
    CSrb record;
    FileKind kind = FileKind::kUnknown;
    const Status loaded = LoadTextureFile(path, record, kind, asJson || quiet ? nullptr : stdout);
    std::fflush(stdout);
    if (!loaded) {
        if (asJson) {
            std::fputs(Line(FailureJson(path, loaded)).c_str(), stdout);
        }
        return Fail(loaded);
    }
    if (asJson) {
        std::fputs(Line(Json(path, record, kind == FileKind::kSrb)).c_str(), stdout);
    } else if (!quiet) {
        if (many) {
            std::printf("file: %s\n", path.c_str());
        }
        PrintSummary(path, record, kind == FileKind::kSrb);
    }
    return record.mip.loadReport.Clean() ? kOk : kDamaged;
}

// OUT of convert: a file (not -) ending in .srb or .mip, with --size only for an SRB file, and
// not there already unless forced. kOk, or the status of the error it printed.
int CheckConvertOutput(const std::string& out, bool toSrb, const ParsedArgs& args) {
    bool usage = false;
    const Status writable = CheckOutput(out, toSrb, args.force, usage);
    if (usage) {
        return UsageError("convert writes a file: OUT may not be - (standard output)");
    }
    if (!toSrb && !EndsWithNoCase(out, ".mip")) {
        return UsageError("OUT must end in .srb or .mip: '" + out + "'");
    }
    if (!toSrb && args.Has("--size")) {
        return UsageError("--size goes with an .srb output: a MIP file has no size in metres");
    }
    return writable ? kOk : Fail(writable);
}

constexpr OptionRule kInfoOptions[] = {{"--json", "", false}};
constexpr OptionRule kConvertOptions[] = {
    {"--size", "", true}, {"--repair", "", false}, {"--recolour", "", false}};

}  // namespace

int RunInfo(std::span<const std::string> arguments) {
    const auto args = ParseArgs(arguments, kInfoOptions, false);
    if (!args) {
        return kUsage;
    }
    const std::vector<std::string>& files = args->positional;
    if (files.empty()) {
        return UsageError("info needs a FILE");
    }
    const bool many = files.size() > 1;
    int status = kOk;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (many && i > 0 && !args->Has("--json") && !args->quiet) {
            std::printf("\n");
        }
        status = Worse(status, InfoOne(files[i], args->Has("--json"), args->quiet, many));
    }
    return status;
}

int RunConvert(std::span<const std::string> arguments) {
    const auto args = ParseArgs(arguments, kConvertOptions, true);
    if (!args) {
        return kUsage;
    }
    float size = 1.0F;  // unless given, an SRB input's companion's
    if (const int status = NumberOption(*args, "--size", 0.0F, 1000.0F, size); status != kOk) {
        return status;
    }
    const std::vector<std::string>& files = args->positional;
    if (files.size() != 2) {
        return UsageError("convert needs IN and OUT");
    }
    const std::string& in = files[0];
    const std::string& out = files[1];
    const bool toSrb = EndsWithNoCase(out, ".srb");
    if (const int status = CheckConvertOutput(out, toSrb, *args); status != kOk) {
        return status;
    }

    CSrb record;
    FileKind kind = FileKind::kUnknown;
    const Status loaded = LoadTextureFile(in, record, kind, args->quiet ? nullptr : stdout);
    std::fflush(stdout);
    if (!loaded) {
        return Fail(loaded);
    }
    const int damage = ReportDamage(in, record.mip.loadReport);
    if (args->Has("--repair")) {
        // What survived, under a header that reads it back; without --repair such a set is
        // refused by the save, which says why.
        for (const std::string& change : record.mip.RepairHeader()) {
            if (!args->quiet) {
                std::printf("repaired: %s\n", change.c_str());
            }
        }
    }
    const auto companion = SizeOf(in, kind == FileKind::kSrb);
    record.sizeInMetres = !args->Has("--size") && companion ? companion->metres : size;
    const std::string recoloured = RecolourWarning(record.mip);
    // A command whose job is to keep a texture changes its colours only when asked.
    if (!recoloured.empty() && !args->Has("--recolour")) {
        return Fail(Status::Failure(RecolourRefusal(record.mip) +
                                    ", --recolour saves them with the colours changed")
                        .In(out));
    }
    if (const Status saved = SaveRecord(record, out, toSrb); !saved) {
        return Fail(saved);
    }
    if (!recoloured.empty()) {
        Warn(out, recoloured);
    }
    if (!args->quiet) {
        if (toSrb) {
            std::printf("saved SRB: '%s' with companion '%s'\n", out.c_str(),
                        CompanionPath(out).c_str());
        } else {
            std::printf("saved MIP: '%s'\n", out.c_str());
        }
    }
    return damage;
}

}  // namespace korvale::tool
