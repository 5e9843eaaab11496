#include "Saving.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include "CompanionFile.h"

namespace korvale {

namespace {

bool Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

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

Status SaveRecord(const CSrb& record, const std::string& out, bool asSrb) {
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

namespace {

// "the levels in slots 1, 0 change colour: ..." with "change" as verb says (would change).
std::string Recolouring(const CMip& mip, const std::vector<int>& slots, bool would) {
    std::string list;
    for (const int k : slots) {
        list += (list.empty() ? "" : ", ") + std::to_string(k);
    }
    const std::string why =
        mip.SavesGlobalPalette() ? "only the global palette is saved" : "no palette is saved";
    const char* verb = would ? " would change" : slots.size() == 1 ? " changes" : " change";
    return std::string(slots.size() == 1 ? "the level in slot " : "the levels in slots ") + list +
           verb + " colour: with miptype " + std::to_string(mip.miptype) + " " + why + ", and " +
           (slots.size() == 1 ? "it uses" : "they use") + " other colours";
}

}  // namespace

std::string RecolourWarning(const CMip& mip) {
    const std::vector<int> slots = mip.SlotsRecolouredBySave();
    return slots.empty() ? std::string() : Recolouring(mip, slots, false);
}

std::string RecolourRefusal(const CMip& mip) {
    const std::vector<int> slots = mip.SlotsRecolouredBySave();
    if (slots.empty()) {
        return {};
    }
    // Every palettised level carries its own palette under miptype 2, whatever it holds.
    return "not saved: " + Recolouring(mip, slots, true) + "; miptype 2 keeps each level's own " +
           "palette";
}

}  // namespace korvale
