#include "ExportCommand.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iomanip>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "Comparison.h"
#include "LevelExport.h"
#include "LevelImage.h"
#include "PixelType.h"
#include "PngIo.h"
#include "ToolSupport.h"

namespace korvale::tool {

namespace {

// Reads path once and loads it without the loaders' trace: into picture when it is a PNG
// picture and picture is given, else into record as an SRB or MIP file. Empty on success, the
// reason otherwise.
std::string LoadTexture(const std::string& path, CSrb& record, Image* picture = nullptr) {
    std::string error;
    const auto bytes = ReadInput(path, error);
    if (!bytes) {
        return error;
    }
    if (picture != nullptr && IsPng(*bytes)) {
        return ReadPng(*bytes, *picture, error) ? std::string() : error;
    }
    InputKind kind = InputKind::kMip;
    return LoadRecord(path, *bytes, true, record, kind);
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
        const Image image = LevelToImage(mip.levels[slot], mip.levelPalettes[slot], view);
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
std::string LevelsOf(const std::string& path, std::map<int, Image, std::greater<>>& levels) {
    CSrb record;
    Image picture;
    if (const std::string error = LoadTexture(path, record, &picture); !error.empty()) {
        return error;
    }
    if (!picture.Empty()) {  // a PNG picture decodes to one of at least 1 x 1
        levels[CMip::SlotForSize(picture.width, picture.height)] = std::move(picture);
        return {};
    }
    for (const int k : record.mip.FilledSlots()) {
        const auto slot = static_cast<std::size_t>(k);
        levels[k] = LevelToImage(record.mip.levels[slot], record.mip.levelPalettes[slot]);
    }
    return {};
}

// Writes the level in slot k to out as a PNG picture and says so; kFailed, naming out, when it
// could not be written.
int WriteLevel(const CMip& mip, int k, LevelView view, const std::string& out) {
    std::vector<std::uint8_t> png;
    std::string error;
    if (!EncodeLevelPng(mip, k, view, png, error) || !WriteFileBytes(out, png, error)) {
        return Fail(out, error);
    }
    const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
    std::printf("wrote slot %d (%d x %d, %s) to '%s'\n", k, level.Width(), level.Height(),
                PixelTypeName(level.Type()).c_str(), out.c_str());
    return kOk;
}

}  // namespace

int RunExport(std::span<const std::string> args) {
    std::vector<std::string> files;
    std::optional<int> slot;
    std::string all;
    std::string sheet;
    LevelView view = LevelView::kFullScale;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--level" || arg == "--all" || arg == "--sheet";
        if (takesValue && i + 1 >= args.size()) {
            return UsageError(arg + " needs a value");
        }
        if (arg == "--level") {
            slot = ParseInt(args[++i], 0, CMip::kSlots - 1);
            if (!slot) {
                return UsageError("--level takes a slot from 0 to 8, not '" + args[i] + "'");
            }
        } else if (arg == "--all") {
            all = args[++i];
        } else if (arg == "--sheet") {
            sheet = args[++i];
        } else if (arg == "--raw") {
            view = LevelView::kRaw;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    const std::size_t modes = (all.empty() ? 0 : 1) + (sheet.empty() ? 0 : 1);
    if (modes > 1 || (modes == 1 && (files.size() != 1 || slot)) ||
        (modes == 0 && files.size() != 2)) {
        return UsageError("export takes IN OUT.png, IN --all DIR or IN --sheet OUT.png");
    }
    const std::string& in = files[0];
    CSrb record;
    if (const std::string error = LoadTexture(in, record); !error.empty()) {
        return Fail(in, error);
    }
    const CMip& mip = record.mip;
    const std::vector<int> slots = mip.FilledSlots();
    if (slots.empty()) {
        return Fail(in, "holds no levels");
    }
    if (!sheet.empty()) {
        std::vector<std::uint8_t> png;
        std::string error;
        if (!EncodePng(Sheet(mip, view), true, png, error) || !WriteFileBytes(sheet, png, error)) {
            return Fail(sheet, error);
        }
        std::printf("wrote %zu levels side by side to '%s'\n", slots.size(), sheet.c_str());
        return kOk;
    }
    if (!all.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(all, ec);
        const std::string name = in == "-" ? "stdin" : TextureBaseName(in);
        for (const int k : slots) {
            const CBmap& level = mip.levels[static_cast<std::size_t>(k)];
            const std::string out =
                (std::filesystem::path(all) / LevelFileName(name, level)).string();
            if (WriteLevel(mip, k, view, out) != kOk) {
                return kFailed;
            }
        }
        return kOk;
    }
    const int chosen = slot.value_or(slots.front());
    if (!mip.levels[static_cast<std::size_t>(chosen)].HasData()) {
        return Fail(in, "slot " + std::to_string(chosen) + " holds no level");
    }
    return WriteLevel(mip, chosen, view, files[1]);
}

int RunCompare(std::span<const std::string> args) {
    std::vector<std::string> files;
    std::optional<float> minimum;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--min-psnr") {
            if (i + 1 >= args.size()) {
                return UsageError("--min-psnr needs a number of decibels");
            }
            minimum = ParseNumber(args[++i], 0.0F, 1000.0F);
            if (!minimum) {
                return UsageError("--min-psnr takes a number of decibels, not '" + args[i] + "'");
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        return UsageError("compare needs A and B");
    }
    std::map<int, Image, std::greater<>> a;
    std::map<int, Image, std::greater<>> b;
    if (const std::string error = LevelsOf(files[0], a); !error.empty()) {
        return Fail(files[0], error);
    }
    if (const std::string error = LevelsOf(files[1], b); !error.empty()) {
        return Fail(files[1], error);
    }
    // Two pictures of sizes no slot takes are still compared with each other.
    if (a.size() == 1 && b.size() == 1 && (a.begin()->first < 0 || b.begin()->first < 0)) {
        b = {{a.begin()->first, std::move(b.begin()->second)}};
    }
    std::set<int, std::greater<>> slots;
    for (const auto& [k, image] : a) {
        slots.insert(k);
    }
    for (const auto& [k, image] : b) {
        slots.insert(k);
    }
    bool failed = false;
    for (const int k : slots) {
        const std::string name = k >= 0 ? "slot " + std::to_string(k) : "picture";
        const auto inA = a.find(k);
        const auto inB = b.find(k);
        if (inA == a.end() || inB == b.end()) {
            std::printf("%s: only in %s\n", name.c_str(), inA == a.end() ? "B" : "A");
            failed = true;
            continue;
        }
        if (inA->second.width != inB->second.width || inA->second.height != inB->second.height) {
            std::printf("%s: %s in A but %s in B\n", name.c_str(), Size(inA->second).c_str(),
                        Size(inB->second).c_str());
            failed = true;
            continue;
        }
        const Difference d = Compare(inA->second, inB->second);
        const bool low =
            minimum && (d.colourPsnr < *minimum || d.alphaPsnr < static_cast<double>(*minimum));
        std::printf("%s: %s, colour PSNR %s dB, alpha PSNR %s dB, largest difference %d%s\n",
                    name.c_str(), Size(inA->second).c_str(), Decibels(d.colourPsnr).c_str(),
                    Decibels(d.alphaPsnr).c_str(), d.largest, low ? " (below the minimum)" : "");
        failed = failed || low;
    }
    return failed ? kFailed : kOk;
}

}  // namespace korvale::tool
