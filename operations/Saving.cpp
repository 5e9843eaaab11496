#include "Saving.h"

#include <algorithm>
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
    std::vector<std::string> targets = {out};
    if (asSrb) {
        targets.push_back(CompanionPath(out));
    }
    // What no --force can mean: a folder is not replaced by a file, and a link to nothing would
    // become a file where the link was, not the file it names.
    for (const std::string& target : targets) {
        std::error_code ec;
        if (std::filesystem::is_directory(target, ec)) {
            return Status::Failure("not written: " + target + " is a folder; name a file").In(out);
        }
        const std::filesystem::file_status link = std::filesystem::symlink_status(target, ec);
        if (std::filesystem::is_symlink(link) && !std::filesystem::exists(target, ec)) {
            const std::filesystem::path to = std::filesystem::read_symlink(target, ec);
            return Status::Failure("not written: " + target + " is a symbolic link to '" +
                                   to.string() + "', which does not exist")
                .In(out);
        }
    }
    if (force) {
        return {};
    }
    for (const std::string& target : targets) {
        if (Exists(target)) {
            // A companion another SRB file shares is not this file's to replace unasked.
            const std::vector<std::string> sharers =
                target == out ? std::vector<std::string>{} : SharersOfCompanion(out);
            std::string whose;
            for (const std::string& name : sharers) {
                whose += (whose.empty() ? " (the companion of " : ", ") + name;
            }
            return Status::Failure("not written: " + target + " exists" +
                                   (whose.empty() ? "" : whose + ")") + "; --force replaces it")
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

std::vector<std::string> SharersOfCompanion(const std::string& srbPath) {
    namespace fs = std::filesystem;
    const fs::path self(srbPath);
    const std::string companion = CompanionPath(self.filename().string());
    std::vector<std::string> sharers;
    std::error_code ec;
    const fs::path folder = self.has_parent_path() ? self.parent_path() : fs::path(".");
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const fs::path ending = it->path().extension();
        if (name == self.filename().string() || CompanionPath(name) != companion ||
            (ending != ".srb" && ending != ".SRB")) {
            continue;
        }
        sharers.push_back(name);
    }
    std::sort(sharers.begin(), sharers.end());
    return sharers;
}

std::string SharedCompanionWarning(const std::string& srbPath) {
    const std::vector<std::string> sharers = SharersOfCompanion(srbPath);
    if (sharers.empty()) {
        return {};
    }
    std::string names;
    for (const std::string& name : sharers) {
        names += (names.empty() ? "" : ", ") + name;
    }
    return std::filesystem::path(CompanionPath(srbPath)).filename().string() +
           " is also the companion of " + names +
           " (a companion is named after the SRB file's name up to its first dot), and this save "
           "replaced it";
}

}  // namespace korvale
