#include "InfoCommand.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <vector>

#include "CompanionFile.h"
#include "PixelType.h"
#include "ToolSupport.h"
#include "ValueText.h"

namespace korvale::tool {

namespace {

// Which palette a level decodes with: its own in a set with a palette per level.
const char* PaletteOf(const CMip& mip, const CBmap& level) {
    if (KindOf(level.Type()) != PixelKind::kPalettised) {
        return "none";
    }
    return mip.miptype == 2 ? "own" : "global";
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

nlohmann::ordered_json Json(const std::string& path, const CSrb& record, bool isSrb) {
    using json = nlohmann::ordered_json;
    const CMip& mip = record.mip;
    json out;
    out["file"] = path;
    out["kind"] = isSrb ? "srb" : "mip";
    if (isSrb) {
        out["header"] = json::array();
        for (const float v : record.header) {
            out["header"].push_back(v);
        }
    }
    out["mip"] = {{"miptype", mip.miptype},         {"powerwidth", mip.powerwidth},
                  {"powerheight", mip.powerheight}, {"width", mip.Width()},
                  {"height", mip.Height()},         {"col", mip.col},
                  {"repeat", mip.RepeatCode()},     {"numimages", mip.numimages}};
    out["levels"] = json::array();
    for (const int k : mip.FilledSlots()) {
        const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
        json entry = {{"slot", k},
                      {"type", level.Type()},
                      {"typeName", PixelTypeName(level.Type())},
                      {"width", level.Width()},
                      {"height", level.Height()},
                      {"palette", PaletteOf(mip, level)}};
        out["levels"].push_back(entry);
    }
    const LoadReport& report = mip.loadReport;
    json rejected = json::array();
    for (const RejectedLevel& r : report.Rejected()) {
        rejected.push_back({{"slot", r.slot}, {"offset", r.offset}, {"reason", r.reason}});
    }
    out["load"] = {{"clean", report.Clean()},
                   {"firstError", report.FirstError()},
                   {"firstErrorOffset", report.FirstErrorOffset()},
                   {"rejectedLevels", rejected},
                   {"cutShort", report.WasCutShort()}};
    return out;
}

}  // namespace

int RunInfo(std::span<const std::string> args) {
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        return UsageError(files.empty() ? "info needs a FILE" : "info takes one FILE");
    }
    const std::string& path = files[0];
    std::string error;
    const auto bytes = ReadInput(path, error);
    if (!bytes) {
        return Fail(path, error);
    }
    CSrb record;
    InputKind kind = InputKind::kMip;
    error = LoadRecord(path, *bytes, json, record, kind);
    std::fflush(stdout);
    if (!error.empty()) {
        return Fail(path, error);
    }
    if (json) {
        std::printf("%s\n", Json(path, record, kind == InputKind::kSrb).dump(2).c_str());
    } else {
        PrintSummary(record, kind == InputKind::kSrb);
    }
    return record.mip.loadReport.Clean() ? kOk : kDamaged;
}

int RunConvert(std::span<const std::string> args) {
    std::vector<std::string> files;
    float size = 1.0F;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--size") {
            if (i + 1 >= args.size()) {
                return UsageError("--size needs a number of metres");
            }
            const auto parsed = ParseNumber(args[++i], 0.0F, 1000.0F);
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

    std::string error;
    const auto bytes = ReadInput(in, error);
    if (!bytes) {
        return Fail(in, error);
    }
    CSrb record;
    InputKind kind = InputKind::kMip;
    error = LoadRecord(in, *bytes, false, record, kind);
    std::fflush(stdout);
    if (!error.empty()) {
        return Fail(in, error);
    }
    record.sizeInMetres = size;
    if (const std::string why = SaveRecord(record, out, toSrb); !why.empty()) {
        return Fail(out, why);
    }
    if (toSrb) {
        std::printf("saved SRB: '%s' with companion '%s'\n", out.c_str(),
                    CompanionPath(out).c_str());
    } else {
        std::printf("saved MIP: '%s'\n", out.c_str());
    }
    return record.mip.loadReport.Clean() ? kOk : kDamaged;
}

}  // namespace korvale::tool
